#pragma once

#include <cstddef>
#include <vector>

namespace tarn {

class VisionImage;

// A feature print: a fixed-length description of what an image looks like, for
// telling similar images from different ones. Two prints are compared by
// computeDistance: 0 for the same picture, small for the same picture resized
// or slightly changed, around 1 or more for unrelated pictures.
//
// The print is our own and deterministic (the same pixels always give the same
// print), made from the image's luminance (transparent parts read as white),
// resampled by area averaging to 64 x 64 whatever its size and shape:
//   - a thumbnail: the means of 8 x 8 blocks of the 64 x 64 image, without
//     their mean and scaled to unit length (64 elements), which records the
//     layout of light and dark independently of brightness and contrast;
//   - edge directions: a histogram of gradient orientations (8 directions over
//     the full circle, each gradient shared between its two nearest
//     directions and weighted by its strength) for each cell of a 4 x 4 grid,
//     scaled to unit length as a whole (128 elements), which records where the
//     image has edges and which way they run.
// Both parts are multiplied by 1 / sqrt(2), so a print of an image with any
// detail has unit length; a part of a perfectly flat image is all zeros.
// A value; safe to share between threads.
struct FeaturePrintObservation {
    static constexpr std::size_t kElementCount = 192;

    std::vector<float> data;

    std::size_t elementCount() const noexcept { return data.size(); }

    // The Euclidean distance between the two prints (0 to 2 for prints made
    // here). Throws tarn::PlatformError (kVisionErrorDomain,
    // incompatiblePrints) when their element counts differ.
    float computeDistance(const FeaturePrintObservation& other) const;

    bool operator==(const FeaturePrintObservation&) const = default;
};

namespace detail {
// The print of a non-empty image, as described above.
FeaturePrintObservation makeFeaturePrint(const VisionImage& image);
} // namespace detail

} // namespace tarn
