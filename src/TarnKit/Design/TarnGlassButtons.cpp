#include "TarnKit/Design/TarnGlassButtons.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QEasingCurve>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <algorithm>

namespace tarn {
namespace {

constexpr double kPrimaryRadius = 9;
constexpr double kGlassRadius = 8;

constexpr int kIconGap = 5;
// Buttons that cannot be pressed are drawn at this opacity.
constexpr double kDisabledOpacity = 0.45;

// A one-line label's size, with the button's icon (when it has one) before
// the text, plus its padding on each side.
QSize paddedContentSize(const QAbstractButton& button, int horizontal, int vertical) {
    const QFontMetrics metrics(button.font());
    int width = metrics.horizontalAdvance(button.text());
    int height = metrics.height();
    if (!button.icon().isNull()) {
        width += button.iconSize().width() + (button.text().isEmpty() ? 0 : kIconGap);
        height = std::max(height, button.iconSize().height());
    }
    return {width + 2 * horizontal, height + 2 * vertical};
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

// The icon (when the button has one) and the text, centred together.
void drawContent(QPainter& painter, const QAbstractButton& button, QRectF area) {
    if (!button.icon().isNull()) {
        const QSize iconSize = button.iconSize();
        const qreal textWidth =
            button.text().isEmpty()
                ? 0
                : painter.fontMetrics().horizontalAdvance(button.text()) + kIconGap;
        const qreal left =
            area.left() + std::max<qreal>(0, (area.width() - iconSize.width() - textWidth) / 2);
        const QRectF iconRect(left, area.center().y() - iconSize.height() / 2.0, iconSize.width(),
                              iconSize.height());
        button.icon().paint(&painter, iconRect.toAlignedRect());
        area.setLeft(iconRect.right() + kIconGap);
        if (button.text().isEmpty())
            return;
        area.setWidth(std::min(area.width(), textWidth - kIconGap + 1));
    }
    drawOneLine(painter, area, button.text());
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
    return paddedContentSize(*this, 14, 7);
}

bool TarnPrimaryButton::hitButton(const QPoint& position) const {
    return glassShape(rect(), kPrimaryRadius).contains(position);
}

void TarnPrimaryButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = m_scale->state() == QAbstractAnimation::Running
                             ? m_scale->currentValue().toDouble()
                             : pressScale();
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    if (!isEnabled())
        painter.setOpacity(kDisabledOpacity);
    painter.fillPath(glassShape(rect(), kPrimaryRadius), qColor(TarnColor::white(fillOpacity())));
    painter.setPen(qColor(TarnColor::black(0.9)));
    drawContent(painter, *this, QRectF(rect()).adjusted(14, 7, -14, -7));
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
    painter.setOpacity(contentOpacity() * (isEnabled() ? 1.0 : kDisabledOpacity));
    paintGlassShape(painter, rect(), kGlassRadius, fillColor(), borderColor());
    painter.setPen(qColor(TarnGlassTokens::textPrimary));
    drawContent(painter, *this, QRectF(rect()).adjusted(11, 6, -11, -6));
}

} // namespace tarn
