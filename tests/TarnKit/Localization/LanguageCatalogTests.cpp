#include "TarnKit/Localization/LanguageCatalog.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

using tarn::detail::CompiledTemplate;
using tarn::detail::LoadedLanguageCatalog;

TEST(CompiledTemplate, CompilesOnlyTemplatesWithOrderedPlaceholdersAndTwoLiteralCharacters) {
    struct Case {
        std::string source;
        bool compiles;
        std::vector<std::string> literals;
        std::size_t weight;
    };
    const std::vector<Case> cases = {
        {"Imported {0} requests", true, {"Imported ", " requests"}, 18},
        {"{0} of {1} done", true, {"", " of ", " done"}, 9},
        {"A {0}{1} B", true, {"A ", "", " B"}, 4},
        // Scanning stops at the first missing index: "{2}" is literal text.
        {"{0} and {2}", true, {"", " and {2}"}, 8},
        // Weight counts characters: "é" written as e + U+0301 is one.
        {"Cafe\u0301 {0}", true, {"Cafe\u0301 ", ""}, 5},
        {"{0}", false, {}, 0},
        {"a{0}", false, {}, 0},
        {"{0}{1}", false, {}, 0},
        {"{1} x", false, {}, 0},
        {"no placeholder", false, {}, 0},
        {"{00} x", false, {}, 0},
    };
    for (const Case& c : cases) {
        const std::optional<CompiledTemplate> compiled = CompiledTemplate::compile(c.source, "t");
        ASSERT_EQ(compiled.has_value(), c.compiles) << c.source;
        if (!compiled)
            continue;
        EXPECT_EQ(compiled->sourceLiterals, c.literals) << c.source;
        EXPECT_EQ(compiled->placeholderCount, c.literals.size() - 1) << c.source;
        EXPECT_EQ(compiled->literalWeight, c.weight) << c.source;
    }
}

TEST(CompiledTemplate, MatchesCapturesAndFillsTheTranslation) {
    struct Case {
        std::string source, target, text;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"Imported {0} requests", "{0} Anfragen importiert", "Imported 12 requests",
         "12 Anfragen importiert"},
        {"{0} of {1} done", "{0} von {1} erledigt", "3 of 10 done", "3 von 10 erledigt"},
        {"{0} of {1} done", "{1}: {0}", "1 of 2 of 3 done", "2 of 3: 1"},
        {"Saved {0} items", "{0} gespeichert", "Saved  items", std::nullopt},
        {"A {0}{1} B", "{0}{1}", "A xy B", std::nullopt},
        {"Imported {0} requests", "x", "Imported 12 request", std::nullopt},
        {"Imported {0} requests", "x", "imported 12 requests", std::nullopt},
        {"{0} of {1} done", "x", "3 from 10 done", std::nullopt},
        {"{0} of {1} done", "x", " of 10 done", std::nullopt},
        {"ab{0}ab", "x", "abab", std::nullopt},
        {"ab{0}ab", "x", "aba", std::nullopt},
        {"Ping {0}", "{0}, {0}!", "Ping you", "you, you!"},
        {"a{0}b{1}c{2}d{3}e{4}f{5}g{6}h{7}i{8}j{9}k", "{9}{8}{0}", "a1b2c3d4e5f6g7h8i9j10k",
         "1091"},
        {"Ping {0}", "no value", "Ping you", "no value"},
        // Placeholders the source does not define, and unusual spellings, stay.
        {"Ping {0}", "{0} {1} {01} {x} {", "Ping you", "you {1} {01} {x} {"},
        // Captured text is put in once: the "{1}" it holds is not replaced again.
        {"Open {0} in {1}", "{1}: {0} öffnen", "Open {1} in Tab", "Tab: {1} öffnen"},
        {"Open {0} in {1}", "{0} / {1}", "Open {0} in {1}", "{0} / {1}"},
    };
    for (const Case& c : cases) {
        const std::optional<CompiledTemplate> compiled =
            CompiledTemplate::compile(c.source, c.target);
        ASSERT_TRUE(compiled) << c.source;
        EXPECT_EQ(compiled->apply(c.text), c.expected) << c.source << " / " << c.text;
    }
}

LoadedLanguageCatalog catalogue(LoadedLanguageCatalog::StringMap strings,
                                LoadedLanguageCatalog::StringMap templates) {
    return LoadedLanguageCatalog(std::move(strings), templates);
}

TEST(LoadedLanguageCatalog, IndexesTemplatesByPrefixElseSuffix) {
    const auto catalog = catalogue({}, {
                                           {"Imported {0} requests", "{0} Anfragen importiert"},
                                           {"{0} of {1} done", "{0} von {1} erledigt"},
                                           {"OK{0}", "ok {0}"},
                                           {"{0}ab", "ab {0}"},
                                           {"x{0}y", "never indexed"},
                                           {"Empty {0}", ""},
                                       });
    EXPECT_EQ(catalog.prefixBucketTargets("Imp"),
              std::vector<std::string>{"{0} Anfragen importiert"});
    EXPECT_EQ(catalog.suffixBucketTargets("one"), std::vector<std::string>{"{0} von {1} erledigt"});
    EXPECT_EQ(catalog.prefixBucketTargets("OK"), std::vector<std::string>{"ok {0}"});
    EXPECT_EQ(catalog.suffixBucketTargets("ab"), std::vector<std::string>{"ab {0}"});
    EXPECT_TRUE(catalog.prefixBucketTargets("Emp").empty());

    const std::vector<std::pair<std::string, std::optional<std::string>>> lookups = {
        {"Imported 12 requests", "12 Anfragen importiert"},
        {"3 of 10 done", "3 von 10 erledigt"},
        {"OKAY", "ok AY"},     // found through the 2-character prefix key
        {"grab", "ab gr"},     // and the 2-character suffix key
        {"xzy", std::nullopt}, // neither end can be indexed
        {"Empty box", std::nullopt},
        {"Import", std::nullopt},
    };
    for (const auto& [text, expected] : lookups)
        EXPECT_EQ(catalog.lookup(std::nullopt, text), expected) << text;
}

TEST(LoadedLanguageCatalog, TheHeaviestMatchingTemplateWinsAndTiesAreFixed) {
    const auto catalog = catalogue({}, {
                                           {"Deleted {0}", "light"},              // weight 8
                                           {"Deleted {0} requests", "heavy {0}"}, // weight 17
                                           {"Go {0}x", "by suffix"},              // weight 4
                                           {"Go a{0}", "by prefix"},              // weight 4
                                       });
    EXPECT_EQ(catalog.prefixBucketTargets("Del"), (std::vector<std::string>{"heavy {0}", "light"}));
    EXPECT_EQ(catalog.lookup(std::nullopt, "Deleted 3 requests"), "heavy 3");
    EXPECT_EQ(catalog.lookup(std::nullopt, "Deleted everything"), "light");
    // Equal weights keep the order of their English sources, whatever the
    // order the packs listed them in.
    EXPECT_EQ(catalog.prefixBucketTargets("Go "),
              (std::vector<std::string>{"by prefix", "by suffix"}));
    EXPECT_EQ(catalog.lookup(std::nullopt, "Go abx"), "by prefix");
}

TEST(LoadedLanguageCatalog, StringsComeBeforeTemplatesAndEmptyValuesNeverCount) {
    const auto catalog = catalogue({{"Imported 1 requests", "Eine Anfrage importiert"},
                                    {"save.button", "Sichern"},
                                    {"Save", "Speichern"},
                                    {"Blank", ""},
                                    {"blank.key", ""}},
                                   {{"Imported {0} requests", "{0} Anfragen importiert"}});
    const std::vector<
        std::tuple<std::optional<std::string>, std::string, std::optional<std::string>>>
        cases = {
            {std::nullopt, "Imported 1 requests", "Eine Anfrage importiert"},
            {std::nullopt, "Imported 2 requests", "2 Anfragen importiert"},
            {"save.button", "Save", "Sichern"},
            {"unknown.key", "Save", "Speichern"},
            {"blank.key", "Save", "Speichern"},
            {std::nullopt, "Blank", std::nullopt},
            {std::nullopt, "Unknown", std::nullopt},
        };
    for (const auto& [key, english, expected] : cases)
        EXPECT_EQ(catalog.lookup(key, english), expected) << english;
    EXPECT_TRUE(LoadedLanguageCatalog::empty()->isEmpty());
    EXPECT_EQ(LoadedLanguageCatalog::empty()->lookup(std::nullopt, "Save"), std::nullopt);
}

} // namespace
