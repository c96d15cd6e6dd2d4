#include "TarnKit/Design/TarnAdaptiveGridLayout.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace tarn {
namespace {

int itemHeight(const QLayoutItem* item, int width) {
    return item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
}

} // namespace

TarnAdaptiveGridLayout::TarnAdaptiveGridLayout(double minimumColumnWidth, double columnSpacing,
                                               double rowSpacing, QWidget* parent)
    : TarnItemListLayout(parent), m_minimumColumnWidth(minimumColumnWidth),
      m_columnSpacing(columnSpacing), m_rowSpacing(rowSpacing) {}

int TarnAdaptiveGridLayout::columnCount(double width, double minimumColumnWidth,
                                        double columnSpacing) {
    const double columns =
        std::floor((width + columnSpacing) / (minimumColumnWidth + columnSpacing));
    // Compared before converting: NaN, infinities and huge quotients would
    // make the conversion undefined.
    if (!(columns >= 1) || !std::isfinite(width) || !(minimumColumnWidth + columnSpacing > 0))
        return 1;
    return columns >= 4096 ? 4096 : static_cast<int>(columns);
}

int TarnAdaptiveGridLayout::columnCountFor(int width) const {
    return columnCount(width, m_minimumColumnWidth, m_columnSpacing);
}

int TarnAdaptiveGridLayout::arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const std::vector<QLayoutItem*> items = shownItems();
    if (items.empty())
        return 0;
    const int columns = columnCountFor(area.width());
    const double columnWidth = std::max(0.0, (area.width() - (columns - 1) * m_columnSpacing) /
                                                 static_cast<double>(columns));
    const int cellWidth = static_cast<int>(std::floor(columnWidth));
    double y = area.y();
    for (std::size_t first = 0; first < items.size(); first += static_cast<std::size_t>(columns)) {
        const std::size_t last = std::min(items.size(), first + static_cast<std::size_t>(columns));
        int rowHeight = 0;
        for (std::size_t i = first; i < last; ++i)
            rowHeight = std::max(rowHeight, itemHeight(items[i], cellWidth));
        if (apply) {
            for (std::size_t i = first; i < last; ++i) {
                const int height = itemHeight(items[i], cellWidth);
                const double x =
                    area.x() + static_cast<double>(i - first) * (columnWidth + m_columnSpacing);
                items[i]->setGeometry(
                    QRect(static_cast<int>(std::lround(x)),
                          static_cast<int>(std::lround(y + (rowHeight - height) / 2.0)), cellWidth,
                          height));
            }
        }
        y += rowHeight;
        if (last < items.size())
            y += m_rowSpacing;
    }
    return static_cast<int>(std::ceil(y - area.y()));
}

int TarnAdaptiveGridLayout::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    return arrange(QRect(0, 0, width, 0), false) + margins.top() + margins.bottom();
}

QSize TarnAdaptiveGridLayout::sizeHint() const {
    // The height at the width last given (one column at its minimum before
    // the first layout), so that a host that reads hints rather than heights
    // for widths does not reserve the one-column height.
    const QMargins margins = contentsMargins();
    const int minimum =
        static_cast<int>(std::ceil(m_minimumColumnWidth)) + margins.left() + margins.right();
    const int width = std::max(minimum, geometry().width());
    return {minimum, heightForWidth(width)};
}

QSize TarnAdaptiveGridLayout::minimumSize() const {
    return {0, sizeHint().height()};
}

void TarnAdaptiveGridLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

} // namespace tarn
