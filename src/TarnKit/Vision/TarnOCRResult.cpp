#include "TarnKit/Vision/TarnOCRResult.h"

namespace tarn {

std::string TarnOCRResult::fullText() const {
    std::string text;
    for (const TarnOCRLine& line : lines) {
        if (&line != &lines.front())
            text += '\n';
        text += line.text;
    }
    return text;
}

} // namespace tarn
