#pragma once

// The one way the screens show a time in milliseconds: rounded half away from
// zero to a whole number. A time that is not a finite number (a division by a
// zero wall time, a clock that went wrong) shows as 0 rather than "nan" or
// "inf", and a finite time beyond the integer range is held at its end.
// Numbers never depend on the process locale. Pure functions, any thread.

#include <string>
#include <string_view>

namespace quiller::DurationText {

// The rounded whole number alone: 12.5 gives "13", 0.4 gives "0", NaN "0".
std::string wholeMilliseconds(double milliseconds);

// The rounded number followed by `unit` ("13 ms" with " ms", "13ms" with "ms").
std::string milliseconds(double milliseconds, std::string_view unit = " ms");

// A rate with one decimal exactly as "%.1f" prints in the C locale (12.25
// gives "12.2"); not a finite number gives "0.0".
std::string oneDecimal(double value);

} // namespace quiller::DurationText
