#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/TarnVisionServices.h"
#include "TarnKit/Vision/TesseractRecognizer.h"
#include "TarnKit/Vision/VisionError.h"
#include "TarnKit/Vision/VisionTestImages.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using tarn::TarnOCRLine;
using tarn::TarnOCRResult;
using tarn::VisionImage;
using tarn::VisionRect;
using tarn::TarnVisionServices::detail::RecognitionAttempt;
namespace vision = tarn::TarnVisionServices;
namespace testing = tarn::testing;

// The rows from the first to the last with ink (darker than mid-gray) in rows
// [from, to) of the canvas, as [top, bottom).
std::pair<int, int> inkRows(const testing::Canvas& canvas, int from, int to) {
    int top = -1, bottom = -1;
    for (int y = from; y < to; ++y)
        for (int x = 0; x < canvas.width; ++x)
            if (canvas.at(x, y) < 128) {
                if (top < 0)
                    top = y;
                bottom = y + 1;
                break;
            }
    return {top, bottom};
}

TEST(TextRecognitionTest, ReadsRenderedLinesWithBoxesFromTheLowerLeft) {
    const std::vector<std::string> lines{"Quiller reads this line", "Second line 42"};
    const testing::Canvas canvas = testing::textCanvas(900, 260, lines, 20, 30, 80, 110);

    for (bool accurate : {true, false}) {
        SCOPED_TRACE(accurate ? "accurate" : "fast");
        const TarnOCRResult result = vision::recognizeText(canvas.image(), {}, accurate);
        ASSERT_EQ(result.lines.size(), 2u) << result.fullText();
        EXPECT_EQ(result.fullText(), "Quiller reads this line\nSecond line 42");

        // Each box must cover its line's ink, measured from the bottom edge
        // of the picture: the first line sits higher, so its y is larger.
        const std::pair<int, int> bands[] = {{0, 130}, {130, 260}};
        for (std::size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(lines[i]);
            const auto [top, bottom] = inkRows(canvas, bands[i].first, bands[i].second);
            const VisionRect& box = result.lines[i].boundingBox;
            const double pixel = 1.0 / canvas.height;
            EXPECT_NEAR(box.y, double(canvas.height - bottom) / canvas.height, 3 * pixel);
            EXPECT_NEAR(box.y + box.height, double(canvas.height - top) / canvas.height, 3 * pixel);
            EXPECT_NEAR(box.x, 30.0 / canvas.width, 3.0 / canvas.width);
            EXPECT_GT(box.width, 0.3);
            EXPECT_LE(box.x + box.width, 1.0);
            EXPECT_GT(result.lines[i].confidence, 0.5f);
            EXPECT_LE(result.lines[i].confidence, 1.0f);
        }
        EXPECT_GT(result.lines[0].boundingBox.y, result.lines[1].boundingBox.y);
    }
}

// Encoded images are what callers mostly have; and a named language must load
// its own data.
TEST(TextRecognitionTest, ReadsEncodedImagesInTheNamedLanguage) {
    const testing::Canvas canvas = testing::textCanvas(900, 140, {"Merhaba 2024 Istanbul"});
    const VisionImage decoded = VisionImage::fromEncodedData(
        testing::encode(testing::toPix(canvas.image(), 8).get(), IFF_PNG));
    EXPECT_EQ(vision::recognizeText(decoded, {"tr-TR"}, true).fullText(), "Merhaba 2024 Istanbul");
}

TEST(TextRecognitionTest, ImageWithoutTextHasNoLines) {
    const TarnOCRResult result = vision::recognizeText(testing::Canvas(400, 300).image(), {}, true);
    EXPECT_TRUE(result.lines.empty());
    EXPECT_EQ(result.fullText(), "");
}

long visionErrorCode(auto&& call) {
    try {
        call();
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), tarn::kVisionErrorDomain);
        return error.code();
    }
    ADD_FAILURE() << "no error thrown";
    return 0;
}

// Tesseract quietly carries on with the languages it found; a caller who named
// a language without data gets an error instead of a reading without it.
TEST(TextRecognitionTest, RefusesLanguagesWithoutData) {
    const VisionImage picture = testing::textCanvas(300, 120, {"Hello"}).image();
    const long unavailable = static_cast<long>(tarn::VisionErrorCode::languageUnavailable);
    for (const std::vector<std::string>& languages :
         std::vector<std::vector<std::string>>{{"qaa"}, {"en", "qaa"}, {"../eng"}}) {
        SCOPED_TRACE(languages.back());
        EXPECT_EQ(visionErrorCode([&] { vision::recognizeText(picture, languages, true); }),
                  unavailable);
    }
    EXPECT_EQ(visionErrorCode([] { vision::recognizeText(VisionImage(), {}, true); }),
              static_cast<long>(tarn::VisionErrorCode::invalidImage));
}

TEST(TextRecognitionTest, LanguageCodesBecomeDataNames) {
    const struct {
        std::vector<std::string> codes;
        const char* expected;
    } cases[] = {
        {{}, "eng+tur"},
        {{"en-US"}, "eng"},
        {{"tr_TR"}, "tur"},
        // Upper-case "I" must not meet a Turkish lower-casing.
        {{"IT-it", "TR"}, "ita+tur"},
        {{"en", "en-GB", "eng", "tr-TR"}, "eng+tur"},
        {{"zh-Hans"}, "chi_sim"},
        {{"zh-Hant-TW"}, "chi_tra"},
        {{"zh-TW"}, "chi_tra"},
        // Data names and unknown codes pass as they are.
        {{"chi_sim", "deu"}, "chi_sim+deu"},
        {{"qaa-Latn"}, "qaa-Latn"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(tarn::detail::tesseractLanguages(c.codes), c.expected);
    }
    for (const char* malformed : {"", "en US", "eng+tur", "../eng", "en\n"}) {
        SCOPED_TRACE(malformed);
        EXPECT_EQ(visionErrorCode([&] { tarn::detail::tesseractLanguages({malformed}); }),
                  static_cast<long>(tarn::VisionErrorCode::languageUnavailable));
    }
}

TEST(TextRecognitionTest, FullTextJoinsLinesWithLineFeeds) {
    auto line = [](const char* text) { return TarnOCRLine{text, {}, 1}; };
    const struct {
        std::vector<TarnOCRLine> lines;
        const char* expected;
    } cases[] = {
        {{}, ""},
        {{line("one")}, "one"},
        {{line("one"), line("two"), line("three")}, "one\ntwo\nthree"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TarnOCRResult{c.lines}.fullText(), c.expected);
}

// A fake recogniser that fails the attempts it is told to and records the
// order in which it was asked.
struct ScriptedAttempts {
    std::vector<bool> failures;
    std::vector<RecognitionAttempt> asked;

    TarnOCRResult operator()(RecognitionAttempt attempt) {
        const std::size_t index = asked.size();
        asked.push_back(attempt);
        const std::string name = "attempt " + std::to_string(index + 1);
        if (index < failures.size() && failures[index])
            throw tarn::PlatformError("Test", static_cast<long>(index + 1), name);
        return TarnOCRResult{{TarnOCRLine{name, {}, 1}}};
    }
};

TEST(TextRecognitionTest, FallsBackToTheCpuAndThenToTheFastLevel) {
    const RecognitionAttempt accurateDefault{true, false}, accurateCpu{true, true},
        fastDefault{false, false}, fastCpu{false, true};
    const struct {
        const char* name;
        bool accurate;
        std::vector<bool> failures;
        std::vector<RecognitionAttempt> expectedAttempts;
        const char* expectedText; // nullptr: the error of the last attempt
    } cases[] = {
        {"first succeeds", true, {}, {accurateDefault}, "attempt 1"},
        {"default device fails", true, {true}, {accurateDefault, accurateCpu}, "attempt 2"},
        {"CPU fails too", true, {true, true}, {accurateDefault, accurateCpu, fastCpu}, "attempt 3"},
        {"all fail", true, {true, true, true}, {accurateDefault, accurateCpu, fastCpu}, nullptr},
        {"fast, all fail", false, {true, true, true}, {fastDefault, fastCpu, fastCpu}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAttempts script{c.failures, {}};
        auto attempt = [&script](RecognitionAttempt a) { return script(a); };
        if (c.expectedText != nullptr) {
            EXPECT_EQ(vision::detail::recognizeWithFallback(c.accurate, attempt).fullText(),
                      c.expectedText);
        } else {
            try {
                vision::detail::recognizeWithFallback(c.accurate, attempt);
                ADD_FAILURE() << "no error thrown";
            } catch (const tarn::PlatformError& error) {
                EXPECT_EQ(error.code(), 3);
                EXPECT_EQ(error.description(), "attempt 3");
            }
        }
        EXPECT_EQ(script.asked, c.expectedAttempts);
    }
}

} // namespace
