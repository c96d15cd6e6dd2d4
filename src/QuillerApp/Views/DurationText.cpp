#include "QuillerApp/Views/DurationText.h"

#include "TarnKit/Platform/Numbers.h"

#include <cmath>
#include <limits>

namespace quiller::DurationText {

std::string wholeMilliseconds(double milliseconds) {
    if (!std::isfinite(milliseconds))
        return "0";
    if (const auto rounded = tarn::numbers::roundToInteger(milliseconds))
        return tarn::numbers::formatInteger(*rounded);
    return tarn::numbers::formatInteger(milliseconds < 0 ? std::numeric_limits<long long>::min()
                                                         : std::numeric_limits<long long>::max());
}

std::string milliseconds(double milliseconds, std::string_view unit) {
    std::string text = wholeMilliseconds(milliseconds);
    text += unit;
    return text;
}

std::string oneDecimal(double value) {
    return tarn::numbers::formatFixed(std::isfinite(value) ? value : 0.0, 1);
}

} // namespace quiller::DurationText
