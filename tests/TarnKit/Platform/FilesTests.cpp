#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/EnvironmentScope.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using tarn::testing::modeOf;
using tarn::testing::TemporaryFolder;
using tarn::testing::UmaskScope;

namespace fs = std::filesystem;
namespace files = tarn::files;
using namespace std::chrono;

using tarn::testing::EnvironmentScope;

std::set<std::string> entriesOf(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string contentOf(const fs::path& file) {
    return files::readFile(file).value_or("<missing>");
}

// --- writeAtomically -------------------------------------------------------

TEST(FilesWriteAtomically, CreatesPrivateFoldersAndExactFileModeWhateverTheUmask) {
    struct Case {
        mode_t umask;
        mode_t mode;
    };
    const Case cases[] = {{0, 0600}, {0, 0644}, {077, 0644}, {022, 0600}, {0777, 0640}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "umask " << std::oct << c.umask << " mode " << c.mode);
        TemporaryFolder temp;
        const fs::path file = temp.path() / "a" / "b" / "data.json";
        {
            UmaskScope umask(c.umask);
            files::writeAtomically(file, "{\"k\" : 1}", c.mode);
        }
        EXPECT_EQ(contentOf(file), "{\"k\" : 1}");
        EXPECT_EQ(modeOf(file), c.mode);
        EXPECT_EQ(modeOf(temp.path() / "a"), 0700u);
        EXPECT_EQ(modeOf(temp.path() / "a" / "b"), 0700u);
        EXPECT_EQ(entriesOf(file.parent_path()), std::set<std::string>{"data.json"});
    }
}

TEST(FilesWriteAtomically, DefaultsToPrivateModeAndReplacesOldContent) {
    TemporaryFolder temp;
    const fs::path file = temp.path() / "store.json";
    UmaskScope umask(0);
    files::writeAtomically(file, "old", 0644);
    files::writeAtomically(file, "");
    EXPECT_EQ(contentOf(file), "");
    EXPECT_EQ(modeOf(file), 0600u);

    // Large enough to need many write calls; embedded NULs must survive.
    std::string big(5 * 1024 * 1024 + 17, 'x');
    big[1000] = '\0';
    files::writeAtomically(file, big);
    EXPECT_EQ(contentOf(file), big);
    EXPECT_EQ(entriesOf(temp.path()), std::set<std::string>{"store.json"});
}

TEST(FilesWriteAtomically, LeavesExistingFoldersAlone) {
    TemporaryFolder temp;
    ::chmod(temp.path().c_str(), 0755);
    files::writeAtomically(temp.path() / "file", "x");
    EXPECT_EQ(modeOf(temp.path()), 0755u);
}

TEST(FilesWriteAtomically, RelativePathWritesIntoTheWorkingFolder) {
    TemporaryFolder temp;
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());
    files::writeAtomically("relative.txt", "here");
    fs::current_path(previous);
    EXPECT_EQ(contentOf(temp.path() / "relative.txt"), "here");
}

// Each case breaks the write at a different step; every time the error says
// why, the old content survives and no temporary file is left behind.
TEST(FilesWriteAtomically, FailureKeepsOldContentAndLeavesNoTemporaryFile) {
    struct Case {
        const char* name;
        // Prepares the folder; returns the path to write to.
        fs::path (*prepare)(const fs::path& folder);
        int expectedCode;
        bool needsUnprivileged; // root ignores permission bits
    };
    const Case cases[] = {
        {"folder not writable",
         [](const fs::path& folder) {
             ::chmod(folder.c_str(), 0500);
             return folder / "data.json";
         },
         EACCES, true},
        {"folder at the target path",
         [](const fs::path& folder) {
             fs::create_directory(folder / "target");
             return folder / "target";
         },
         EISDIR, false},
        {"regular file where a parent folder belongs",
         [](const fs::path& folder) { return folder / "data.json" / "child"; }, ENOTDIR, false},
        {"file size limit hit in the middle of writing",
         [](const fs::path& folder) {
             // The first write is cut short at the limit, the next one fails.
             ::signal(SIGXFSZ, SIG_IGN);
             rlimit limit{};
             ::getrlimit(RLIMIT_FSIZE, &limit);
             limit.rlim_cur = 4096;
             ::setrlimit(RLIMIT_FSIZE, &limit);
             return folder / "data.json";
         },
         EFBIG, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsUnprivileged && ::geteuid() == 0)
            continue;
        TemporaryFolder temp;
        const fs::path sub = temp.path() / "store";
        files::writeAtomically(sub / "data.json", "old content");
        const auto before = entriesOf(sub);

        rlimit savedLimit{};
        ::getrlimit(RLIMIT_FSIZE, &savedLimit);
        const fs::path target = c.prepare(sub);
        const auto prepared = entriesOf(sub);
        try {
            files::writeAtomically(target, std::string(64 * 1024, 'n'));
            ADD_FAILURE() << "no error thrown";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), "NSPOSIXErrorDomain");
            EXPECT_EQ(error.code(), c.expectedCode) << error.what();
            // Names the file, or the folder on its way that could not be made.
            EXPECT_NE(error.description().find(sub.string()), std::string::npos) << error.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &savedLimit);
        ::signal(SIGXFSZ, SIG_DFL);
        ::chmod(sub.c_str(), 0700);

        EXPECT_EQ(contentOf(sub / "data.json"), "old content");
        EXPECT_EQ(entriesOf(sub), prepared);
        EXPECT_TRUE(std::includes(prepared.begin(), prepared.end(), before.begin(), before.end()));
    }
}

TEST(FilesWriteAtomically, ErrorDescriptionIsEnglishInAnyLocale) {
    TemporaryFolder temp;
    fs::create_directory(temp.path() / "dir");
    try {
        files::writeAtomically(temp.path() / "dir", "x");
        FAIL() << "no error thrown";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.description(),
                  "Could not write \"" + (temp.path() / "dir").string() + "\": Is a directory");
    }
}

// --- createDirectories -----------------------------------------------------

TEST(FilesCreateDirectories, CreatesEveryMissingLevelPrivatelyAndAcceptsExisting) {
    TemporaryFolder temp;
    UmaskScope umask(0);
    const fs::path deep = temp.path() / "one" / "two" / "three/";
    files::createDirectories(deep);
    files::createDirectories(deep); // already there: no error
    for (const fs::path& level :
         {temp.path() / "one", temp.path() / "one" / "two", temp.path() / "one" / "two" / "three"})
        EXPECT_EQ(modeOf(level), 0700u) << level;

    files::writeAtomically(temp.path() / "plain", "x");
    EXPECT_THROW(files::createDirectories(temp.path() / "plain"), tarn::PlatformError);
}

// --- readFile --------------------------------------------------------------

TEST(FilesReadFile, TellsMissingFromUnreadable) {
    TemporaryFolder temp;
    EXPECT_EQ(files::readFile(temp.path() / "missing"), std::nullopt);
    EXPECT_EQ(files::readFile(temp.path() / "missing-folder" / "file"), std::nullopt);

    files::writeAtomically(temp.path() / "plain", "x");
    fs::create_directory(temp.path() / "folder");
    ::mkfifo((temp.path() / "fifo").c_str(), 0600);
    struct Case {
        fs::path path;
        int code;
    };
    std::vector<Case> unreadable = {
        {temp.path() / "folder", EISDIR},
        {temp.path() / "plain" / "child", ENOTDIR},
        {temp.path() / "fifo", EINVAL}, // must not block waiting for a writer
    };
    if (::geteuid() != 0) {
        files::writeAtomically(temp.path() / "secret", "x", 0000);
        unreadable.push_back({temp.path() / "secret", EACCES});
    }
    for (const Case& c : unreadable) {
        try {
            files::readFile(c.path);
            ADD_FAILURE() << c.path << ": no error thrown";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.code(), c.code) << c.path << ": " << error.what();
        }
    }
}

// --- standardFolder --------------------------------------------------------

TEST(FilesStandardFolder, FollowsTheXdgRules) {
    using files::StandardFolder;
    using Value = std::optional<std::string>;
    struct Case {
        StandardFolder folder;
        Value data, cache, config;
        const char* expected;
    };
    const Value unset;
    const Case cases[] = {
        {StandardFolder::applicationSupport, unset, unset, unset, "/home/tester/.local/share"},
        {StandardFolder::applicationSupport, "/xdg/data", "/xdg/cache", "/xdg/config", "/xdg/data"},
        {StandardFolder::applicationSupport, "", "/xdg/cache", unset, "/home/tester/.local/share"},
        {StandardFolder::applicationSupport, "relative/data", unset, unset,
         "/home/tester/.local/share"},
        {StandardFolder::caches, unset, unset, unset, "/home/tester/.cache"},
        {StandardFolder::caches, "/xdg/data", "/xdg/cache", "/xdg/config", "/xdg/cache"},
        {StandardFolder::caches, unset, "", unset, "/home/tester/.cache"},
        {StandardFolder::caches, unset, "./cache", unset, "/home/tester/.cache"},
        {StandardFolder::config, unset, unset, unset, "/home/tester/.config"},
        {StandardFolder::config, "/xdg/data", "/xdg/cache", "/xdg/config", "/xdg/config"},
        {StandardFolder::config, unset, unset, "", "/home/tester/.config"},
        {StandardFolder::config, unset, unset, "config", "/home/tester/.config"},
    };
    for (const Case& c : cases) {
        EnvironmentScope env;
        env.set("HOME", "/home/tester");
        env.set("XDG_DATA_HOME", c.data);
        env.set("XDG_CACHE_HOME", c.cache);
        env.set("XDG_CONFIG_HOME", c.config);
        SCOPED_TRACE(testing::Message() << "data=" << c.data.value_or("<unset>")
                                        << " cache=" << c.cache.value_or("<unset>")
                                        << " config=" << c.config.value_or("<unset>"));
        EXPECT_EQ(files::standardFolder(c.folder), fs::path(c.expected));
    }

    EnvironmentScope env;
    env.set("HOME", "/home/tester");
    env.set("XDG_DATA_HOME", "/d");
    env.set("XDG_CACHE_HOME", "/c");
    env.set("XDG_CONFIG_HOME", "/f");
    EXPECT_EQ(files::applicationSupportDirectory(), fs::path("/d"));
    EXPECT_EQ(files::cachesDirectory(), fs::path("/c"));
    EXPECT_EQ(files::configDirectory(), fs::path("/f"));
}

TEST(FilesStandardFolder, UnusableHomeFallsBackToTheUserDatabase) {
    const passwd* entry = ::getpwuid(::geteuid());
    if (entry == nullptr || entry->pw_dir == nullptr || entry->pw_dir[0] != '/')
        GTEST_SKIP() << "this user has no home folder in the user database";
    const fs::path expected = fs::path(entry->pw_dir) / ".cache";
    for (const std::optional<std::string>& home :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/home")}) {
        EnvironmentScope env;
        env.set("HOME", home);
        env.set("XDG_CACHE_HOME", std::nullopt);
        EXPECT_EQ(files::cachesDirectory(), expected) << home.value_or("<unset>");
    }
}

// --- moveAside -------------------------------------------------------------

const system_clock::time_point kNow = sys_days{year{2026} / December / 10} + hours{12} +
                                      minutes{34} + seconds{56} + milliseconds{789};

TEST(FilesMoveAside, RenamesWithUtcTimestampAndNeverOverwrites) {
    TemporaryFolder temp;
    const fs::path file = temp.path() / "history.json";
    const fs::path first = temp.path() / "history.json.unreadable-20261210T123456Z";

    const char* expectedNames[] = {
        "history.json.unreadable-20261210T123456Z",
        "history.json.unreadable-20261210T123456Z-2",
        "history.json.unreadable-20261210T123456Z-3",
    };
    for (int round = 0; round < 3; ++round) {
        const std::string content = "broken " + std::to_string(round);
        files::writeAtomically(file, content);
        const auto moved = files::moveAside(file, kNow);
        ASSERT_TRUE(moved.has_value());
        EXPECT_EQ(*moved, temp.path() / expectedNames[round]);
        EXPECT_EQ(contentOf(*moved), content);
        EXPECT_FALSE(fs::exists(file));
    }
    EXPECT_EQ(contentOf(first), "broken 0");
    EXPECT_EQ(entriesOf(temp.path()).size(), 3u);
}

TEST(FilesMoveAside, TimestampIsUtcWithLeadingZeros) {
    TemporaryFolder temp;
    const fs::path file = temp.path() / "d";
    files::writeAtomically(file, "x");
    const auto moved = files::moveAside(file, sys_days{year{2027} / January / 2} + hours{3} +
                                                  minutes{4} + seconds{5});
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(moved->filename(), "d.unreadable-20270102T030405Z");
}

TEST(FilesMoveAside, MissingFileIsNothingToDo) {
    TemporaryFolder temp;
    EXPECT_EQ(files::moveAside(temp.path() / "missing.json", kNow), std::nullopt);
    EXPECT_TRUE(entriesOf(temp.path()).empty());
}

TEST(FilesMoveAside, FailureThrowsAndKeepsTheFile) {
    // A name that leaves no room for the suffix makes the rename fail for any
    // user, root included, unlike a read-only folder.
    TemporaryFolder temp;
    const fs::path file = temp.path() / std::string(250, 'w');
    files::writeAtomically(file, "x");
    EXPECT_THROW(files::moveAside(file, kNow), tarn::PlatformError);
    EXPECT_EQ(contentOf(file), "x");
}

} // namespace
