#include "QuillerApp/Views/DurationText.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace quiller {
namespace {

TEST(DurationText, RoundsHalvesAwayFromZeroAndShowsNonFiniteTimesAsZero) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        double milliseconds;
        const char* whole;
    } cases[] = {
        {12.5, "13"},
        {12.49, "12"},
        {0.4, "0"},
        {0.5, "1"},
        {0, "0"},
        {-0.4, "0"}, // never "-0"
        {-2.5, "-3"},
        {1234567.0, "1234567"}, // no grouping separator
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {inf, "0"},
        {-inf, "0"},
        {1e300, "9223372036854775807"}, // held at the end of the range
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DurationText::wholeMilliseconds(c.milliseconds), c.whole) << c.milliseconds;
        EXPECT_EQ(DurationText::milliseconds(c.milliseconds), std::string(c.whole) + " ms");
        EXPECT_EQ(DurationText::milliseconds(c.milliseconds, "ms"), std::string(c.whole) + "ms");
    }
}

TEST(DurationText, OneDecimalIsTheCLocaleFixedFormAndZeroForNonFiniteRates) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {12.25, "12.2"}, // the binary value lies below the half
        {0.05, "0.1"},
        {99.96, "100.0"},
        {0, "0.0"},
        {std::numeric_limits<double>::quiet_NaN(), "0.0"},
        {std::numeric_limits<double>::infinity(), "0.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DurationText::oneDecimal(c.value), c.text) << c.value;
}

} // namespace
} // namespace quiller
