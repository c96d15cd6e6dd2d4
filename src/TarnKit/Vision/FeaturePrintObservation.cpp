#include "TarnKit/Vision/FeaturePrintObservation.h"

#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/GrayImage.h"
#include "TarnKit/Vision/VisionError.h"

#include <cmath>
#include <numbers>

namespace tarn {
namespace {

constexpr int kSide = 64;         // the working image, kSide x kSide
constexpr int kThumbnailSide = 8; // blocks of the thumbnail per side
constexpr int kCellsPerSide = 4;  // cells of the direction histograms per side
constexpr int kDirections = 8;

constexpr std::size_t kThumbnailElements = kThumbnailSide * kThumbnailSide;
constexpr std::size_t kDirectionElements = kCellsPerSide * kCellsPerSide * kDirections;
static_assert(kThumbnailElements + kDirectionElements == FeaturePrintObservation::kElementCount);

// Scales `part` to length 1 / sqrt(2); a part with no length stays zero.
void normalise(std::vector<double>& part) {
    double sum = 0;
    for (double value : part)
        sum += value * value;
    if (sum <= 1e-18)
        return;
    const double scale = 1 / (std::sqrt(sum) * std::numbers::sqrt2);
    for (double& value : part)
        value *= scale;
}

std::vector<double> thumbnail(const detail::GrayImage& image) {
    const detail::GrayImage blocks = detail::resampleByArea(image, kThumbnailSide, kThumbnailSide);
    std::vector<double> part(blocks.values.begin(), blocks.values.end());
    double mean = 0;
    for (double value : part)
        mean += value;
    mean /= static_cast<double>(part.size());
    for (double& value : part)
        value -= mean;
    normalise(part);
    return part;
}

std::vector<double> edgeDirections(const detail::GrayImage& image) {
    constexpr int cellSide = kSide / kCellsPerSide;
    std::vector<double> part(kDirectionElements);
    for (int y = 1; y < kSide - 1; ++y)
        for (int x = 1; x < kSide - 1; ++x) {
            const double gx = double{image.at(x + 1, y)} - image.at(x - 1, y);
            const double gy = double{image.at(x, y + 1)} - image.at(x, y - 1);
            const double strength = std::hypot(gx, gy);
            if (strength <= 0)
                continue;
            // 0 ... kDirections around the circle; split between the two
            // nearest directions so that a slight turn changes the print
            // slightly rather than moving all of it into another bin.
            const double position =
                (std::atan2(gy, gx) + std::numbers::pi) / (2 * std::numbers::pi) * kDirections;
            const int lower = static_cast<int>(std::floor(position));
            const double upperShare = position - lower;
            const auto cell =
                static_cast<std::size_t>((y / cellSide) * kCellsPerSide + x / cellSide) *
                static_cast<std::size_t>(kDirections);
            part[cell + static_cast<std::size_t>(lower % kDirections)] +=
                strength * (1 - upperShare);
            part[cell + static_cast<std::size_t>((lower + 1) % kDirections)] +=
                strength * upperShare;
        }
    normalise(part);
    return part;
}

} // namespace

float FeaturePrintObservation::computeDistance(const FeaturePrintObservation& other) const {
    if (data.size() != other.data.size())
        throw PlatformError(
            kVisionErrorDomain, static_cast<long>(VisionErrorCode::incompatiblePrints),
            "Feature prints of " + numbers::formatInteger(static_cast<long long>(data.size())) +
                " and " + numbers::formatInteger(static_cast<long long>(other.data.size())) +
                " elements cannot be compared.");
    double sum = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const double difference = double{data[i]} - other.data[i];
        sum += difference * difference;
    }
    return static_cast<float>(std::sqrt(sum));
}

namespace detail {

FeaturePrintObservation makeFeaturePrint(const VisionImage& image) {
    const GrayImage working = resampleByArea(grayImage(image), kSide, kSide);
    FeaturePrintObservation print;
    print.data.reserve(FeaturePrintObservation::kElementCount);
    for (double value : thumbnail(working))
        print.data.push_back(static_cast<float>(value));
    for (double value : edgeDirections(working))
        print.data.push_back(static_cast<float>(value));
    return print;
}

} // namespace detail
} // namespace tarn
