#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Utilities/TarnReleaseLog.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tarn::TarnBundle;
using tarn::TarnReleaseLogRecord;
namespace reader = tarn::TarnReleaseLogReader;

class TarnReleaseLogTest : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const std::string& bytes) const {
        return m_temp.write(name, bytes);
    }

    const fs::path& folder() const { return m_temp.path(); }

private:
    tarn::testing::TemporaryFolder m_temp{"tarn-release-log"};
};

std::vector<std::string> ids(const std::vector<TarnReleaseLogRecord>& records) {
    std::vector<std::string> result;
    result.reserve(records.size());
    for (const auto& record : records)
        result.push_back(record.app + " " + record.toVersion);
    return result;
}

std::optional<TarnReleaseLogRecord> decodeLine(const std::string& line) {
    try {
        return tarn::json::decode<TarnReleaseLogRecord>(*tarn::json::parse(line));
    } catch (const tarn::json::DecodingError&) {
        return std::nullopt;
    }
}

TEST(TarnReleaseLogRecord, MissingAndNullKeysTakeTheDefaults) {
    const auto empty = decodeLine("{}");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->app, "");
    EXPECT_EQ(empty->fromVersion, "0.0.0");
    EXPECT_EQ(empty->fromBuild, 0);
    EXPECT_EQ(empty->toVersion, "1.0.0");
    EXPECT_EQ(empty->toBuild, 100);
    EXPECT_EQ(empty->bumpKind, "patch");
    EXPECT_EQ(empty->section, "Changed");
    EXPECT_TRUE(empty->summary.empty() && empty->details.empty() && empty->gitCommit.empty());
    EXPECT_TRUE(empty->summaryI18n.empty() && empty->detailsI18n.empty());
    EXPECT_EQ(*empty, TarnReleaseLogRecord{});

    const auto nulls = decodeLine(R"({"timestamp":null,"app":null,"fromVersion":null,
        "toVersion":null,"fromBuild":null,"toBuild":null,"bumpKind":null,"section":null,
        "summary":null,"details":null,"summary_i18n":null,"details_i18n":null,"gitCommit":null})");
    ASSERT_TRUE(nulls.has_value());
    EXPECT_EQ(*nulls, TarnReleaseLogRecord{});
}

TEST(TarnReleaseLogRecord, AValueOfAnotherTypeFailsTheRecord) {
    const struct {
        const char* line;
        bool decodes;
    } cases[] = {
        {R"({"toBuild":12})", true},
        {R"({"toBuild":"12"})", false},
        {R"({"toBuild":12.5})", false},
        {R"({"app":5})", false},
        {R"({"details":"one line"})", false},
        {R"({"details":["a",1]})", false},
        {R"({"summary_i18n":{"tr":"Özet"}})", true},
        {R"({"summary_i18n":{"tr":5}})", false},
        {R"({"summary_i18n":["tr"]})", false},
        {R"({"details_i18n":{"tr":["a"]}})", true},
        {R"({"details_i18n":{"tr":"a"}})", false},
        {R"({"gitCommit":false})", false},
        {R"({"unknown":[1,2,3]})", true},
        {R"([])", false},
        {R"("text")", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.line);
        EXPECT_EQ(decodeLine(test.line).has_value(), test.decodes);
    }
}

TEST(TarnReleaseLogRecord, EncodesAllThirteenKeysAndDecodesBack) {
    TarnReleaseLogRecord record{
        .timestamp = "2026-03-01T08:15:30Z",
        .app = "Quiller",
        .fromVersion = "1.4.1",
        .toVersion = "1.4.2",
        .fromBuild = 56,
        .toBuild = 57,
        .bumpKind = "minor",
        .section = "Fixed",
        .summary = "Faster start",
        .details = {"one", "two"},
        .summaryI18n = {{"tr", "Daha hızlı açılış"}},
        .detailsI18n = {{"tr", {"bir"}}},
        .gitCommit = "abc123",
    };
    const nlohmann::json json = record;
    std::vector<std::string> keys;
    for (const auto& item : json.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys,
              (std::vector<std::string>{"app", "bumpKind", "details", "details_i18n", "fromBuild",
                                        "fromVersion", "gitCommit", "section", "summary",
                                        "summary_i18n", "timestamp", "toBuild", "toVersion"}));
    EXPECT_EQ(tarn::json::decode<TarnReleaseLogRecord>(json), record);
    EXPECT_EQ(record.id(), "2026-03-01T08:15:30Z-Quiller-1.4.2-57");
}

TEST(TarnReleaseLogRecord, ShortDateIsTheFirstTenCharacters) {
    TarnReleaseLogRecord record;
    record.timestamp = "2026-03-01T08:15:30Z";
    EXPECT_EQ(record.shortDate(), "2026-03-01");
    record.timestamp = "2026-03";
    EXPECT_EQ(record.shortDate(), "2026-03");
    record.timestamp = "";
    EXPECT_EQ(record.shortDate(), "");
}

TEST(TarnReleaseLogRecord, LocalizedTextsFallBackThroughParentAndEnglish) {
    TarnReleaseLogRecord record;
    record.summary = "base";
    record.details = {"base line"};

    record.summaryI18n = {{"pt-PT", ""}, {"pt-BR", "brasil"}, {"en", "english"}};
    EXPECT_EQ(record.localizedSummary("pt-PT", "pt-BR"), "brasil");
    EXPECT_EQ(record.localizedSummary("pt-BR"), "brasil");
    EXPECT_EQ(record.localizedSummary("de"), "english");
    record.summaryI18n = {{"zh-Hans", "简体"}};
    EXPECT_EQ(record.localizedSummary("zh-Hant", "zh-Hans"), "简体");
    EXPECT_EQ(record.localizedSummary("ja"), "base");
    record.summaryI18n = {};
    EXPECT_EQ(record.localizedSummary("de"), "base");

    record.detailsI18n = {{"tr", {}}, {"en", {"english line"}}};
    EXPECT_EQ(record.localizedDetails("tr"), std::vector<std::string>{"english line"});
    record.detailsI18n = {{"tr", {}}};
    EXPECT_EQ(record.localizedDetails("tr"), std::vector<std::string>{"base line"});
    record.detailsI18n = {{"pt-BR", {"linha"}}};
    EXPECT_EQ(record.localizedDetails("pt-PT", "pt-BR"), std::vector<std::string>{"linha"});
}

// A release log as it appears in the wild: CR LF line ends, blank lines, lines
// that are not records, and records of other applications.
const std::string kFixture = "{\"app\":\"quiller\",\"toVersion\":\"1.0.0\"}\r\n"
                             "\r\n"
                             "{\"app\":\"heddle\",\"toVersion\":\"2.0.0\"}\r\n"
                             "not json\r\n"
                             "{\"app\":\"QUILLER\",\"toVersion\":\"1.1.0\",\"toBuild\":\"12\"}\r\n"
                             "[1,2]\n"
                             "{}\n"
                             "\n"
                             "{\"app\":\"QUILLER\",\"toVersion\":\"1.1.0\",\"toBuild\":12}\n"
                             "{\"app\":\"Quiller\",\"toVersion\":\"1.2.0\"}";

TEST_F(TarnReleaseLogTest, LoadsTolerantlyNewestFirst) {
    const fs::path file = write("release-log.jsonl", kFixture);
    EXPECT_EQ(ids(reader::load(file, std::nullopt)),
              (std::vector<std::string>{"Quiller 1.2.0", "QUILLER 1.1.0", " 1.0.0", "heddle 2.0.0",
                                        "quiller 1.0.0"}));
    // The filter ignores case; the empty record has no app and is dropped.
    EXPECT_EQ(ids(reader::load(file, "Quiller")),
              (std::vector<std::string>{"Quiller 1.2.0", "QUILLER 1.1.0", "quiller 1.0.0"}));
    EXPECT_EQ(ids(reader::load(file, "heddle")), (std::vector<std::string>{"heddle 2.0.0"}));
    EXPECT_EQ(ids(reader::load(file, "")), (std::vector<std::string>{" 1.0.0"}));
}

TEST_F(TarnReleaseLogTest, UnreadableFilesGiveNoRecords) {
    EXPECT_TRUE(reader::load(folder() / "missing.jsonl", std::nullopt).empty());
    EXPECT_TRUE(reader::load(write("empty.jsonl", ""), std::nullopt).empty());
    EXPECT_TRUE(reader::load(folder(), std::nullopt).empty());
    // Not UTF-8 text, so not readable as a whole.
    EXPECT_TRUE(reader::load(write("latin1.jsonl", "{\"app\":\"a\"}\n{\"summary\":\"\xE9\"}\n"),
                             std::nullopt)
                    .empty());
}

TEST_F(TarnReleaseLogTest, LoadsTheBundledResource) {
    write("release-log.jsonl", kFixture);
    TarnBundle bundle;
    bundle.resourceDirectory = folder();
    EXPECT_EQ(ids(reader::loadBundled("heddle", bundle)),
              (std::vector<std::string>{"heddle 2.0.0"}));

    bundle.resourceDirectory = folder() / "elsewhere";
    EXPECT_TRUE(reader::loadBundled(std::nullopt, bundle).empty());
    bundle.resourceDirectory.clear();
    EXPECT_TRUE(reader::loadBundled(std::nullopt, bundle).empty());
}

} // namespace
