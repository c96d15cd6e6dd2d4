#include "TarnKit/Platform/ShellWords.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tarn {
namespace {

using Words = std::vector<std::string>;

TEST(ShellWords, CutsWordsTheWayAShellDoes) {
    const struct {
        std::string text;
        Words words;
    } cases[] = {
        {"", {}},
        {" \t\n ", {}},
        {"curl -X POST", {"curl", "-X", "POST"}},
        {"  a \t\n  b  ", {"a", "b"}},
        {"a\u00A0b\u3000c", {"a", "b", "c"}}, // Unicode blanks separate too
        {"a\\ b c", {"a b", "c"}},
        {"'say \"hi\"' \"it's\"", {"say \"hi\"", "it's"}},
        {"'a\\nb' \"a\\nb\" a\\nb", {"a\\nb", "anb", "anb"}},
        {"\"a\\\"b\" 'a\\'b'", {"a\"b", "a\\b"}},   // the last quote opens a run to the end
        {"a '' b \"\" c", {"a", "", "b", "", "c"}}, // what a program receives
        {"''", {""}},
        {"a \\", {"a"}},
        {"x'y'\"z\"", {"xyz"}},
        {"'unterminated rest  of line", {"unterminated rest  of line"}},
        {"end\\", {"end"}},
        {"a \\\nb", {"a", "b"}},
        {"'in\\\nquotes'", {"in quotes"}},
        {"'two\nlines'", {"two\nlines"}},
        // A backslash escapes a whole character, combining mark included.
        {"a\\ \u0301b", {"a \u0301b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitShellWords(c.text), c.words) << c.text;
}

TEST(ShellWords, CrLfLineEndsSplitLikeLf) {
    const std::string lf = "curl -X PUT \\\n  -H 'A: 1' \\\n  -d 'x\ny'\n  https://x.test/a\n";
    std::string crlf;
    for (const char c : lf) {
        if (c == '\n')
            crlf.push_back('\r');
        crlf.push_back(c);
    }
    const Words expected = {"curl", "-X", "PUT", "-H", "A: 1", "-d", "x\ny", "https://x.test/a"};
    EXPECT_EQ(splitShellWords(lf), expected);
    EXPECT_EQ(splitShellWords(crlf), expected);
}

} // namespace
} // namespace tarn
