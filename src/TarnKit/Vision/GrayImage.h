#pragma once

#include <cstdint>
#include <vector>

namespace tarn {
class VisionImage;
}

// The luminance form of an image that the analyses work on, and the ways to
// shrink it. Pure functions, safe from any thread.
namespace tarn::detail {

// Luminance 0...255 per pixel, rows from the top.
struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    float at(int x, int y) const {
        return values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// The image composited over white (so transparent parts read as paper, not as
// black ink), weighted 0.299 R + 0.587 G + 0.114 B. Integer arithmetic, so the
// same image always gives the same bytes.
std::vector<std::uint8_t> grayBytes(const VisionImage& image);
GrayImage grayImage(const VisionImage& image);

// Each output pixel is the mean of the source area it covers, partly covered
// pixels weighted by their share, so an image and a resized copy of it give
// nearly the same result. Works for enlarging as well.
GrayImage resampleByArea(const GrayImage& image, int width, int height);

// Half the size, each side rounded up; an odd last row or column is averaged
// on its own.
GrayImage halve(const GrayImage& image);

// The part of `image` at (x, y) with the given size, which must lie inside it.
GrayImage crop(const GrayImage& image, int x, int y, int width, int height);

} // namespace tarn::detail
