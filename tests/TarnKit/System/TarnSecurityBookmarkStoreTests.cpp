#include "TarnKit/Platform/Base64.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UserDefaults.h"
#include "TarnKit/System/TarnSecurityBookmarkStore.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tarn::TarnSecurityBookmarkStore;
using tarn::UserDefaults;
using tarn::testing::TemporaryFolder;

constexpr const char* kKey = "com.corvane.quiller.bookmarks";

class BookmarkStoreTest : public ::testing::Test {
protected:
    BookmarkStoreTest() { fs::create_directories(files()); }

    fs::path files() const { return m_temp.path() / "files"; }
    fs::path makeFile(const std::string& name) const {
        fs::path path = files() / name;
        fs::create_directories(path.parent_path());
        tarn::files::writeAtomically(path, "content");
        return path;
    }
    // What the next launch sees: the entry as written to disk.
    nlohmann::json storedOnDisk() const {
        return UserDefaults(m_temp.path() / "defaults").object(kKey).value_or(nullptr);
    }
    std::vector<std::string> storedKeys() const {
        std::vector<std::string> keys;
        const nlohmann::json stored = storedOnDisk();
        if (stored.is_object())
            for (const auto& item : stored.items())
                keys.push_back(item.key());
        return keys;
    }

    TemporaryFolder m_temp;
    UserDefaults m_defaults{m_temp.path() / "defaults"};
    TarnSecurityBookmarkStore m_store{kKey, m_defaults};
};

TEST_F(BookmarkStoreTest, SavedItemsResolveSortedAndPersist) {
    const fs::path zeta = makeFile("zeta.txt");
    const fs::path alpha = makeFile("alpha.txt");
    const fs::path folder = files() / "Folder With Blanks";
    fs::create_directory(folder);

    EXPECT_TRUE(m_store.resolveAllBookmarks().empty()) << "absent entry";
    m_store.saveBookmark(zeta);
    m_store.saveBookmark(folder);
    m_store.saveBookmark(alpha);
    m_store.saveBookmark(zeta); // the same file again keeps one entry

    const std::vector<fs::path> expected = {folder, alpha, zeta};
    EXPECT_EQ(m_store.resolveAllBookmarks(), expected);
    EXPECT_EQ(storedKeys().size(), 3u);
    EXPECT_EQ(storedOnDisk()[zeta.string()], tarn::base64::encode(zeta.string()));

    // A store opened on the same settings later finds them all.
    UserDefaults reopened(m_temp.path() / "defaults");
    const TarnSecurityBookmarkStore later(kKey, reopened);
    EXPECT_EQ(later.resolveAllBookmarks(), expected);
}

TEST_F(BookmarkStoreTest, PathsAreStoredInStandardFormAndRemovedOnlyByIt) {
    const fs::path file = makeFile("dir/a.txt");
    const fs::path folder = files() / "dir";
    struct Case {
        fs::path given;
        fs::path standard;
    };
    const Case cases[] = {
        {files() / "dir" / "." / "a.txt", file},
        {files() / "dir" / "sub" / ".." / "a.txt", file},
        {files().string() + "//dir///a.txt", file},
        {folder.string() + "/", folder},
        {folder / "..", files()},
    };
    fs::create_directory(folder / "sub");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given.string());
        EXPECT_EQ(TarnSecurityBookmarkStore::standardizedPath(c.given), c.standard);

        m_store.saveBookmark(c.given);
        EXPECT_EQ(storedKeys(), std::vector<std::string>{c.standard.string()});
        EXPECT_EQ(m_store.resolveAllBookmarks(), std::vector<fs::path>{c.standard});

        m_store.removeBookmark(c.given.string());
        EXPECT_EQ(storedKeys(), std::vector<std::string>{c.standard.string()})
            << "the unstandardised text names no entry";
        m_store.removeBookmark(c.standard.string());
        EXPECT_TRUE(storedKeys().empty());
    }

    EXPECT_EQ(TarnSecurityBookmarkStore::standardizedPath("a/./b/../c"),
              fs::current_path() / "a" / "c");
}

TEST_F(BookmarkStoreTest, DeletedItemIsLeftOutButStaysStored) {
    const fs::path kept = makeFile("kept.txt");
    const fs::path gone = makeFile("gone.txt");
    m_store.saveBookmark(kept);
    m_store.saveBookmark(gone);
    fs::remove(gone);

    EXPECT_EQ(m_store.resolveAllBookmarks(), std::vector<fs::path>{kept});
    EXPECT_EQ(storedKeys(), (std::vector<std::string>{gone.string(), kept.string()}));

    // It resolves again once something is back at the path.
    makeFile("gone.txt");
    EXPECT_EQ(m_store.resolveAllBookmarks(), (std::vector<fs::path>{gone, kept}));
}

TEST_F(BookmarkStoreTest, UnreadableEntriesCostNoOtherEntryItsPlace) {
    const fs::path good = makeFile("good.txt");
    const fs::path added = makeFile("added.txt");
    const nlohmann::json corrupted = {
        {good.string(), tarn::base64::encode(good.string())},
        {"/number", 42},
        {"/not-base64", "!!not base64!!"},
        {"/relative", tarn::base64::encode("relative/path")},
        {"/empty", ""},
        {"/array", nlohmann::json::array({1, 2})},
    };
    m_defaults.setObject(kKey, corrupted);

    EXPECT_EQ(m_store.resolveAllBookmarks(), std::vector<fs::path>{good});

    m_store.saveBookmark(added);
    nlohmann::json expected = corrupted;
    expected[added.string()] = tarn::base64::encode(added.string());
    EXPECT_EQ(storedOnDisk(), expected) << "the next save keeps every other entry as it was";
    EXPECT_EQ(m_store.resolveAllBookmarks(), (std::vector<fs::path>{added, good}));

    m_store.removeBookmark("/number");
    expected.erase("/number");
    EXPECT_EQ(storedOnDisk(), expected);
}

TEST_F(BookmarkStoreTest, ValueThatIsNoDictionaryCountsAsEmpty) {
    const fs::path file = makeFile("file.txt");
    m_defaults.setString(kKey, "not a dictionary");
    EXPECT_TRUE(m_store.resolveAllBookmarks().empty());

    m_store.saveBookmark(file);
    EXPECT_EQ(storedKeys(), std::vector<std::string>{file.string()});
    EXPECT_EQ(m_store.resolveAllBookmarks(), std::vector<fs::path>{file});

    m_defaults.setObject(kKey, nlohmann::json::array());
    m_store.removeBookmark(file.string());
    EXPECT_EQ(storedOnDisk(), nlohmann::json::object());
}

TEST_F(BookmarkStoreTest, BookmarkThatCannotBeMadeThrowsAndStoresNothing) {
    struct Case {
        const char* name;
        fs::path path;
        int code;
    };
    const Case cases[] = {
        {"nothing at the path", files() / "missing.txt", ENOENT},
        {"not UTF-8", files() / "caf\xe9.txt", EILSEQ},
    };
    m_store.saveBookmark(makeFile("existing.txt"));
    const nlohmann::json before = storedOnDisk();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            m_store.saveBookmark(c.path);
            ADD_FAILURE() << "no error";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), "NSPOSIXErrorDomain");
            EXPECT_EQ(error.code(), c.code);
        }
        EXPECT_EQ(storedOnDisk(), before);
    }
}

TEST_F(BookmarkStoreTest, ConcurrentSavesAndRemovalsLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kFilesPerThread = 6;
    std::vector<fs::path> paths;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kFilesPerThread; ++i)
            paths.push_back(makeFile("t" + std::to_string(t) + "-" + std::to_string(i)));
    const fs::path removed = makeFile("removed");
    m_store.saveBookmark(removed);

    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kFilesPerThread; ++i) {
                const int index = t * kFilesPerThread + i;
                m_store.saveBookmark(paths[static_cast<std::size_t>(index)]);
            }
        });
    threads.emplace_back([&] { m_store.removeBookmark(removed.string()); });
    for (std::thread& thread : threads)
        thread.join();

    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(m_store.resolveAllBookmarks(), paths);
}

TEST_F(BookmarkStoreTest, ScopedAccessReturnsTheBodysValueAndPassesOnItsError) {
    const fs::path file = makeFile("file.txt");
    int runs = 0;
    EXPECT_EQ(m_store.withScopedAccess(file,
                                       [&] {
                                           ++runs;
                                           return std::string("read");
                                       }),
              "read");
    EXPECT_THROW(m_store.withScopedAccess(file,
                                          [&]() -> int {
                                              ++runs;
                                              throw std::runtime_error("body failed");
                                          }),
                 std::runtime_error);
    EXPECT_EQ(runs, 2);
}

} // namespace
