#pragma once

#include "TarnKit/Vision/TarnOCRResult.h"

#include <string>
#include <vector>

namespace tarn {
class VisionImage;
}

// Text recognition by Tesseract, the engine behind TarnVisionServices. Each
// call starts an engine of its own, so calls from several threads at once are
// safe; each blocks its caller for the whole recognition.
namespace tarn::detail {

// The languages Tesseract loads when the caller names none: English and
// Turkish.
inline constexpr const char* kDefaultRecognitionLanguages = "eng+tur";

// Tesseract's language text for recognition-language codes. Language tags such
// as "en", "en-US", "tr_TR" or "zh-Hant" become Tesseract's data names
// ("eng", "tur", "chi_tra"); any other code, such as a data name itself
// ("deu", "chi_sim"), is passed on as it is. Repeats are dropped; an empty
// list gives kDefaultRecognitionLanguages. A code that is empty or has
// characters other than ASCII letters, digits, "-" and "_" could never name
// installed data and throws tarn::PlatformError (kVisionErrorDomain,
// languageUnavailable).
std::string tesseractLanguages(const std::vector<std::string>& codes);

// One recognition of a non-empty image. `accurate` also re-reads lines of low
// confidence with light and dark swapped (light text on a dark ground);
// the fast level reads every line once. Throws tarn::PlatformError
// (kVisionErrorDomain) languageUnavailable when data of any of the languages is
// missing, and recognitionFailed when the engine gives up on the image.
TarnOCRResult recognizeWithTesseract(const VisionImage& image,
                                     const std::vector<std::string>& languages, bool accurate);

} // namespace tarn::detail
