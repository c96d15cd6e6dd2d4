#include "TarnKit/Design/TarnGlassButtons.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <algorithm>

namespace tarn {
namespace {

constexpr double kPrimaryRadius = 9;
constexpr double kGlassRadius = 8;

// Between a button's icon and its text.
constexpr int kIconSpacing = 6;
// A disabled button is drawn faded, whatever its style.
constexpr double kDisabledOpacity = 0.45;

// The width an icon takes before the text, spacing included; 0 without one.
int iconAdvance(const QAbstractButton& button) {
    if (button.icon().isNull())
        return 0;
    return button.iconSize().width() + (button.text().isEmpty() ? 0 : kIconSpacing);
}

// A one-line label's size (with the button's icon, if any) plus its padding
// on each side.
QSize paddedTextSize(const QAbstractButton& button, int horizontal, int vertical) {
    const QFontMetrics metrics(button.font());
    const int iconHeight = button.icon().isNull() ? 0 : button.iconSize().height();
    return {metrics.horizontalAdvance(button.text()) + iconAdvance(button) + 2 * horizontal,
            std::max(metrics.height(), iconHeight) + 2 * vertical};
}

// One line, cut with an ellipsis only when the button is narrower than its
// text (the measures of eliding and of the size hint can differ by a pixel).
void drawOneLine(QPainter& painter, const QRectF& area, const QString& text) {
    const QFontMetrics metrics = painter.fontMetrics();
    const QString shown =
        metrics.horizontalAdvance(text) <= area.width()
            ? text
            : metrics.elidedText(text, Qt::ElideRight, static_cast<int>(area.width()));
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, shown);
}

// The button's icon, when it has one, then its text, the pair centred in `area`.
void drawLabel(QPainter& painter, const QAbstractButton& button, const QRectF& area) {
    const int advance = iconAdvance(button);
    if (advance == 0) {
        drawOneLine(painter, area, button.text());
        return;
    }
    const QSize iconSize = button.iconSize();
    const double textWidth =
        std::min<double>(painter.fontMetrics().horizontalAdvance(button.text()),
                         std::max(0.0, area.width() - advance));
    const double left = area.left() + std::max(0.0, (area.width() - advance - textWidth) / 2);
    const QRectF iconArea(left, area.center().y() - iconSize.height() / 2.0, iconSize.width(),
                          iconSize.height());
    button.icon().paint(&painter, iconArea.toAlignedRect());
    drawOneLine(painter, QRectF(left + advance, area.top(), textWidth, area.height()),
                button.text());
}

} // namespace

TarnPrimaryButton::TarnPrimaryButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent), m_scale(new QVariantAnimation(this)) {
    setText(text);
    setFont(fonts::system(13, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    m_scale->setDuration(120);
    m_scale->setEasingCurve(QEasingCurve::OutQuad);
    m_scale->setStartValue(1.0);
    m_scale->setEndValue(1.0);
    connect(m_scale, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    const auto animateTo = [this] {
        m_scale->stop();
        m_scale->setStartValue(m_scale->currentValue().isValid() ? m_scale->currentValue()
                                                                 : QVariant(1.0));
        m_scale->setEndValue(pressScale());
        m_scale->start();
        update();
    };
    connect(this, &QAbstractButton::pressed, this, animateTo);
    connect(this, &QAbstractButton::released, this, animateTo);
}

QSize TarnPrimaryButton::sizeHint() const {
    return paddedTextSize(*this, 14, 7);
}

bool TarnPrimaryButton::hitButton(const QPoint& position) const {
    return glassShape(rect(), kPrimaryRadius).contains(position);
}

void TarnPrimaryButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(kDisabledOpacity);
    const double scale = m_scale->state() == QAbstractAnimation::Running
                             ? m_scale->currentValue().toDouble()
                             : pressScale();
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    painter.fillPath(glassShape(rect(), kPrimaryRadius), qColor(TarnColor::white(fillOpacity())));
    painter.setPen(qColor(TarnColor::black(0.9)));
    drawLabel(painter, *this, QRectF(rect()).adjusted(14, 7, -14, -7));
}

TarnGlassButton::TarnGlassButton(const QString& text, bool isActive, QWidget* parent)
    : QAbstractButton(parent), m_active(isActive) {
    setText(text);
    setFont(fonts::system(12.5, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
}

void TarnGlassButton::setActive(bool active) {
    if (m_active == active)
        return;
    m_active = active;
    update();
}

QColor TarnGlassButton::fillColor() const {
    return qColor(m_active ? TarnGlassTokens::surface3 : TarnGlassTokens::surface2);
}

QColor TarnGlassButton::borderColor() const {
    return qColor(m_active ? TarnGlassTokens::borderStrong : TarnGlassTokens::borderSubtle);
}

void TarnGlassButton::setSymbol(std::string_view name) {
    m_symbol = name;
    // Drawn as the button's icon, at the font's size in the text's colour.
    const int side = font().pixelSize();
    setIconSize(QSize(side, side));
    setIcon(m_symbol.empty() ? QIcon()
                             : symbolIcon(m_symbol, qColor(TarnGlassTokens::textPrimary), side));
}

void TarnGlassButton::setHorizontalPadding(int padding) {
    m_horizontalPadding = padding;
    updateGeometry();
    update();
}

QSize TarnGlassButton::sizeHint() const {
    return paddedTextSize(*this, m_horizontalPadding, 6);
}

bool TarnGlassButton::hitButton(const QPoint& position) const {
    return glassShape(rect(), kGlassRadius).contains(position);
}

void TarnGlassButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setOpacity(contentOpacity() * (isEnabled() ? 1.0 : kDisabledOpacity));
    paintGlassShape(painter, rect(), kGlassRadius, fillColor(), borderColor());
    painter.setPen(qColor(TarnGlassTokens::textPrimary));
    drawLabel(painter, *this,
              QRectF(rect()).adjusted(m_horizontalPadding, 6, -m_horizontalPadding, -6));
}

} // namespace tarn
