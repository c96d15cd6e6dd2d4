#pragma once

#include "TarnKit/Vision/TarnVisionServices.h"
#include "TarnKit/Vision/VisionImage.h"

#include <algorithm>
#include <cstdint>
#include <leptonica/allheaders.h>
#include <memory>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

// Pictures for the image-analysis tests, drawn in code so that every test
// knows exactly what it looks at.
namespace tarn::testing {

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPointer = std::unique_ptr<PIX, PixDeleter>;

// A luminance picture, rows from the top, that tests edit freely.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> gray;

    Canvas(int w, int h, std::uint8_t fill = 255)
        : width(w), height(h), gray(static_cast<std::size_t>(w) * h, fill) {}

    std::uint8_t& at(int x, int y) { return gray[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t at(int x, int y) const { return gray[static_cast<std::size_t>(y) * width + x]; }

    VisionImage image() const {
        std::vector<std::uint8_t> rgba;
        rgba.reserve(gray.size() * 4);
        for (std::uint8_t value : gray)
            rgba.insert(rgba.end(), {value, value, value, 255});
        return VisionImage(width, height, std::move(rgba));
    }

    Canvas crop(int x, int y, int w, int h) const {
        Canvas part(w, h);
        for (int row = 0; row < h; ++row)
            for (int column = 0; column < w; ++column)
                part.at(column, row) = at(x + column, y + row);
        return part;
    }

    // Each output pixel the mean of the `factor` x `factor` block it covers.
    Canvas shrunk(int factor) const {
        Canvas small(width / factor, height / factor);
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy)
                    for (int dx = 0; dx < factor; ++dx)
                        sum += at(x * factor + dx, y * factor + dy);
                small.at(x, y) = static_cast<std::uint8_t>(sum / (factor * factor));
            }
        return small;
    }
};

// A textured, non-repeating scene: random levels on a coarse grid, smoothly
// interpolated, with a little fine grain. The same seed gives the same scene on
// every machine (mt19937's raw output is fixed by the standard).
inline Canvas scene(int width, int height, unsigned seed, int spacing = 12) {
    std::mt19937 random(seed);
    const int columns = width / spacing + 2;
    const int rows = height / spacing + 2;
    std::vector<double> grid(static_cast<std::size_t>(columns) * rows);
    for (double& value : grid)
        value = static_cast<double>(random() % 256);
    Canvas canvas(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int gx = x / spacing;
            const int gy = y / spacing;
            const double fx = static_cast<double>(x % spacing) / spacing;
            const double fy = static_cast<double>(y % spacing) / spacing;
            auto node = [&](int cx, int cy) {
                return grid[static_cast<std::size_t>(cy) * columns + cx];
            };
            const double top = node(gx, gy) * (1 - fx) + node(gx + 1, gy) * fx;
            const double bottom = node(gx, gy + 1) * (1 - fx) + node(gx + 1, gy + 1) * fx;
            const double grain = static_cast<double>(random() % 21) - 10;
            canvas.at(x, y) = static_cast<std::uint8_t>(
                std::clamp(top * (1 - fy) + bottom * fy + grain, 0.0, 255.0));
        }
    return canvas;
}

// Black text in Leptonica's built-in bitmap font (printable ASCII) on white,
// one line per entry, the first baseline at `firstBaseline` and each next one
// `lineSpacing` further down, starting `left` pixels from the left edge.
inline Canvas textCanvas(int width, int height, const std::vector<std::string>& lines,
                         int fontSize = 20, int left = 30, int firstBaseline = 80,
                         int lineSpacing = 90) {
    std::unique_ptr<L_BMF, void (*)(L_BMF*)> font(bmfCreate(nullptr, fontSize),
                                                  [](L_BMF* bmf) { bmfDestroy(&bmf); });
    if (!font)
        throw std::runtime_error("Leptonica has no built-in font of that size");
    PixPointer pix(pixCreate(width, height, 8));
    pixSetAll(pix.get());
    int baseline = firstBaseline;
    for (const std::string& line : lines) {
        l_int32 drawn = 0, overflow = 0;
        pixSetTextline(pix.get(), font.get(), line.c_str(), 0, left, baseline, &drawn, &overflow);
        if (overflow != 0)
            throw std::runtime_error("the text does not fit into the picture");
        baseline += lineSpacing;
    }
    Canvas canvas(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            l_uint32 value = 0;
            pixGetPixel(pix.get(), x, y, &value);
            canvas.at(x, y) = static_cast<std::uint8_t>(value);
        }
    return canvas;
}

// The image in a Leptonica pix of the given depth: 32 (RGBA, alpha kept) or 8
// (gray, from the red channel), optionally with a palette of its grays.
inline PixPointer toPix(const VisionImage& image, int depth, bool palette = false) {
    PixPointer pix(pixCreate(image.width(), image.height(), depth));
    if (depth == 32)
        pixSetSpp(pix.get(), 4);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const std::uint8_t* p =
                &image.rgba()[(static_cast<std::size_t>(y) * image.width() + x) * 4];
            l_uint32 value = p[0];
            if (depth == 32)
                composeRGBAPixel(p[0], p[1], p[2], p[3], &value);
            pixSetPixel(pix.get(), x, y, value);
        }
    if (palette && depth == 8) {
        PixPointer mapped(pixConvertGrayToColormap8(pix.get(), 2));
        return mapped;
    }
    return pix;
}

// The pix encoded in Leptonica's format `format` (IFF_PNG, IFF_BMP, ...).
inline std::vector<std::uint8_t> encode(PIX* pix, int format) {
    l_uint8* data = nullptr;
    size_t size = 0;
    if (pixWriteMem(&data, &size, pix, format) != 0)
        throw std::runtime_error("could not encode the picture");
    std::vector<std::uint8_t> bytes(data, data + size);
    lept_free(data);
    return bytes;
}

} // namespace tarn::testing

// Readable values in failure messages (found by GoogleTest next to the types).
namespace tarn {
inline void PrintTo(const VisionVector& vector, std::ostream* out) {
    *out << "(" << vector.dx << ", " << vector.dy << ")";
}
} // namespace tarn
namespace tarn::TarnVisionServices::detail {
inline void PrintTo(const RecognitionAttempt& attempt, std::ostream* out) {
    *out << (attempt.accurate ? "accurate" : "fast") << (attempt.cpuOnly ? " on CPU" : "");
}
} // namespace tarn::TarnVisionServices::detail
