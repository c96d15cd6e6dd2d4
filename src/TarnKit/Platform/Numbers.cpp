#include "TarnKit/Platform/Numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tarn::numbers {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// from_chars takes "-" but not "+"; a "+" is accepted here only when a digit
// (or, for doubles, a point) follows, so "+-5" and "+ 5" stay invalid.
std::string_view strippingPlus(std::string_view text, bool allowPoint) {
    if (text.size() >= 2 && text[0] == '+' && (isDigit(text[1]) || (allowPoint && text[1] == '.')))
        return text.substr(1);
    return text;
}

} // namespace

std::string formatInteger(long long value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string formatDouble(double value) {
    if (std::isnan(value))
        return "nan";
    std::array<char, 32> buffer{}; // the longest shortest form is 24 characters
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string formatFixed(double value, int precision) {
    if (precision < 0)
        precision = 6;
    // A finite double has at most 309 digits before the point.
    std::string text(static_cast<std::size_t>(precision) + 320, '\0');
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, precision);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    return text;
}

std::optional<long long> parseInteger(std::string_view text) {
    text = strippingPlus(text, false);
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

std::optional<double> parseDouble(std::string_view text) {
    text = strippingPlus(text, true);
    // from_chars also reads "inf", "infinity" and "nan"; a number typed by a
    // user always starts with a digit or a point after its sign.
    const std::size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
    if (first >= text.size() || !(isDigit(text[first]) || text[first] == '.'))
        return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double roundHalfAwayFromZero(double value) {
    return std::round(value);
}

std::optional<long long> roundToInteger(double value) {
    const double rounded = std::round(value);
    // 2^63 is exact in double; every double below it converts without overflow.
    constexpr double kLimit = 9223372036854775808.0;
    if (!(rounded >= -kLimit && rounded < kLimit))
        return std::nullopt;
    return static_cast<long long>(rounded);
}

long long truncateToInteger(double value) {
    if (!std::isfinite(value))
        return 0;
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (value >= kLimit)
        return std::numeric_limits<long long>::max();
    if (value <= -kLimit)
        return std::numeric_limits<long long>::min();
    return static_cast<long long>(value);
}

} // namespace tarn::numbers
