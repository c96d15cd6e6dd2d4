#include "TarnKit/Utilities/TarnByteFormatter.h"
#include "support/ScopedLocale.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

namespace formatter = tarn::TarnByteFormatter;
using namespace std::string_literals;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(TarnByteFormatter, FormatsByteCountsWithDecimalUnits) {
    const struct {
        std::int64_t bytes;
        const char* expected;
    } cases[] = {
        {0, "0 B"},
        {-5, "0 B"},
        {std::numeric_limits<std::int64_t>::min(), "0 B"},
        {999, "999 B"},
        {1'000, "1.0 KB"},
        {1'500, "1.5 KB"},
        {999'949, "999.9 KB"},
        {999'999, "1000.0 KB"}, // the unit changes only above 999,999
        {1'000'000, "1.0 MB"},
        {1'250'000, "1.2 MB"}, // 1.25 is exact: printf's round-half-even
        {999'999'999, "1000.0 MB"},
        {1'000'000'000, "1.00 GB"},
        {2'500'000'000, "2.50 GB"},
        {999'999'999'999, "1000.00 GB"},
        {1'000'000'000'000, "1.00 TB"},
        {std::numeric_limits<std::int64_t>::max(), "9223372.04 TB"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.bytes);
        EXPECT_EQ(formatter::format(test.bytes), test.expected);
    }
}

TEST(TarnByteFormatter, FormatsDurations) {
    const struct {
        double seconds;
        const char* expected;
    } cases[] = {
        {0, "00:00"},
        {-3, "00:00"},
        {kNaN, "00:00"},
        {-kInfinity, "00:00"},
        {4.4, "00:04"},
        {4.5, "00:05"}, // halves away from zero
        {59.5, "01:00"},
        {3'599.4, "59:59"},
        {3'599.5, "1:00:00"},
        {3'600, "1:00:00"},
        {90'000, "25:00:00"}, // hours do not wrap at 24
        {100'000, "27:46:40"},
        {kInfinity, "2562047788015215:30:07"},
        {1e300, "2562047788015215:30:07"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.seconds);
        EXPECT_EQ(formatter::formatDuration(test.seconds), test.expected);
    }
}

TEST(TarnByteFormatter, FormatsRates) {
    const struct {
        double rate;
        const char* expected;
    } cases[] = {
        {0, "0 B/s"},
        {-1, "0 B/s"},
        {kNaN, "0 B/s"},
        {999.4, "999 B/s"},
        {999.6, "1000 B/s"}, // rounded after the unit is chosen
        {1'000, "1.0 KB/s"},
        {2'500'000, "2.5 MB/s"},
        {999'999'999, "1000.0 MB/s"},
        {3'000'000'000, "3.00 GB/s"},
        {5e12, "5000.00 GB/s"}, // no TB step
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.rate);
        EXPECT_EQ(formatter::formatRate(test.rate), test.expected);
    }
}

TEST(TarnByteFormatter, SavingsPercent) {
    EXPECT_DOUBLE_EQ(formatter::savingsPercent(200, 50), 75.0);
    EXPECT_DOUBLE_EQ(formatter::savingsPercent(100, 150), -50.0); // not clamped
    EXPECT_DOUBLE_EQ(formatter::savingsPercent(0, 50), 0.0);
    EXPECT_DOUBLE_EQ(formatter::savingsPercent(-10, 5), 0.0);
}

TEST(TarnByteFormatter, CsvSafeFieldQuotesAndDefusesFormulas) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"", R"c("")c"},
        {"plain", R"c("plain")c"},
        {"a=b", R"c("a=b")c"},
        {R"c(say "hi")c", R"c("say ""hi""")c"},
        {"=SUM(A1)", R"c("'=SUM(A1)")c"},
        {"+1", R"c("'+1")c"},
        {"-1", R"c("'-1")c"},
        {"@cmd", R"c("'@cmd")c"},
        {"\tx", "\"'\tx\""},
        {"\rx", "\"'\rx\""},
        {"\r\nx", "\"'\r\nx\""},           // CR LF is one character, still a CR first
        {"=\xCC\x81x", "\"'=\xCC\x81x\""}, // "=" with a combining accent
        {R"c(="x")c", R"c("'=""x""")c"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(formatter::csvSafeField(test.text), test.expected);
    }
}

// Turkish writes "1,5": the texts must not follow the process locale.
TEST(TarnByteFormatter, IgnoresTheProcessLocale) {
    const tarn::testing::ScopedLocale turkish("tr_TR.UTF-8");
    EXPECT_EQ(formatter::format(1'500), "1.5 KB");
    EXPECT_EQ(formatter::format(2'500'000'000), "2.50 GB");
    EXPECT_EQ(formatter::formatRate(2'500'000), "2.5 MB/s");
    EXPECT_EQ(formatter::formatRate(999.6), "1000 B/s");
    EXPECT_EQ(formatter::formatDuration(100'000), "27:46:40");
    EXPECT_EQ(formatter::format(1'234'567'890'123), "1.23 TB");
}

} // namespace
