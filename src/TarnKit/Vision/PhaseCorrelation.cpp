#include "TarnKit/Vision/PhaseCorrelation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace tarn::detail {
namespace {

using Complex = std::complex<double>;

// The largest side correlated in one transform (a power of two). Larger
// images go through the pyramid in estimateShift.
constexpr int kLargestWindow = 512;

int nextPowerOfTwo(int value) {
    int size = 1;
    while (size < value)
        size *= 2;
    return size;
}

// Radix-2 FFT of one power-of-two length, in place. The inverse flips the
// sign of the exponent and leaves the result unscaled: only the place of the
// peak matters here.
class Fft {
public:
    explicit Fft(std::size_t size) : m_twiddles(size / 2) {
        // Each twiddle from its own angle: a running product would drift.
        for (std::size_t k = 0; k < m_twiddles.size(); ++k)
            m_twiddles[k] = std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(k) /
                                                static_cast<double>(size));
    }

    void run(std::vector<Complex>& data, bool inverse) const {
        const std::size_t size = data.size();
        for (std::size_t i = 1, j = 0; i < size; ++i) {
            std::size_t bit = size >> 1;
            for (; (j & bit) != 0; bit >>= 1)
                j ^= bit;
            j ^= bit;
            if (i < j)
                std::swap(data[i], data[j]);
        }
        for (std::size_t length = 2; length <= size; length *= 2) {
            const std::size_t half = length / 2;
            const std::size_t stride = size / length;
            for (std::size_t start = 0; start < size; start += length)
                for (std::size_t k = 0; k < half; ++k) {
                    const Complex twiddle =
                        inverse ? std::conj(m_twiddles[k * stride]) : m_twiddles[k * stride];
                    const Complex even = data[start + k];
                    const Complex odd = data[start + k + half] * twiddle;
                    data[start + k] = even + odd;
                    data[start + k + half] = even - odd;
                }
        }
    }

private:
    std::vector<Complex> m_twiddles;
};

// Rows, then columns, of a `width` x `height` grid stored row by row.
void fft2d(std::vector<Complex>& grid, int width, int height, bool inverse) {
    const Fft across(static_cast<std::size_t>(width));
    std::vector<Complex> line(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const auto row = grid.begin() + static_cast<std::ptrdiff_t>(y) * width;
        std::copy(row, row + width, line.begin());
        across.run(line, inverse);
        std::copy(line.begin(), line.end(), row);
    }
    const Fft down(static_cast<std::size_t>(height));
    line.resize(static_cast<std::size_t>(height));
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y)
            line[static_cast<std::size_t>(y)] =
                grid[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)];
        down.run(line, inverse);
        for (int y = 0; y < height; ++y)
            grid[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(x)] = line[static_cast<std::size_t>(y)];
    }
}

// The Hann window over `size` samples.
std::vector<double> taper(int size) {
    std::vector<double> weights(static_cast<std::size_t>(size), 1.0);
    if (size < 2)
        return weights;
    for (int i = 0; i < size; ++i)
        weights[static_cast<std::size_t>(i)] =
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (size - 1));
    return weights;
}

// Writes the image without its mean, tapered to zero at its borders, into the
// top left of the grid, as real parts or as imaginary parts. Without the taper
// the borders, which sit at the same place in both images whatever the content
// did, would outvote the content and pull the answer to (0, 0).
void place(const GrayImage& image, std::vector<Complex>& grid, int gridWidth, bool imaginary) {
    double mean = 0;
    for (float value : image.values)
        mean += value;
    mean /= static_cast<double>(image.values.size());
    const std::vector<double> across = taper(image.width);
    const std::vector<double> down = taper(image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double value = (image.at(x, y) - mean) * down[static_cast<std::size_t>(y)] *
                                 across[static_cast<std::size_t>(x)];
            Complex& cell = grid[static_cast<std::size_t>(y) * static_cast<std::size_t>(gridWidth) +
                                 static_cast<std::size_t>(x)];
            if (imaginary)
                cell.imag(value);
            else
                cell.real(value);
        }
}

// Both images at most kLargestWindow on each side.
PixelShift phaseCorrelate(const GrayImage& from, const GrayImage& to) {
    const int width = nextPowerOfTwo(std::max(from.width, to.width));
    const int height = nextPowerOfTwo(std::max(from.height, to.height));
    // Both images are real, so one transform carries both: `from` as the real
    // part and `to` as the imaginary part, told apart afterwards by symmetry.
    std::vector<Complex> packed(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    place(from, packed, width, false);
    place(to, packed, width, true);
    fft2d(packed, width, height, false);

    std::vector<Complex> cross(packed.size());
    for (int v = 0; v < height; ++v)
        for (int u = 0; u < width; ++u) {
            const std::size_t here = static_cast<std::size_t>(v) * static_cast<std::size_t>(width) +
                                     static_cast<std::size_t>(u);
            const std::size_t mirror =
                static_cast<std::size_t>((height - v) % height) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>((width - u) % width);
            const Complex fromSpectrum = (packed[here] + std::conj(packed[mirror])) * 0.5;
            const Complex toSpectrum =
                (packed[here] - std::conj(packed[mirror])) * Complex{0, -0.5};
            cross[here] = toSpectrum * std::conj(fromSpectrum);
        }

    double largest = 0;
    for (const Complex& value : cross)
        largest = std::max(largest, std::abs(value));
    // Frequencies with (next to) no energy have no phase worth trusting; whole
    // flat images end up with no peak at all and hence at (0, 0).
    const double floor = largest * 1e-12;
    for (Complex& value : cross) {
        const double magnitude = std::abs(value);
        value = magnitude > floor && magnitude > 0 ? value / magnitude : Complex{};
    }
    fft2d(cross, width, height, true);

    // The first of equal peaks, so the answer never depends on anything but
    // the pixels.
    std::size_t best = 0;
    for (std::size_t i = 1; i < cross.size(); ++i)
        if (cross[i].real() > cross[best].real())
            best = i;
    int x = static_cast<int>(best % static_cast<std::size_t>(width));
    int y = static_cast<int>(best / static_cast<std::size_t>(width));
    // The correlation is circular: the far half of the grid stands for
    // negative shifts.
    if (x > width / 2)
        x -= width;
    if (y > height / 2)
        y -= height;
    return {x, y};
}

// Where the two images overlap under `shift`, along one axis, in the
// coordinates of `from`.
struct Span {
    int begin;
    int end;
};

Span overlap(int fromSize, int toSize, int shift) {
    return {std::max(0, -shift), std::min(fromSize, toSize - shift)};
}

} // namespace

PixelShift estimateShift(const GrayImage& from, const GrayImage& to) {
    if (from.values.empty() || to.values.empty())
        return {};
    const int largestSide = std::max({from.width, from.height, to.width, to.height});
    if (largestSide <= kLargestWindow)
        return phaseCorrelate(from, to);

    const PixelShift coarse = estimateShift(halve(from), halve(to));
    const PixelShift guess{coarse.x * 2, coarse.y * 2};

    // The halving lost up to a pixel or two per level; a window of the overlap
    // at full resolution settles them.
    const Span across = overlap(from.width, to.width, guess.x);
    const Span down = overlap(from.height, to.height, guess.y);
    if (across.end <= across.begin || down.end <= down.begin)
        return guess;
    const int windowWidth = std::min(kLargestWindow, across.end - across.begin);
    const int windowHeight = std::min(kLargestWindow, down.end - down.begin);
    const int left = across.begin + (across.end - across.begin - windowWidth) / 2;
    const int top = down.begin + (down.end - down.begin - windowHeight) / 2;
    const PixelShift residual =
        phaseCorrelate(crop(from, left, top, windowWidth, windowHeight),
                       crop(to, left + guess.x, top + guess.y, windowWidth, windowHeight));
    return {guess.x + residual.x, guess.y + residual.y};
}

} // namespace tarn::detail
