#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;
using tarn::json::DecodingError;
using Kind = tarn::json::DecodingError::Kind;

json nested(std::size_t depth) {
    json value = json::array();
    for (std::size_t level = 1; level < depth; ++level) {
        json outer = json::array();
        outer.push_back(std::move(value));
        value = std::move(outer);
    }
    return value;
}

std::string brackets(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

struct WriterCase {
    const char* name;
    json value;
    std::string pretty;
    std::string compact;
};

void PrintTo(const WriterCase& c, std::ostream* out) {
    *out << c.name;
}

class JSONWriterTable : public testing::TestWithParam<WriterCase> {};

TEST_P(JSONWriterTable, WritesPrettyAndCompactForms) {
    const WriterCase& c = GetParam();
    EXPECT_EQ(tarn::json::pretty(c.value), c.pretty);
    EXPECT_EQ(tarn::json::compact(c.value), c.compact);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JSONWriterTable,
    testing::Values(
        WriterCase{"nestedLayout", json::parse(R"({"c":{},"a":[1,{"b":null}],"d":[],"e":[[]]})"),
                   "{\n"
                   "  \"a\" : [\n"
                   "    1,\n"
                   "    {\n"
                   "      \"b\" : null\n"
                   "    }\n"
                   "  ],\n"
                   "  \"c\" : {},\n"
                   "  \"d\" : [],\n"
                   "  \"e\" : [\n"
                   "    []\n"
                   "  ]\n"
                   "}",
                   R"({"a":[1,{"b":null}],"c":{},"d":[],"e":[[]]})"},
        // Code-point order: "Z" < "a" < "aa" < "b" < "ä" < "é" < U+FF01 < U+1F600.
        // UTF-16 order would put the emoji (a surrogate pair) before U+FF01.
        WriterCase{"keysInCodePointOrder",
                   json{{"é", 1},
                        {"b", 2},
                        {"\xF0\x9F\x98\x80", 3},
                        {"aa", 4},
                        {"Z", 5},
                        {"\xEF\xBC\x81", 6},
                        {"ä", 7},
                        {"a", 8}},
                   "{\n  \"Z\" : 5,\n  \"a\" : 8,\n  \"aa\" : 4,\n  \"b\" : 2,\n  \"ä\" : 7,\n"
                   "  \"é\" : 1,\n  \"\xEF\xBC\x81\" : 6,\n  \"\xF0\x9F\x98\x80\" : 3\n}",
                   "{\"Z\":5,\"a\":8,\"aa\":4,\"b\":2,\"ä\":7,\"é\":1,\"\xEF\xBC\x81\":6,"
                   "\"\xF0\x9F\x98\x80\":3}"},
        WriterCase{"slashesEscapedNonASCIIAsIs",
                   json{{"url/path", "https://x.test/a/b"}, {"t", "çağrı 😀 \u2028"}},
                   "{\n  \"t\" : \"çağrı 😀 \u2028\",\n  \"url\\/path\" : "
                   "\"https:\\/\\/x.test\\/a\\/b\"\n}",
                   "{\"t\":\"çağrı 😀 \u2028\",\"url\\/path\":\"https:\\/\\/x.test\\/a\\/b\"}"},
        WriterCase{"controlCharacters", json(std::string("\"\\\b\f\n\r\t\x01\x1f\x7f", 10)),
                   R"("\"\\\b\f\n\r\t\u0001\u001f)"
                   "\x7f\"",
                   R"("\"\\\b\f\n\r\t\u0001\u001f)"
                   "\x7f\""},
        WriterCase{"nulInsideString", json(std::string("a\0b", 3)), R"("a\u0000b")",
                   R"("a\u0000b")"},
        // Each maximal invalid subsequence becomes one U+FFFD.
        WriterCase{"invalidUTF8Repaired",
                   json::array({std::string("a\xFF"
                                            "b"),
                                std::string("\xE2\x82"), std::string("\xED\xA0\x80"),
                                std::string("\xC0\xAF"), std::string("x\xF0\x9F\x98")}),
                   "[\n  \"a\xEF\xBF\xBD"
                   "b\",\n  \"\xEF\xBF\xBD\",\n"
                   "  \"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\",\n"
                   "  \"\xEF\xBF\xBD\xEF\xBF\xBD\",\n  \"x\xEF\xBF\xBD\"\n]",
                   "[\"a\xEF\xBF\xBD"
                   "b\",\"\xEF\xBF\xBD\","
                   "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\",\"\xEF\xBF\xBD\xEF\xBF\xBD\","
                   "\"x\xEF\xBF\xBD\"]"},
        WriterCase{"numbers",
                   json::array({1, -0.0, 1.5, 200.0, 0.1, 1e300, 1e16, -2.5e-7,
                                std::numeric_limits<std::int64_t>::max(),
                                std::numeric_limits<std::int64_t>::min(),
                                std::numeric_limits<std::uint64_t>::max(),
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity()}),
                   "[\n  1,\n  -0,\n  1.5,\n  200,\n  0.1,\n  1e+300,\n  1e+16,\n  -2.5e-07,\n"
                   "  9223372036854775807,\n  -9223372036854775808,\n  18446744073709551615,\n"
                   "  null,\n  null\n]",
                   "[1,-0,1.5,200,0.1,1e+300,1e+16,-2.5e-07,9223372036854775807,"
                   "-9223372036854775808,18446744073709551615,null,null]"},
        WriterCase{"emptyTopLevelObject", json::object(), "{}", "{}"},
        WriterCase{"emptyTopLevelArray", json::array(), "[]", "[]"},
        WriterCase{"bareScalars", json::array({true, false, nullptr, "", 9007199254740991.0}),
                   "[\n  true,\n  false,\n  null,\n  \"\",\n  9007199254740991\n]",
                   "[true,false,null,\"\",9007199254740991]"},
        WriterCase{"topLevelString", json("a/b"), R"("a\/b")", R"("a\/b")"}),
    [](const testing::TestParamInfo<WriterCase>& row) { return row.param.name; });

TEST(JSONWriter, DoublesRoundTripThroughText) {
    for (const double value : {0.1, 1.0 / 3.0, 2.2250738585072014e-308, 1.7976931348623157e308,
                               123456.789, -9007199254740993.0, 5e-324}) {
        const auto parsed = tarn::json::parse(tarn::json::compact(json(value)));
        ASSERT_TRUE(parsed.has_value()) << value;
        EXPECT_EQ(parsed->get<double>(), value);
    }
}

TEST(JSONWriter, AcceptsDepth512AndRefusesDepth513) {
    EXPECT_NO_THROW(tarn::json::pretty(nested(512)));
    EXPECT_NO_THROW(tarn::json::compact(nested(512)));
    EXPECT_THROW(tarn::json::pretty(nested(513)), tarn::json::NestingTooDeep);
    EXPECT_THROW(tarn::json::compact(nested(513)), tarn::json::NestingTooDeep);

    tarn::json::Writer writer(tarn::json::Style::compact);
    for (std::size_t level = 0; level < tarn::json::maxDepth; ++level)
        writer.beginArray();
    EXPECT_THROW(writer.beginObject(), tarn::json::NestingTooDeep);
}

TEST(JSONWriter, EmitsEventsWithoutATree) {
    tarn::json::Writer writer(tarn::json::Style::pretty);
    writer.beginObject();
    writer.key("list");
    writer.beginArray();
    writer.integer(-3);
    writer.unsignedInteger(7);
    writer.number(2.5);
    writer.boolean(true);
    writer.null();
    writer.endArray();
    writer.key("name");
    writer.string("x/y");
    writer.endObject();
    EXPECT_TRUE(writer.complete());
    EXPECT_EQ(writer.finish(), "{\n  \"list\" : [\n    -3,\n    7,\n    2.5,\n    true,\n    null\n"
                               "  ],\n  \"name\" : \"x\\/y\"\n}");
    // A finished writer starts over.
    writer.null();
    EXPECT_EQ(writer.finish(), "null");
}

TEST(JSONWriter, RefusesMisuse) {
    const auto misuse = [](auto&& steps) {
        tarn::json::Writer writer;
        EXPECT_THROW(steps(writer), std::logic_error);
    };
    misuse([](tarn::json::Writer& w) { w.key("a"); });
    misuse([](tarn::json::Writer& w) {
        w.beginObject();
        w.integer(1);
    });
    misuse([](tarn::json::Writer& w) {
        w.beginArray();
        w.key("a");
    });
    misuse([](tarn::json::Writer& w) {
        w.beginObject();
        w.key("a");
        w.key("b");
    });
    misuse([](tarn::json::Writer& w) {
        w.beginObject();
        w.key("a");
        w.endObject();
    });
    misuse([](tarn::json::Writer& w) {
        w.beginArray();
        w.endObject();
    });
    misuse([](tarn::json::Writer& w) {
        w.integer(1);
        w.integer(2);
    });
    misuse([](tarn::json::Writer& w) {
        w.beginArray();
        w.finish();
    });
}

TEST(JSONParse, AcceptsJSONTextsIncludingBareScalars) {
    EXPECT_EQ(tarn::json::parse(" 12 "), json(12));
    EXPECT_EQ(tarn::json::parse(R"("a\/b")"), json("a/b"));
    EXPECT_EQ(tarn::json::parse("null"), json(nullptr));
    EXPECT_EQ(tarn::json::parse("1.5"), json(1.5));
    EXPECT_EQ(tarn::json::parse(R"({"k":[true,"é"]})"), (json{{"k", {true, "é"}}}));
    // Brackets inside strings are not nesting.
    const std::string deepText = "\"" + std::string(100000, '[') + "\"";
    EXPECT_EQ(tarn::json::parse(deepText), json(std::string(100000, '[')));
}

TEST(JSONParse, RefusesWhatIsNotJSON) {
    const std::string rejected[] = {
        "",      "{",        "[1,]",    "{'a':1}",  "1 2", "[1] x",   "nul",       "NaN",
        "1e400", "\"\xFF\"", "{\"a\"}", "\"\x01\"", "01",  "// c\n1", "[\"\\x\"]", "\"\\ud800\"",
    };
    for (const std::string& text : rejected)
        EXPECT_FALSE(tarn::json::parse(text).has_value()) << text;
    // A NUL byte ends nothing: what follows it counts.
    using namespace std::string_literals;
    for (const std::string& text : {"[1]\0 x"s, "[1]\0"s, "\"a\0\""s})
        EXPECT_FALSE(tarn::json::parse(text).has_value()) << text;
}

TEST(JSONParse, RefusesNestingDeeperThan512WithoutCrashing) {
    EXPECT_TRUE(tarn::json::parse(brackets(512)).has_value());
    EXPECT_FALSE(tarn::json::parse(brackets(513)).has_value());
    EXPECT_FALSE(tarn::json::parse(std::string(513, '{')).has_value());
    EXPECT_FALSE(tarn::json::parse(brackets(100000)).has_value());
    EXPECT_FALSE(tarn::json::parse(std::string(100000, '[')).has_value());
    std::string objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"a\":";
    objects += "1" + std::string(100000, '}');
    EXPECT_FALSE(tarn::json::parse(objects).has_value());
}

TEST(JSONParse, PrettyTextParsesBackToTheSameBytes) {
    const json document = json::parse(
        R"({"z":[1,2.5,-7,{"u":"https://a/b","n":null}],"é":{"k":"\u0007\ttab"},"":[]})");
    const std::string text = tarn::json::pretty(document);
    const auto reparsed = tarn::json::parse(text);
    ASSERT_TRUE(reparsed.has_value());
    EXPECT_EQ(*reparsed, document);
    EXPECT_EQ(tarn::json::pretty(*reparsed), text);
}

struct DecodeCase {
    const char* name;
    json document;
    Kind kind;
    std::string path;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class StrictDecoding : public testing::TestWithParam<DecodeCase> {};

// Decodes the member "v" as the type the case's name starts with.
TEST_P(StrictDecoding, FailsWithKindAndPath) {
    const DecodeCase& c = GetParam();
    const std::string name = c.name;
    try {
        if (name.starts_with("int_"))
            tarn::json::required<int>(c.document, "v");
        else if (name.starts_with("u16_"))
            tarn::json::required<std::uint16_t>(c.document, "v");
        else if (name.starts_with("string_"))
            tarn::json::required<std::string>(c.document, "v");
        else if (name.starts_with("bool_"))
            tarn::json::required<bool>(c.document, "v");
        else if (name.starts_with("double_"))
            tarn::json::required<double>(c.document, "v");
        else if (name.starts_with("uuid_"))
            tarn::json::required<tarn::UUID>(c.document, "v");
        else if (name.starts_with("date_"))
            tarn::json::required<std::chrono::system_clock::time_point>(c.document, "v");
        else
            tarn::json::required<std::vector<std::vector<int>>>(c.document, "v");
        ADD_FAILURE() << "decoded";
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.kind(), c.kind) << error.what();
        EXPECT_EQ(error.path(), c.path) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrictDecoding,
    testing::Values(
        DecodeCase{"int_missing", json{{"w", 1}}, Kind::keyNotFound, "v"},
        DecodeCase{"int_notAnObject", json::array({1}), Kind::typeMismatch, ""},
        DecodeCase{"int_null", json{{"v", nullptr}}, Kind::valueNotFound, "v"},
        DecodeCase{"int_fraction", json{{"v", 200.5}}, Kind::dataCorrupted, "v"},
        DecodeCase{"int_string", json{{"v", "200"}}, Kind::typeMismatch, "v"},
        DecodeCase{"int_bool", json{{"v", true}}, Kind::typeMismatch, "v"},
        DecodeCase{"int_tooLarge", json{{"v", 3000000000LL}}, Kind::dataCorrupted, "v"},
        DecodeCase{"int_hugeDouble", json{{"v", 1e300}}, Kind::dataCorrupted, "v"},
        DecodeCase{"u16_negative", json{{"v", -1}}, Kind::dataCorrupted, "v"},
        DecodeCase{"u16_tooLarge", json{{"v", 65536}}, Kind::dataCorrupted, "v"},
        DecodeCase{"string_number", json{{"v", 1}}, Kind::typeMismatch, "v"},
        DecodeCase{"string_null", json{{"v", nullptr}}, Kind::valueNotFound, "v"},
        DecodeCase{"bool_string", json{{"v", "true"}}, Kind::typeMismatch, "v"},
        DecodeCase{"bool_number", json{{"v", 1}}, Kind::typeMismatch, "v"},
        DecodeCase{"double_bool", json{{"v", false}}, Kind::typeMismatch, "v"},
        DecodeCase{"double_string", json{{"v", "1.5"}}, Kind::typeMismatch, "v"},
        DecodeCase{"uuid_malformed", json{{"v", "33333333-3333-4333-8333-33333333330"}},
                   Kind::dataCorrupted, "v"},
        DecodeCase{"uuid_number", json{{"v", 3}}, Kind::typeMismatch, "v"},
        DecodeCase{"date_malformed", json{{"v", "2026-12-10 12:34:56Z"}}, Kind::dataCorrupted, "v"},
        DecodeCase{"array_notArray", json{{"v", json::object()}}, Kind::typeMismatch, "v"},
        DecodeCase{"array_badElement", json{{"v", {{1}, {2, "x"}}}}, Kind::typeMismatch, "v[1][1]"},
        DecodeCase{"array_nullElement", json{{"v", {nullptr}}}, Kind::valueNotFound, "v[0]"}),
    [](const testing::TestParamInfo<DecodeCase>& row) { return row.param.name; });

TEST(StrictDecoding, AcceptsWellTypedValues) {
    const json document =
        json::parse(R"({"i":200.0,"e":2e2,"d":3,"u":"33333333-3333-4333-8333-33333333330a",
        "s":"é","b":false,"p":65535,"dt":"2026-12-10T12:34:56.789Z"})");
    EXPECT_EQ(tarn::json::required<int>(document, "i"), 200);
    EXPECT_EQ(tarn::json::required<std::int64_t>(document, "e"), 200);
    EXPECT_EQ(tarn::json::required<double>(document, "d"), 3.0);
    EXPECT_EQ(tarn::json::required<tarn::UUID>(document, "u").string(),
              "33333333-3333-4333-8333-33333333330A");
    EXPECT_EQ(tarn::json::required<std::string>(document, "s"), "é");
    EXPECT_FALSE(tarn::json::required<bool>(document, "b"));
    EXPECT_EQ(tarn::json::required<std::uint16_t>(document, "p"), 65535);
    EXPECT_EQ(tarn::json::formatISO8601(
                  tarn::json::required<std::chrono::system_clock::time_point>(document, "dt"),
                  tarn::json::DatePrecision::milliseconds),
              "2026-12-10T12:34:56.789Z");
}

TEST(StrictDecoding, NestedPathsAndMessages) {
    DecodingError error(Kind::typeMismatch, "expected a string, found a number");
    error.prependKey("graphQLVariables");
    error.prependIndex(2);
    error.prependKey("requests");
    error.prependIndex(0);
    error.prependKey("collections");
    EXPECT_EQ(error.path(), "collections[0].requests[2].graphQLVariables");
    EXPECT_STREQ(error.what(), "typeMismatch at collections[0].requests[2].graphQLVariables: "
                               "expected a string, found a number");
}

TEST(StrictDecoding, EnumerationsByRawValue) {
    const auto fromRaw = [](std::string_view text) -> std::optional<int> {
        if (text == "one")
            return 1;
        return std::nullopt;
    };
    EXPECT_EQ(tarn::json::requiredEnum<int>(json{{"k", "one"}}, "k", fromRaw), 1);
    const std::pair<json, Kind> failures[] = {
        {json{{"k", "One"}}, Kind::dataCorrupted},
        {json{{"k", 1}}, Kind::typeMismatch},
        {json{{"k", nullptr}}, Kind::valueNotFound},
        {json{{"j", "one"}}, Kind::keyNotFound},
    };
    for (const auto& [document, kind] : failures) {
        try {
            tarn::json::requiredEnum<int>(document, "k", fromRaw);
            ADD_FAILURE() << document;
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), kind) << document;
        }
    }
}

TEST(LenientDecoding, FallsBackWhenMissingNullOrMistyped) {
    const json document = json::parse(R"({"s":"x","n":null,"i":"7","b":true,"f":1.5})");
    EXPECT_EQ(tarn::json::valueOr<std::string>(document, "s", "d"), "x");
    EXPECT_EQ(tarn::json::valueOr<std::string>(document, "missing", "d"), "d");
    EXPECT_EQ(tarn::json::valueOr<std::string>(document, "n", "d"), "d");
    EXPECT_EQ(tarn::json::valueOr<int>(document, "i", 5), 5);
    EXPECT_EQ(tarn::json::valueOr<int>(document, "f", 5), 5);
    EXPECT_TRUE(tarn::json::valueOr<bool>(document, "b", false));
    EXPECT_EQ(tarn::json::valueOr<double>(document, "f", 0), 1.5);
    EXPECT_EQ(tarn::json::valueOr<int>(json::array(), "i", 9), 9);
}

TEST(ISO8601, FormatsInUTCWithSecondsOrMilliseconds) {
    using namespace std::chrono;
    const auto time = sys_days{2026y / December / 10} + 12h + 34min + 56s + 789ms + 999us;
    EXPECT_EQ(tarn::json::formatISO8601(time), "2026-12-10T12:34:56Z");
    EXPECT_EQ(tarn::json::formatISO8601(time, tarn::json::DatePrecision::milliseconds),
              "2026-12-10T12:34:56.789Z");
    // Before the epoch the time still rounds down, not toward zero.
    const auto before = sys_days{1970y / January / 1} - 500ms;
    EXPECT_EQ(tarn::json::formatISO8601(before), "1969-12-31T23:59:59Z");
    EXPECT_EQ(tarn::json::formatISO8601(before, tarn::json::DatePrecision::milliseconds),
              "1969-12-31T23:59:59.500Z");
    EXPECT_EQ(tarn::json::formatISO8601(sys_days{2024y / February / 29} + 5ms,
                                        tarn::json::DatePrecision::milliseconds),
              "2024-02-29T00:00:00.005Z");
}

TEST(ISO8601, ParsesBothFormsAndOffsets) {
    using namespace std::chrono;
    const auto base = sys_days{2026y / December / 10} + 12h + 34min + 56s;
    const std::pair<const char*, system_clock::time_point> accepted[] = {
        {"2026-12-10T12:34:56Z", base},
        {"2026-12-10T12:34:56.789Z", base + 789ms},
        {"2026-12-10T12:34:56.5Z", base + 500ms},
        {"2026-12-10T12:34:56.123456789Z", base + 123456789ns},
        {"2026-12-10T12:34:56+00:00", base},
        {"2026-12-10T14:34:56+02:00", base},
        {"2026-12-10T07:04:56-05:30", base},
        {"2026-12-10T14:34:56+0200", base},
        {"2026-12-11T00:34:56.789+12:00", base + 789ms},
    };
    for (const auto& [text, expected] : accepted)
        EXPECT_EQ(tarn::json::parseISO8601(text), expected) << text;

    const char* rejected[] = {
        "",
        "2026-12-10",
        "2026-12-10T12:34:56",
        "2026-12-10 12:34:56Z",
        "2026-12-10T12:34Z",
        "2026-02-29T00:00:00Z",
        "2026-13-01T00:00:00Z",
        "2026-12-10T24:00:00Z",
        "2026-12-10T12:60:00Z",
        "2026-12-10T12:34:60Z",
        "2026-12-10T12:34:56.Z",
        "2026-12-10T12:34:56Zjunk",
        "2026-12-10T12:34:56+2:00",
        "2026-12-10T12:34:56+24:00",
        "+2026-12-10T12:34:56Z",
        "9999-12-31T23:59:59Z", // beyond what the clock can hold
    };
    for (const char* text : rejected)
        EXPECT_FALSE(tarn::json::parseISO8601(text).has_value()) << text;
}

TEST(ISO8601, RoundTripsThroughText) {
    using namespace std::chrono;
    const system_clock::time_point times[] = {
        sys_days{2026y / December / 10} + 12h + 34min + 56s + 789ms,
        sys_days{1999y / December / 31} + 23h + 59min + 59s + 999ms,
        sys_days{1969y / July / 20} + 20h + 17min,
    };
    for (const system_clock::time_point point : times) {
        EXPECT_EQ(tarn::json::parseISO8601(
                      tarn::json::formatISO8601(point, tarn::json::DatePrecision::milliseconds)),
                  point);
        EXPECT_EQ(tarn::json::parseISO8601(tarn::json::formatISO8601(point)),
                  floor<seconds>(point));
    }
}

} // namespace
