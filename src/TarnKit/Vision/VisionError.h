#pragma once

// Errors of the image analyses' own machinery (decoding, the text-recognition
// engine), thrown as tarn::PlatformError with this domain and one of the codes
// below. Their descriptions are English only.
namespace tarn {

inline constexpr const char* kVisionErrorDomain = "TarnVision";

enum class VisionErrorCode : long {
    unreadableImage = 1,     // the bytes are no image format that can be decoded
    imageTooLarge = 2,       // more pixels than VisionImage::kMaximumPixelCount
    invalidImage = 3,        // no pixels, or a pixel buffer that does not match its size
    languageUnavailable = 4, // a recognition language without installed data
    recognitionFailed = 5,   // the recognition engine gave up on the image
    incompatiblePrints = 6,  // feature prints with different element counts
};

} // namespace tarn
