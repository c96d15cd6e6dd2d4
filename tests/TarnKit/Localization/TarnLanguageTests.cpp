#include "LocalizationTestSupport.h"
#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <unordered_set>

namespace {

using tarn::TarnLanguage;
namespace language = tarn::language;

TEST(TarnLanguage, CodesAreUniqueAndReadBackExactly) {
    std::set<std::string_view> codes;
    for (const TarnLanguage value : language::allCases()) {
        EXPECT_TRUE(codes.insert(tarn::rawValue(value)).second) << tarn::rawValue(value);
        EXPECT_EQ(language::fromRaw(tarn::rawValue(value)), value);
        EXPECT_EQ(tarn::id(value), tarn::rawValue(value));
        EXPECT_EQ(tarn::localeIdentifier(value), tarn::rawValue(value));
    }
    EXPECT_EQ(codes.size(), 37u);
    // The raw value is case-sensitive; matching is where case is forgiven.
    EXPECT_EQ(language::fromRaw("pt-br"), std::nullopt);
    EXPECT_EQ(language::fromRaw("de "), std::nullopt);
    EXPECT_EQ(language::allCases().front(), TarnLanguage::ar);
    EXPECT_EQ(language::allCases().back(), TarnLanguage::zhHant);
}

TEST(TarnLanguage, ShortCodesAreUpperCaseCodesExceptFourBadges) {
    const std::map<TarnLanguage, std::string_view> exceptions = {
        {TarnLanguage::ptBR, "PT"},
        {TarnLanguage::ptPT, "PT-PT"},
        {TarnLanguage::zhHans, "ZH"},
        {TarnLanguage::zhHant, "ZH-TW"},
    };
    for (const TarnLanguage value : language::allCases()) {
        const auto exception = exceptions.find(value);
        const std::string expected = exception != exceptions.end()
                                         ? std::string(exception->second)
                                         : tarn::text::uppercased(tarn::rawValue(value));
        EXPECT_EQ(tarn::shortCode(value), expected) << tarn::rawValue(value);
    }
}

TEST(TarnLanguage, DirectionAndFallbackParents) {
    for (const TarnLanguage value : language::allCases()) {
        const bool rtl =
            value == TarnLanguage::ar || value == TarnLanguage::fa || value == TarnLanguage::he;
        EXPECT_EQ(tarn::isRTL(value), rtl) << tarn::rawValue(value);
        std::optional<TarnLanguage> parent;
        if (value == TarnLanguage::ptPT)
            parent = TarnLanguage::ptBR;
        if (value == TarnLanguage::zhHant)
            parent = TarnLanguage::zhHans;
        EXPECT_EQ(tarn::fallbackParent(value), parent) << tarn::rawValue(value);
    }
}

TEST(TarnLanguage, DisplayNameAddsTheEnglishNameOnlyWhereItDiffers) {
    EXPECT_EQ(tarn::displayName(TarnLanguage::en), "English");
    EXPECT_EQ(tarn::displayName(TarnLanguage::ja), "日本語 (Japanese)");
    EXPECT_EQ(tarn::displayName(TarnLanguage::de), "Deutsch (German)");
    EXPECT_EQ(tarn::displayName(TarnLanguage::ptBR), "Português (Brasil) (Portuguese (Brazil))");
}

TEST(TarnLanguage, SortedCasesFollowTheEnglishNames) {
    const auto sorted = language::sortedCases();
    const std::vector<std::string_view> expectedStart = {
        "Arabic",  "Azerbaijani",          "Bulgarian",
        "Catalan", "Chinese (Simplified)", "Chinese (Traditional)",
        "Croatian"};
    for (std::size_t i = 0; i < expectedStart.size(); ++i)
        EXPECT_EQ(tarn::englishName(sorted[i]), expectedStart[i]) << i;
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](TarnLanguage a, TarnLanguage b) {
        return tarn::text::caseFolded(tarn::englishName(a)) <
               tarn::text::caseFolded(tarn::englishName(b));
    }));
    EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), language::allCases().begin()));
}

TEST(TarnLanguage, MatchesFreeFormTags) {
    const std::vector<std::pair<std::string, std::optional<TarnLanguage>>> cases = {
        {"en_US", TarnLanguage::en},
        {" zh_TW ", TarnLanguage::zhHant},
        {"zh-Hant-HK", TarnLanguage::zhHant},
        {"zh", TarnLanguage::zhHans},
        {"zh-CN", TarnLanguage::zhHans},
        {"zh-SG", TarnLanguage::zhHans},
        {"zh-HK", TarnLanguage::zhHant},
        {"zh_MO", TarnLanguage::zhHant},
        {"zh-Hans-TW", TarnLanguage::zhHant}, // the region decides once "hant" is absent
        {"ZH-HANT", TarnLanguage::zhHant},
        {"pt", TarnLanguage::ptBR},
        {"pt-PT", TarnLanguage::ptPT},
        {"pt_pt", TarnLanguage::ptPT},
        {"PT-br", TarnLanguage::ptBR},
        {"pt-AO", TarnLanguage::ptBR},
        {"no", TarnLanguage::nb},
        {"nn-NO", TarnLanguage::nb},
        {"nb_NO", TarnLanguage::nb},
        {"iw", TarnLanguage::he},
        {"iw-IL", TarnLanguage::he},
        {"in-ID", TarnLanguage::id},
        {"de-AT", TarnLanguage::de},
        {"fr_CA", TarnLanguage::fr},
        {"en-GB", TarnLanguage::en},
        {"tr_TR", TarnLanguage::tr},
        {"\tDE\n", TarnLanguage::de},
        {"xx", std::nullopt},
        {"", std::nullopt},
        {" \n", std::nullopt},
        {"eng", std::nullopt},
        {"nob", std::nullopt},
        {"-de", std::nullopt},
    };
    for (const auto& [tag, expected] : cases)
        EXPECT_EQ(language::match(tag), expected) << "tag \"" << tag << "\"";
}

TEST(TarnLanguage, ResolveTakesTheFirstMatchingTagElseEnglish) {
    const std::vector<std::pair<std::vector<std::string>, TarnLanguage>> cases = {
        {{"xx-YY", "fr-CA"}, TarnLanguage::fr},
        {{"xx"}, TarnLanguage::en},
        {{}, TarnLanguage::en},
        {{"ja-JP", "de"}, TarnLanguage::ja},
    };
    for (const auto& [tags, expected] : cases)
        EXPECT_EQ(language::resolve(tags), expected) << tags.size();
}

TEST(TarnLanguage, DecodingIsTolerantAndFallsBackToTheSystemLanguage) {
    const std::vector<std::string> system = {"sv-SE"};
    const std::vector<std::pair<std::string, TarnLanguage>> cases = {
        {"de_AT", TarnLanguage::de},       {"pt-PT", TarnLanguage::ptPT},  {"", TarnLanguage::sv},
        {"  ", TarnLanguage::sv},          {" System ", TarnLanguage::sv}, {"xx", TarnLanguage::sv},
        {"zh-Hant", TarnLanguage::zhHant},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(language::decode(text, system), expected) << "\"" << text << "\"";
}

TEST(TarnLanguage, JSONWritesTheCodeAndReadsTolerantly) {
    tarn::testing::EnvironmentScope environment;
    environment.set("LANGUAGE", "fi");
    EXPECT_EQ(nlohmann::json(TarnLanguage::zhHans), nlohmann::json("zh-Hans"));
    EXPECT_EQ(nlohmann::json("de_AT").get<TarnLanguage>(), TarnLanguage::de);
    EXPECT_EQ(nlohmann::json("").get<TarnLanguage>(), TarnLanguage::fi);
    EXPECT_EQ(nlohmann::json(42).get<TarnLanguage>(), TarnLanguage::fi);
    EXPECT_EQ(nlohmann::json::parse(R"(["ko", null])").get<std::vector<TarnLanguage>>(),
              (std::vector<TarnLanguage>{TarnLanguage::ko, TarnLanguage::fi}));
}

TEST(TarnLanguageSelection, EqualityAndHashTellSystemFromExplicit) {
    using tarn::TarnLanguageSelection;
    const std::hash<TarnLanguageSelection> hash;
    EXPECT_EQ(TarnLanguageSelection::system(), TarnLanguageSelection::system());
    EXPECT_EQ(TarnLanguageSelection::explicit_(TarnLanguage::de),
              TarnLanguageSelection::explicit_(TarnLanguage::de));
    EXPECT_NE(TarnLanguageSelection::explicit_(TarnLanguage::de),
              TarnLanguageSelection::explicit_(TarnLanguage::fr));
    EXPECT_NE(TarnLanguageSelection::system(), TarnLanguageSelection::explicit_(TarnLanguage::en));
    EXPECT_EQ(hash(TarnLanguageSelection::explicit_(TarnLanguage::de)),
              hash(TarnLanguageSelection::explicit_(TarnLanguage::de)));
    std::unordered_set<TarnLanguageSelection> all = {TarnLanguageSelection::system()};
    for (const TarnLanguage value : language::allCases())
        all.insert(TarnLanguageSelection::explicit_(value));
    EXPECT_EQ(all.size(), 38u);
}

} // namespace
