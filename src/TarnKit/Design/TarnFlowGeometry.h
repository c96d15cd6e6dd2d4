#pragma once

#include <optional>
#include <span>
#include <vector>

// The measuring and placing of TarnFlowLayout as pure functions over ideal
// sizes, free of Qt so that the rules can be checked case by case.
namespace tarn::flow {

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Bounds {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// Children left to right, wrapping when the next one would pass the proposed
// width (none, or one that is not finite, means unlimited). The width answered
// is the proposal when it is finite, else the widest line. A child that is the
// first on its line never wraps, so a child wider than the proposal sticks out.
Size sizeThatFits(std::span<const Size> children, std::optional<double> proposedWidth,
                  double spacing, double lineSpacing);

// The top-left corner of each child within `bounds`. Unlike measuring, placing
// tolerates half a unit of overflow before wrapping, so rounding in the
// toolkit's geometry does not push a child that was measured on a line onto
// the next one.
std::vector<Point> placeSubviews(std::span<const Size> children, Bounds bounds, double spacing,
                                 double lineSpacing);

} // namespace tarn::flow
