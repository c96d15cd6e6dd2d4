#pragma once

#include "TarnKit/Vision/VisionGeometry.h"

#include <string>
#include <vector>

namespace tarn {

// One recognised line of text. A value; safe to share between threads.
struct TarnOCRLine {
    std::string text;
    // Normalised to 0...1 of the image, origin at the lower left.
    VisionRect boundingBox;
    // The recogniser's confidence in `text`, 0...1.
    float confidence = 0;

    bool operator==(const TarnOCRLine&) const = default;
};

// The lines of one recognition, in the order the recogniser read them. A value;
// safe to share between threads.
struct TarnOCRResult {
    std::vector<TarnOCRLine> lines;

    // Every line's text, one line feed between them and none at the end; the
    // empty text when there are no lines.
    std::string fullText() const;

    bool operator==(const TarnOCRResult&) const = default;
};

} // namespace tarn
