#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace quiller {
namespace {

using JSONInspectorEngine::evaluateAssertions;
using JSONInspectorEngine::extractJSONPath;
using JSONInspectorEngine::prettyPrint;
using Kind = DiffLineItem::Kind;

std::string nested(std::size_t depth, std::string_view inner) {
    return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

// --- Pretty printing -------------------------------------------------------------------

TEST(PrettyPrint, WritesContainersAsPrettyJSONWithSortedKeys) {
    const struct {
        std::string body;
        std::string expected;
    } cases[] = {
        {R"({"b":1,"a":[true,null]})", "{\n  \"a\" : [\n    true,\n    null\n  ],\n  \"b\" : 1\n}"},
        {" [1, {\"x\": []}, {}]\n", "[\n  1,\n  {\n    \"x\" : []\n  },\n  {}\n]"},
        // Keys in code-point order: upper case before lower case, non-ASCII last.
        {R"({"é":1,"b":2,"B":3,"aa":4,"a":5,"":6})",
         "{\n  \"\" : 6,\n  \"B\" : 3,\n  \"a\" : 5,\n  \"aa\" : 4,\n  \"b\" : 2,\n  \"é\" : 1\n}"},
        // Of duplicate keys the last counts.
        {R"({"a":1,"b":0,"a":2})", "{\n  \"a\" : 2,\n  \"b\" : 0\n}"},
        {R"(["a/b","q\"uote","line\nbreak","\u00e9\ud83d\ude00","\u0001"])",
         "[\n  \"a\\/b\",\n  \"q\\\"uote\",\n  \"line\\nbreak\",\n  \"é😀\",\n  \"\\u0001\"\n]"},
        // Integers stay integers at any size a 64-bit integer holds; integral
        // doubles lose their point; other doubles take their shortest form.
        {"[1.0,1e2,-0,18446744073709551615,-9223372036854775808,0.1,-2.5,1.5e300]",
         "[\n  1,\n  100,\n  0,\n  18446744073709551615,\n  -9223372036854775808,\n  0.1,\n  "
         "-2.5,\n"
         "  1.5e+300\n]"},
        // Integers beyond 64 bits are JSON too: they are read as doubles.
        {R"({"z":123456789012345678901234567890,"a":[7]})",
         "{\n  \"a\" : [\n    7\n  ],\n  \"z\" : 1.2345678901234568e+29\n}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(prettyPrint(c.body), c.expected) << c.body;
}

TEST(PrettyPrint, ReturnsEverythingElseAsItsOwnText) {
    const struct {
        std::string body;
        std::string expected;
    } cases[] = {
        {"42", "42"},
        {"\"ok\"", "\"ok\""},
        {" true\n", " true\n"},
        {"null", "null"},
        {"", ""},
        {"{\"a\":1", "{\"a\":1"},
        {"[1,]", "[1,]"},
        {"[1e400]", "[1e400]"},
        {"plain text", "plain text"},
        // Invalid UTF-8 is not JSON, and each maximal invalid sequence becomes
        // one U+FFFD.
        {"ab\xFF\xC3(", "ab\uFFFD\uFFFD("},
        {"{\"a\":\"\xE2\x82\"}", "{\"a\":\"\uFFFD\"}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(prettyPrint(c.body), c.expected) << c.body;
}

TEST(PrettyPrint, NestingDeeperThan512IsNotJSON) {
    // 512 levels are JSON whether or not the innermost container holds a value.
    EXPECT_NE(prettyPrint(nested(512, "1")), nested(512, "1"));
    EXPECT_NE(prettyPrint(nested(512, "")), nested(512, ""));
    std::string objects;
    for (int i = 0; i < 512; ++i)
        objects += "{\"k\":";
    objects += "1" + std::string(512, '}');
    EXPECT_NE(prettyPrint(objects), objects);
    // One more level, also an empty one, and the body is plain text.
    EXPECT_EQ(prettyPrint(nested(513, "1")), nested(513, "1"));
    EXPECT_EQ(prettyPrint(nested(513, "")), nested(513, ""));
    EXPECT_EQ(prettyPrint("[" + nested(513, "") + ",1]"), "[" + nested(513, "") + ",1]");
    EXPECT_EQ(prettyPrint(nested(100'000, "")), nested(100'000, ""));
}

// Large bodies are printed in two passes over their bytes instead of from a
// parsed document; forced here with small bodies, the two ways must agree byte
// for byte, refusals included.
std::string parsedWay(const std::string& body) {
    return JSONInspectorEngine::detail::prettyPrint(body, {.twoPassFromBytes = SIZE_MAX});
}
std::string twoPassWay(const std::string& body) {
    return JSONInspectorEngine::detail::prettyPrint(body, {.twoPassFromBytes = 0});
}

TEST(PrettyPrint, TwoPassesWriteWhatTheParsedDocumentWrites) {
    using namespace std::string_literals;
    std::string deepObjects;
    for (int i = 0; i < 512; ++i)
        deepObjects += "{\"k\":";
    deepObjects += "1" + std::string(512, '}');
    const struct {
        std::string body;
        bool isJSON;
    } cases[] = {
        {R"( {"b":[1,{"y":2,"x":[]}],"a":{}} )", true},
        {"\t\r\n[1 , 2 ,\n{ } ,[ ]]\n\n", true},
        // Duplicates, also spelled with escapes; the last counts.
        {R"({"a":1,"b":0,"a":2,"a\u0062":3,"ab":4,"\u0061":5})", true},
        {R"({"ab":4,"a\u0062":3,"":1,"\u0000":2,"a\u0000b":3})", true},
        {R"(["\"\\\/\b\f\n\r\t","\u00e9\uD83D\uDE00","\u001f\u007f","é😀"])", true},
        // Integers at the edges of 64 bits, beyond them, and in floating form.
        {"[0,-0,-0.0,-0e0,9223372036854775807,9223372036854775808,18446744073709551615,"
         "18446744073709551616,-9223372036854775808,-9223372036854775809,"
         "-18446744073709551616,123456789012345678901234567890,9007199254740993.0]",
         true},
        {"[1e-400,-1e-400,4e-324,2e-324,2.4703282292062328e-324,1.7976931348623158e308,"
         "0.1000000000000000055511151231257827021181583404541015625,1E5,-1.5e-3,1e+2,"
         "0e999999999999999999999,1e-999999999999999999999,0.0000000000001e320]",
         true},
        {"[1" + std::string(400, '0') + "e-100," + "0." + std::string(1000, '0') + "1e309]", true},
        {"[1e400]", false},
        {"[-1.7976931348623159e308]", false},
        {"[1" + std::string(309, '0') + "]", false},
        {"[1e400,123456789012345678901234567890]", false},
        {"[01]", false},
        {"[1.]", false},
        {"[.5]", false},
        {"[-]", false},
        {"[+1]", false},
        {"[1e]", false},
        {"[1x]", false},
        {"[truex]", false},
        {"[nul]", false},
        // Surrogates come in pairs or not at all.
        {R"(["\ud800"])", false},
        {R"(["\udc00"])", false},
        {R"(["\ud800\u0041"])", false},
        {R"(["\ud800\ud800"])", false},
        {R"(["\ud800\udc0"])", false},
        {R"(["\x"])", false},
        {R"(["\u12"])", false},
        {"[\"\x01\"]", false},
        {"[\"a\0b\"]"s, false},
        {"[1]\0"s, false},
        // A NUL ends nothing, also where a number beyond 64 bits has the
        // document read by the general parser.
        {"[123456789012345678901234567890]\0 x"s, false},
        {"[1,\0 2]"s, false},
        {"\xEF\xBB\xBF[1]", false},
        {"[\"\xED\xA0\x80\"]", false},
        {"[\"\xC0\x80\"]", false},
        {"{\"\xFF\":1}", false},
        {"[1]\xFF", false},
        {"{\"a\"}", false},
        {"{\"a\":}", false},
        {"{1:2}", false},
        {"{\"a\":1,}", false},
        {"[1,]", false},
        {"[,]", false},
        {"[1][2]", false},
        {"[1] x", false},
        {"{\"a\":1", false},
        {"[\"open", false},
        {"[", false},
        // Bare scalars are left as they are.
        {"42", false},
        {"\"text\"", false},
        {" true ", false},
        {"", false},
        {"   ", false},
        {nested(512, "1"), true},
        {nested(512, ""), true},
        {deepObjects, true},
        {nested(513, ""), false},
        {"[" + nested(512, "") + ",1]", false},
        {nested(100'000, ""), false},
    };
    for (const auto& c : cases) {
        const std::string parsed = parsedWay(c.body);
        EXPECT_EQ(twoPassWay(c.body), parsed) << c.body.substr(0, 120);
        EXPECT_EQ(parsed != tarn::text::repairUTF8(c.body), c.isJSON) << c.body.substr(0, 120);
    }
}

std::vector<std::string> splitAt(std::string_view text) {
    std::vector<std::string> parts;
    for (std::size_t end = text.find('|'); end != std::string_view::npos; end = text.find('|')) {
        parts.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    parts.emplace_back(text);
    return parts;
}

// Random documents: nesting, keys with escapes and duplicates, numbers of every
// kind, text beyond ASCII, and now and then a byte broken.
class RandomJSON {
public:
    explicit RandomJSON(std::uint32_t seed) : m_random(seed) {}

    std::string document() {
        std::string out;
        blank(out);
        container(out, 0, pick(2) == 0);
        blank(out);
        if (pick(8) == 0 && !out.empty()) {
            static const char breakers[] = {'\0', '"', '\\', ',', '}', ']', '\x80', 'x', '-', '.'};
            out[pick(out.size())] = breakers[pick(sizeof breakers)];
        }
        return out;
    }

private:
    std::size_t pick(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(m_random);
    }

    void blank(std::string& out) {
        static const char* const blanks[] = {"", "", "", " ", "\n  ", "\t", "\r\n"};
        out += blanks[pick(std::size(blanks))];
    }

    void value(std::string& out, int depth) {
        switch (pick(depth < 5 ? 6 : 5)) {
        case 0:
            string(out);
            return;
        case 1:
        case 2:
            number(out);
            return;
        case 3: {
            static const char* const literals[] = {"true", "false", "null"};
            out += literals[pick(3)];
            return;
        }
        case 4:
            string(out);
            return;
        default:
            container(out, depth + 1, pick(2) == 0);
            return;
        }
    }

    void container(std::string& out, int depth, bool isObject) {
        out += isObject ? '{' : '[';
        const std::size_t count = pick(6);
        for (std::size_t i = 0; i < count; ++i) {
            out += i ? "," : "";
            blank(out);
            if (isObject) {
                // Few distinct keys, so that duplicates are common.
                static const std::vector<std::string> keys = splitAt(
                    R"("a"|"b"|"\u0061"|"ab"|"a\u0062"|""|"\u0000"|"\ud83d\ude00"|"😀"|"é"|"\u00e9"|"B")"
                    R"(|"a\nb"|"a\/")");
                out += keys[pick(keys.size())];
                blank(out);
                out += ':';
                blank(out);
            }
            value(out, depth);
            blank(out);
        }
        out += isObject ? '}' : ']';
    }

    void string(std::string& out) {
        // Plain, escaped and beyond ASCII; surrogates in pairs.
        static const std::vector<std::string> pieces = splitAt(
            R"(a|Z| |é|😀|\"|\\|\/|/|\b|\t|\n|\r|\u0000|\u001F|\u00e9|\uFFFF|\ud83d\ude00|\uDBFF\uDFFF)"
            "|\x7F");
        out += '"';
        for (std::size_t i = pick(5); i > 0; --i)
            out += pieces[pick(pieces.size())];
        out += '"';
    }

    void number(std::string& out) {
        // Where integers end, where doubles end, and forms that read alike.
        static const std::vector<std::string> edges =
            splitAt("0|-0|-0.0|9223372036854775807|9223372036854775808|-9223372036854775808|"
                    "-9223372036854775809|18446744073709551615|18446744073709551616|"
                    "123456789012345678901234567890|1e308|1.8e308|1e-400|-1e-400|5e-324|2.5e-324|"
                    "9007199254740993|0.1|1E+2|-2.5e-3|1e400");
        if (pick(3) == 0) {
            out += edges[pick(edges.size())];
            return;
        }
        if (pick(2) == 0)
            out += '-';
        out += std::to_string(1 + pick(999'999));
        if (pick(2) == 0)
            out += "." + std::to_string(pick(1000));
        if (pick(3) == 0)
            out += (pick(2) ? "e" : "E") + std::string(pick(2) ? "-" : "+") +
                   std::to_string(pick(330));
    }

    std::mt19937 m_random;
};

TEST(PrettyPrint, TwoPassesAgreeWithTheParsedDocumentOnRandomDocuments) {
    RandomJSON random(20240611);
    std::size_t json = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string body = random.document();
        const std::string parsed = parsedWay(body);
        ASSERT_EQ(twoPassWay(body), parsed) << body;
        json += parsed != tarn::text::repairUTF8(body);
    }
    // Most documents are JSON, so that both ways really write.
    EXPECT_GT(json, 2000U);
}

// A realistic document in both ways: members sorted after a large array lie
// before it in the body and those sorted before it after it.
TEST(PrettyPrint, TwoPassesWriteALargeDocumentAsTheParsedDocumentDoes) {
    std::string body = R"({"meta":{"note":"written last, read first","n":[)";
    for (int i = 0; i < 1000; ++i)
        body += (i ? ",\"m" : "\"m") + std::to_string(i) + "\"";
    body += R"(]},"data":[)";
    for (int i = 0; i < 2000; ++i) {
        body += i ? "," : "";
        body += R"({"name":"User )" + std::to_string(i) + R"(","tags":["a\/b","é\n"],"n":[)";
        for (int j = 0; j < 60; ++j)
            body += (j ? "," : "") + std::to_string(i * j);
        body += R"(],"ok":true,"score":)" + std::to_string(i) + ".25,\"none\":null}";
    }
    body += R"(],"count":2000,"blob":["last strings",{"k":"v"}]})";

    const std::string expected = parsedWay(body);
    ASSERT_NE(expected.find("\"note\" : \"written last, read first\""), std::string::npos);
    EXPECT_EQ(twoPassWay(body), expected);
}

// --- JSON path -------------------------------------------------------------------------

TEST(ExtractJSONPath, FollowsTheSmallPathLanguage) {
    const std::string items = R"({"items":[{"id":7}], "0":"zero", "a":{"\"b\"":1,"b":2}})";
    const std::string itemsPretty = "[\n  {\n    \"id\" : 7\n  }\n]";
    const std::string whole = prettyPrint(items);
    const struct {
        const char* path;
        std::optional<std::string> expected;
    } cases[] = {
        {"$.items[0].id", "7"},
        {"items.0.id", "7"},
        {"$items[0]id", "7"},
        {"..items..[0]]id", "7"},
        {"$.items[+0].id", "7"},
        {"$.items[00].id", "7"},
        {"$.items", itemsPretty},
        {"$.items[1].id", std::nullopt},
        {"$.items[-1]", std::nullopt},
        {"$.items[99999999999999999999]", std::nullopt},
        {"$.items.id", std::nullopt},
        {"$.items[0].id.more", std::nullopt},
        {"$.missing", std::nullopt},
        {"$.ITEMS", std::nullopt},
        {"$. items", std::nullopt},
        // A numeric token on an object is a key.
        {"$.0", "zero"},
        {"$[0]", "zero"},
        // Quotes are part of the token.
        {"a[\"b\"]", "1"},
        {"a[b]", "2"},
        // Only the ends are trimmed, and only one "$" and "." are removed.
        {"", whole},
        {"$", whole},
        {" \t$. \n", whole},
        {"[]", whole},
        {".", whole},
        {"$$.items", std::nullopt},
        {"$..items[0].id", "7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(extractJSONPath(c.path, items), c.expected) << c.path;
}

TEST(ExtractJSONPath, GivesEachKindOfValueItsText) {
    const std::string document =
        R"({"name":"Ada","ok":true,"no":false,"n":null,"f":2.50,"i":-3,"u":18446744073709551615,)"
        R"("e":1e2,"s":"a\/b \"q\"\n","o":{},"a.́b":1})";
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"$.name", "Ada"},
        {"$.ok", "true"},
        {"$.no", "false"},
        {"$.n", "null"},
        {"$.f", "2.5"},
        {"$.i", "-3"},
        {"$.u", "18446744073709551615"},
        {"$.e", "100"},
        {"$.s", "a/b \"q\"\n"},
        {"$.o", "{}"},
        // A "." carrying a combining mark is one character, not a separator.
        {"$.a.́b", "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(extractJSONPath(c.path, document), std::optional<std::string>(c.expected))
            << c.path;
}

TEST(ExtractJSONPath, ScalarDocumentsDuplicatesAndBodiesThatAreNotJSON) {
    EXPECT_EQ(extractJSONPath("", "42"), "42");
    EXPECT_EQ(extractJSONPath("$", " \"hi\" "), "hi");
    EXPECT_EQ(extractJSONPath("$.", "null"), "null");
    EXPECT_EQ(extractJSONPath("$.x", "42"), std::nullopt);
    EXPECT_EQ(extractJSONPath("$.a", R"({"a":1,"a":2})"), "2");
    EXPECT_EQ(
        extractJSONPath("$.list[1]", R"({"big":123456789012345678901234567890,"list":[1,2]})"),
        "2");
    for (const std::string body : {"", "{\"a\":1", "text", "{\"a\":\"\xFF\"}", "[1e400]"}) {
        EXPECT_EQ(extractJSONPath("", body), std::nullopt) << body;
        EXPECT_EQ(extractJSONPath("$.a", body), std::nullopt) << body;
    }
    EXPECT_EQ(extractJSONPath("", nested(513, "")), std::nullopt);
    EXPECT_EQ(extractJSONPath("[0][0]", nested(512, "1")), prettyPrint(nested(510, "1")));
}

// The quick lookup walks the body without building it; the assertion check
// still reads the whole document. On sound JSON both give the same text,
// whether the body lies in a string with room for the parser's padding or not.
TEST(ExtractJSONPath, TheQuickLookupAgreesWithTheFullDocument) {
    const std::vector<std::string> bodies = {
        R"({"a":{"b":[10,{"c":"x\u00e9\/"}],"b":2},"a":{"b":[11,{"c":true}]},"z":null})",
        R"([{"k":1},{"k":2,"k":[1,{"d":{"e":[]}}]},3.25,-0,18446744073709551615,-9223372036854775808])",
        R"({"big":123456789012345678901234567890,"list":[1,2],"n":{"big":1.5e300}})",
        R"({"esc\"aped":1,"esc\u0022aped":2,"a\u0062":3})",
        R"(  {"deep":)" + nested(509, "7") + "}  ",
        R"({"deep":)" + nested(511, "7") + "}",
        R"("just a string")",
        "[1,2",
        R"({"a":1}x)",
        R"({"a":1} {"a":2})",
        "[]",
        "{}",
    };
    const std::vector<std::string> paths = {
        "$.a",         "$.a.b",
        "$.a.b[1]",    "$.a.b[1].c",
        "$.a.b[5]",    "$[1].k",
        "$[1].k[1].d", "$[2]",
        "$[3]",        "$[4]",
        "$[5]",        "$[6]",
        "$.big",       "$.list[1]",
        "$.n",         "$.n.big",
        "esc\"aped",   "ab",
        R"(a\u0062)",  "$.deep",
        "$.deep[0]",   "$.deep[0][0][0]",
        "$.z",         "$.z.y",
        "$[0]",        "$.x",
        "$.a[0]",
    };
    for (const std::string& body : bodies) {
        std::string padded = body;
        padded.reserve(body.size() + JSONInspectorEngine::kBodyPaddingBytes);
        for (const std::string& path : paths) {
            const ResponseAssertionRule rule{.kind = AssertionKind::jsonPathEquals,
                                             .targetPath = path,
                                             .expectedValue = "",
                                             .isEnabled = true};
            const std::string full =
                evaluateAssertions({&rule, 1}, 200, body, body, 1)[0].actualValue;
            EXPECT_EQ(extractJSONPath(path, std::string_view(body)).value_or("<nil>"), full)
                << path << " in " << body.substr(0, 80);
            EXPECT_EQ(extractJSONPath(path, padded).value_or("<nil>"), full)
                << path << " in " << body.substr(0, 80);
        }
    }
}

TEST(ExtractJSONPath, OnlyWhatLiesOnTheWayIsRead) {
    // A broken member the lookup skips does not hide the value...
    EXPECT_EQ(extractJSONPath("$.a", R"({"a":1,"b":tru})"), "1");
    // ...but a body cut off or followed by more text gives none.
    EXPECT_EQ(extractJSONPath("$.a", R"({"a":1,"b":[)"), std::nullopt);
    EXPECT_EQ(extractJSONPath("$[0]", R"([1,2] 3)"), std::nullopt);
    EXPECT_EQ(extractJSONPath("$.a", "{\"a\":\"\xFF\"}"), std::nullopt);
}

// --- Assertions ------------------------------------------------------------------------

ResponseAssertionRule rule(AssertionKind kind, std::string expected, std::string path = "",
                           bool enabled = true) {
    return ResponseAssertionRule{.kind = kind,
                                 .targetPath = std::move(path),
                                 .expectedValue = std::move(expected),
                                 .isEnabled = enabled};
}

TEST(EvaluateAssertions, ChecksEachKindOfRule) {
    const std::string body = R"({"id":7,"title":"ÉTÉ in Istanbul"})";
    const struct {
        ResponseAssertionRule rule;
        int status;
        double totalMs;
        bool passed;
        const char* actual;
    } cases[] = {
        {rule(AssertionKind::statusEquals, "200"), 200, 1, true, "200"},
        {rule(AssertionKind::statusEquals, " \t200\u00A0 "), 200, 1, true, "200"},
        {rule(AssertionKind::statusEquals, "200\n"), 200, 1, false, "200"},
        {rule(AssertionKind::statusEquals, "200"), 404, 1, false, "404"},
        {rule(AssertionKind::bodyContains, "TITLE"), 200, 1, true, "matched"},
        {rule(AssertionKind::bodyContains, "été IN ISTANBUL"), 200, 1, true, "matched"},
        {rule(AssertionKind::bodyContains, "ete"), 200, 1, false, "not found"},
        {rule(AssertionKind::bodyContains, " \"id\""), 200, 1, false, "not found"},
        {rule(AssertionKind::bodyContains, ""), 200, 1, false, "not found"},
        {rule(AssertionKind::jsonPathEquals, "7", "$.id"), 200, 1, true, "7"},
        {rule(AssertionKind::jsonPathEquals, " 7", "$.id"), 200, 1, false, "7"},
        {rule(AssertionKind::jsonPathEquals, "été in istanbul", "title"), 200, 1, false,
         "ÉTÉ in Istanbul"},
        {rule(AssertionKind::jsonPathEquals, "<nil>", "$.missing"), 200, 1, true, "<nil>"},
        {rule(AssertionKind::jsonPathEquals, "", "$.missing"), 200, 1, false, "<nil>"},
        {rule(AssertionKind::maxLatencyMs, "150"), 200, 131.5, true, "132 ms"},
        {rule(AssertionKind::maxLatencyMs, "0.5"), 200, 0.5, true, "1 ms"},
        {rule(AssertionKind::maxLatencyMs, "0.5"), 200, 0.6, false, "1 ms"},
        {rule(AssertionKind::maxLatencyMs, "1e2"), 200, 100.5, false, "101 ms"},
        // Text that does not read as a number whole means 1000 ms.
        {rule(AssertionKind::maxLatencyMs, "fast"), 200, 999.6, true, "1000 ms"},
        {rule(AssertionKind::maxLatencyMs, "fast"), 200, 1000.4, false, "1000 ms"},
        {rule(AssertionKind::maxLatencyMs, " 150"), 200, 900, true, "900 ms"},
        {rule(AssertionKind::maxLatencyMs, "150ms"), 200, 900, true, "900 ms"},
    };
    for (const auto& c : cases) {
        const auto results =
            evaluateAssertions(std::vector{c.rule}, c.status, body, body, c.totalMs);
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].passed, c.passed) << c.rule.expectedValue;
        EXPECT_EQ(results[0].actualValue, c.actual) << c.rule.expectedValue;
        EXPECT_EQ(results[0].id, c.rule.id);
        EXPECT_EQ(results[0].rule, c.rule);
    }
}

TEST(EvaluateAssertions, KeepsEnabledRulesInOrder) {
    const std::vector rules{
        rule(AssertionKind::jsonPathEquals, "1", "$.a"),
        rule(AssertionKind::statusEquals, "500", "", false),
        rule(AssertionKind::jsonPathEquals, "<nil>", "$.b"),
        rule(AssertionKind::bodyContains, "A"),
    };
    const auto results = evaluateAssertions(rules, 201, R"({"a":1})", "a", 3);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].id, rules[0].id);
    EXPECT_EQ(results[1].id, rules[2].id);
    EXPECT_EQ(results[2].id, rules[3].id);
    EXPECT_TRUE(results[0].passed && results[1].passed && results[2].passed);

    // A body that is not JSON makes every path compare "<nil>".
    const auto notJSON = evaluateAssertions(rules, 201, "{\"a\":1", "", 3);
    ASSERT_EQ(notJSON.size(), 3u);
    EXPECT_EQ(notJSON[0].actualValue, "<nil>");
    EXPECT_FALSE(notJSON[0].passed);
    EXPECT_TRUE(notJSON[1].passed);

    EXPECT_TRUE(evaluateAssertions({}, 200, "", "", 0).empty());
}

// --- Line diff -------------------------------------------------------------------------

struct Row {
    Kind kind;
    std::string text;
    friend bool operator==(const Row&, const Row&) = default;
};

std::vector<Row> rowsOf(const std::vector<DiffLineItem>& items) {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].id, i);
        rows.push_back({items[i].kind, items[i].text});
    }
    return rows;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : "\n") + lines[i];
    return text;
}

TEST(DiffLines, WorkedExamples) {
    const Row unchanged{Kind::unchanged, ""};
    const auto u = [](std::string t) { return Row{Kind::unchanged, std::move(t)}; };
    const auto a = [](std::string t) { return Row{Kind::added, std::move(t)}; };
    const auto r = [](std::string t) { return Row{Kind::removed, std::move(t)}; };
    const struct {
        const char* previous;
        const char* current;
        std::vector<Row> expected;
    } cases[] = {
        {"", "", {unchanged}},
        {"a\nb", "a\nx\ny\nb", {u("a"), a("x"), a("y"), u("b")}},
        {"a\nb\nc", "x\ny\na\nb\nc", {a("x"), a("y"), u("a"), u("b"), u("c")}},
        {"a\nb\nc", "a\nB\nc", {u("a"), a("B"), r("b"), u("c")}},
        // Of the two shortest scripts, the search's rule keeps b.
        {"a\nb", "b\na", {r("a"), u("b"), a("a")}},
        {"a\n", "a", {u("a"), r("")}},
        {"", "a", {a("a"), r("")}},
        {"a\r\nb", "a\nb", {a("a"), r("a\r"), u("b")}},
        {"same\ntext", "same\ntext", {u("same"), u("text")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowsOf(JSONInspectorEngine::diffLines(c.previous, c.current)), c.expected)
            << c.previous << " -> " << c.current;
}

// The search transcribed as plainly as possible: every step's whole frontier
// is kept, indexed by diagonal.
std::vector<Row> referenceDiff(const std::vector<std::string>& a,
                               const std::vector<std::string>& b) {
    const int n = static_cast<int>(a.size());
    const int m = static_cast<int>(b.size());
    const int max = n + m;
    std::vector<std::vector<int>> trace;
    std::vector<int> v(2 * max + 3, 0);
    const auto at = [max](std::vector<int>& frontier, int k) -> int& {
        return frontier[k + max + 1];
    };
    int x = 0;
    int y = 0;
    for (int d = 0; d <= max; ++d) {
        trace.push_back(v);
        std::vector<int> before = v;
        for (int k = -d; k <= d; k += 2) {
            if (k == -d || (k != d && at(before, k - 1) < at(before, k + 1)))
                x = at(before, k + 1);
            else
                x = at(before, k - 1) + 1;
            y = x - k;
            while (x < n && y < m && a[x] == b[y]) {
                ++x;
                ++y;
            }
            at(v, k) = x;
            if (x >= n && y >= m)
                break;
        }
        if (x >= n && y >= m)
            break;
    }
    std::vector<bool> removed(n), inserted(m);
    x = n;
    y = m;
    for (int d = static_cast<int>(trace.size()) - 1; d > 0; --d) {
        std::vector<int>& before = trace[d];
        const int k = x - y;
        const int fromK =
            (k == -d || (k != d && at(before, k - 1) < at(before, k + 1))) ? k + 1 : k - 1;
        const int fromX = at(before, fromK);
        const int fromY = fromX - fromK;
        while (x > fromX && y > fromY) {
            --x;
            --y;
        }
        if (y != fromY)
            inserted[fromY] = true;
        else
            removed[fromX] = true;
        x = fromX;
        y = fromY;
    }
    std::vector<Row> rows;
    int position = 0;
    for (int i = 0; i <= n; ++i) {
        while (position < m && inserted[position])
            rows.push_back({Kind::added, b[position++]});
        if (i == n)
            break;
        if (removed[i]) {
            rows.push_back({Kind::removed, a[i]});
        } else {
            rows.push_back({Kind::unchanged, a[i]});
            ++position;
        }
    }
    return rows;
}

std::size_t longestCommonSubsequence(const std::vector<std::string>& a,
                                     const std::vector<std::string>& b) {
    std::vector<std::vector<std::size_t>> table(a.size() + 1,
                                                std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j)
            table[i][j] = a[i - 1] == b[j - 1] ? table[i - 1][j - 1] + 1
                                               : std::max(table[i - 1][j], table[i][j - 1]);
    return table[a.size()][b.size()];
}

// The rows must rebuild both texts: previous = unchanged + removed rows,
// current = unchanged + added rows, each in order. Returns the edit count.
std::size_t checkValidScript(const std::vector<Row>& rows, const std::vector<std::string>& a,
                             const std::vector<std::string>& b) {
    std::vector<std::string> previous, current;
    std::size_t edits = 0;
    for (const Row& row : rows) {
        if (row.kind != Kind::added)
            previous.push_back(row.text);
        if (row.kind != Kind::removed)
            current.push_back(row.text);
        edits += row.kind != Kind::unchanged;
    }
    EXPECT_EQ(previous, a);
    EXPECT_EQ(current, b);
    return edits;
}

std::vector<std::string> randomLines(std::mt19937& random, std::size_t maxCount) {
    std::vector<std::string> lines(std::uniform_int_distribution<std::size_t>(1, maxCount)(random));
    for (std::string& line : lines)
        line = std::string(
            1, static_cast<char>('a' + std::uniform_int_distribution<int>(0, 2)(random)));
    return lines;
}

TEST(DiffLines, MatchesThePlainSearchAndIsAShortestScript) {
    std::mt19937 random(20240611);
    const JSONInspectorEngine::detail::DiffLimits limitsList[] = {
        {.maxEditDistance = 10'000, .checkpointInterval = 1},
        {.maxEditDistance = 10'000, .checkpointInterval = 2},
        {.maxEditDistance = 10'000, .checkpointInterval = 3},
        {.maxEditDistance = 10'000, .checkpointInterval = 128},
    };
    for (int round = 0; round < 1500; ++round) {
        const std::vector<std::string> a = randomLines(random, 14);
        std::vector<std::string> b = randomLines(random, 14);
        if (round % 3 == 0) // share a start or an end now and then
            b.insert(round % 2 ? b.begin() : b.end(), a.begin(), a.begin() + (a.size() + 1) / 2);
        const std::vector<Row> expected = referenceDiff(a, b);
        const auto& limits = limitsList[round % std::size(limitsList)];
        const std::vector<Row> rows =
            rowsOf(JSONInspectorEngine::detail::diffLines(joinLines(a), joinLines(b), limits));
        ASSERT_EQ(rows, expected) << joinLines(a) << "\n--\n" << joinLines(b);
        EXPECT_EQ(checkValidScript(rows, a, b),
                  a.size() + b.size() - 2 * longestCommonSubsequence(a, b));
    }
}

TEST(DiffLines, PastTheBoundReportsTheMiddleAsAddedThenRemoved) {
    const JSONInspectorEngine::detail::DiffLimits limits{.maxEditDistance = 2,
                                                         .checkpointInterval = 1};
    const auto rows =
        rowsOf(JSONInspectorEngine::detail::diffLines("p\na\nb\nc\ns", "p\nx\ny\nz\ns", limits));
    const std::vector<Row> expected{
        {Kind::unchanged, "p"}, {Kind::added, "x"},   {Kind::added, "y"},   {Kind::added, "z"},
        {Kind::removed, "a"},   {Kind::removed, "b"}, {Kind::removed, "c"}, {Kind::unchanged, "s"}};
    EXPECT_EQ(rows, expected);

    // Within the bound the result is the shortest script; past it, a valid one.
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        const std::vector<std::string> a = randomLines(random, 10);
        const std::vector<std::string> b = randomLines(random, 10);
        const std::size_t distance = a.size() + b.size() - 2 * longestCommonSubsequence(a, b);
        const JSONInspectorEngine::detail::DiffLimits small{.maxEditDistance = 4,
                                                            .checkpointInterval = 2};
        const std::vector<Row> got =
            rowsOf(JSONInspectorEngine::detail::diffLines(joinLines(a), joinLines(b), small));
        const std::size_t edits = checkValidScript(got, a, b);
        if (distance <= small.maxEditDistance) {
            EXPECT_EQ(got, referenceDiff(a, b));
            continue;
        }
        EXPECT_GT(edits, small.maxEditDistance);
        // Common start, added rows, removed rows, common end.
        std::string shape;
        for (const Row& row : got)
            shape += row.kind == Kind::unchanged ? 'u' : row.kind == Kind::added ? 'a' : 'r';
        const auto middle = shape.find_first_not_of('u');
        const auto end = shape.find_last_not_of('u');
        const std::string inner = shape.substr(middle, end - middle + 1);
        EXPECT_TRUE(std::is_sorted(inner.begin(), inner.end()) &&
                    inner.find('u') == std::string::npos)
            << shape;
    }
}

} // namespace
} // namespace quiller
