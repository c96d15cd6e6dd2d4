#pragma once

#include <cstdint>

namespace tarn {

// An sRGB colour as four components in 0...1, without any toolkit type, so
// that Qt-free code (the suite bus, the emblem artwork) can name the suite's
// colours. The Qt layer converts it with QColor::fromRgbF.
struct TarnColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // The integer form 0xRRGGBB, each byte divided by 255; bits 24 to 31 are
    // ignored, so 0xFF3EE6A8 is the same colour as 0x3EE6A8.
    static constexpr TarnColor fromHex(std::uint32_t hex, double opacity = 1) {
        return {static_cast<double>((hex >> 16) & 0xFFu) / 255.0,
                static_cast<double>((hex >> 8) & 0xFFu) / 255.0,
                static_cast<double>(hex & 0xFFu) / 255.0, opacity};
    }
    static constexpr TarnColor white(double opacity = 1) { return {1, 1, 1, opacity}; }
    static constexpr TarnColor black(double opacity = 1) { return {0, 0, 0, opacity}; }

    friend constexpr bool operator==(const TarnColor&, const TarnColor&) = default;
};

} // namespace tarn
