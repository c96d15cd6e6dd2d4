#include "QuillerCore/Engine/RequestHistoryStore.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"
#include "support/NoError.h"
#include "support/UnprivilegedScope.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quiller {
namespace {

namespace fs = std::filesystem;
using tarn::testing::noError;
using namespace std::chrono;

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "quiller-history-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        ::chmod(m_path.c_str(), 0700);
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

system_clock::time_point at(std::int64_t secondsSinceEpoch) {
    return system_clock::time_point(seconds(secondsSinceEpoch));
}

// Identifiers made from the index, so that two calls give equal entries.
tarn::UUID idFor(int index, std::uint8_t kind) {
    std::array<std::uint8_t, 16> bytes{};
    bytes[0] = kind;
    bytes[6] = 0x40; // version 4
    bytes[8] = 0x80;
    bytes[14] = static_cast<std::uint8_t>(index >> 8);
    bytes[15] = static_cast<std::uint8_t>(index);
    return tarn::UUID(bytes);
}

RequestHistoryEntry sampleEntry(int index) {
    RequestHistoryEntry entry;
    entry.id = idFor(index, 1);
    entry.timestamp = at(1'800'000'000 + index);
    entry.requestName = "Request " + std::to_string(index);
    entry.method = index % 2 == 0 ? TarnHTTPMethod::get : TarnHTTPMethod::delete_;
    entry.sanitizedURL = "https://api.test/items/" + std::to_string(index) + "?q=café";
    entry.statusCode = index % 3 == 0 ? 0 : 200;
    entry.durationMs = 12.5 + index;
    entry.responseBytes = 1000 + index;
    entry.responseSnippet = "{\"index\": " + std::to_string(index) + "}";
    if (entry.statusCode == 0)
        entry.errorMessage = "timed out";
    else
        entry.sourceRequestID = idFor(index, 2);
    entry.requestSnapshot = RedactedRequestSnapshot{
        .url = entry.sanitizedURL,
        .method = entry.method,
        .headers = {KeyValueRow{
                        .id = idFor(index, 3), .key = "Accept", .value = "application/json"},
                    KeyValueRow{.id = idFor(index, 4),
                                .key = "Authorization",
                                .value = std::string(RequestHistoryEngine::redactedPlaceholder),
                                .isSecret = true}},
        .bodyKind = RequestBodyKind::json,
        .bodyText = "{\"n\": " + std::to_string(index) + "}",
        .graphQLVariables = "{}",
    };
    return entry;
}

std::vector<RequestHistoryEntry> sampleEntries(int count) {
    std::vector<RequestHistoryEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        entries.push_back(sampleEntry(i));
    return entries;
}

class HistoryStoreTest : public testing::Test {
protected:
    // Warnings are collected rather than written to the user's real log.
    RequestHistoryStore makeStore(int maxEntries = 200) {
        return RequestHistoryStore(m_folder.path(), maxEntries, [this](const std::string& text) {
            std::lock_guard lock(m_warningsLock);
            m_warnings.push_back(text);
        });
    }

    fs::path file() const { return m_folder.path() / "history.json"; }
    std::string fileText() const { return tarn::files::readFile(file()).value_or("<missing>"); }
    void writeFile(std::string_view text) const { tarn::files::writeAtomically(file(), text); }

    std::vector<fs::path> setAsideFiles() const {
        std::vector<fs::path> found;
        for (const auto& item : fs::directory_iterator(m_folder.path())) {
            if (item.path().filename().string().starts_with("history.json.unreadable-"))
                found.push_back(item.path());
        }
        return found;
    }

    std::vector<std::string> warnings() {
        std::lock_guard lock(m_warningsLock);
        return m_warnings;
    }

    TemporaryFolder m_folder;
    std::mutex m_warningsLock;
    std::vector<std::string> m_warnings;
};

TEST_F(HistoryStoreTest, SavesAndLoadsEntriesUnchanged) {
    RequestHistoryStore store = makeStore();
    EXPECT_EQ(store.fileURL(), file());
    EXPECT_TRUE(store.load().empty()); // no file yet

    const std::vector<RequestHistoryEntry> entries = sampleEntries(7);
    ASSERT_TRUE(noError(store.save(entries)));
    EXPECT_EQ(store.load(), entries);
    EXPECT_EQ(makeStore().load(), entries); // another store, as after a restart

    const std::string first = fileText();
    ASSERT_TRUE(noError(store.save(store.load())));
    EXPECT_EQ(fileText(), first);
    EXPECT_TRUE(warnings().empty());

    struct stat info {};
    ASSERT_EQ(::stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(HistoryStoreTest, WritesPrettySortedJSONWithWholeSecondDates) {
    RequestHistoryEntry entry;
    entry.id = *tarn::UUID::fromString("0f8b7c2e-5d3a-4b1e-9c6f-1a2b3c4d5e6f");
    entry.timestamp = at(1'800'000'000) + milliseconds(987);
    entry.requestName = "Ping";
    entry.sanitizedURL = "https://api.test/ping";
    entry.statusCode = 204;
    entry.durationMs = 3.25;
    entry.requestSnapshot.url = entry.sanitizedURL;
    RequestHistoryStore store = makeStore();
    ASSERT_TRUE(noError(store.save({entry})));

    EXPECT_EQ(fileText(), R"([
  {
    "durationMs" : 3.25,
    "id" : "0F8B7C2E-5D3A-4B1E-9C6F-1A2B3C4D5E6F",
    "method" : "GET",
    "requestName" : "Ping",
    "requestSnapshot" : {
      "bodyKind" : "none",
      "bodyText" : "",
      "graphQLVariables" : "{}",
      "headers" : [],
      "method" : "GET",
      "url" : "https:\/\/api.test\/ping"
    },
    "responseBytes" : 0,
    "responseSnippet" : "",
    "sanitizedURL" : "https:\/\/api.test\/ping",
    "statusCode" : 204,
    "timestamp" : "2027-01-15T08:00:00Z"
  }
])");
    // The file is written without a JSON tree in between; it must read
    // exactly as the records' own JSON form does.
    const std::vector<RequestHistoryEntry> mixed = {entry, sampleEntry(1), sampleEntry(3)};
    EXPECT_EQ(RequestHistoryStore::encode(mixed), tarn::json::pretty(nlohmann::json(mixed)));

    // The fraction of a second does not survive.
    const std::vector<RequestHistoryEntry> loaded = store.load();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].timestamp, at(1'800'000'000));
}

TEST_F(HistoryStoreTest, KeepsAtMostMaxEntriesBothWays) {
    RequestHistoryStore large = makeStore(10);
    ASSERT_TRUE(noError(large.save(sampleEntries(10))));
    RequestHistoryStore small = makeStore(3);
    EXPECT_EQ(small.maxEntries(), 3);
    EXPECT_EQ(small.load(), sampleEntries(3));
    ASSERT_TRUE(noError(small.save(sampleEntries(5))));
    EXPECT_EQ(large.load(), sampleEntries(3));
    EXPECT_EQ(makeStore(0).maxEntries(), 1);
    EXPECT_EQ(makeStore(-5).load(), sampleEntries(1));
}

// A minimal entry in the file's own words, with one member replaced.
std::string entryText(const std::string& member) {
    return R"([{"id": "0F8B7C2E-5D3A-4B1E-9C6F-1A2B3C4D5E6F", "timestamp": "2027-01-15T08:00:00Z", )" +
           member + "}]";
}

TEST_F(HistoryStoreTest, ReadsMissingMembersAsDefaultsAndWrongOnesAsUnreadable) {
    const struct {
        const char* name;
        std::string text;
        bool readable;
    } cases[] = {
        {"empty array", "[]", true},
        {"any layout", "  [ {\"statusCode\":404,\"method\":\"PUT\"}\n]\n", true},
        {"nulls count as missing", entryText(R"("errorMessage": null, "statusCode": null)"), true},
        {"unknown keys are ignored", entryText(R"("color": "red")"), true},
        {"integral number written as float", entryText(R"("statusCode": 200.0)"), true},
        {"lower-case UUID",
         entryText(R"("sourceRequestID": "0f8b7c2e-5d3a-4b1e-9c6f-1a2b3c4d5e6f")"), true},
        {"numeric zone offset", R"([{"timestamp": "2027-01-15T09:00:00+01:00"}])", true},
        {"not JSON", "[{", false},
        {"not an array", "{}", false},
        {"an element that is no object", "[1]", false},
        {"string status", entryText(R"("statusCode": "200")"), false},
        {"fractional status", entryText(R"("statusCode": 200.5)"), false},
        {"method in lower case", entryText(R"("method": "get")"), false},
        {"unknown body kind", entryText(R"("requestSnapshot": {"bodyKind": "xml"})"), false},
        {"malformed UUID", entryText(R"("sourceRequestID": "not-a-uuid")"), false},
        {"fractional seconds", R"([{"timestamp": "2027-01-15T08:00:00.123Z"}])", false},
        {"date without zone", R"([{"timestamp": "2027-01-15T08:00:00"}])", false},
        {"header row missing a key",
         entryText(R"("requestSnapshot": {"headers": [{"id": "0F8B7C2E-5D3A-4B1E-9C6F-1A2B3C4D5E6F",
             "key": "A", "value": "b", "isEnabled": true}]})"),
         false},
        {"snapshot of the wrong type", entryText(R"("requestSnapshot": [])"), false},
        {"one bad entry among good ones",
         R"([{"statusCode": 200}, {"statusCode": true}, {"statusCode": 201}])", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.text);
        const bool decodes = RequestHistoryStore::decode(c.text).has_value();
        EXPECT_EQ(decodes, c.readable);
        if (!c.readable) {
            EXPECT_TRUE(makeStore().load().empty());
        }
    }
}

TEST_F(HistoryStoreTest, FillsInWhatAnOlderFileLeavesOut) {
    writeFile(R"([{"sanitizedURL": "https://api.test/a", "method": "POST"}, {}])");
    const auto before = floor<seconds>(system_clock::now());
    const std::vector<RequestHistoryEntry> loaded = makeStore().load();
    ASSERT_EQ(loaded.size(), 2u);
    const RequestHistoryEntry& first = loaded[0];
    EXPECT_EQ(first.requestName, "Request");
    EXPECT_EQ(first.method, TarnHTTPMethod::post);
    EXPECT_EQ(first.statusCode, 0);
    EXPECT_EQ(first.durationMs, 0);
    EXPECT_EQ(first.responseBytes, 0);
    EXPECT_EQ(first.responseSnippet, "");
    EXPECT_FALSE(first.errorMessage);
    EXPECT_FALSE(first.sourceRequestID);
    EXPECT_GE(first.timestamp, before);
    EXPECT_LE(first.timestamp, system_clock::now());
    EXPECT_EQ(first.requestSnapshot, (RedactedRequestSnapshot{.url = "https://api.test/a",
                                                              .method = TarnHTTPMethod::post}));
    EXPECT_NE(loaded[1].id, first.id); // each missing id is a fresh one
    EXPECT_EQ(loaded[1].requestSnapshot, RedactedRequestSnapshot{});
}

TEST_F(HistoryStoreTest, SetsAnUnreadableFileAsideBeforeTheNextSave) {
    const std::string foreign = entryText(R"("statusCode": "not a number")");
    const struct {
        const char* name;
        bool loadFirst;
    } cases[] = {{"after a load", true}, {"without a load", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const fs::path& old : setAsideFiles())
            fs::remove(old);
        m_warnings.clear();
        writeFile(foreign);

        RequestHistoryStore store = makeStore();
        if (c.loadFirst) {
            EXPECT_TRUE(store.load().empty());
            EXPECT_EQ(fileText(), foreign); // loading never touches the file
        }
        ASSERT_TRUE(noError(store.save(sampleEntries(2))));
        EXPECT_EQ(store.load(), sampleEntries(2));

        const std::vector<fs::path> aside = setAsideFiles();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(tarn::files::readFile(aside[0]), foreign);
        ASSERT_EQ(warnings().size(), 1u);
        EXPECT_NE(warnings()[0].find(aside[0].filename().string()), std::string::npos);

        ASSERT_TRUE(
            noError(store.save(sampleEntries(3)))); // the store's own file is simply replaced
        EXPECT_EQ(setAsideFiles().size(), 1u);
        EXPECT_EQ(warnings().size(), 1u);
    }
}

TEST_F(HistoryStoreTest, ClearRemovesTheFileButSetsAnUnreadableOneAside) {
    RequestHistoryStore store = makeStore();
    ASSERT_TRUE(noError(store.save(sampleEntries(2))));
    ASSERT_TRUE(noError(store.clear()));
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_TRUE(store.load().empty());
    ASSERT_TRUE(noError(store.clear())); // nothing to remove is fine

    writeFile("not json");
    ASSERT_TRUE(noError(makeStore().clear()));
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(setAsideFiles().size(), 1u);
    EXPECT_EQ(warnings().size(), 1u);
}

TEST_F(HistoryStoreTest, AFileThatCannotBeSetAsideIsNotOverwritten) {
    // A folder so deep that "history.json" still fits in a path but its
    // set-aside name does not: the rename fails for any user, root included.
    fs::path folder = m_folder.path();
    constexpr std::size_t kDepth = 4060;
    while (folder.string().size() < kDepth) {
        const std::size_t missing = kDepth - folder.string().size();
        folder /= std::string(std::min<std::size_t>(200, missing - 1), 'd');
    }
    RequestHistoryStore store(folder, 200,
                              [this](const std::string& text) { m_warnings.push_back(text); });
    { std::ofstream(store.fileURL()) << "not json"; }

    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::optional<tarn::PlatformError> failure = store.save(sampleEntries(1));
        ASSERT_TRUE(failure);
        EXPECT_NE(failure->description().find("could not be moved aside"), std::string::npos);
        EXPECT_EQ(tarn::files::readFile(store.fileURL()), "not json");
        EXPECT_EQ(warnings().size(), static_cast<std::size_t>(attempt));
    }
    // Nor is it deleted, and the caller hears so.
    EXPECT_TRUE(store.clear());
    EXPECT_EQ(tarn::files::readFile(store.fileURL()), "not json");
}

TEST_F(HistoryStoreTest, SavesAndClearsThatCannotTouchTheFileSayWhy) {
    const tarn::testing::UnprivilegedScope unprivileged(m_folder.path());
    RequestHistoryStore store = makeStore();
    ASSERT_FALSE(store.save(sampleEntries(1)));
    ASSERT_EQ(::chmod(m_folder.path().c_str(), 0500), 0);

    for (const auto& failure : {store.save(sampleEntries(2)), store.clear()}) {
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), EACCES);
        EXPECT_NE(failure->description().find(m_folder.path().string()), std::string::npos);
    }
    EXPECT_EQ(store.load(), sampleEntries(1)) << "the last written file stays whole";

    ASSERT_EQ(::chmod(m_folder.path().c_str(), 0700), 0);
    EXPECT_FALSE(store.save(sampleEntries(2)));
    EXPECT_EQ(store.load(), sampleEntries(2));
    EXPECT_FALSE(store.clear());
    EXPECT_FALSE(store.clear()) << "nothing to remove is no failure";
}

TEST_F(HistoryStoreTest, AnUnreadableFileIsSetAsideWhenAskedAndNamed) {
    writeFile("not a history");
    RequestHistoryStore store = makeStore();
    EXPECT_TRUE(store.load().empty());
    const std::optional<fs::path> kept = store.setUnreadableFileAside();
    ASSERT_TRUE(kept);
    EXPECT_EQ(setAsideFiles(), std::vector<fs::path>{*kept});
    EXPECT_EQ(tarn::files::readFile(*kept), "not a history");
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_NE(warnings()[0].find(kept->string()), std::string::npos);
    EXPECT_FALSE(store.setUnreadableFileAside());
    EXPECT_FALSE(store.save(sampleEntries(1)));
    EXPECT_EQ(setAsideFiles().size(), 1u);
}

TEST_F(HistoryStoreTest, ConcurrentSavesAndLoadsNeverSeeAPartialFile) {
    const std::vector<RequestHistoryEntry> small = sampleEntries(3);
    const std::vector<RequestHistoryEntry> large = sampleEntries(25);
    RequestHistoryStore store = makeStore();
    ASSERT_TRUE(noError(store.save(small)));
    RequestHistoryStore other = makeStore(); // a second store on the same file

    std::atomic<bool> done = false;
    std::atomic<int> bad = 0;
    std::vector<std::thread> readers;
    for (RequestHistoryStore* reader : {&store, &other}) {
        readers.emplace_back([&, reader] {
            while (!done) {
                const std::vector<RequestHistoryEntry> loaded = reader->load();
                if (loaded != small && loaded != large)
                    ++bad;
                // Let the writer at the lock; it does not queue fairly.
                std::this_thread::sleep_for(microseconds(50));
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(noError(store.save(i % 2 == 0 ? large : small)));
        ASSERT_TRUE(noError(other.save(i % 2 == 0 ? small : large)));
    }
    done = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(bad, 0);
    EXPECT_TRUE(setAsideFiles().empty());
}

TEST(HistoryStoreLocation, DefaultsToTheApplicationSupportFolder) {
    TemporaryFolder home;
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    const RequestHistoryStore store;
    if (saved)
        ::setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(store.fileURL(), home.path() / "Corvane" / "Quiller" / "history.json");
    EXPECT_EQ(store.maxEntries(), 200);
    EXPECT_TRUE(fs::is_directory(home.path() / "Corvane" / "Quiller"));
}

} // namespace
} // namespace quiller
