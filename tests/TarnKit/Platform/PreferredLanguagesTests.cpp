#include "TarnKit/Platform/PreferredLanguages.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

namespace {

TEST(PreferredLanguages, LocaleNamesBecomeLanguageTags) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"de_DE.UTF-8", "de-DE"},
        {"sr_RS@latin", "sr-RS"},
        {"de_AT.ISO-8859-1@euro", "de-AT"},
        {"pt_BR", "pt-BR"},
        {"en", "en"},
        {"zh_Hant_TW.UTF-8", "zh-Hant-TW"},
        {"C", std::nullopt},
        {"C.UTF-8", std::nullopt},
        {"POSIX", std::nullopt},
        {"", std::nullopt},
        {".UTF-8", std::nullopt},
    };
    for (const auto& [name, tag] : cases)
        EXPECT_EQ(tarn::languageTagFromLocaleName(name), tag) << "\"" << name << "\"";
}

TEST(PreferredLanguages, ListTheLanguageVariableThenTheLocaleVariables) {
    using Environment = std::map<std::string, std::string>;
    const std::vector<std::pair<Environment, std::vector<std::string>>> cases = {
        {{}, {}},
        {{{"LANG", "tr_TR.UTF-8"}}, {"tr-TR"}},
        {{{"LANGUAGE", "fr_CA:de::en"}, {"LC_MESSAGES", "C"}, {"LANG", "ja_JP.UTF-8"}},
         {"fr-CA", "de", "en", "ja-JP"}},
        {{{"LANGUAGE", "de_DE"}, {"LC_ALL", "de_DE.UTF-8"}, {"LANG", "POSIX"}}, {"de-DE"}},
        {{{"LC_ALL", "C.UTF-8"}, {"LC_MESSAGES", "sv_SE"}, {"LANG", "nb_NO.UTF-8"}},
         {"sv-SE", "nb-NO"}},
        {{{"LANGUAGE", ":"}, {"LANG", ""}}, {}},
    };
    for (const auto& [variables, expected] : cases) {
        const Environment& environment = variables;
        const auto lookup = [&environment](const char* name) -> std::optional<std::string> {
            const auto found = environment.find(name);
            if (found == environment.end())
                return std::nullopt;
            return found->second;
        };
        EXPECT_EQ(tarn::preferredLanguages(lookup), expected) << environment.size();
    }
}

TEST(PreferredLanguages, ReadsTheProcessEnvironment) {
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        ::unsetenv(name);
    }
    ::setenv("LANGUAGE", "uk", 1);
    ::setenv("LANG", "it_IT.UTF-8", 1);
    const std::vector<std::string> languages = tarn::preferredLanguages();
    for (const auto& [name, value] : saved) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    EXPECT_EQ(languages, (std::vector<std::string>{"uk", "it-IT"}));
}

} // namespace
