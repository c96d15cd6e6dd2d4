#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/RegularExpression.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using tarn::RegexRange;
using tarn::RegularExpression;

TEST(RegularExpression, ABadPatternThrowsWithTheOffset) {
    try {
        RegularExpression expression("(ab");
        FAIL() << "compiled";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), "TarnKit.RegularExpression");
        EXPECT_NE(error.description().find("offset 3"), std::string::npos) << error.description();
    }
}

TEST(RegularExpression, ClassesFollowUnicodeNotTheLocale) {
    // Without Unicode properties, "ş" is no word character, \b finds no
    // boundary before it, and the search fails.
    EXPECT_TRUE(RegularExpression(R"(\bşeker\b)").hasMatch("bir şeker var"));
    EXPECT_TRUE(RegularExpression(R"(^\w+$)").hasMatch("ığüşöçİ"));
    EXPECT_TRUE(RegularExpression(R"(a\sb)").hasMatch("a\u00A0b"));
    // Case folding is Unicode's default one, also under a Turkish locale.
    EXPECT_TRUE(RegularExpression("(?i)quiller").hasMatch("QUILLER"));
    EXPECT_TRUE(RegularExpression("quiller", {.caseInsensitive = true}).hasMatch("QUILLER"));
    EXPECT_FALSE(RegularExpression("quiller").hasMatch("QUILLER"));
}

TEST(RegularExpression, OptionsChangeAnchorsAndDot) {
    EXPECT_FALSE(RegularExpression("^b$").hasMatch("a\nb\nc"));
    EXPECT_TRUE(RegularExpression("^b$", {.anchorsMatchLines = true}).hasMatch("a\nb\nc"));
    EXPECT_FALSE(RegularExpression("a.b").hasMatch("a\nb"));
    EXPECT_TRUE(RegularExpression("a.b", {.dotMatchesLineSeparators = true}).hasMatch("a\nb"));
}

TEST(RegularExpression, MatchesReportGroupsAsByteRanges) {
    const RegularExpression expression(R"((\w+)=(\d+)?)");
    EXPECT_EQ(expression.captureGroupCount(), 2u);
    const std::string subject = "ä=1 b= c=22";
    const auto matches = expression.allMatches(subject);
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_EQ(matches[0].range(), (RegexRange{0, 4})); // "ä" is two bytes
    EXPECT_EQ(matches[0].group(subject, 1), "ä");
    EXPECT_EQ(matches[0].group(subject, 2), "1");
    EXPECT_EQ(matches[1].group(subject, 1), "b");
    EXPECT_FALSE(matches[1].group(subject, 2).has_value()); // took no part
    EXPECT_FALSE(matches[1].group(subject, 7).has_value()); // no such group
    EXPECT_EQ(matches[2].group(subject, 2), "22");

    const auto fromOffset = expression.firstMatch(subject, 5);
    ASSERT_TRUE(fromOffset);
    EXPECT_EQ(fromOffset->group(subject, 1), "b");
    EXPECT_FALSE(expression.firstMatch(subject, subject.size() + 1));
}

TEST(RegularExpression, ReplacementTemplates) {
    struct Case {
        const char* pattern;
        const char* subject;
        const char* replacement;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {R"((\w+)@(\w+))", "me@host you@there", "$2 at $1", "host at me there at you"},
        {R"((a)(b)?)", "a ab", "[$1$2]", "[a] [ab]"},                    // absent group: empty
        {R"((a))", "a", "$10", "a0"},                                    // only group 1 exists
        {R"((a)(b)(c)(d)(e)(f)(g)(h)(i)(j))", "abcdefghij", "$10", "j"}, // group 10 exists
        {R"((a))", "a", R"(\$1 \\ $)", R"($1 \ $)"},                     // escapes, bare "$"
        {R"((a))", "a", "$x$", "$x$"},
        {"x*", "abc", "-", "-a-b-c-"},    // empty matches between characters
        {"x*", "çğ", "-", "-ç-ğ-"},       // never inside a UTF-8 sequence
        {"(?=b)", "abab", "^", "a^ba^b"}, // empty lookahead matches
        {"b",
         "a\xFF"
         "b\xC3",
         "B",
         "a\xFF"
         "B\xC3"}, // invalid bytes pass through
        {"nothing", "unchanged text", "x", "unchanged text"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegularExpression(c.pattern).replacingMatches(c.subject, c.replacement),
                  c.expected)
            << c.pattern << " on " << c.subject;
}

TEST(RegularExpression, LongSubjectsNeitherCrashNorStall) {
    // Recursive matchers run out of stack on inputs like these.
    std::string subject;
    for (int i = 0; i < 100'000; ++i)
        subject += "token=abcdefgh ";
    const RegularExpression expression(R"((?i)(token\s*[=:]\s*)[^\s,;"']+)");
    const std::string result = expression.replacingMatches(subject, "$1*");
    EXPECT_EQ(result.size(), 100'000u * std::string("token=* ").size());

    // Backtracking that outgrows the JIT stack goes on in the interpreter.
    const std::string run(200'000, 'a');
    EXPECT_TRUE(RegularExpression("(a|b)+$").hasMatch(run));

    // Catastrophic backtracking ends in an error, not a hang.
    const std::string evil = std::string(40, 'a') + "!";
    EXPECT_THROW(RegularExpression("(a+)+$").hasMatch(evil), tarn::PlatformError);
}

} // namespace
