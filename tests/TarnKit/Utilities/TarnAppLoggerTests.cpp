#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/RegularExpression.h"
#include "TarnKit/Platform/UUID.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "TarnKit/Utilities/TarnSecretValueMask.h"
#include "support/ScopedLocale.h"
#include "support/TemporaryFolder.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using tarn::testing::TemporaryFolder;

namespace fs = std::filesystem;
using tarn::TarnAppLogger;
using tarn::TarnAppVersion;
using tarn::TarnLogEntry;
using tarn::TarnLogLevel;

// Points the XDG data home at a temporary folder and puts the old value back.
class DataHomeScope {
public:
    explicit DataHomeScope(const fs::path& folder) {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_old = old;
        ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~DataHomeScope() {
        if (m_old)
            ::setenv("XDG_DATA_HOME", m_old->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

private:
    std::optional<std::string> m_old;
};

std::string readAll(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

void writeAll(const fs::path& file, const std::string& bytes) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << bytes;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::optional<TarnLogEntry> decodeLine(const std::string& line) {
    try {
        return nlohmann::json::parse(line).get<TarnLogEntry>();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// A line as the logger writes it, for files a test prepares by hand.
std::string entryLine(TarnLogLevel level, const std::string& message,
                      const std::string& timestamp = "2026-03-01T08:15:30.250Z") {
    TarnLogEntry entry{
        tarn::UUID::random().string(), timestamp, level, "test", message, "1.4.2", "57"};
    return tarn::json::compact(nlohmann::json(entry)) + "\n";
}

class TarnAppLoggerTest : public testing::Test {
protected:
    std::unique_ptr<TarnAppLogger> makeLogger(std::uint64_t maxFileBytes = 1 << 20,
                                              long maxRotatedFiles = 5,
                                              const std::string& name = "Quiller") {
        return std::make_unique<TarnAppLogger>(name, m_folder.path() / "logs", maxFileBytes,
                                               maxRotatedFiles, [] {
                                                   return TarnAppVersion{"1.4.2", "57"};
                                               });
    }
    fs::path logs() const { return m_folder.path() / "logs"; }

    TemporaryFolder m_folder;
};

TEST(TarnLogLevel, RawValuesOrderAndLabels) {
    EXPECT_LT(TarnLogLevel::debug, TarnLogLevel::info);
    EXPECT_LT(TarnLogLevel::info, TarnLogLevel::warn);
    EXPECT_LT(TarnLogLevel::warn, TarnLogLevel::error);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"debug", "DEBUG"}, {"info", "INFO"}, {"warn", "WARN"}, {"error", "ERROR"}};
    ASSERT_EQ(tarn::kAllLogLevels.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(tarn::rawValue(tarn::kAllLogLevels[i]), expected[i].first);
        EXPECT_EQ(tarn::label(tarn::kAllLogLevels[i]), expected[i].second);
        EXPECT_EQ(tarn::logLevelFromRaw(expected[i].first), tarn::kAllLogLevels[i]);
    }
    EXPECT_EQ(tarn::logLevelFromRaw("INFO"), std::nullopt);
    EXPECT_EQ(tarn::logLevelFromRaw("fatal"), std::nullopt);
}

TEST(TarnAppLoggerRedaction, Rules) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const std::vector<Case> cases = {
        // Bearer tokens: eight or more token characters.
        {"Authorization: Bearer abcdefgh", "Authorization: Bearer [REDACTED]"},
        {"Authorization: Bearer abcdefg", "Authorization: Bearer abcdefg"},
        {"BEARER\tey.J-h_x12345 rest", "BEARER\t[REDACTED] rest"},
        // sk- keys: lower-case prefix, ten or more characters, whole words.
        {"key sk-abcdefghij end", "key [REDACTED_KEY] end"},
        {"key sk-abcdefghi end", "key sk-abcdefghi end"},
        {"key SK-abcdefghij end", "key SK-abcdefghij end"},
        {"key xsk-abcdefghij end", "key xsk-abcdefghij end"},
        // AIza keys: exact case, sixteen or more characters.
        {"AIzaSyA-1234567890_abc", "[REDACTED_KEY]"},
        {"AIza123456789012345", "AIza123456789012345"},
        {"aiza1234567890123456", "aiza1234567890123456"},
        // Values after api key, token, secret and password, in any case.
        {"password: hunter2 next", "password: [REDACTED] next"},
        {"PASSWORD=hunter2;x", "PASSWORD=[REDACTED];x"},
        {"api_key=1,api-key : 2,apikey:3",
         "api_key=[REDACTED],api-key : [REDACTED],apikey:[REDACTED]"},
        {"Secret=a'b", "Secret=[REDACTED]'b"},
        {"token=\"quoted\"", "token=\"quoted\""}, // the value stops at a quote
        {"password: şifre123 ok", "password: [REDACTED] ok"},
        // Letters that fold to ASCII ones: the Kelvin sign, the long s.
        {"to\u212Aen=abc def", "to\u212Aen=[REDACTED] def"},
        {"\u017Fecret: abc", "\u017Fecret: [REDACTED]"},
        {"GET /api/v1/x apiKey=abc", "GET /api/v1/x apiKey=[REDACTED]"},
        // Rules apply in order, each to the result of the one before.
        {"token: Bearer abcdefghij", "token: [REDACTED] [REDACTED]"},
        {"nothing to hide", "nothing to hide"},
        {"", ""},
        // Invalid UTF-8 is repaired, and the secret after it still goes.
        {"bad \xFF byte password=abc", "bad \uFFFD byte password=[REDACTED]"},
    };
    // Matching ignores case by Unicode's rules, whatever the process locale.
    const tarn::testing::ScopedLocale turkish("tr_TR.UTF-8");
    for (const Case& c : cases)
        EXPECT_EQ(TarnAppLogger::redactSecrets(c.input), c.expected) << c.input;
}

TEST(TarnSecretValueMask, FindsValuesAsWrittenAndPercentEncoded) {
    const tarn::TarnSecretValueMask mask({"p@ss w/rd", "", "ab", "abc", "abcdef", "50%"});
    struct Case {
        std::string input;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"user p@ss w/rd end", "user ***REDACTED*** end"},
        {"?pw=p%40ss%20w%2Frd&x", "?pw=***REDACTED***&x"},
        {"?pw=p%40ss+w%2frd", "?pw=***REDACTED***"},         // form blank, lower-case hex
        {"/p@ss%20w/rd/", "/***REDACTED***/"},               // a path encoder's mix
        {"%61%62%63", "***REDACTED***"},                     // even needless escapes
        {"abcdef abcde", "***REDACTED*** ***REDACTED***de"}, // the longest wins
        {"abcabc", "***REDACTED******REDACTED***"},
        {"50% and 50%25", "***REDACTED*** and ***REDACTED***"},
        {"ab%6", "ab%6"}, // a cut-off escape is no match
        {"p@ss  w/rd", "p@ss  w/rd"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mask.apply(c.input), c.expected) << c.input;
    EXPECT_EQ(mask.values(), (std::vector<std::string>{"50%", "abc", "abcdef", "p@ss w/rd"}));
    EXPECT_TRUE(tarn::TarnSecretValueMask({"", "x", "xy"}).empty());
    EXPECT_EQ(tarn::TarnSecretValueMask({}).apply("abc %41"), "abc %41");
}

TEST(TarnSecretValueMask, GivesEachValueItsOwnReplacement) {
    const tarn::TarnSecretValueMask mask = tarn::TarnSecretValueMask::replacing(
        {{"abc", "{{short}}"}, {"abcdef", "{{long}}"}, {"abc", "{{later}}"}, {"xy", "{{tiny}}"}});
    EXPECT_EQ(mask.apply("abcdef/abc/%61bc/xy"), "{{long}}/{{short}}/{{short}}/xy");
    EXPECT_EQ(mask.values(), (std::vector<std::string>{"abc", "abcdef"}));
    EXPECT_TRUE(mask.occursIn("x%61bcx"));
    EXPECT_FALSE(mask.occursIn("ab xy"));
}

TEST_F(TarnAppLoggerTest, SecretValuesAreMaskedInEveryLineUntilReplaced) {
    auto logger = makeLogger();
    logger->setSecretValues({"hunter2", "tok/en"});
    logger->info("GET /users/hunter2?q=tok%2Fen", "http hunter2");
    logger->setSecretValues({"tok/en"});
    logger->info("hunter2 tok/en", "http");
    logger->setSecretValues({});
    logger->info("hunter2 tok/en", "http");

    const std::string content = readAll(logs() / "quiller.log");
    const auto lines = linesOf(content);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(decodeLine(lines[0])->message, "GET /users/***REDACTED***?q=***REDACTED***");
    EXPECT_EQ(decodeLine(lines[0])->category, "http ***REDACTED***");
    EXPECT_EQ(decodeLine(lines[1])->message, "hunter2 ***REDACTED***");
    EXPECT_EQ(decodeLine(lines[2])->message, "hunter2 tok/en");
    // The rules still run after the mask.
    logger->setSecretValues({"abc"});
    logger->info("password=abc", "http");
    EXPECT_EQ(logger->recentEntries(1, TarnLogLevel::debug)[0].message, "password=[REDACTED]");
}

TEST_F(TarnAppLoggerTest, AFileRemovedOrReplacedBehindTheLoggerIsLetGo) {
    auto logger = makeLogger();
    logger->info("one", "lifecycle");
    struct Step {
        const char* name;
        std::function<void()> change;
        bool loggerMadeTheFile = true;
    };
    const std::vector<Step> steps = {
        {"removed", [&] { fs::remove(logs() / "quiller.log"); }},
        {"moved away", [&] { fs::rename(logs() / "quiller.log", logs() / "moved.log"); }},
        {"replaced",
         [&] {
             writeAll(logs() / "new.log", "no line feed");
             fs::rename(logs() / "new.log", logs() / "quiller.log");
         },
         false},
        {"folder removed", [&] { fs::remove_all(logs()); }},
        {"appended elsewhere",
         [&] { std::ofstream(logs() / "quiller.log", std::ios::app) << "cut off"; }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        logger->info(step.name, "lifecycle");
        const auto entries = logger->recentEntries(1, TarnLogLevel::debug);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].message, step.name);
        if (step.loggerMadeTheFile) {
            EXPECT_EQ(modeOf(logs() / "quiller.log"), 0600u);
        }
    }
    // A line cut off by another writer is ended before the next one.
    EXPECT_NE(readAll(logs() / "quiller.log").find("cut off\n{"), std::string::npos);
}

TEST_F(TarnAppLoggerTest, WritesOneCompactSortedLinePerEvent) {
    int calls = 0;
    TarnAppLogger logger("Quiller", logs(), 1 << 20, 5, [&calls] {
        ++calls;
        return TarnAppVersion{calls == 1 ? "1.4.2" : "1.4.3", "57"};
    });
    logger.info("GET https://example.com/a token=abc", "http");
    logger.log(TarnLogLevel::error, "lifecycle", "second");

    const std::string content = readAll(logs() / "quiller.log");
    const auto lines = linesOf(content);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(content.back(), '\n');

    // Keys in sorted order, "/" escaped, the message redacted, the category not.
    const tarn::RegularExpression shape(
        R"re(^\{"build":"57","category":"http","id":"([0-9A-F-]{36})","level":"info",)re"
        R"re("message":"GET https:\\/\\/example.com\\/a token=\[REDACTED\]",)re"
        R"re("timestamp":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z","version":"1\.4\.2"\}$)re");
    const auto match = shape.firstMatch(lines[0]);
    ASSERT_TRUE(match) << lines[0];
    EXPECT_TRUE(tarn::UUID::fromString(*match->group(lines[0], 1)));

    // The version is asked for at every event.
    const auto second = decodeLine(lines[1]);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->version, "1.4.3");
    EXPECT_EQ(second->level, TarnLogLevel::error);
    EXPECT_NE(second->id, decodeLine(lines[0])->id);
}

TEST_F(TarnAppLoggerTest, FilesArePrivate) {
    const mode_t old = ::umask(0);
    makeLogger()->info("first", "lifecycle");
    ::umask(old);
    EXPECT_EQ(modeOf(logs()), 0700u);
    EXPECT_EQ(modeOf(logs() / "quiller.log"), 0600u);
}

TEST_F(TarnAppLoggerTest, InvalidUTF8IsRepairedNotDropped) {
    auto logger = makeLogger();
    logger->warn("caf\xC3 \xFF\xFE end", "proxy\xC0");
    const auto entries = logger->recentEntries(10, TarnLogLevel::debug);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].message, "caf\uFFFD \uFFFD\uFFFD end");
    EXPECT_EQ(entries[0].category, "proxy\uFFFD");
}

TEST_F(TarnAppLoggerTest, SettingsHaveFloors) {
    struct Case {
        std::uint64_t bytes;
        long rotated;
        std::uint64_t expectedBytes;
        long expectedRotated;
    };
    for (const Case& c : {Case{0, 0, 4096, 1}, Case{4096, -3, 4096, 1}, Case{4097, 1, 4097, 1},
                          Case{2097152, 5, 2097152, 5}}) {
        auto logger = makeLogger(c.bytes, c.rotated);
        EXPECT_EQ(logger->maxFileBytes(), c.expectedBytes);
        EXPECT_EQ(logger->maxRotatedFiles(), c.expectedRotated);
    }
    EXPECT_FALSE(fs::exists(logs())); // making a logger touches no file
}

TEST_F(TarnAppLoggerTest, RotatesOnlyOnceTheLimitIsReached) {
    for (const std::uint64_t size : {4095u, 4096u}) {
        SCOPED_TRACE(size);
        auto logger = makeLogger(4096, 3);
        logger->clear();
        fs::create_directories(logs());
        const std::string filler = std::string(size - 1, 'x') + "\n";
        writeAll(logs() / "quiller.log", filler);
        writeAll(logs() / "quiller.log.1", "one\n");
        writeAll(logs() / "quiller.log.2", "two\n");
        writeAll(logs() / "quiller.log.3", "three\n");

        logger->info("after", "runner");

        if (size < 4096) {
            EXPECT_EQ(readAll(logs() / "quiller.log").substr(0, filler.size()), filler);
            EXPECT_EQ(readAll(logs() / "quiller.log.1"), "one\n");
            EXPECT_EQ(readAll(logs() / "quiller.log.3"), "three\n");
        } else {
            // The live file became .1, the others moved up, the oldest went.
            EXPECT_EQ(readAll(logs() / "quiller.log.1"), filler);
            EXPECT_EQ(readAll(logs() / "quiller.log.2"), "one\n");
            EXPECT_EQ(readAll(logs() / "quiller.log.3"), "two\n");
            EXPECT_FALSE(fs::exists(logs() / "quiller.log.4"));
            const auto lines = linesOf(readAll(logs() / "quiller.log"));
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(decodeLine(lines[0])->message, "after");
            EXPECT_EQ(modeOf(logs() / "quiller.log"), 0600u);
        }
    }
}

TEST_F(TarnAppLoggerTest, OneRotatedFileIsReplacedByTheNext) {
    auto logger = makeLogger(4096, 1);
    fs::create_directories(logs());
    writeAll(logs() / "quiller.log", std::string(4095, 'a') + "\n");
    writeAll(logs() / "quiller.log.1", "old\n");
    logger->info("new", "runner");
    EXPECT_EQ(readAll(logs() / "quiller.log.1"), std::string(4095, 'a') + "\n");
    EXPECT_FALSE(fs::exists(logs() / "quiller.log.2"));
    EXPECT_EQ(logger->recentEntries(5, TarnLogLevel::debug).size(), 1u);
}

TEST_F(TarnAppLoggerTest, ConcurrentWritersNeverTearALine) {
    constexpr int kThreads = 8;
    constexpr int kEventsPerThread = 150;
    // Enough rotated files to keep every event, so none may go missing.
    auto logger = makeLogger(4096, 10'000);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < kEventsPerThread; ++i)
                logger->log(TarnLogLevel::info, "benchmark",
                            "thread " + tarn::numbers::formatInteger(t) + " event " +
                                tarn::numbers::formatInteger(i) + " Bearer abcdefghijkl " +
                                std::string(static_cast<std::size_t>(i % 7) * 20, 'p'));
        });
    go = true;
    for (auto& thread : threads)
        thread.join();

    std::set<std::string> ids;
    std::set<std::string> messages;
    std::size_t files = 0;
    for (const auto& item : fs::directory_iterator(logs())) {
        ++files;
        const std::string content = readAll(item.path());
        ASSERT_FALSE(content.empty()) << item.path();
        EXPECT_EQ(content.back(), '\n') << item.path();
        const auto lines = linesOf(content);
        // A file passes the limit by at most the one line that reached it.
        EXPECT_LT(content.size() - lines.back().size() - 1, 4096u) << item.path();
        for (const auto& line : lines) {
            const auto entry = decodeLine(line);
            ASSERT_TRUE(entry) << item.path() << ": " << line;
            EXPECT_TRUE(ids.insert(entry->id).second);
            messages.insert(entry->message.substr(0, entry->message.find(" Bearer")));
            EXPECT_NE(entry->message.find("Bearer [REDACTED]"), std::string::npos);
        }
    }
    EXPECT_GT(files, 10u);
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kThreads * kEventsPerThread));
    EXPECT_EQ(messages.size(), static_cast<std::size_t>(kThreads * kEventsPerThread));
}

TEST_F(TarnAppLoggerTest, RecentEntriesSkipWhatDoesNotDecode) {
    auto logger = makeLogger();
    fs::create_directories(logs());
    std::string content =
        entryLine(TarnLogLevel::info, "one") + entryLine(TarnLogLevel::error, "two") + "\n" +
        R"({"build":"57","category":"x","id":"A","level":"fatal","message":"m","timestamp":"t","version":"1"})"
        "\n" +
        R"({"build":"57","category":"x","id":"A","level":"info","timestamp":"t","version":"1"})"
        "\n" +
        R"({"build":57,"category":"x","id":"A","level":"info","message":"m","timestamp":"t","version":"1"})"
        "\n" +
        "not json\n" + entryLine(TarnLogLevel::debug, "three");
    const std::string cutOff = entryLine(TarnLogLevel::info, "cut");
    content += cutOff.substr(0, cutOff.size() / 2);
    writeAll(logs() / "quiller.log", content);

    auto messages = [&](long limit, TarnLogLevel level) {
        std::vector<std::string> result;
        for (const auto& entry : logger->recentEntries(limit, level))
            result.push_back(entry.message);
        return result;
    };
    EXPECT_EQ(messages(10, TarnLogLevel::debug), (std::vector<std::string>{"three", "two", "one"}));
    EXPECT_EQ(messages(2, TarnLogLevel::debug), (std::vector<std::string>{"three", "two"}));
    EXPECT_EQ(messages(10, TarnLogLevel::info), (std::vector<std::string>{"two", "one"}));
    EXPECT_TRUE(messages(0, TarnLogLevel::debug).empty());
    EXPECT_TRUE(messages(-5, TarnLogLevel::debug).empty());

    // The next event starts on a line of its own, not glued to the cut one.
    logger->info("after the cut", "lifecycle");
    EXPECT_EQ(messages(1, TarnLogLevel::debug), (std::vector<std::string>{"after the cut"}));
}

TEST_F(TarnAppLoggerTest, MinimumLevelDoesNotCountSkippedEntries) {
    auto logger = makeLogger();
    for (int i = 0; i < 12; ++i) {
        if (i == 3 || i == 8)
            logger->error("error " + tarn::numbers::formatInteger(i), "http");
        else
            logger->info("info " + tarn::numbers::formatInteger(i), "http");
    }
    const auto entries = logger->recentEntries(3, TarnLogLevel::warn);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message, "error 8");
    EXPECT_EQ(entries[1].message, "error 3");
}

TEST_F(TarnAppLoggerTest, ExportPlainText) {
    auto logger = makeLogger();
    EXPECT_EQ(logger->exportPlainText(250, TarnLogLevel::debug), ""); // no file
    fs::create_directories(logs());
    writeAll(logs() / "quiller.log", "");
    EXPECT_EQ(logger->exportPlainText(250, TarnLogLevel::debug), ""); // empty file

    writeAll(logs() / "quiller.log",
             entryLine(TarnLogLevel::info, "first", "2026-03-01T08:15:30.250Z") +
                 entryLine(TarnLogLevel::error, "second", "2026-03-01T08:15:31.000Z"));
    EXPECT_EQ(logger->exportPlainText(250, TarnLogLevel::debug),
              "[2026-03-01T08:15:30.250Z] [INFO] [v1.4.2#57] [test] first\n"
              "[2026-03-01T08:15:31.000Z] [ERROR] [v1.4.2#57] [test] second");
    EXPECT_EQ(logger->exportPlainText(1, TarnLogLevel::debug),
              "[2026-03-01T08:15:31.000Z] [ERROR] [v1.4.2#57] [test] second");
    EXPECT_EQ(logger->exportPlainText(0, TarnLogLevel::debug), "");
}

TEST_F(TarnAppLoggerTest, ClearRemovesEveryFileAndWritingResumes) {
    auto logger = makeLogger(4096, 2);
    fs::create_directories(logs());
    for (const char* name : {"quiller.log", "quiller.log.1", "quiller.log.2"})
        writeAll(logs() / name, "x\n");
    writeAll(logs() / "quiller.log.3", "beyond the limit\n");
    writeAll(logs() / "other.log", "not ours\n");

    logger->clear();
    std::set<std::string> left;
    for (const auto& item : fs::directory_iterator(logs()))
        left.insert(item.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"other.log", "quiller.log.3"}));

    logger->clear(); // nothing left to delete is no failure
    logger->info("again", "lifecycle");
    ASSERT_EQ(logger->recentEntries(5, TarnLogLevel::debug).size(), 1u);
}

TEST_F(TarnAppLoggerTest, RevealPathIsTheFileOnceItExists) {
    auto logger = makeLogger();
    EXPECT_EQ(logger->pathToReveal(), logs());
    EXPECT_TRUE(fs::is_directory(logs()));
    logger->info("x", "lifecycle");
    EXPECT_EQ(logger->pathToReveal(), logs() / "quiller.log");
}

TEST_F(TarnAppLoggerTest, AWriteFailureIsOneLineOnStandardError) {
    writeAll(m_folder.path() / "logs", "a file where the folder should be");
    auto logger = makeLogger(4096, 5, "Blocked App");
    testing::internal::CaptureStderr();
    logger->error("lost", "lifecycle");
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(output.rfind("[TarnAppLogger:Blocked App] write failed: ", 0), 0u) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_TRUE(logger->recentEntries(5, TarnLogLevel::debug).empty());
}

TEST(TarnAppLoggerFolders, DefaultFolderAndSlug) {
    TemporaryFolder home;
    const DataHomeScope scope(home.path());
    // Case mapping must not follow the process locale ("I" is no dotless i).
    const tarn::testing::ScopedLocale turkish("tr_TR.UTF-8");
    const auto corvane = home.path() / "Corvane";
    struct Case {
        std::string appName;
        std::string folder;
        std::string file;
    };
    const std::vector<Case> cases = {
        {"My App", "My App", "my-app.log"},
        {"QUILLER IDE", "QUILLER IDE", "quiller-ide.log"},
        {"../x", ".._x", ".._x.log"},
        {"a/b", "a_b", "a_b.log"},
        {".", "_.", "..log"},
        {"..", "_..", "...log"},
        {"", "_", ".log"},
        {std::string("nul\0byte", 8), "nul_byte", "nul_byte.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.appName);
        TarnAppLogger logger(c.appName, std::nullopt, 1 << 20, 5, nullptr);
        EXPECT_EQ(logger.logDirectoryURL(), corvane / c.folder / "logs");
        EXPECT_EQ(logger.currentLogFileURL(), corvane / c.folder / "logs" / c.file);
        logger.info("hello", "lifecycle");
        EXPECT_TRUE(fs::is_regular_file(corvane / c.folder / "logs" / c.file));
        // The default version comes from the build.
        const auto entries = logger.recentEntries(1, TarnLogLevel::debug);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].version, TarnAppVersion::current().shortVersion);
        EXPECT_EQ(entries[0].build, TarnAppVersion::current().buildNumber);
    }
    // Nothing was written anywhere but under Corvane.
    std::set<std::string> top;
    for (const auto& item : fs::directory_iterator(home.path()))
        top.insert(item.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"Corvane"}));
    std::size_t folders = 0;
    for (const auto& item : fs::directory_iterator(corvane)) {
        EXPECT_TRUE(fs::is_directory(item.path() / "logs")) << item.path();
        ++folders;
    }
    EXPECT_EQ(folders, cases.size());
}

TEST(TarnAppLoggerFolders, SharedLoggerIsOnePerExactName) {
    TemporaryFolder home;
    const DataHomeScope scope(home.path());
    // Shared loggers live for the rest of the process, so each run of this
    // test uses names no other run has used.
    const std::string suffix = tarn::UUID::random().string().substr(0, 8); // hex digits
    const std::string lowerSuffix = tarn::ascii::lowercased(suffix);
    const std::string name = "Shared " + suffix;

    TarnAppLogger& first = TarnAppLogger::shared(name, [] { return TarnAppVersion{"7.0.0", "7"}; });
    TarnAppLogger& again = TarnAppLogger::shared(name, [] { return TarnAppVersion{"8.0.0", "8"}; });
    EXPECT_EQ(&first, &again);
    EXPECT_NE(&TarnAppLogger::shared("shared " + lowerSuffix), &first); // case-sensitive

    EXPECT_EQ(first.maxFileBytes(), 2097152u);
    EXPECT_EQ(first.maxRotatedFiles(), 5);
    EXPECT_EQ(first.currentLogFileURL(),
              home.path() / "Corvane" / name / "logs" / ("shared-" + lowerSuffix + ".log"));

    again.info("from the second caller", "lifecycle");
    const auto entries = first.recentEntries(1, TarnLogLevel::debug);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, "7.0.0"); // the first provider stays

    // Many threads asking at once still get one logger.
    const std::string raceName = "Race " + suffix;
    std::vector<std::thread> threads;
    std::vector<TarnAppLogger*> seen(8);
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { seen[i] = &TarnAppLogger::shared(raceName); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<TarnAppLogger*>(seen.begin(), seen.end()).size(), 1u);
}

TEST(TarnLogEntry, DecodingNeedsAllSevenTextKeys) {
    const std::string line =
        R"({"build":"57","category":"http","extra":1,"id":"A","level":"warn","message":"m","timestamp":"t","version":"1.4.2"})";
    const auto entry = decodeLine(line);
    ASSERT_TRUE(entry);
    EXPECT_EQ(*entry, (TarnLogEntry{"A", "t", TarnLogLevel::warn, "http", "m", "1.4.2", "57"}));
    for (const char* key :
         {"build", "category", "id", "level", "message", "timestamp", "version"}) {
        auto document = nlohmann::json::parse(line);
        document.erase(key);
        EXPECT_FALSE(decodeLine(document.dump())) << key;
        document[key] = nullptr;
        EXPECT_FALSE(decodeLine(document.dump())) << key;
    }
}

} // namespace
