#include "TarnKit/Localization/TarnLocalizationPack.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <gtest/gtest.h>

namespace {

using tarn::TarnLocalizationPack;

TEST(TarnLocalizationPack, WritesAllSixMembersAndReadsThemBack) {
    const TarnLocalizationPack pack{"de",
                                    "Deutsch",
                                    "German",
                                    false,
                                    {{"Save", "Speichern"}},
                                    {{"Imported {0} requests", "{0} Anfragen importiert"}}};
    const nlohmann::json json = pack;
    EXPECT_EQ(json.size(), 6u);
    EXPECT_EQ(json.at("isRTL"), false);
    EXPECT_EQ(json.get<TarnLocalizationPack>(), pack);
}

TEST(TarnLocalizationPack, MissingMembersTakeDefaultsAndWrongTypesAreRefused) {
    const auto read = [](const char* text) {
        return tarn::detail::decodePack(nlohmann::json::parse(text));
    };
    const auto minimal = read(R"({"strings":{"Save":"Sichern"},"extra":[1,2]})");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(*minimal, (TarnLocalizationPack{"", "", "", false, {{"Save", "Sichern"}}, {}}));
    EXPECT_TRUE(read(R"({"isRTL":null,"code":null})"));
    EXPECT_TRUE(read(R"({"isRTL":true})")->isRTL);

    for (const char* wrong :
         {R"({"isRTL":"yes"})", R"({"code":3})", R"({"strings":[]})",
          R"({"templates":{"a {0}":1}})", R"({"strings":{"a":null}})", R"(["de"])", R"("de")"})
        EXPECT_FALSE(read(wrong)) << wrong;
    EXPECT_THROW(nlohmann::json::parse(R"({"isRTL":"yes"})").get<TarnLocalizationPack>(),
                 tarn::json::DecodingError);
}

TEST(TarnLocalizationPack, FlatMapsHoldOnlyStrings) {
    const auto read = [](const char* text) {
        return tarn::detail::decodeFlatMap(nlohmann::json::parse(text));
    };
    EXPECT_EQ(read(R"({"Save":"Speichern","code":"de"})"),
              (std::map<std::string, std::string>{{"Save", "Speichern"}, {"code", "de"}}));
    EXPECT_EQ(read("{}"), (std::map<std::string, std::string>{}));
    EXPECT_FALSE(read(R"({"Save":"Speichern","isRTL":false})"));
    EXPECT_FALSE(read(R"({"strings":{}})"));
    EXPECT_FALSE(read("[]"));
}

} // namespace
