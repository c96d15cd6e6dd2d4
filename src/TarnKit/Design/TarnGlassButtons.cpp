#include "TarnKit/Design/TarnGlassButtons.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
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

// A one-line label's size plus its padding on each side.
QSize paddedTextSize(const QFont& font, const QString& text, int horizontal, int vertical) {
    const QFontMetrics metrics(font);
    return {metrics.horizontalAdvance(text) + 2 * horizontal, metrics.height() + 2 * vertical};
}

constexpr int kIconGap = 6;

// The width the button's icon takes before its text, gap included (0 without
// an icon; no gap without a text).
int iconAdvance(const QAbstractButton& button) {
    if (button.icon().isNull())
        return 0;
    return button.iconSize().width() + (button.text().isEmpty() ? 0 : kIconGap);
}

// A one-line label's size plus its padding on each side, with room for the
// button's icon.
QSize paddedContentSize(const QAbstractButton& button, int horizontal, int vertical) {
    const QSize text = paddedTextSize(button.font(), button.text(), horizontal, vertical);
    const int iconHeight = button.icon().isNull() ? 0 : button.iconSize().height() + 2 * vertical;
    return {text.width() + iconAdvance(button), std::max(text.height(), iconHeight)};
}

// One line, cut with an ellipsis only when the button is narrower than its
// text (the measures of eliding and of the size hint can differ by a pixel),
// after the button's icon when it has one; icon and text are centred together.
void drawOneLine(QPainter& painter, const QRectF& area, const QString& text,
                 const QAbstractButton& button) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int advance = iconAdvance(button);
    const double textRoom = std::max(0.0, area.width() - advance);
    const QString shown =
        metrics.horizontalAdvance(text) <= textRoom
            ? text
            : metrics.elidedText(text, Qt::ElideRight, static_cast<int>(textRoom));
    if (advance == 0) {
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, shown);
        return;
    }
    const double contentWidth = advance + metrics.horizontalAdvance(shown);
    const double left = area.left() + std::max(0.0, (area.width() - contentWidth) / 2);
    const QSize iconSize = button.iconSize();
    const QRectF iconArea(left, area.center().y() - iconSize.height() / 2.0, iconSize.width(),
                          iconSize.height());
    button.icon().paint(&painter, iconArea.toAlignedRect());
    painter.drawText(
        QRectF(left + advance, area.top(), area.right() - left - advance, area.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
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
        m_scale->setStartValue(m_scale->currentValue().isValid() ? m_scale->currentValue() : QVariant(1.0));
        m_scale->setEndValue(pressScale());
        m_scale->start();
        update();
    };
    connect(this, &QAbstractButton::pressed, this, animateTo);
    connect(this, &QAbstractButton::released, this, animateTo);
}

QSize TarnPrimaryButton::sizeHint() const {
    return paddedContentSize(*this, 14, 7);
}

bool TarnPrimaryButton::hitButton(const QPoint& position) const {
    return glassShape(rect(), kPrimaryRadius).contains(position);
}

void TarnPrimaryButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const double scale = m_scale->state() == QAbstractAnimation::Running
                             ? m_scale->currentValue().toDouble()
                             : pressScale();
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    painter.fillPath(glassShape(rect(), kPrimaryRadius), qColor(TarnColor::white(fillOpacity())));
    painter.setPen(qColor(TarnColor::black(0.9)));
    drawOneLine(painter, QRectF(rect()).adjusted(14, 7, -14, -7), text(), *this);
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

QSize TarnGlassButton::sizeHint() const {
    return paddedContentSize(*this, 11, 6);
}

bool TarnGlassButton::hitButton(const QPoint& position) const {
    return glassShape(rect(), kGlassRadius).contains(position);
}

void TarnGlassButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setOpacity(contentOpacity());
    paintGlassShape(painter, rect(), kGlassRadius, fillColor(), borderColor());
    painter.setPen(qColor(TarnGlassTokens::textPrimary));
    drawOneLine(painter, QRectF(rect()).adjusted(11, 6, -11, -6), text(), *this);
}

} // namespace tarn
