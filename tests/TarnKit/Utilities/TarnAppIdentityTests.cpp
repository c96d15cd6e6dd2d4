#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Utilities/TarnAppIdentity.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

namespace {

using tarn::TarnAppIdentity;
using tarn::TarnBundle;
namespace appidentity = tarn::appidentity;

TEST(TarnAppIdentity, SeventyFiveCasesWithLowerCaseSlugs) {
    const auto cases = appidentity::allCases();
    ASSERT_EQ(cases.size(), 75u);
    EXPECT_EQ(cases.front(), TarnAppIdentity::palvine);
    EXPECT_EQ(cases[44], TarnAppIdentity::heddle);
    EXPECT_EQ(cases[60], TarnAppIdentity::quiller);
    EXPECT_EQ(cases.back(), TarnAppIdentity::vantry);
    std::set<std::string> slugs;
    for (const TarnAppIdentity identity : cases) {
        const std::string slug(tarn::rawValue(identity));
        EXPECT_TRUE(slugs.insert(slug).second) << slug;
        EXPECT_EQ(appidentity::fromRaw(slug), identity);
    }
    EXPECT_EQ(tarn::rawValue(TarnAppIdentity::heddle), "heddle");
    EXPECT_EQ(appidentity::fromRaw("Heddle"), std::nullopt);
    EXPECT_EQ(appidentity::fromRaw("pennock"), std::nullopt); // only resolve knows former names
}

TEST(TarnAppIdentity, ResolvesFreeFormNames) {
    const struct {
        const char* name;
        std::optional<TarnAppIdentity> expected;
    } cases[] = {
        {"com.corvane.quiller", TarnAppIdentity::quiller},
        {"Quiller", TarnAppIdentity::quiller},
        {"QUILLER", TarnAppIdentity::quiller},
        {"com.corvane.quiller.", TarnAppIdentity::quiller}, // empty pieces are dropped
        {"pennock", TarnAppIdentity::yelvin},
        {"Moxley", TarnAppIdentity::jostra},
        {"moxbury", TarnAppIdentity::jostra},
        {"Sefton", TarnAppIdentity::murrel},
        {"com.corvane.Lindow", TarnAppIdentity::hollin},
        {" Tav-lor_ ", TarnAppIdentity::tavlor},           // blanks and punctuation disappear
        {"Wortley\xE2\x84\xA2", TarnAppIdentity::wortley}, // a trade mark sign is no letter
        {"", std::nullopt},
        {"...", std::nullopt},
        {"tavlor.app", std::nullopt},
        {"Sketto 2", std::nullopt}, // digits stay
        {"he\xCC\x81"
         "ddle",
         std::nullopt}, // so do combining marks
        {"unknown", std::nullopt},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(appidentity::resolve(test.name), test.expected);
    }
}

TEST(TarnAppIdentity, CurrentTriesIdentifierNamesThenProcess) {
    const struct {
        const char* label;
        TarnBundle bundle;
        const char* process;
        std::optional<TarnAppIdentity> expected;
    } cases[] = {
        {"identifier",
         {"com.corvane.heddle", "Quiller", "Quiller", {}},
         "kelby",
         TarnAppIdentity::heddle},
        {"display name",
         {"org.example.tool", "Kelby", "Quiller", {}},
         "vantry",
         TarnAppIdentity::kelby},
        {"bundle name",
         {"org.example.tool", std::nullopt, "Quiller", {}},
         "vantry",
         TarnAppIdentity::quiller},
        {"process name", {"", "Tool", std::nullopt, {}}, "vantry", TarnAppIdentity::vantry},
        {"nothing", {"", std::nullopt, std::nullopt, {}}, "a.out", std::nullopt},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.label);
        EXPECT_EQ(appidentity::current(test.bundle, test.process), test.expected);
    }
    EXPECT_EQ(appidentity::current(), TarnAppIdentity::quiller);
}

TEST(TarnAppIdentity, CodesAsItsSlug) {
    EXPECT_EQ(nlohmann::json(TarnAppIdentity::heddle), "heddle");
    EXPECT_EQ(tarn::json::decode<TarnAppIdentity>(nlohmann::json("heddle")),
              TarnAppIdentity::heddle);
    for (const nlohmann::json& bad : {nlohmann::json("Heddle"), nlohmann::json("pennock"),
                                      nlohmann::json(44), nlohmann::json::array()}) {
        SCOPED_TRACE(bad.dump());
        EXPECT_THROW((void)tarn::json::decode<TarnAppIdentity>(bad), tarn::json::DecodingError);
    }
}

} // namespace
