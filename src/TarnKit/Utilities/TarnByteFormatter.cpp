#include "TarnKit/Utilities/TarnByteFormatter.h"

#include "TarnKit/Platform/Numbers.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace tarn::TarnByteFormatter {
namespace {

std::string twoDigits(long long value) {
    std::string text = numbers::formatInteger(value);
    if (text.size() < 2)
        text.insert(0, 2 - text.size(), '0');
    return text;
}

std::string scaled(double value, double unit, int precision, std::string_view suffix) {
    std::string text = numbers::formatFixed(value / unit, precision);
    text += ' ';
    text += suffix;
    return text;
}

} // namespace

std::string format(std::int64_t bytes) {
    const std::int64_t count = bytes < 0 ? 0 : bytes;
    const auto value = static_cast<double>(count);
    if (count > 999'999'999'999)
        return scaled(value, 1e12, 2, "TB");
    if (count > 999'999'999)
        return scaled(value, 1e9, 2, "GB");
    if (count > 999'999)
        return scaled(value, 1e6, 1, "MB");
    if (count > 999)
        return scaled(value, 1e3, 1, "KB");
    return numbers::formatInteger(count) + " B";
}

std::string formatDuration(double seconds) {
    long long total = 0;
    if (seconds > 0) {
        total = numbers::roundToInteger(seconds).value_or(std::numeric_limits<long long>::max());
    }
    const long long hours = total / 3600;
    const long long minutes = total % 3600 / 60;
    const long long rest = total % 60;
    if (total < 3600)
        return twoDigits(minutes) + ":" + twoDigits(rest);
    return numbers::formatInteger(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(rest);
}

std::string formatRate(double bytesPerSecond) {
    const double value = std::isnan(bytesPerSecond) || bytesPerSecond < 0 ? 0 : bytesPerSecond;
    if (value < 1e3)
        return numbers::formatInteger(std::llround(value)) + " B/s";
    if (value < 1e6)
        return scaled(value, 1e3, 1, "KB/s");
    if (value < 1e9)
        return scaled(value, 1e6, 1, "MB/s");
    return scaled(value, 1e9, 2, "GB/s");
}

double savingsPercent(std::int64_t original, std::int64_t optimized) {
    if (original <= 0)
        return 0;
    return (static_cast<double>(original) - static_cast<double>(optimized)) /
           static_cast<double>(original) * 100;
}

std::string csvSafeField(std::string_view text) {
    std::string cell = "\"";
    cell.reserve(text.size() + 3);
    // The first byte, not the first user-perceived character: "=" followed by
    // a combining mark, or a CR LF pair, must not slip past as "another
    // character" when a spreadsheet would still see the "=" or the CR.
    if (!text.empty()) {
        switch (text.front()) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r':
            cell += '\'';
            break;
        default:
            break;
        }
    }
    for (const char c : text) {
        if (c == '"')
            cell += '"';
        cell += c;
    }
    cell += '"';
    return cell;
}

} // namespace tarn::TarnByteFormatter
