#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"

#include <gtest/gtest.h>

namespace quiller {
namespace {

KeyValueRow row(std::string key, std::string value, bool enabled = true) {
    return KeyValueRow{.key = std::move(key), .value = std::move(value), .isEnabled = enabled};
}

TEST(VariableMap, LastEnabledRowWinsAndDisabledOrEmptyKeysNeverCount) {
    APIEnvironmentProfile environment;
    environment.variables = {row("host", "a"),  row("host", "b"),  row("token", "t", false),
                             row("", "no key"), row(" ", "blank"), row("host", "c", false)};
    const VariableMap variables = EnvironmentTemplateEngine::variableMap(environment);
    EXPECT_EQ(variables, (VariableMap{{" ", "blank"}, {"host", "b"}}));
    EXPECT_TRUE(EnvironmentTemplateEngine::variableMap(std::nullopt).empty());
}

TEST(Interpolate, FillsKnownReferencesOnly) {
    const VariableMap variables{{"base", "https://x.test"}, {"id", "7"}, {"empty", ""}};
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"{{base}}/users/{{id}}", "https://x.test/users/7"},
        {"{{id}}{{id}}-{{id}}", "77-7"},
        {"{{ id }}", "{{ id }}"}, // blanks name another variable
        {"{{ID}}", "{{ID}}"},     // names are case-sensitive
        {"{{missing}}/{{id}}", "{{missing}}/7"},
        {"a{{empty}}b", "ab"},
        {"no templates }}", "no templates }}"},
        {"{{id}", "{{id}"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EnvironmentTemplateEngine::interpolate(c.text, variables), c.expected) << c.text;
}

TEST(Interpolate, AppliesEntriesOneAfterAnotherInNameOrder) {
    // "a" is applied before "b": a reference brought in by a's value is filled
    // by b, but one brought in by b's value is not filled again by a.
    const VariableMap variables{{"a", "{{b}}"}, {"b", "{{a}}!"}};
    EXPECT_EQ(EnvironmentTemplateEngine::interpolate("{{a}}", variables), "{{a}}!");
}

} // namespace
} // namespace quiller
