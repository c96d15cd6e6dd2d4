#pragma once

#include "TarnKit/Vision/FeaturePrintObservation.h"
#include "TarnKit/Vision/TarnOCRResult.h"
#include "TarnKit/Vision/VisionGeometry.h"
#include "TarnKit/Vision/VisionImage.h"

#include <functional>
#include <string>
#include <vector>

// Image analyses for the suite's applications that work with screenshots and
// pictures: text recognition (by Tesseract), feature prints for comparing
// images, and the translation that aligns two images. Every function is
// stateless, may be called from any thread and blocks it while the analysis
// runs (text recognition takes a fraction of a second to seconds), so callers
// keep them off the main thread. recognizeText and translationalOffset refuse
// an empty image with tarn::PlatformError (kVisionErrorDomain, invalidImage).
namespace tarn::TarnVisionServices {

// The error of featurePrint when no print can be made.
inline constexpr const char* kErrorDomain = "TarnVisionServices";

// The lines of text in `image`. `languages` are recognition-language codes
// (language tags such as "en-US" and "tr-TR", or Tesseract data names such as
// "eng"); an empty list reads English and Turkish. `accurate` chooses the
// careful level over the fast one.
//
// Should a recognition fail, it is tried once more the same way on the CPU and
// then at the fast level on the CPU; only the error of that last attempt
// reaches the caller. Tesseract has no compute device but the CPU, so the
// second attempt repeats the first. The errors are tarn::PlatformError
// (kVisionErrorDomain): languageUnavailable when a code is malformed or names a
// language whose data is not installed (never a reading without it), and
// recognitionFailed when the engine gives up on the image.
TarnOCRResult recognizeText(const VisionImage& image, const std::vector<std::string>& languages,
                            bool accurate);

// The feature print of `image` (see FeaturePrintObservation for what it
// holds). Throws tarn::PlatformError with kErrorDomain, code 1 and the
// description "Could not compute image feature print." when the image is
// empty.
FeaturePrintObservation featurePrint(const VisionImage& image);

// The translation that aligns `to` with `from`: moving the content of `to` by
// (dx, dy) puts it where it is in `from`. Whole pixels, x to the right and
// y upwards (the origin at the lower left, as in the boxes of recognised text).
// For example, when `to` shows the content of `from` moved 7 pixels to the
// right and 3 pixels down, the result is (-7, 3). Found by phase correlation of
// the images' luminance; the images may differ in size. Images with nothing to
// align (flat, or identical) give (0, 0).
VisionVector translationalOffset(const VisionImage& from, const VisionImage& to);

namespace detail {

// One recognition attempt: the level (accurate or fast) and whether to keep to
// the CPU.
struct RecognitionAttempt {
    bool accurate = true;
    bool cpuOnly = false;

    bool operator==(const RecognitionAttempt&) const = default;
};

// The fallback chain of recognizeText over `attempt`, which runs one attempt
// and throws when it fails.
TarnOCRResult
recognizeWithFallback(bool accurate,
                      const std::function<TarnOCRResult(RecognitionAttempt)>& attempt);

} // namespace detail
} // namespace tarn::TarnVisionServices
