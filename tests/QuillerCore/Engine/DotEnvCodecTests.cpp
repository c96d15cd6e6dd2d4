#include "QuillerCore/Engine/DotEnvCodec.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quiller {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs pairsOf(const std::vector<DotEnvEntry>& entries) {
    Pairs pairs;
    for (const DotEnvEntry& entry : entries)
        pairs.emplace_back(entry.key, entry.value);
    return pairs;
}

TEST(DotEnvCodec, SecretKeysAreRecognisedByTheirMarkers) {
    const struct {
        const char* key;
        bool secret;
    } cases[] = {
        {"github_token", true}, {"AUTHOR", true},      {" api_key \n", true}, {"my.apikey", true},
        {"database_url", true}, {"Signing_Key", true}, {"db_passwd", true},   {"CREDENTIALS", true},
        {"PATH", false},        {"API-KEY", false},    {"", false},           {" \t\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DotEnvCodec::isLikelySecretKey(c.key), c.secret) << c.key;
}

TEST(DotEnvCodec, ParsesAssignmentsLineByLine) {
    const struct {
        const char* title;
        std::string text;
        Pairs expected;
    } cases[] = {
        {"export prefix",
         "export FOO=1\nexport\tBAR=2\nexportBAZ=3\nexport\n  export  Q=4",
         {{"FOO", "1"}, {"BAR", "2"}, {"exportBAZ", "3"}, {"Q", "4"}}},
        {"skipped lines",
         "\n   \n  # c=1\n\t#x=1\nFOO\n=value\nFOO BAR=1\nFOO#X=1\nA\u00A0B=1",
         {}},
        {"keys",
         " A.b-1 =v\n9KEY=w\n\u00A0C\u2003=x\n\"Q\"=y",
         {{"A.b-1", "v"}, {"9KEY", "w"}, {"C", "x"}, {"\"Q\"", "y"}}},
        {"comments after unquoted values",
         "A=bar # note\nB=bar#note\nC= # note\nD=#note\nE=  two words  \nF=x\t#y",
         {{"A", "bar"},
          {"B", "bar#note"},
          {"C", ""},
          {"D", "#note"},
          {"E", "two words"},
          {"F", "x"}}},
        {"unquoted values keep quotes and backslashes",
         "A=x\"y'z\\n\nB=",
         {{"A", "x\"y'z\\n"}, {"B", ""}}},
        {"double-quoted escapes",
         "A=\"a\\nb\\tc\\rd\\\"e\\\\f\\$g\\xh\" ignored\nB=\t\"  padded  \"",
         {{"A", "a\nb\tc\rd\"e\\f$g\\xh"}, {"B", "  padded  "}}},
        {"single quotes are literal",
         "A='a\\nb \"c\"' ignored\nB='$x#y'",
         {{"A", "a\\nb \"c\""}, {"B", "$x#y"}}},
        {"double quotes over several lines",
         "A=\"one\n  two # kept\nthree\" tail\nB=2",
         {{"A", "one\n  two # kept\nthree"}, {"B", "2"}}},
        {"backslash at a line end", "A=\"x\\\ny\"", {{"A", "x\\\ny"}}},
        {"unclosed double quote swallows the rest", "A=\"one\nB=2", {{"A", "one\nB=2"}}},
        {"single quotes over several lines", "A='x\ny' z\nB=1", {{"A", "x\ny"}, {"B", "1"}}},
        {"unclosed single quote swallows the rest", "A='x\nB=1", {{"A", "x\nB=1"}}},
        {"CR LF and lone CR end lines",
         "A=1\r\nB=\"x\r\ny\"\rC=3\r",
         {{"A", "1"}, {"B", "x\ny"}, {"C", "3"}}},
        {"last assignment wins in place", "FOO=1\nBAR=2\nFOO=3", {{"FOO", "3"}, {"BAR", "2"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pairsOf(DotEnvCodec::parse(c.text)), c.expected) << c.title;
}

TEST(DotEnvCodec, EntriesCarryTheSecretFlagOfTheirKey) {
    const std::vector<DotEnvEntry> entries =
        DotEnvCodec::parse("API_TOKEN=abc\nHOST=x\nHOST=y\napi_token=z");
    const std::vector<DotEnvEntry> expected = {
        {"API_TOKEN", "abc", true}, {"HOST", "y", false}, {"api_token", "z", true}};
    EXPECT_EQ(entries, expected);

    const KeyValueRow first = entries[0].toKeyValueRow();
    const KeyValueRow again = entries[0].toKeyValueRow();
    EXPECT_EQ(first.key, "API_TOKEN");
    EXPECT_EQ(first.value, "abc");
    EXPECT_TRUE(first.isEnabled);
    EXPECT_TRUE(first.isSecret);
    EXPECT_NE(first.id, again.id);
    EXPECT_FALSE(entries[1].toKeyValueRow().isSecret);
}

TEST(DotEnvCodec, EntryJSONHasEveryKeyRequired) {
    const DotEnvEntry entry{"K", "v \"1\"", true};
    const nlohmann::json json = entry;
    EXPECT_EQ(json,
              nlohmann::json::parse(R"({"key":"K","value":"v \"1\"","isLikelySecret":true})"));
    EXPECT_EQ(json.get<DotEnvEntry>(), entry);
    for (const char* missing : {"key", "value", "isLikelySecret"}) {
        nlohmann::json partial = json;
        partial.erase(missing);
        EXPECT_THROW(partial.get<DotEnvEntry>(), tarn::json::DecodingError) << missing;
    }
}

KeyValueRow row(std::string key, std::string value, bool secret = false, bool enabled = true) {
    return KeyValueRow{
        .key = std::move(key), .value = std::move(value), .isEnabled = enabled, .isSecret = secret};
}

TEST(DotEnvCodec, ExportsEnabledRowsAsQuotedWhereNeeded) {
    const std::vector<KeyValueRow> rows = {
        row("PLAIN", "abc=1,{x}"),       row("SPACE", "a b"),
        row("QUOTES", "say \"hi\""),     row("EMPTY", ""),
        row("TOKEN", "s3cret", true),    row("OFF", "x", false, false),
        row(" \t\n", "blank key"),       row("  PADDED  ", "v"),
        row("SPECIALS", "$HOME#1 it's"), row("ESCAPES", "a\\b\tc\nd\re"),
        row("PLAIN", "again"),
    };
    EXPECT_EQ(DotEnvCodec::export_(rows, false), "PLAIN=abc=1,{x}\n"
                                                 "SPACE=\"a b\"\n"
                                                 "QUOTES=\"say \\\"hi\\\"\"\n"
                                                 "EMPTY=\n"
                                                 "TOKEN=s3cret\n"
                                                 "PADDED=v\n"
                                                 "SPECIALS=\"$HOME#1 it's\"\n"
                                                 "ESCAPES=\"a\\\\b\\tc\\nd\\re\"\n"
                                                 "PLAIN=again");
    const std::string masked = DotEnvCodec::export_(rows, true);
    EXPECT_NE(masked.find("\nTOKEN=***REDACTED***\n"), std::string::npos) << masked;
    EXPECT_EQ(masked.find("s3cret"), std::string::npos);
    EXPECT_EQ(DotEnvCodec::export_({}, true), "");
    EXPECT_EQ(DotEnvCodec::export_({row("A", "1", true)}, true), "A=***REDACTED***");
}

// Every value export writes must come back from parse unchanged, whatever mix
// of quotes, escapes, comment marks, blanks, line ends and combining marks
// (which must not glue onto a quote or a backslash) it holds.
TEST(DotEnvCodec, RandomValuesSurviveExportAndParse) {
    const std::vector<std::string> pieces = {
        " ", "\t",     "\n",     "\r",     "\r\n",   "#",  "\"",      "'",  "\\",   "$",
        "=", "\\n",    "\\\"",   "a",      "Z",      "0",  "export ", "{",  "}",    "`",
        "é", "\u0301", "\u00A0", "\u2028", "\u0085", "\v", "\f",      "日", "${X}", "\"\"\"",
    };
    const std::uint32_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 12);

    for (int round = 0; round < 50; ++round) {
        std::vector<KeyValueRow> rows;
        for (int i = 0; i < 40; ++i) {
            std::string value;
            for (int n = length(random); n > 0; --n)
                value += pieces[pick(random)];
            rows.push_back(row("K" + std::to_string(i), std::move(value)));
        }
        const std::string text = DotEnvCodec::export_(rows, false);
        const std::vector<DotEnvEntry> entries = DotEnvCodec::parse(text);
        ASSERT_EQ(entries.size(), rows.size()) << text;
        for (std::size_t i = 0; i < rows.size(); ++i)
            ASSERT_EQ(entries[i].value, rows[i].value) << text;
    }
}

} // namespace
} // namespace quiller
