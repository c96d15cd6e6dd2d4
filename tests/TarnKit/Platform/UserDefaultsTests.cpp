#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/UserDefaults.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using tarn::UserDefaults;

class DefaultsFolder {
public:
    DefaultsFolder() {
        std::string pattern = (fs::temp_directory_path() / "tarn-defaults-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_root = pattern;
    }
    ~DefaultsFolder() {
        std::error_code ignored;
        ::chmod(folder().c_str(), 0700);
        fs::remove_all(m_root, ignored);
    }
    fs::path folder() const { return m_root / "Corvane" / "Quiller"; }
    fs::path file() const { return folder() / "defaults.json"; }
    std::vector<fs::path> asideFiles() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(folder()))
            if (entry.path().filename().string().starts_with("defaults.json.unreadable-"))
                found.push_back(entry.path());
        return found;
    }

private:
    fs::path m_root;
};

std::string contents(const fs::path& file) {
    return tarn::files::readFile(file).value_or("");
}

TEST(UserDefaults, ValuesPersistAcrossInstances) {
    DefaultsFolder folder;
    {
        UserDefaults defaults(folder.folder());
        EXPECT_EQ(defaults.string("com.corvane.preferredLanguage"), std::nullopt);
        EXPECT_FALSE(fs::exists(folder.folder())) << "reading creates nothing";

        defaults.setString("com.corvane.preferredLanguage", "de");
        defaults.setObject("bookmarks", nlohmann::json{{"a", {1, 2}}});
        defaults.setObject("count", 3);
        defaults.setString("gone", "soon");
        defaults.removeObject("gone");
        defaults.removeObject("never there");
        EXPECT_EQ(defaults.string("com.corvane.preferredLanguage"), "de");
    }
    EXPECT_EQ(contents(folder.file()), "{\n"
                                       "  \"bookmarks\" : {\n"
                                       "    \"a\" : [\n"
                                       "      1,\n"
                                       "      2\n"
                                       "    ]\n"
                                       "  },\n"
                                       "  \"com.corvane.preferredLanguage\" : \"de\",\n"
                                       "  \"count\" : 3\n"
                                       "}");
    struct stat info {};
    ASSERT_EQ(::stat(folder.file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const UserDefaults reread(folder.folder());
    EXPECT_EQ(reread.string("com.corvane.preferredLanguage"), "de");
    EXPECT_EQ(reread.object("count"), nlohmann::json(3));
    EXPECT_EQ(reread.string("count"), std::nullopt) << "not a string";
    EXPECT_EQ(reread.object("gone"), std::nullopt);
}

TEST(UserDefaults, AnUnreadableFileIsMovedAsideBeforeTheNextSave) {
    for (const std::string damaged : {"{ not json", "[1, 2]", "\"text\""}) {
        DefaultsFolder folder;
        fs::create_directories(folder.folder());
        std::ofstream(folder.file()) << damaged;

        UserDefaults defaults(folder.folder());
        EXPECT_EQ(defaults.object("anything"), std::nullopt) << damaged;
        EXPECT_EQ(contents(folder.file()), damaged) << "reading changes nothing";
        EXPECT_TRUE(folder.asideFiles().empty());

        defaults.setString("key", "value");
        const auto aside = folder.asideFiles();
        ASSERT_EQ(aside.size(), 1u) << damaged;
        EXPECT_EQ(contents(aside.front()), damaged);
        EXPECT_EQ(UserDefaults(folder.folder()).string("key"), "value");

        defaults.setString("key", "second");
        EXPECT_EQ(folder.asideFiles().size(), 1u) << "moved aside once";
    }
}

TEST(UserDefaults, AValueTooDeepForJSONIsRefusedWithoutSpoilingLaterSaves) {
    DefaultsFolder folder;
    UserDefaults defaults(folder.folder());
    defaults.setString("kept", "yes");
    nlohmann::json deep = nlohmann::json::array();
    for (int i = 0; i < 600; ++i)
        deep = nlohmann::json::array({deep});
    EXPECT_THROW(defaults.setObject("kept", deep), tarn::json::NestingTooDeep);
    EXPECT_THROW(defaults.setObject("new", deep), tarn::json::NestingTooDeep);
    EXPECT_EQ(defaults.string("kept"), "yes");
    EXPECT_EQ(defaults.object("new"), std::nullopt);

    defaults.setString("later", "saved");
    const UserDefaults reread(folder.folder());
    EXPECT_EQ(reread.string("kept"), "yes");
    EXPECT_EQ(reread.string("later"), "saved");
}

TEST(UserDefaults, AFailedWriteKeepsTheValueForThisProcess) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    DefaultsFolder folder;
    UserDefaults defaults(folder.folder());
    defaults.setString("a", "1");
    ASSERT_EQ(::chmod(folder.folder().c_str(), 0500), 0);
    defaults.setString("a", "2");
    EXPECT_EQ(defaults.string("a"), "2");
    EXPECT_EQ(UserDefaults(folder.folder()).string("a"), "1");
}

std::string keyFor(int thread, int index) {
    return std::string{'k', static_cast<char>('a' + thread), '.', static_cast<char>('a' + index)};
}

TEST(UserDefaults, ConcurrentWritersLoseNothing) {
    DefaultsFolder folder;
    UserDefaults defaults(folder.folder());
    std::vector<std::thread> writers;
    writers.reserve(8);
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([&defaults, t] {
            for (int i = 0; i < 20; ++i) {
                const std::string key = keyFor(t, i);
                defaults.setString(key, key);
                EXPECT_EQ(defaults.string(key), key);
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    const UserDefaults reread(folder.folder());
    for (int t = 0; t < 8; ++t)
        for (int i = 0; i < 20; ++i) {
            const std::string key = keyFor(t, i);
            EXPECT_EQ(reread.string(key), key);
        }
}

TEST(UserDefaults, TheStandardFolderIsPerApplicationUnderTheConfigFolder) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", "/srv/config", 1);
    const fs::path folder = UserDefaults::standardFolder();
    if (saved)
        ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(folder, fs::path("/srv/config/Corvane/Quiller"));
}

} // namespace
