#include "TarnKit/Vision/GrayImage.h"

#include "TarnKit/Vision/VisionImage.h"

#include <algorithm>
#include <cstddef>

namespace tarn::detail {
namespace {

std::size_t pixelCount(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

// One source index and its weight in an output sample.
struct Tap {
    int index;
    double weight;
};

// For each of `outSize` samples along an axis of `inSize` pixels, the pixels
// its footprint [i * in / out, (i + 1) * in / out) covers and how much of each.
std::vector<std::vector<Tap>> areaTaps(int inSize, int outSize) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(outSize));
    const double scale = static_cast<double>(inSize) / outSize;
    for (int i = 0; i < outSize; ++i) {
        const double begin = i * scale;
        const double end = (i + 1) * scale;
        const int first = static_cast<int>(begin);
        const int last = std::min(inSize - 1, static_cast<int>(end - 1e-9));
        for (int p = first; p <= last; ++p) {
            const double covered = std::min<double>(end, p + 1) - std::max<double>(begin, p);
            if (covered > 0)
                taps[static_cast<std::size_t>(i)].push_back({p, covered / scale});
        }
    }
    return taps;
}

} // namespace

std::vector<std::uint8_t> grayBytes(const VisionImage& image) {
    const std::vector<std::uint8_t>& rgba = image.rgba();
    std::vector<std::uint8_t> gray(pixelCount(image.width(), image.height()));
    for (std::size_t i = 0; i < gray.size(); ++i) {
        const std::uint8_t* pixel = &rgba[i * 4];
        const unsigned luma = (299u * pixel[0] + 587u * pixel[1] + 114u * pixel[2] + 500u) / 1000u;
        const unsigned alpha = pixel[3];
        gray[i] = static_cast<std::uint8_t>((luma * alpha + 255u * (255u - alpha) + 127u) / 255u);
    }
    return gray;
}

GrayImage grayImage(const VisionImage& image) {
    const std::vector<std::uint8_t> bytes = grayBytes(image);
    return {image.width(), image.height(), std::vector<float>(bytes.begin(), bytes.end())};
}

GrayImage resampleByArea(const GrayImage& image, int width, int height) {
    const std::vector<std::vector<Tap>> columns = areaTaps(image.width, width);
    const std::vector<std::vector<Tap>> rows = areaTaps(image.height, height);

    // Rows first, then columns: the area is a product of the two axes.
    std::vector<double> narrowed(pixelCount(width, image.height));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < width; ++x) {
            double sum = 0;
            for (const Tap& tap : columns[static_cast<std::size_t>(x)])
                sum += tap.weight * image.at(tap.index, y);
            narrowed[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)] = sum;
        }
    GrayImage result{width, height, std::vector<float>(pixelCount(width, height))};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double sum = 0;
            for (const Tap& tap : rows[static_cast<std::size_t>(y)])
                sum +=
                    tap.weight *
                    narrowed[static_cast<std::size_t>(tap.index) * static_cast<std::size_t>(width) +
                             static_cast<std::size_t>(x)];
            result.values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)] = static_cast<float>(sum);
        }
    return result;
}

GrayImage halve(const GrayImage& image) {
    GrayImage result{(image.width + 1) / 2, (image.height + 1) / 2, {}};
    result.values.resize(pixelCount(result.width, result.height));
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x) {
            float sum = 0;
            int count = 0;
            for (int sy = 2 * y; sy < std::min(2 * y + 2, image.height); ++sy)
                for (int sx = 2 * x; sx < std::min(2 * x + 2, image.width); ++sx) {
                    sum += image.at(sx, sy);
                    ++count;
                }
            result.values[static_cast<std::size_t>(y) * static_cast<std::size_t>(result.width) +
                          static_cast<std::size_t>(x)] = sum / static_cast<float>(count);
        }
    return result;
}

GrayImage crop(const GrayImage& image, int x, int y, int width, int height) {
    GrayImage result{width, height, std::vector<float>(pixelCount(width, height))};
    for (int row = 0; row < height; ++row) {
        const auto source = image.values.begin() +
                            static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y + row) *
                                                            static_cast<std::size_t>(image.width) +
                                                        static_cast<std::size_t>(x));
        std::copy(source, source + width,
                  result.values.begin() + static_cast<std::ptrdiff_t>(row) * width);
    }
    return result;
}

} // namespace tarn::detail
