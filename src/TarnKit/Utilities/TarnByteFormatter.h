#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Short texts for byte counts, durations and transfer rates with decimal
// (1,000-based) units, a savings percentage, and CSV cells. The numbers never
// depend on the process locale: the decimal separator is always ".". Pure
// functions, safe from any thread.
namespace tarn::TarnByteFormatter {

// "0 B" .. "999 B", then "%.1f KB" above 999, "%.1f MB" above 999,999,
// "%.2f GB" above 999,999,999 and "%.2f TB" above 999,999,999,999 (1,000 gives
// "1.0 KB", 999,999 gives "1000.0 KB"). A negative count is 0.
std::string format(std::int64_t bytes);

// Seconds rounded half away from zero: "mm:ss" below an hour ("00:05"), then
// "h:mm:ss" with hours that never wrap ("27:46:40"). Negative values and NaN
// are 0; values beyond the 64-bit range are held at its end.
std::string formatDuration(double seconds);

// "<whole number> B/s" below 1,000, then "%.1f KB/s", "%.1f MB/s" and from
// 1,000,000,000 on "%.2f GB/s"; the rounding comes after the unit is chosen
// (999.6 gives "1000 B/s"). Negative values and NaN are 0.
std::string formatRate(double bytesPerSecond);

// (original - optimized) / original * 100, negative when the result grew; 0
// when original is 0 or less.
double savingsPercent(std::int64_t original, std::int64_t optimized);

// The text as one quoted CSV cell: quotation marks doubled, and an apostrophe
// in front when it starts with "=", "+", "-", "@", a tab or a carriage return,
// so that a spreadsheet does not take the cell for a formula.
std::string csvSafeField(std::string_view text);

} // namespace tarn::TarnByteFormatter
