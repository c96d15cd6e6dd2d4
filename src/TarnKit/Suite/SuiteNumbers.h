#pragma once

// Arithmetic on figures read from other processes' files, which may hold
// anything the JSON range allows. Pure functions, safe from any thread.

#include <cmath>
#include <cstdint>
#include <limits>

namespace tarn::suite {

// a + b held at the ends of the 64-bit range instead of overflowing.
inline std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

// a - b, saturating likewise.
inline std::int64_t saturatingSubtract(std::int64_t a, std::int64_t b) {
    std::int64_t difference = 0;
    if (!__builtin_sub_overflow(a, b, &difference))
        return difference;
    return b < 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

// value clamped to lower...upper; NaN becomes lower.
inline double clamped(double value, double lower, double upper) {
    if (!(value >= lower))
        return lower;
    return value > upper ? upper : value;
}

} // namespace tarn::suite
