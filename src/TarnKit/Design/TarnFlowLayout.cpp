#include "TarnKit/Design/TarnFlowLayout.h"

#include "TarnKit/Design/TarnFlowGeometry.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace tarn {
namespace {

std::vector<flow::Size> idealSizes(const std::vector<QLayoutItem*>& items) {
    std::vector<flow::Size> sizes;
    sizes.reserve(items.size());
    for (const QLayoutItem* item : items) {
        const QSize hint = item->sizeHint();
        sizes.push_back({static_cast<double>(hint.width()), static_cast<double>(hint.height())});
    }
    return sizes;
}

int ceilToInt(double value) {
    return static_cast<int>(std::ceil(value));
}

} // namespace

TarnFlowLayout::TarnFlowLayout(double spacing, double lineSpacing, QWidget* parent)
    : TarnItemListLayout(parent), m_spacing(spacing), m_lineSpacing(lineSpacing) {}

int TarnFlowLayout::spacing() const {
    return static_cast<int>(std::lround(m_spacing));
}

void TarnFlowLayout::setSpacing(int spacing) {
    m_spacing = spacing;
    invalidate();
}

void TarnFlowLayout::setLineSpacing(double lineSpacing) {
    m_lineSpacing = lineSpacing;
    invalidate();
}

QSize TarnFlowLayout::measured(std::optional<int> width) const {
    const QMargins margins = contentsMargins();
    std::optional<double> proposal;
    if (width)
        proposal = std::max(0, *width - margins.left() - margins.right());
    const std::vector<flow::Size> sizes = idealSizes(shownItems());
    const flow::Size size = flow::sizeThatFits(sizes, proposal, m_spacing, m_lineSpacing);
    return {ceilToInt(size.width) + margins.left() + margins.right(),
            ceilToInt(size.height) + margins.top() + margins.bottom()};
}

int TarnFlowLayout::heightForWidth(int width) const {
    return measured(width).height();
}

QSize TarnFlowLayout::sizeHint() const {
    return measured(std::nullopt);
}

QSize TarnFlowLayout::minimumSize() const {
    // The widest child: narrower than that, a child would stick out.
    QSize widest(0, 0);
    for (const QLayoutItem* item : shownItems())
        widest = widest.expandedTo(item->sizeHint());
    const QMargins margins = contentsMargins();
    return widest + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void TarnFlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    const std::vector<QLayoutItem*> items = shownItems();
    const std::vector<flow::Size> sizes = idealSizes(items);
    const std::vector<flow::Point> origins =
        flow::placeSubviews(sizes,
                            {static_cast<double>(area.x()), static_cast<double>(area.y()),
                             static_cast<double>(area.width()), static_cast<double>(area.height())},
                            m_spacing, m_lineSpacing);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->setGeometry(QRect(static_cast<int>(std::lround(origins[i].x)),
                                    static_cast<int>(std::lround(origins[i].y)),
                                    static_cast<int>(sizes[i].width),
                                    static_cast<int>(sizes[i].height)));
    }
}

} // namespace tarn
