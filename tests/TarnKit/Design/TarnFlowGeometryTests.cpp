#include "TarnKit/Design/TarnFlowGeometry.h"

#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <vector>

namespace {

using tarn::flow::Bounds;
using tarn::flow::Point;
using tarn::flow::Size;

constexpr double kSpacing = 8;
constexpr double kLineSpacing = 6;

TEST(TarnFlowGeometry, MeasuresLinesAgainstTheProposal) {
    const std::vector<Size> three(3, Size{40, 20});
    const struct {
        const char* name;
        std::vector<Size> children;
        std::optional<double> proposal;
        Size expected;
    } cases[] = {
        {"wraps the third child", three, 100, {100, 20 + kLineSpacing + 20}},
        {"no proposal: one line", three, std::nullopt, {136, 20}},
        {"infinite proposal: one line", three, std::numeric_limits<double>::infinity(), {136, 20}},
        {"NaN proposal: one line", three, std::numeric_limits<double>::quiet_NaN(), {136, 20}},
        {"a wide child sticks out on its own line", {{300, 20}}, 100, {100, 20}},
        {"a wide child after another wraps",
         {{40, 10}, {300, 20}},
         100,
         {100, 10 + kLineSpacing + 20}},
        {"the tallest child sets the line",
         {{40, 10}, {40, 30}, {40, 5}},
         100,
         {100, 30 + kLineSpacing + 5}},
        {"exactly fits", {{46, 20}, {46, 20}}, 100, {100, 20}},
        {"empty, no proposal", {}, std::nullopt, {0, 0}},
        {"empty, proposal", {}, 100, {100, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tarn::flow::sizeThatFits(c.children, c.proposal, kSpacing, kLineSpacing),
                  c.expected)
            << c.name;
}

TEST(TarnFlowGeometry, PlacesFromTheBoundsOrigin) {
    const std::vector<Size> three(3, Size{40, 20});
    const auto origins =
        tarn::flow::placeSubviews(three, Bounds{10, 5, 100, 200}, kSpacing, kLineSpacing);
    const std::vector<Point> expected = {{10, 5}, {58, 5}, {10, 5 + 20 + kLineSpacing}};
    EXPECT_EQ(origins, expected);

    const auto wide = tarn::flow::placeSubviews(std::vector<Size>{{300, 20}}, Bounds{0, 0, 100, 50},
                                                kSpacing, kLineSpacing);
    EXPECT_EQ(wide, (std::vector<Point>{{0, 0}}));
}

// Placing tolerates half a unit of overflow where measuring does not.
TEST(TarnFlowGeometry, PlacingToleratesHalfAUnitMeasuringDoesNot) {
    const std::vector<Size> children = {{46, 20}, {46.4, 20}}; // the line ends 0.4 beyond 100
    EXPECT_EQ(tarn::flow::sizeThatFits(children, 100, kSpacing, kLineSpacing).height,
              20 + kLineSpacing + 20);
    const auto origins =
        tarn::flow::placeSubviews(children, Bounds{0, 0, 100, 100}, kSpacing, kLineSpacing);
    EXPECT_EQ(origins[1], (Point{54, 0}));

    const std::vector<Size> beyond = {{46, 20}, {46.6, 20}};
    EXPECT_EQ(tarn::flow::placeSubviews(beyond, Bounds{0, 0, 100, 100}, kSpacing, kLineSpacing)[1],
              (Point{0, 20 + kLineSpacing}));
}

} // namespace
