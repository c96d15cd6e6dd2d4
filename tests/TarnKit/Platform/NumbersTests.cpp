#include "TarnKit/Platform/Numbers.h"
#include "support/ScopedLocale.h"

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <locale>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

using namespace std::literals;
namespace numbers = tarn::numbers;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr long long kMin = std::numeric_limits<long long>::min();
constexpr long long kMax = std::numeric_limits<long long>::max();

using tarn::testing::ScopedLocale;

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(Numbers, FormatsIntegers) {
    EXPECT_EQ(numbers::formatInteger(0), "0");
    EXPECT_EQ(numbers::formatInteger(-5), "-5");
    EXPECT_EQ(numbers::formatInteger(1234567), "1234567");
    EXPECT_EQ(numbers::formatInteger(kMax), "9223372036854775807");
    EXPECT_EQ(numbers::formatInteger(kMin), "-9223372036854775808");
}

TEST(Numbers, FormatsDoublesInTheirShortestForm) {
    struct Case {
        double value;
        std::string_view expected;
    };
    const Case cases[] = {
        {2.0, "2"},
        {0.1, "0.1"},
        {-0.0, "-0"},
        {100.0, "100"},
        {123456.789, "123456.789"},
        {1.0 / 3.0, "0.3333333333333333"},
        {1e21, "1e+21"},
        {1e-7, "1e-07"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {kInf, "inf"},
        {-kInf, "-inf"},
        {kNaN, "nan"},
        {-kNaN, "nan"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numbers::formatDouble(c.value), c.expected) << c.expected;
}

TEST(Numbers, ShortestFormReadsBackToTheSameDouble) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const auto value = std::bit_cast<double>(random());
        if (!std::isfinite(value))
            continue;
        const std::string text = numbers::formatDouble(value);
        const std::optional<double> back = numbers::parseDouble(text);
        ASSERT_TRUE(back.has_value()) << text;
        ASSERT_TRUE(sameBits(*back, value)) << text;
    }
}

TEST(Numbers, FormatsFixedExactlyAsTheCLocalePrintf) {
    // Expected texts are the correctly rounded decimal expansions of the binary
    // values: 0.05 is slightly above a half and 0.15 slightly below, while 0.25
    // and 2.5 are exact ties, which printf rounds to even.
    struct Case {
        double value;
        int precision;
        std::string_view expected;
    };
    const Case cases[] = {
        {0.05, 1, "0.1"},
        {0.15, 1, "0.1"},
        {0.25, 1, "0.2"},
        {0.35, 1, "0.3"},
        {2.5, 0, "2"},
        {3.5, 0, "4"},
        {-2.5, 0, "-2"},
        {0.5, 0, "0"},
        {1.5, 0, "2"},
        {1.005, 2, "1.00"},
        {2.675, 2, "2.67"},
        {123.456, 6, "123.456000"},
        {0.1, 20, "0.10000000000000000555"},
        {1e-7, 3, "0.000"},
        {5e-324, 0, "0"},
        {1e21, 0, "1000000000000000000000"},
        {1e22, 1, "10000000000000000000000.0"},
        {-0.0, 1, "-0.0"},
        {-0.04, 1, "-0.0"},
        {1.5, -1, "1.500000"},
        {kNaN, 2, "nan"},
        {-kNaN, 2, "-nan"},
        {kInf, 2, "inf"},
        {-kInf, 0, "-inf"},
        {std::numeric_limits<double>::max(), 0,
         "179769313486231570814527423731704356798070567525844996598917476803157260780028538760589"
         "558632766878171540458953514382464234321326889464182768467546703537516986049910576551282"
         "076245490090389328944075868508455133942304583236903222948165808559332123348274797826204"
         "144723168738177180919299881250404026184124858368"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numbers::formatFixed(c.value, c.precision), c.expected)
            << c.expected << " at precision " << c.precision;

    const std::string tiny = numbers::formatFixed(-std::numeric_limits<double>::denorm_min(), 1100);
    EXPECT_EQ(tiny.size(), 1103u);
    EXPECT_EQ(tiny.substr(0, 3), "-0.");
}

TEST(Numbers, ParsesIntegers) {
    struct Case {
        std::string_view text;
        std::optional<long long> expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"+5", 5},
        {"-5", -5},
        {"-0", 0},
        {"007", 7},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"5\n", std::nullopt},
        {"5a", std::nullopt},
        {"0x10", std::nullopt},
        {"1e3", std::nullopt},
        {"1.0", std::nullopt},
        {"1,000", std::nullopt},
        {"++5", std::nullopt},
        {"+-5", std::nullopt},
        {"-+5", std::nullopt},
        {"--5", std::nullopt},
        {"\xD9\xA3", std::nullopt}, // ARABIC-INDIC DIGIT THREE
        {"5\0"sv, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numbers::parseInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(Numbers, ParsesDoubles) {
    struct Case {
        std::string_view text;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"0", 0.0},
        {"+5", 5.0},
        {"-0", -0.0},
        {"1.5", 1.5},
        {"0.1", 0.1},
        {".5", 0.5},
        {"5.", 5.0},
        {"-.5", -0.5},
        {"+.5", 0.5},
        {"1e3", 1000.0},
        {"1E-3", 0.001},
        {"+2.5e+2", 250.0},
        {"5e-324", 5e-324},
        {"1.7976931348623157e308", std::numeric_limits<double>::max()},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"1e", std::nullopt},
        {"1e+", std::nullopt},
        {"0x10", std::nullopt},
        {"1,5", std::nullopt},
        {"1_000", std::nullopt},
        {"++5", std::nullopt},
        {"+-5", std::nullopt},
        {"-+5", std::nullopt},
        {"inf", std::nullopt},
        {"-inf", std::nullopt},
        {"+inf", std::nullopt},
        {"infinity", std::nullopt},
        {"nan", std::nullopt},
        {"-nan", std::nullopt},
        {"1e400", std::nullopt},
        {"-1e400", std::nullopt},
        {"1e-400", std::nullopt},
        {"5\0"sv, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE('"' + std::string(c.text) + '"');
        const std::optional<double> parsed = numbers::parseDouble(c.text);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value());
        if (parsed) {
            EXPECT_TRUE(sameBits(*parsed, *c.expected)) << *parsed;
        }
    }
}

TEST(Numbers, RoundsHalvesAwayFromZero) {
    struct Case {
        double value;
        double rounded;
        std::optional<long long> integer;
    };
    const Case cases[] = {
        {2.5, 3.0, 3},
        {-2.5, -3.0, -3},
        {0.5, 1.0, 1},
        {1.5, 2.0, 2},
        {-1.5, -2.0, -2},
        {2.4999999999999996, 2.0, 2},
        {0.49999999999999994, 0.0, 0},
        {-0.49999999999999994, -0.0, 0},
        {4503599627370497.0, 4503599627370497.0, 4503599627370497LL}, // 2^52 + 1
        {9223372036854774784.0, 9223372036854774784.0, 9223372036854774784LL},
        {-9223372036854775808.0, -9223372036854775808.0, kMin},
        {9223372036854775808.0, 9223372036854775808.0, std::nullopt}, // 2^63
        {-9223372036854777856.0, -9223372036854777856.0, std::nullopt},
        {1e300, 1e300, std::nullopt},
        {kInf, kInf, std::nullopt},
        {-kInf, -kInf, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(numbers::formatDouble(c.value));
        EXPECT_TRUE(sameBits(numbers::roundHalfAwayFromZero(c.value), c.rounded));
        EXPECT_EQ(numbers::roundToInteger(c.value), c.integer);
    }
    EXPECT_TRUE(std::isnan(numbers::roundHalfAwayFromZero(kNaN)));
    EXPECT_EQ(numbers::roundToInteger(kNaN), std::nullopt);
}

// A time shown as a whole number: never undefined behaviour for a value no
// long long holds, and 0 for a time that is not a number at all.
TEST(Numbers, TruncatesTowardZeroWithinRange) {
    const struct {
        double value;
        long long expected;
    } cases[] = {
        {143.9, 143},
        {-143.9, -143},
        {-0.5, 0},
        {0.0, 0},
        {9223372036854774784.0, 9223372036854774784LL},
        {9223372036854775808.0, kMax}, // 2^63
        {1e300, kMax},
        {-9223372036854775808.0, kMin},
        {-1e300, kMin},
        {kInf, 0},
        {-kInf, 0},
        {kNaN, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(numbers::formatDouble(c.value));
        EXPECT_EQ(numbers::truncateToInteger(c.value), c.expected);
    }
}

TEST(Numbers, IgnoresATurkishProcessLocale) {
    // Turkish writes "1,5" and groups thousands with "."; none of that may leak in.
    ScopedLocale turkish("tr_TR.UTF-8");
    EXPECT_EQ(numbers::formatDouble(1234.5), "1234.5");
    EXPECT_EQ(numbers::formatFixed(1234.5, 2), "1234.50");
    EXPECT_EQ(numbers::formatInteger(1234567), "1234567");
    EXPECT_EQ(numbers::parseDouble("1.5"), 1.5);
    EXPECT_EQ(numbers::parseDouble("1,5"), std::nullopt);
    EXPECT_EQ(numbers::parseInteger("1.234"), std::nullopt);
}

} // namespace
