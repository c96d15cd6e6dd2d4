#pragma once

#include <optional>
#include <string>
#include <string_view>

// Number text that never depends on the process locale: the decimal separator
// is always ".", there is never a grouping separator. Pure functions, safe from
// any thread.
namespace tarn::numbers {

std::string formatInteger(long long value);

// The shortest text that reads back as the same double: 2.0 gives "2", 0.1
// gives "0.1", 1e21 gives "1e+21". Infinities are "inf" and "-inf"; every NaN
// is "nan".
std::string formatDouble(double value);

// Exactly what printf("%.*f", precision, value) prints in the C locale,
// correctly rounded from the binary value ("-0.0", "nan", "-inf" included). A
// negative precision means 6, as it does for printf.
std::string formatFixed(double value, int precision);

// An optional "+" or "-" followed by decimal digits, and nothing else (no
// blanks). Values outside long long give nullopt.
[[nodiscard]] std::optional<long long> parseInteger(std::string_view text);

// An optional "+" or "-" followed by a decimal number with an optional
// fraction and exponent ("1", "-0.5", ".5", "5.", "1e-3"), and nothing else.
// The text is typed by users, so "inf", "nan", hexadecimal forms and values
// beyond the range of double (too large, or so small they would round to zero)
// give nullopt instead of silently becoming a special value.
[[nodiscard]] std::optional<double> parseDouble(std::string_view text);

// The value of one hexadecimal digit in either letter case, or -1 for any
// other character.
constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Rounds halves away from zero: 2.5 gives 3, -2.5 gives -3.
double roundHalfAwayFromZero(double value);
// The same, as an integer; nullopt for NaN and for results outside long long.
std::optional<long long> roundToInteger(double value);

// Cuts the fraction off toward zero, as a time in milliseconds is shown as a
// whole number: 143.9 gives 143, -0.5 gives 0. A value that is not finite
// gives 0; a finite one beyond long long gives the nearest end of its range.
long long truncateToInteger(double value);

} // namespace tarn::numbers
