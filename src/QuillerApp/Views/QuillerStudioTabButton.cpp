#include "QuillerApp/Views/QuillerStudioTabButton.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>
#include <utility>

namespace quiller {
namespace {

constexpr double kFontSize = 11.5;
constexpr double kHorizontalPadding = 10;
constexpr double kVerticalPadding = 7;
constexpr double kCornerRadius = 9;
constexpr double kIconTitleSpacing = 5;

} // namespace

QuillerStudioTabButton::QuillerStudioTabButton(std::string symbolName, QColor accent,
                                               QWidget* parent)
    : QAbstractButton(parent), m_symbolName(std::move(symbolName)), m_accent(accent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void QuillerStudioTabButton::setSelected(bool selected) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    // The title's weight changes with the state, and with it the width.
    updateGeometry();
    update();
}

void QuillerStudioTabButton::setTitle(const QString& title) {
    if (text() == title)
        return;
    setText(title);
    updateGeometry();
    update();
}

QColor QuillerStudioTabButton::fillColor() const {
    if (!m_selected)
        return tarn::qColor(tarn::TarnGlassTokens::surface1);
    QColor fill = m_accent;
    fill.setAlphaF(0.28f);
    return fill;
}

QColor QuillerStudioTabButton::borderColor() const {
    if (!m_selected)
        return tarn::qColor(tarn::TarnGlassTokens::borderSubtle);
    QColor border = m_accent;
    border.setAlphaF(0.68f);
    return border;
}

QColor QuillerStudioTabButton::foregroundColor() const {
    return m_selected ? QColor(Qt::white) : tarn::qColor(tarn::TarnGlassTokens::textSecondary);
}

QFont QuillerStudioTabButton::titleFont() const {
    return tarn::fonts::system(kFontSize, m_selected ? QFont::DemiBold : QFont::Medium);
}

QSize QuillerStudioTabButton::sizeHint() const {
    const QFontMetricsF metrics(titleFont());
    const double iconSize = std::ceil(kFontSize);
    const double width =
        kHorizontalPadding * 2 + iconSize + kIconTitleSpacing + metrics.horizontalAdvance(text());
    const double height = kVerticalPadding * 2 + std::max(metrics.height(), iconSize);
    return QSize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)));
}

void QuillerStudioTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    tarn::paintGlassShape(painter, bounds, kCornerRadius, fillColor(), borderColor());

    const QFont font = titleFont();
    const QFontMetricsF metrics(font);
    const double iconSize = std::ceil(kFontSize);
    const double contentWidth = iconSize + kIconTitleSpacing + metrics.horizontalAdvance(text());
    double x = (bounds.width() - contentWidth) / 2;
    const QColor foreground = foregroundColor();
    tarn::paintSymbol(painter, m_symbolName,
                      QRectF(x, (bounds.height() - iconSize) / 2, iconSize, iconSize), foreground);
    x += iconSize + kIconTitleSpacing;
    painter.setFont(font);
    painter.setPen(foreground);
    painter.drawText(QRectF(x, 0, bounds.width() - x, bounds.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    if (hasFocus()) {
        QColor ring = m_accent;
        ring.setAlphaF(0.9f);
        painter.setPen(QPen(ring, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tarn::glassShape(bounds.adjusted(1, 1, -1, -1), kCornerRadius - 1));
    }
}

} // namespace quiller
