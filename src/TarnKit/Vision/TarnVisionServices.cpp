#include "TarnKit/Vision/TarnVisionServices.h"

#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/GrayImage.h"
#include "TarnKit/Vision/PhaseCorrelation.h"
#include "TarnKit/Vision/TesseractRecognizer.h"
#include "TarnKit/Vision/VisionError.h"

namespace tarn::TarnVisionServices {
namespace {

void requirePixels(const VisionImage& image) {
    if (image.isEmpty())
        throw PlatformError(kVisionErrorDomain, static_cast<long>(VisionErrorCode::invalidImage),
                            "The image has no pixels.");
}

} // namespace

namespace detail {

TarnOCRResult
recognizeWithFallback(bool accurate,
                      const std::function<TarnOCRResult(RecognitionAttempt)>& attempt) {
    try {
        return attempt({accurate, false});
    } catch (const std::exception&) {
    }
    try {
        return attempt({accurate, true});
    } catch (const std::exception&) {
    }
    return attempt({false, true});
}

} // namespace detail

TarnOCRResult recognizeText(const VisionImage& image, const std::vector<std::string>& languages,
                            bool accurate) {
    requirePixels(image);
    return detail::recognizeWithFallback(accurate, [&](detail::RecognitionAttempt attempt) {
        // The CPU is Tesseract's only compute device: keeping to it changes
        // nothing.
        return tarn::detail::recognizeWithTesseract(image, languages, attempt.accurate);
    });
}

FeaturePrintObservation featurePrint(const VisionImage& image) {
    if (image.isEmpty())
        throw PlatformError(kErrorDomain, 1, "Could not compute image feature print.");
    return tarn::detail::makeFeaturePrint(image);
}

VisionVector translationalOffset(const VisionImage& from, const VisionImage& to) {
    requirePixels(from);
    requirePixels(to);
    const tarn::detail::PixelShift shift =
        tarn::detail::estimateShift(tarn::detail::grayImage(from), tarn::detail::grayImage(to));
    // The shift is how far the content of `to` moved, with rows counted
    // downwards; aligning undoes the move, and y points up.
    return {static_cast<double>(-shift.x), static_cast<double>(shift.y)};
}

} // namespace tarn::TarnVisionServices
