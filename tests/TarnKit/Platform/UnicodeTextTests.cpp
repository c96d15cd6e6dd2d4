#include "TarnKit/Platform/UnicodeText.h"
#include "support/ScopedLocale.h"

#include <clocale>
#include <gtest/gtest.h>
#include <locale>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::literals;
namespace text = tarn::text;

// U+FFFD in UTF-8.
const std::string R = "\xEF\xBF\xBD";

// Shows bytes as hex so a failing row of invalid UTF-8 is readable.
std::string hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!out.empty())
            out.push_back(' ');
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

bool isViewInto(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

using tarn::testing::ScopedLocale;

// --- UTF-8 ---------------------------------------------------------------------

TEST(UnicodeTextUTF8, RepairsEachMaximalInvalidSubpartToOneReplacement) {
    struct Case {
        std::string_view input;
        std::string expected;
    };
    const Case cases[] = {
        {""sv, ""},
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"sv, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"a\0b"sv, "a\0b"s},
        {"\xF4\x8F\xBF\xBF"sv, "\xF4\x8F\xBF\xBF"}, // U+10FFFF is the last valid value
        // Truncated sequences: the complete-so-far prefix is one subpart.
        {"a\xC3"sv, "a" + R},
        {"\xE2\x82"sv, R},
        {"\xF0\x9F\x98"
         "x"sv,
         R + "x"},
        {"\xF0\x9F\x98\xC3\xA9"sv, R + "\xC3\xA9"},
        // Lone continuation bytes and bytes that never start a sequence.
        {"\x80"sv, R},
        {"\x80\xBF"sv, R + R},
        {"\xFF\xFE"sv, R + R},
        {"\xF5\x80"sv, R + R},
        // Overlong forms.
        {"\xC0\xAF"sv, R + R},
        {"\xC1\xBF"sv, R + R},
        {"\xE0\x80\xAF"sv, R + R + R},
        {"\xF0\x80\x80\xAF"sv, R + R + R + R},
        // Surrogates.
        {"\xED\xA0\x80"sv, R + R + R},
        {"\xED\xBF\xBF"sv, R + R + R},
        // Above U+10FFFF.
        {"\xF4\x90\x80\x80"sv, R + R + R + R},
        // The standard's own example of the practice.
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"sv,
         "a" + R + R + R + "b" + R + "c" + R + R + "d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(hex(c.input));
        EXPECT_EQ(hex(text::repairUTF8(c.input)), hex(c.expected));
        EXPECT_EQ(text::isValidUTF8(c.input), c.input == c.expected);
        // The lenient decoder reads the same code points as the repair writes.
        std::string reencoded;
        for (const char32_t codePoint : text::decodeUTF8(c.input))
            text::appendUTF8(reencoded, codePoint);
        EXPECT_EQ(hex(reencoded), hex(c.expected));
    }
}

TEST(UnicodeTextUTF8, AppendWritesEveryScalarAndReplacesTheRest) {
    struct Case {
        char32_t codePoint;
        std::string expected;
    };
    const Case cases[] = {
        {U'\0', "\0"s},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0xD800, R},
        {0xDFFF, R},
        {0x110000, R},
        {0xFFFFFFFF, R},
    };
    for (const Case& c : cases) {
        std::string out = "x";
        text::appendUTF8(out, c.codePoint);
        EXPECT_EQ(hex(out), hex("x" + c.expected))
            << std::hex << static_cast<unsigned>(c.codePoint);
    }
}

// --- Characters ---------------------------------------------------------------------

TEST(UnicodeTextCharacters, CountsCutsAndWalksGraphemeClusters) {
    struct Case {
        const char* name;
        std::string_view input;
        std::vector<std::string_view> expected;
    };
    const Case cases[] = {
        {"empty", ""sv, {}},
        {"ASCII", "abc"sv, {"a", "b", "c"}},
        {"combining acute", "e\u0301x"sv, {"e\u0301", "x"}},
        {"two combining marks", "a\u0308\u0301"sv, {"a\u0308\u0301"}},
        {"CR LF is one", "\r\na"sv, {"\r\n", "a"}},
        {"LF CR is two", "\n\r"sv, {"\n", "\r"}},
        {"ZWJ family",
         "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466!"sv,
         {"\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466", "!"}},
        {"skin tone", "\U0001F44D\U0001F3FDa"sv, {"\U0001F44D\U0001F3FD", "a"}},
        {"flags pair up",
         "\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA"sv,
         {"\U0001F1EB\U0001F1F7", "\U0001F1E9\U0001F1EA"}},
        {"odd regional indicator",
         "\U0001F1EB\U0001F1F7\U0001F1E9"sv,
         {"\U0001F1EB\U0001F1F7", "\U0001F1E9"}},
        {"Hangul jamo", "\u1100\u1161\u11A8\u1100"sv, {"\u1100\u1161\u11A8", "\u1100"}},
        {"Hangul syllables", "\uD55C\uAD6D"sv, {"\uD55C", "\uAD6D"}},
        {"Hangul LV + T", "\uAC00\u11A8"sv, {"\uAC00\u11A8"}},
        // Invalid bytes count as U+FFFD; the views hold the original bytes.
        {"truncated alone", "\xE2\x82"sv, {"\xE2\x82"}},
        {"invalid then mark", "a\xFF\xCC\x81"sv, {"a", "\xFF\xCC\x81"}},
        {"two subparts", "\xC0\xAF"sv, {"\xC0", "\xAF"}},
        {"truncated before CR LF", "\xF0\x9F\r\n"sv, {"\xF0\x9F", "\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text::characters(c.input), c.expected);
        EXPECT_EQ(text::characterCount(c.input), c.expected.size());

        std::string prefix;
        for (std::size_t count = 0; count <= c.expected.size() + 1; ++count) {
            const std::string_view cut = text::prefixCharacters(c.input, count);
            EXPECT_EQ(cut, prefix) << count;
            EXPECT_EQ(cut.data(), c.input.data()) << count;
            if (count < c.expected.size())
                prefix += c.expected[count];
        }
    }
}

TEST(UnicodeTextCharacters, ViewsTileArbitraryBytesAndMatchTheRepairedText) {
    // Fragments of valid and broken UTF-8, glued at random, exercise every
    // boundary between a bad sequence and a cluster; the sanitizers catch any
    // read past the end.
    const std::string_view fragments[] = {
        "a",          "\r",     "\n",       "\xCC\x81", "\u200D",   "\U0001F468",
        "\U0001F1EB", "\u1100", "\u1161",   "\xC3",     "\xE2\x82", "\xF0\x9F\x98",
        "\x80",       "\xFF",   "\xED\xA0", "\xF4\x90", "\0"sv,
    };
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(fragments) - 1);
    for (int round = 0; round < 300; ++round) {
        std::string input;
        const int length = round % 40;
        for (int i = 0; i < length; ++i)
            input += fragments[pick(random)];
        SCOPED_TRACE(hex(input));

        const std::vector<std::string_view> parts = text::characters(input);
        std::string joined;
        std::string repairedParts;
        for (const std::string_view part : parts) {
            ASSERT_FALSE(part.empty());
            ASSERT_TRUE(isViewInto(part, input));
            EXPECT_EQ(part.data(), input.data() + joined.size());
            joined += part;
            repairedParts += text::repairUTF8(part);
        }
        EXPECT_EQ(joined, input);
        EXPECT_EQ(repairedParts, text::repairUTF8(input));
        EXPECT_EQ(text::characterCount(text::repairUTF8(input)), parts.size());
    }
}

TEST(UnicodeTextCharacters, HandlesLargeTextsInOnePass) {
    // A quadratic walk over texts of this size would not finish.
    std::string combining = "e";
    for (int i = 0; i < 200000; ++i)
        combining += "\u0301";
    EXPECT_EQ(text::characterCount(combining), 1u);
    EXPECT_EQ(text::prefixCharacters(combining, 1).size(), combining.size());

    std::string flags;
    for (int i = 0; i < 50000; ++i)
        flags += "\U0001F1EB\U0001F1F7";
    flags += "x";
    EXPECT_EQ(text::characterCount(flags), 50001u);
    EXPECT_EQ(text::prefixCharacters(flags, 2), "\U0001F1EB\U0001F1F7\U0001F1EB\U0001F1F7");

    std::string broken(300000, '\x80');
    EXPECT_EQ(text::characterCount(broken), broken.size());
}

// --- White space ---------------------------------------------------------------------

TEST(UnicodeTextWhitespace, ClassifiesCodePoints) {
    struct Case {
        char32_t codePoint;
        bool whitespaceOrNewline;
        bool horizontal;
    };
    const Case cases[] = {
        {U' ', true, true},     {U'\t', true, true},      {U'\n', true, false},
        {U'\v', true, false},   {U'\f', true, false},     {U'\r', true, false},
        {0x85, true, false},    {0xA0, true, true},       {0x1680, true, true},
        {0x2000, true, true},   {0x200A, true, true},     {0x2028, true, false},
        {0x2029, true, false},  {0x202F, true, true},     {0x205F, true, true},
        {0x3000, true, true},   {0x200B, false, false},   {0xFEFF, false, false},
        {0x180E, false, false}, {0x1C, false, false},     {U'a', false, false},
        {0xFFFD, false, false}, {0x110000, false, false}, {0xFFFFFFFF, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.codePoint));
        EXPECT_EQ(text::isWhitespaceOrNewline(c.codePoint), c.whitespaceOrNewline);
        EXPECT_EQ(text::isHorizontalWhitespace(c.codePoint), c.horizontal);
    }
}

TEST(UnicodeTextWhitespace, TrimsBothEndsAndReturnsViewsIntoTheInput) {
    struct Case {
        std::string_view input;
        std::string_view withNewlines; // trimmingWhitespaceAndNewlines
        std::string_view horizontal;   // trimmingWhitespace
    };
    const Case cases[] = {
        {""sv, ""sv, ""sv},
        {"   "sv, ""sv, ""sv},
        {"  a b  "sv, "a b"sv, "a b"sv},
        {"\t a \t"sv, "a"sv, "a"sv},
        {"\u00A0a\u3000"sv, "a"sv, "a"sv},
        {"\u2003\u202Fa\u205F"sv, "a"sv, "a"sv},
        {"\na\n"sv, "a"sv, "\na\n"sv},
        {" \r\n a \r\n "sv, "a"sv, "\r\n a \r\n"sv},
        {"\u2028a\u2029"sv, "a"sv, "\u2028a\u2029"sv},
        {"\u0085\v\fx"sv, "x"sv, "\u0085\v\fx"sv},
        {"\u200Bx\u200B"sv, "\u200Bx\u200B"sv, "\u200Bx\u200B"sv},
        // Invalid bytes are never white space, even when they resemble it.
        {" \xFF "sv, "\xFF"sv, "\xFF"sv},
        {"x\xA0"sv, "x\xA0"sv, "x\xA0"sv},
        {"x\xE3\x80"sv, "x\xE3\x80"sv, "x\xE3\x80"sv},
        {"\xE3\x80\x80\x80"sv, "\x80"sv, "\x80"sv},
        {"\x80\xE3\x80\x80"sv, "\x80"sv, "\x80"sv},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(hex(c.input));
        const std::string_view withNewlines = text::trimmingWhitespaceAndNewlines(c.input);
        const std::string_view horizontal = text::trimmingWhitespace(c.input);
        EXPECT_EQ(hex(withNewlines), hex(c.withNewlines));
        EXPECT_EQ(hex(horizontal), hex(c.horizontal));
        EXPECT_TRUE(c.input.empty() || isViewInto(withNewlines, c.input));
        EXPECT_TRUE(c.input.empty() || isViewInto(horizontal, c.input));
    }
}

// --- Case -----------------------------------------------------------------------------

TEST(UnicodeTextCase, FoldsFullyAndComposes) {
    struct Case {
        std::string_view input;
        std::string_view expected;
    };
    const Case cases[] = {
        {"Content-TYPE", "content-type"},
        {"Stra\u00DFe", "strasse"},
        {"\u1E9E", "ss"},      // capital sharp s
        {"\u0130", "i\u0307"}, // İ keeps its dot as a combining mark
        {"\u0131", "\u0131"},  // ı has no other case
        {"I", "i"},            // never ı
        {"\u03A3\u0391\u03C2", "\u03C3\u03B1\u03C3"},
        {"\u212A", "k"},             // Kelvin sign
        {"\uFB01", "fi"},            // ligature
        {"CAFE\u0301", "caf\u00E9"}, // composed after folding
        {"A\xFF", "a\uFFFD"},
        {"\u00C9\xC3", "\u00E9\uFFFD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hex(text::caseFolded(c.input)), hex(c.expected)) << hex(c.input);
}

TEST(UnicodeTextCase, ContainsAndPrefixCompareFoldedForms) {
    struct Case {
        std::string_view haystack;
        std::string_view needle;
        bool contains;
        bool hasPrefix;
    };
    const Case cases[] = {
        {"Content-Type: json", "content-type", true, true},
        {"Content-Type: json", "JSON", true, false},
        {"STRASSE", "stra\u00DFe", true, true},
        {"Stra\u00DFe", "SS", true, false},
        {"ISTANBUL", "istanbul", true, true},
        {"ISTANBUL", "\u0131stanbul", false, false},
        {"\u0131stanbul", "ISTANBUL", false, false},
        {"\u0130stanbul", "i\u0307stanbul", true, true},
        {"\u0130stanbul", "STANBUL", true, false},
        {"\u03A3\u038A\u03A3\u03A5\u03A6\u039F\u03A3", "\u03C3\u03AF\u03C3\u03C5\u03C6\u03BF\u03C2",
         true, true},
        {"caf\u00E9 au lait", "CAFE\u0301", true, true},
        {"cafe\u0301", "cafe", false, false}, // the é is one letter, not e + mark
        {"abc", "", true, true},
        {"", "", true, true},
        {"", "a", false, false},
        {"ab", "abc", false, false},
        {"x\xFFy", "\xFE", true, false}, // both read as U+FFFD
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.haystack) + " / " + std::string(c.needle));
        EXPECT_EQ(text::containsCaseInsensitive(c.haystack, c.needle), c.contains);
        EXPECT_EQ(text::hasPrefixCaseInsensitive(c.haystack, c.needle), c.hasPrefix);
    }
}

TEST(UnicodeTextCase, MapsLowerAndUpperCase) {
    struct Case {
        std::string_view input;
        std::string_view lower;
        std::string_view upper;
    };
    const Case cases[] = {
        {"ABC xyz 09", "abc xyz 09", "ABC XYZ 09"},
        {"Ii\u0130\u0131", "iii\u0131", "II\u0130I"},
        {"\u00C0\u00E9\u00CE", "\u00E0\u00E9\u00EE", "\u00C0\u00C9\u00CE"},
        {"\u03A3\u03C3\u03C2", "\u03C3\u03C3\u03C2", "\u03A3\u03A3\u03A3"},
        {"\u00DF", "\u00DF", "\u1E9E"}, // utf8proc's upper case for ß is capital sharp s
        {"\u0414\u0436", "\u0434\u0436", "\u0414\u0416"},
        {"a\xFF", "a\uFFFD", "A\uFFFD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(text::lowercased(c.input), c.lower);
        EXPECT_EQ(text::uppercased(c.input), c.upper);
    }
}

TEST(UnicodeTextCase, IgnoresATurkishProcessLocale) {
    ScopedLocale turkish("tr_TR.UTF-8");
    EXPECT_EQ(text::lowercased("I"), "i");
    EXPECT_EQ(text::uppercased("i"), "I");
    EXPECT_EQ(text::lowercased("TITLE"), "title");
    EXPECT_EQ(text::uppercased("title"), "TITLE");
    EXPECT_EQ(text::caseFolded("FILE \u00C7"), "file \u00E7");
    EXPECT_TRUE(text::containsCaseInsensitive("X-API-KEY", "x-api-key"));
    EXPECT_TRUE(text::hasPrefixCaseInsensitive("IF-NONE-MATCH", "if-"));
    EXPECT_FALSE(text::containsCaseInsensitive("LIST", "l\u0131st"));
    EXPECT_EQ(text::trimmingWhitespace("\u00A0 id \u3000"), "id");
}

} // namespace
