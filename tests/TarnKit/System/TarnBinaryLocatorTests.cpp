#include "TarnKit/System/TarnBinaryLocator.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using tarn::TarnBundle;
using tarn::testing::TemporaryFolder;
namespace fs = std::filesystem;
namespace locator = tarn::TarnBinaryLocator;

// Sets $PATH (or unsets it) for one scope.
class PathScope {
public:
    explicit PathScope(const std::optional<std::string>& value) {
        if (const char* old = std::getenv("PATH"))
            m_saved = old;
        if (value)
            ::setenv("PATH", value->c_str(), 1);
        else
            ::unsetenv("PATH");
    }
    ~PathScope() {
        if (m_saved)
            ::setenv("PATH", m_saved->c_str(), 1);
        else
            ::unsetenv("PATH");
    }
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;

private:
    std::optional<std::string> m_saved;
};

// A name no system folder has.
constexpr const char* kTool = "quiller-locator-probe-tool";

void makeTool(const fs::path& path, mode_t mode = 0755) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), mode);
}

TarnBundle bundleWithResources(const fs::path& resources) {
    TarnBundle bundle;
    bundle.resourceDirectory = resources;
    return bundle;
}

TEST(TarnBinaryLocator, CandidatesComeInSearchOrder) {
    PathScope path(std::string("/p1::/p2:"));
    const auto candidates = locator::candidates(kTool, bundleWithResources("/res"), {"/x1", "/x2"});
    std::vector<fs::path> expected = {std::string("/res/bin/") + kTool,
                                      std::string("/res/") + kTool, std::string("/x1/") + kTool,
                                      std::string("/x2/") + kTool};
    for (const auto& folder : locator::wellKnownDirectories)
        expected.emplace_back(folder.string() + "/" + kTool);
    expected.emplace_back(std::string("/p1/") + kTool);
    expected.emplace_back(std::string("/p2/") + kTool);
    EXPECT_EQ(candidates, expected);
    EXPECT_EQ(locator::wellKnownDirectories.back(), "/bin");
}

TEST(TarnBinaryLocator, NoResourcesAndNoPathAddNoCandidates) {
    for (const auto& pathValue : {std::optional<std::string>(), std::optional<std::string>("")}) {
        PathScope path(pathValue);
        EXPECT_EQ(locator::candidates(kTool, TarnBundle{}, {}).size(),
                  locator::wellKnownDirectories.size());
    }
}

TEST(TarnBinaryLocator, FindsTheFirstExecutableFile) {
    TemporaryFolder folder;
    const fs::path resources = folder.path() / "res";
    const fs::path extra = folder.path() / "extra";
    const fs::path onPath = folder.path() / "on path";
    PathScope path(onPath.string());
    const TarnBundle bundle = bundleWithResources(resources);

    EXPECT_EQ(locator::locate(kTool, bundle, {extra}), std::nullopt);

    // Each tool found shadows the ones found before it.
    makeTool(onPath / kTool);
    EXPECT_EQ(locator::locate(kTool, bundle, {extra}), onPath / kTool);
    makeTool(extra / kTool);
    EXPECT_EQ(locator::locate(kTool, bundle, {extra}), extra / kTool);
    makeTool(resources / kTool);
    EXPECT_EQ(locator::locate(kTool, bundle, {extra}), resources / kTool);
    makeTool(resources / "bin" / kTool);
    EXPECT_EQ(locator::locate(kTool, bundle, {extra}), resources / "bin" / kTool);
}

TEST(TarnBinaryLocator, SkipsFoldersAndFilesWithoutExecutePermission) {
    TemporaryFolder folder;
    const fs::path first = folder.path() / "first";
    const fs::path second = folder.path() / "second";
    const fs::path third = folder.path() / "third";
    PathScope path(std::nullopt);
    // A folder with every permission bit set, named like the tool.
    fs::create_directories(first / kTool);
    ::chmod((first / kTool).c_str(), 0777);
    makeTool(second / kTool, 0644);
    makeTool(third / kTool, 0700);
    EXPECT_EQ(locator::locate(kTool, TarnBundle{}, {first, second, third}), third / kTool);

    EXPECT_FALSE(locator::isExecutableFile(first / kTool));
    EXPECT_FALSE(locator::isExecutableFile(second / kTool));
    EXPECT_FALSE(locator::isExecutableFile(folder.path() / "missing"));
    // A link is judged by what it points to.
    fs::create_symlink(third / kTool, folder.path() / "link");
    EXPECT_TRUE(locator::isExecutableFile(folder.path() / "link"));
    fs::create_symlink(first / kTool, folder.path() / "folder-link");
    EXPECT_FALSE(locator::isExecutableFile(folder.path() / "folder-link"));
}

TEST(TarnBinaryLocator, AnEmptyNameNeverMatchesTheFolderItself) {
    TemporaryFolder folder;
    PathScope path(folder.path().string());
    EXPECT_EQ(locator::locate("", TarnBundle{}, {folder.path()}), std::nullopt);
}

TEST(TarnBinaryLocator, FindsSystemToolsOnTheRealSearchPath) {
    const auto found = locator::locate("sh", TarnBundle{}, {});
    ASSERT_TRUE(found);
    EXPECT_TRUE(locator::isExecutableFile(*found));
}

} // namespace
