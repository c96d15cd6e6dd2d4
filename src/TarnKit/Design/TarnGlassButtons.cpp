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

// One line, cut with an ellipsis only when the button is narrower than its
// text (the measures of eliding and of the size hint can differ by a pixel).
void drawOneLine(QPainter& painter, const QRectF& area, const QString& text) {
    const QFontMetrics metrics = painter.fontMetrics();
    const QString shown = metrics.horizontalAdvance(text) <= area.width()
                              ? text
                              : metrics.elidedText(text, Qt::ElideRight, static_cast<int>(area.width()));
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, shown);
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
    return paddedTextSize(font(), text(), 14, 7);
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
    painter.fillPath(glassShape(rect(), kPrimaryRadius), qColor(TarnColor::white(fillOpacity())));
    painter.setPen(qColor(TarnColor::black(0.9)));
    drawOneLine(painter, QRectF(rect()).adjusted(14, 7, -14, -7), text());
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

// Between a glass button's symbol and its text.
constexpr int kGlassIconSpacing = 5;

QSize TarnGlassButton::sizeHint() const {
    QSize size = paddedTextSize(font(), text(), 11, 6);
    if (!icon().isNull()) {
        size.rwidth() += iconSize().width() + (text().isEmpty() ? 0 : kGlassIconSpacing);
        size.setHeight(std::max(size.height(), iconSize().height() + 12));
    }
    return size;
}

bool TarnGlassButton::hitButton(const QPoint& position) const {
    return glassShape(rect(), kGlassRadius).contains(position);
}

void TarnGlassButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setOpacity(contentOpacity());
    paintGlassShape(painter, rect(), kGlassRadius, fillColor(), borderColor());
    painter.setPen(qColor(TarnGlassTokens::textPrimary));
    QRectF area = QRectF(rect()).adjusted(11, 6, -11, -6);
    if (!icon().isNull()) {
        // The symbol leads, the text follows; the pair is centred.
        const QSizeF symbol = iconSize();
        const double textWidth =
            text().isEmpty() ? 0 : QFontMetricsF(font()).horizontalAdvance(text());
        const double gap = text().isEmpty() ? 0 : kGlassIconSpacing;
        const double left =
            area.left() + std::max(0.0, (area.width() - symbol.width() - gap - textWidth) / 2);
        const QRectF symbolRect(QPointF(left, area.center().y() - symbol.height() / 2), symbol);
        icon().paint(&painter, symbolRect.toAlignedRect());
        area.setLeft(symbolRect.right() + gap);
        if (!text().isEmpty())
            painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                             QFontMetrics(font()).elidedText(text(), Qt::ElideRight,
                                                             static_cast<int>(area.width()) + 1));
        return;
    }
    drawOneLine(painter, area, text());
}

} // namespace tarn
