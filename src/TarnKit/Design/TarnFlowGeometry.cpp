#include "TarnKit/Design/TarnFlowGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarn::flow {

Size sizeThatFits(std::span<const Size> children, std::optional<double> proposedWidth,
                  double spacing, double lineSpacing) {
    const bool finiteProposal = proposedWidth && std::isfinite(*proposedWidth);
    const double available =
        finiteProposal ? *proposedWidth : std::numeric_limits<double>::infinity();
    double x = 0;
    double lineHeight = 0;
    double y = 0;
    double widestLine = 0;
    for (const Size& child : children) {
        if (x > 0 && x + child.width > available) {
            y += lineHeight + lineSpacing;
            lineHeight = 0;
            x = 0;
        }
        widestLine = std::max(widestLine, x + child.width);
        x += child.width + spacing;
        lineHeight = std::max(lineHeight, child.height);
    }
    return {finiteProposal ? *proposedWidth : widestLine, y + lineHeight};
}

std::vector<Point> placeSubviews(std::span<const Size> children, Bounds bounds, double spacing,
                                 double lineSpacing) {
    std::vector<Point> origins;
    origins.reserve(children.size());
    const double maxX = bounds.x + bounds.width;
    double x = bounds.x;
    double y = bounds.y;
    double lineHeight = 0;
    for (const Size& child : children) {
        if (x > bounds.x && x + child.width > maxX + 0.5) {
            y += lineSpacing + lineHeight;
            x = bounds.x;
            lineHeight = 0;
        }
        origins.push_back({x, y});
        x += spacing + child.width;
        lineHeight = std::max(lineHeight, child.height);
    }
    return origins;
}

} // namespace tarn::flow
