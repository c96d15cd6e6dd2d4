#include "TarnKit/Vision/TesseractRecognizer.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/GrayImage.h"
#include "TarnKit/Vision/VisionError.h"
#include "TarnKit/Vision/VisionImage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <dlfcn.h>
#include <memory>
#include <string_view>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

namespace tarn::detail {
namespace {

struct DataName {
    std::string_view language;
    std::string_view data;
};

// Primary language subtags of the languages that Tesseract publishes data for
// and people are likely to ask for; Chinese is told apart by script below.
constexpr std::array kDataNames{
    DataName{"ar", "ara"}, DataName{"cs", "ces"}, DataName{"da", "dan"}, DataName{"de", "deu"},
    DataName{"el", "ell"}, DataName{"en", "eng"}, DataName{"es", "spa"}, DataName{"fi", "fin"},
    DataName{"fr", "fra"}, DataName{"he", "heb"}, DataName{"hu", "hun"}, DataName{"it", "ita"},
    DataName{"ja", "jpn"}, DataName{"ko", "kor"}, DataName{"nb", "nor"}, DataName{"nl", "nld"},
    DataName{"no", "nor"}, DataName{"pl", "pol"}, DataName{"pt", "por"}, DataName{"ro", "ron"},
    DataName{"ru", "rus"}, DataName{"sv", "swe"}, DataName{"th", "tha"}, DataName{"tr", "tur"},
    DataName{"uk", "ukr"}, DataName{"vi", "vie"},
};

// Scripts and regions written with traditional characters.
constexpr std::array<std::string_view, 4> kTraditionalChinese{"hant", "tw", "hk", "mo"};

[[noreturn]] void failLanguage(const std::string& description) {
    throw PlatformError(kVisionErrorDomain, static_cast<long>(VisionErrorCode::languageUnavailable),
                        description);
}

bool isCodeCharacter(char c) {
    return ascii::isAlphanumeric(c) || c == '-' || c == '_';
}

std::vector<std::string> split(std::string_view text, std::string_view separators) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string dataName(const std::string& code) {
    if (code.empty() || !std::all_of(code.begin(), code.end(), isCodeCharacter))
        failLanguage("\"" + code + "\" is not a text-recognition language.");
    const std::vector<std::string> parts = split(ascii::lowercased(std::string(code)), "-_");
    if (parts.front() == "zh") {
        const bool traditional =
            parts.size() > 1 && std::find(kTraditionalChinese.begin(), kTraditionalChinese.end(),
                                          parts[1]) != kTraditionalChinese.end();
        return traditional ? "chi_tra" : "chi_sim";
    }
    if (parts.front().size() == 2)
        for (const DataName& name : kDataNames)
            if (name.language == parts.front())
                return std::string(name.data);
    return code;
}

std::string trimmed(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(" \n");
    if (begin == std::string_view::npos)
        return {};
    return std::string(text.substr(begin, text.find_last_not_of(" \n") - begin + 1));
}

// Tesseract runs its network on OpenMP teams of a fixed size. On a busy
// machine each of the many small teams per line waits for threads the
// scheduler does not run, and a recognition of a tenth of a second takes tens
// of seconds. With dynamic adjustment on, OpenMP sizes every team by the
// processors that are free. The setting belongs to the calling thread, which
// gets its own back; when Tesseract was built without OpenMP there is nothing
// to adjust.
class LoadAwareThreadTeams {
public:
    LoadAwareThreadTeams()
        : m_get(std::bit_cast<int (*)()>(::dlsym(RTLD_DEFAULT, "omp_get_dynamic"))),
          m_set(std::bit_cast<void (*)(int)>(::dlsym(RTLD_DEFAULT, "omp_set_dynamic"))) {
        if (m_get != nullptr && m_set != nullptr) {
            m_previous = m_get();
            m_set(1);
        }
    }
    LoadAwareThreadTeams(const LoadAwareThreadTeams&) = delete;
    LoadAwareThreadTeams& operator=(const LoadAwareThreadTeams&) = delete;
    ~LoadAwareThreadTeams() {
        if (m_get != nullptr && m_set != nullptr)
            m_set(m_previous);
    }

private:
    int (*m_get)();
    void (*m_set)(int);
    int m_previous = 0;
};

} // namespace

std::string tesseractLanguages(const std::vector<std::string>& codes) {
    std::vector<std::string> names;
    for (const std::string& code : codes) {
        std::string name = dataName(code);
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    if (names.empty())
        return kDefaultRecognitionLanguages;
    std::string joined;
    for (const std::string& name : names) {
        if (!joined.empty())
            joined += '+';
        joined += name;
    }
    return joined;
}

TarnOCRResult recognizeWithTesseract(const VisionImage& image,
                                     const std::vector<std::string>& languages, bool accurate) {
    const std::string requested = tesseractLanguages(languages);
    tesseract::TessBaseAPI engine;
    // Tesseract loads whatever part of a "+" list it finds and carries on
    // without the rest; a caller who asked for a language must not silently
    // get a recognition without it.
    const bool started = engine.Init(nullptr, requested.c_str(), tesseract::OEM_LSTM_ONLY) == 0;
    std::vector<std::string> loaded;
    if (started)
        engine.GetLoadedLanguagesAsVector(&loaded);
    for (const std::string& name : split(requested, "+"))
        if (std::find(loaded.begin(), loaded.end(), name) == loaded.end())
            failLanguage("No text-recognition data is installed for \"" + name + "\".");

    if (!accurate)
        engine.SetVariable("invert_threshold", "0");
    const LoadAwareThreadTeams teams;
    engine.SetPageSegMode(tesseract::PSM_AUTO);
    const std::vector<std::uint8_t> gray = grayBytes(image);
    engine.SetImage(gray.data(), image.width(), image.height(), 1, image.width());
    if (engine.Recognize(nullptr) != 0)
        throw PlatformError(kVisionErrorDomain,
                            static_cast<long>(VisionErrorCode::recognitionFailed),
                            "Text recognition could not read the image.");

    TarnOCRResult result;
    const std::unique_ptr<tesseract::ResultIterator> line(engine.GetIterator());
    if (!line)
        return result;
    const double width = image.width();
    const double height = image.height();
    constexpr auto level = tesseract::RIL_TEXTLINE;
    do {
        if (line->Empty(level))
            continue;
        const std::unique_ptr<char[]> text(line->GetUTF8Text(level));
        // A line with no readable candidate is left out, as the recogniser
        // reports nothing for it.
        std::string best = text ? trimmed(text.get()) : std::string();
        int left = 0, top = 0, right = 0, bottom = 0;
        if (best.empty() || !line->BoundingBox(level, &left, &top, &right, &bottom))
            continue;
        const float confidence = std::clamp(line->Confidence(level) / 100.0f, 0.0f, 1.0f);
        result.lines.push_back(
            TarnOCRLine{std::move(best),
                        VisionRect{left / width, (height - bottom) / height, (right - left) / width,
                                   (bottom - top) / height},
                        confidence});
    } while (line->Next(level));
    return result;
}

} // namespace tarn::detail
