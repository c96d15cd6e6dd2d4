#include "KeychainTestSupport.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/System/FileKeychain.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using keychaintest::modeOf;
using keychaintest::TemporaryFolder;
using keychaintest::UmaskScope;

std::set<std::string> entriesOf(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(FileKeychain, KeepsSecretsPrivateWhateverTheUmask) {
    TemporaryFolder temp;
    const fs::path file = temp.path() / "Corvane" / "Keychain" / "keychain.json";
    const UmaskScope umask(0);
    tarn::FileKeychain keychain(file);

    // Looking and deleting never create anything.
    EXPECT_EQ(keychain.load("service", "account"), std::nullopt);
    keychain.delete_("service", "account");
    EXPECT_FALSE(fs::exists(temp.path() / "Corvane"));

    keychain.save("s3cret", "service", "account");
    EXPECT_EQ(modeOf(temp.path() / "Corvane"), 0700u);
    EXPECT_EQ(modeOf(file.parent_path()), 0700u);
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(tarn::files::readFile(file),
              "{\n  \"service\" : {\n    \"account\" : \"s3cret\"\n  }\n}");
}

TEST(FileKeychain, TightensAFolderThatAnotherProgramMadeReadable) {
    TemporaryFolder temp;
    const fs::path folder = temp.path() / "Keychain";
    fs::create_directory(folder);
    ::chmod(folder.c_str(), 0755);
    tarn::FileKeychain(folder / "keychain.json").save("x", "service", "account");
    EXPECT_EQ(modeOf(folder), 0700u);
}

// Two keychains on one file behave like two applications of the suite: each
// sees what the other stored, and neither loses the other's items.
TEST(FileKeychain, InstancesSharingTheFileSeeEachOthersItems) {
    TemporaryFolder temp;
    const fs::path file = temp.path() / "keychain.json";
    tarn::FileKeychain first(file);
    tarn::FileKeychain second(file);
    first.save("one", "service", "first");
    second.save("two", "service", "second");
    EXPECT_EQ(second.load("service", "first"), "one");
    EXPECT_EQ(first.load("service", "second"), "two");
    first.delete_("service", "second");
    EXPECT_EQ(second.load("service", "second"), std::nullopt);
    EXPECT_EQ(second.load("service", "first"), "one");
}

TEST(FileKeychain, UnreadableFileIsSetAsideBeforeTheNextSave) {
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"not JSON", "{\"service\" : {\"account\" : \"x\""},
        {"empty file", ""},
        {"an array", "[]"},
        {"a service that is not an object", "{\"service\" : \"x\"}"},
        {"a secret that is not a string", "{\"service\" : {\"account\" : 5}}"},
        {"invalid UTF-8", "{\"service\" : {\"account\" : \"\xff\"}}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temp;
        const fs::path file = temp.path() / "keychain.json";
        tarn::files::writeAtomically(file, c.content);
        tarn::FileKeychain keychain(file);

        EXPECT_EQ(keychain.load("service", "account"), std::nullopt);
        keychain.delete_("service", "account");
        EXPECT_EQ(tarn::files::readFile(file), c.content) << "reading or deleting changed it";

        keychain.save("new", "service", "other");
        EXPECT_EQ(keychain.load("service", "other"), "new");
        EXPECT_EQ(keychain.load("service", "account"), std::nullopt);

        std::optional<fs::path> aside;
        for (const auto& name : entriesOf(temp.path()))
            if (name.rfind("keychain.json.unreadable-", 0) == 0)
                aside = temp.path() / name;
        ASSERT_TRUE(aside.has_value());
        EXPECT_EQ(tarn::files::readFile(*aside), c.content);
    }
}

TEST(FileKeychain, WithoutAFileNothingIsKept) {
    tarn::FileKeychain keychain{fs::path()};
    EXPECT_THROW(keychain.save("x", "service", "account"), tarn::PlatformError);
    EXPECT_EQ(keychain.load("service", "account"), std::nullopt);
    EXPECT_NO_THROW(keychain.delete_("service", "account"));
}

TEST(FileKeychain, SaveFailsWhenTheFolderCannotBeMade) {
    TemporaryFolder temp;
    tarn::files::writeAtomically(temp.path() / "blocker", "a file where a folder belongs");
    tarn::FileKeychain keychain(temp.path() / "blocker" / "keychain.json");
    EXPECT_THROW(keychain.save("x", "service", "account"), tarn::PlatformError);
    EXPECT_EQ(keychain.load("service", "account"), std::nullopt);
}

} // namespace
