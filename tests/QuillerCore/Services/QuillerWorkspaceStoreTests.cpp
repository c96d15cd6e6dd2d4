#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/System/FileKeychain.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "WorkspaceTestSupport.h"
#include "support/NoError.h"
#include "support/UnprivilegedScope.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tarn::testing::noError;
using namespace workspacetest;
using quiller::QuillerWorkspacePayload;
using quiller::QuillerWorkspaceStore;

const std::string kService = "com.corvane.quiller.envsecrets";
const std::string kSampleAccount = "44444444-4444-4444-8444-444444444402::apiToken";

class WorkspaceStoreTest : public testing::Test {
protected:
    fs::path folder() const { return m_temp.path() / "Quiller"; }
    fs::path file() const { return folder() / "workspace.json"; }
    std::optional<std::string> fileBytes() const { return tarn::files::readFile(file()); }
    QuillerWorkspaceStore makeStore() { return QuillerWorkspaceStore(folder(), m_keychain); }

    ino_t inodeOfFile() const {
        struct stat info {};
        return ::stat(file().c_str(), &info) == 0 ? info.st_ino : 0;
    }

    TemporaryFolder m_temp;
    tarn::InMemoryKeychain m_keychain;
};

quiller::KeyValueRow& variable(QuillerWorkspacePayload& payload, std::size_t environment,
                               std::size_t index) {
    return payload.environments.at(environment).variables.at(index);
}
const quiller::KeyValueRow& variable(const QuillerWorkspacePayload& payload,
                                     std::size_t environment, std::size_t index) {
    return payload.environments.at(environment).variables.at(index);
}

TEST_F(WorkspaceStoreTest, FirstStartGivesTheBuiltInWorkspaceAndWritesNothing) {
    QuillerWorkspaceStore store = makeStore();
    EXPECT_EQ(store.fileURL(), file());
    EXPECT_EQ(modeOf(folder()), 0700u);

    const QuillerWorkspacePayload loaded = store.load();
    EXPECT_EQ(loaded.collections, quiller::APIRequestCollection::starterCollections());
    EXPECT_EQ(loaded.environments, quiller::APIEnvironmentProfile::defaultEnvironments());
    EXPECT_EQ(loaded.activeEnvironmentID, id("44444444-4444-4444-8444-444444444401"));
    EXPECT_EQ(loaded.mockRoutes, quiller::MockRouteRule::defaultRoutes());
    EXPECT_EQ(loaded.proxyPort, 8787);
    EXPECT_EQ(loaded, QuillerWorkspacePayload::defaults());
    EXPECT_EQ(m_keychain.calls().total(), 0u) << "the defaults never consult the keychain";
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(WorkspaceStoreTest, WritesTheGoldenFile) {
    QuillerWorkspaceStore store = makeStore();
    ASSERT_TRUE(noError(store.save(samplePayload())));
    const char* golden = R"json({
  "activeEnvironmentID" : "44444444-4444-4444-8444-444444444402",
  "collections" : [
    {
      "id" : "22222222-2222-4222-8222-222222222221",
      "name" : "Samples",
      "requests" : [
        {
          "assertions" : [
            {
              "expectedValue" : "201",
              "id" : "11111111-1111-4111-8111-111111111113",
              "isEnabled" : true,
              "kind" : "statusEquals",
              "targetPath" : ""
            }
          ],
          "auth" : {
            "apiKeyHeaderName" : "X-API-Key",
            "apiKeyValue" : "",
            "basicPassword" : "",
            "basicUsername" : "",
            "bearerToken" : "",
            "kind" : "none"
          },
          "bodyKind" : "json",
          "bodyText" : "{\"a\":1}",
          "graphQLVariables" : "{}",
          "headers" : [
            {
              "id" : "11111111-1111-4111-8111-111111111112",
              "isEnabled" : true,
              "isSecret" : false,
              "key" : "Accept",
              "value" : "application\/json"
            }
          ],
          "id" : "11111111-1111-4111-8111-111111111111",
          "method" : "POST",
          "name" : "Créer un élément",
          "queryParams" : [],
          "url" : "{{baseUrl}}\/v1\/items"
        }
      ]
    }
  ],
  "environments" : [
    {
      "id" : "44444444-4444-4444-8444-444444444402",
      "name" : "Local",
      "variables" : [
        {
          "id" : "55555555-5555-4555-8555-555555555551",
          "isEnabled" : true,
          "isSecret" : false,
          "key" : "baseUrl",
          "value" : "http:\/\/127.0.0.1:8787"
        },
        {
          "id" : "55555555-5555-4555-8555-555555555552",
          "isEnabled" : true,
          "isSecret" : true,
          "key" : "apiToken",
          "value" : ""
        }
      ]
    }
  ],
  "mockRoutes" : [
    {
      "contentType" : "application\/json",
      "id" : "66666666-6666-4666-8666-666666666661",
      "isEnabled" : true,
      "method" : "GET",
      "path" : "\/health",
      "responseBody" : "{}",
      "statusCode" : 200
    }
  ],
  "proxyPort" : 9090
})json";
    EXPECT_EQ(fileBytes(), golden);
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_EQ(m_keychain.items(),
              (tarn::InMemoryKeychain::Items{{{kService, kSampleAccount}, "s3cr3t/token"}}));

    QuillerWorkspacePayload withoutActive = samplePayload();
    withoutActive.activeEnvironmentID.reset();
    ASSERT_TRUE(noError(store.save(withoutActive)));
    EXPECT_EQ(fileBytes()->find("activeEnvironmentID"), std::string::npos)
        << "an absent environment is no member at all, not null";
}

TEST_F(WorkspaceStoreTest, SecretsLiveInTheKeychainAndComeBackOnLoad) {
    QuillerWorkspacePayload payload = samplePayload();
    auto& variables = payload.environments[0].variables;
    variables.push_back(row("55555555-5555-4555-8555-555555555553", "", "empty key stays", true));
    variables.push_back(row("55555555-5555-4555-8555-555555555554", " ", "blank key", true));
    ASSERT_TRUE(noError(makeStore().save(payload)));

    const nlohmann::json written = *tarn::json::parse(*fileBytes());
    const nlohmann::json& rows = written["environments"][0]["variables"];
    EXPECT_EQ(rows[0]["value"], "http://127.0.0.1:8787");
    EXPECT_EQ(rows[1]["value"], "");
    EXPECT_EQ(rows[2]["value"], "empty key stays");
    EXPECT_EQ(rows[3]["value"], "");
    EXPECT_EQ(m_keychain.items(),
              (tarn::InMemoryKeychain::Items{
                  {{kService, kSampleAccount}, "s3cr3t/token"},
                  {{kService, "44444444-4444-4444-8444-444444444402:: "}, "blank key"}}));

    // A fresh store, as at the next start.
    EXPECT_EQ(makeStore().load(), payload);
}

TEST_F(WorkspaceStoreTest, RowsSharingAKeyShareOneItem) {
    QuillerWorkspacePayload payload = samplePayload();
    auto& variables = payload.environments[0].variables;
    variables.push_back(row("55555555-5555-4555-8555-555555555553", "apiToken", "later", true));
    variables.push_back(row("55555555-5555-4555-8555-555555555554", "apiToken", "", true));
    ASSERT_TRUE(noError(makeStore().save(payload)));
    EXPECT_EQ(m_keychain.items().at({kService, kSampleAccount}), "later");
    EXPECT_EQ(m_keychain.calls().saves, 1u);

    const QuillerWorkspacePayload loaded = makeStore().load();
    for (std::size_t index : {1u, 2u, 3u})
        EXPECT_EQ(loaded.environments[0].variables[index].value, "later") << "row " << index;
}

// The file's own value stands unless the keychain has an item for the row.
TEST_F(WorkspaceStoreTest, KeychainItemOverridesTheFileValue) {
    nlohmann::json document = samplePayload(); // the secret still in it, as an old file may have
    tarn::files::writeAtomically(file(), tarn::json::pretty(document));

    EXPECT_EQ(variable(makeStore().load(), 0, 1).value, "s3cr3t/token");
    m_keychain.save("from the keychain", kService, kSampleAccount);
    EXPECT_EQ(variable(makeStore().load(), 0, 1).value, "from the keychain");
}

TEST_F(WorkspaceStoreTest, MissingOrNullActiveEnvironmentLoadsAsNone) {
    for (const bool asNull : {false, true}) {
        SCOPED_TRACE(asNull ? "null" : "missing");
        nlohmann::json document = samplePayload();
        if (asNull)
            document["activeEnvironmentID"] = nullptr;
        else
            document.erase("activeEnvironmentID");
        tarn::files::writeAtomically(file(), tarn::json::pretty(document));

        QuillerWorkspacePayload expected = samplePayload();
        expected.activeEnvironmentID.reset();
        EXPECT_EQ(makeStore().load(), expected);
    }
}

// Each file is unusable somewhere: the defaults come back, the file is left
// as it is by loading, and the next save sets it aside instead of
// overwriting it.
TEST_F(WorkspaceStoreTest, UnreadableFilesGiveTheDefaultsAndAreSetAsideOnSave) {
    const auto edited = [](std::function<void(nlohmann::json&)> edit) {
        nlohmann::json document = samplePayload();
        edit(document);
        return tarn::json::pretty(document);
    };
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"not JSON", "{\"collections\" : ["},
        {"empty", ""},
        {"an array", "[]"},
        {"null", "null"},
        {"invalid UTF-8", edited([](auto& d) { d["collections"][0]["name"] = "x"; }) + "\xff"},
        {"without proxyPort", edited([](auto& d) { d.erase("proxyPort"); })},
        {"without mockRoutes", edited([](auto& d) { d.erase("mockRoutes"); })},
        {"proxyPort 70000", edited([](auto& d) { d["proxyPort"] = 70000; })},
        {"proxyPort -1", edited([](auto& d) { d["proxyPort"] = -1; })},
        {"proxyPort 8787.5", edited([](auto& d) { d["proxyPort"] = 8787.5; })},
        {"proxyPort as text", edited([](auto& d) { d["proxyPort"] = "8787"; })},
        {"activeEnvironmentID not a UUID",
         edited([](auto& d) { d["activeEnvironmentID"] = "not-a-uuid"; })},
        {"activeEnvironmentID a number", edited([](auto& d) { d["activeEnvironmentID"] = 5; })},
        {"a request without url",
         edited([](auto& d) { d["collections"][0]["requests"][0].erase("url"); })},
        {"a variable with isSecret as text",
         edited([](auto& d) { d["environments"][0]["variables"][1]["isSecret"] = "yes"; })},
        {"an unknown method",
         edited([](auto& d) { d["collections"][0]["requests"][0]["method"] = "FETCH"; })},
        {"nesting deeper than JSON may", std::string(600, '[') + std::string(600, ']')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temp;
        tarn::InMemoryKeychain keychain;
        const fs::path target = temp.path() / "workspace.json";
        tarn::files::writeAtomically(target, c.content);

        QuillerWorkspaceStore store(temp.path(), keychain);
        EXPECT_EQ(store.load(), QuillerWorkspacePayload::defaults());
        EXPECT_EQ(keychain.calls().total(), 0u);
        EXPECT_EQ(tarn::files::readFile(target), c.content) << "loading changed the file";

        ASSERT_TRUE(noError(store.save(samplePayload())));
        const std::vector<fs::path> aside = filesSetAside(temp.path());
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(tarn::files::readFile(aside[0]), c.content);
        EXPECT_EQ(QuillerWorkspaceStore(temp.path(), keychain).load(), samplePayload());
    }
}

// Not even a save without a load may overwrite an unreadable file, nor one
// that is not a file at all.
TEST_F(WorkspaceStoreTest, SaveWithoutLoadStillSetsUnreadableThingsAside) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
    };
    const Case cases[] = {
        {"garbage", [](const fs::path& target) { tarn::files::writeAtomically(target, "{oops"); }},
        {"a folder", [](const fs::path& target) { fs::create_directory(target); }},
        {"a FIFO", [](const fs::path& target) { ::mkfifo(target.c_str(), 0600); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temp;
        tarn::InMemoryKeychain keychain;
        c.make(temp.path() / "workspace.json");
        QuillerWorkspaceStore store(temp.path(), keychain);
        ASSERT_TRUE(noError(store.save(samplePayload())));
        EXPECT_EQ(filesSetAside(temp.path()).size(), 1u);
        EXPECT_EQ(QuillerWorkspaceStore(temp.path(), keychain).load(), samplePayload());
    }
}

// The rule for emptied secrets, scenario by scenario. Each starts from the
// sample's secret already in the keychain as "old" and ends with a save in
// which the apiToken row is empty.
TEST_F(WorkspaceStoreTest, AnEmptiedSecretStaysEmptyOnlyWhenThisStoreSawIt) {
    struct Case {
        const char* name;
        std::function<void(QuillerWorkspaceStore&, tarn::InMemoryKeychain&,
                           QuillerWorkspacePayload&)>
            play;
        std::optional<std::string> itemAfterwards;
    };
    const Case cases[] = {
        {"stored during this run",
         [](auto& store, auto&, auto& payload) {
             variable(payload, 0, 1).value = "new";
             ASSERT_TRUE(noError(store.save(payload)));
             variable(payload, 0, 1).value = "";
             ASSERT_TRUE(noError(store.save(payload)));
         },
         std::nullopt},
        {"loaded during this run",
         [](auto& store, auto&, auto& payload) {
             payload = store.load();
             variable(payload, 0, 1).value = "";
             ASSERT_TRUE(noError(store.save(payload)));
         },
         std::nullopt},
        {"another row for the account holds a value",
         [](auto& store, auto&, auto& payload) {
             payload = store.load();
             variable(payload, 0, 1).value = "";
             payload.environments[0].variables.push_back(
                 row("55555555-5555-4555-8555-555555555559", "apiToken", "other row", true));
             ASSERT_TRUE(noError(store.save(payload)));
         },
         "other row"},
        {"never seen by this store",
         [](auto& store, auto&, auto& payload) {
             variable(payload, 0, 1).value = "";
             ASSERT_TRUE(noError(store.save(payload)));
         },
         "old"},
        {"keychain locked at load",
         [](auto& store, auto& keychain, auto& payload) {
             keychain.setLocked(true);
             payload = store.load();
             keychain.setLocked(false);
             ASSERT_TRUE(noError(store.save(payload))); // the row is empty, as the file had it
         },
         "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temp;
        tarn::InMemoryKeychain keychain;
        QuillerWorkspacePayload payload = samplePayload();
        {
            QuillerWorkspaceStore earlierRun(temp.path(), keychain);
            variable(payload, 0, 1).value = "old";
            ASSERT_TRUE(noError(earlierRun.save(payload)));
        }
        QuillerWorkspaceStore store(temp.path(), keychain);
        c.play(store, keychain, payload);

        const auto items = keychain.items();
        const auto found = items.find({kService, kSampleAccount});
        EXPECT_EQ(found == items.end() ? std::nullopt : std::optional(found->second),
                  c.itemAfterwards);
        const QuillerWorkspacePayload reloaded =
            QuillerWorkspaceStore(temp.path(), keychain).load();
        EXPECT_EQ(variable(reloaded, 0, 1).value, c.itemAfterwards.value_or(""));
    }
}

TEST_F(WorkspaceStoreTest, LeavesTheCallersPayloadAlone) {
    const QuillerWorkspacePayload original = samplePayload();
    QuillerWorkspacePayload payload = original;
    ASSERT_TRUE(noError(makeStore().save(payload)));
    EXPECT_EQ(payload, original);
    EXPECT_EQ(variable(payload, 0, 1).value, "s3cr3t/token");
}

TEST_F(WorkspaceStoreTest, RepeatedSavesOfTheSameWorkspaceTouchNothing) {
    QuillerWorkspaceStore store = makeStore();
    ASSERT_TRUE(noError(store.save(samplePayload())));
    const std::optional<std::string> first = fileBytes();
    const ino_t firstInode = inodeOfFile();
    m_keychain.resetCalls();

    ASSERT_TRUE(noError(store.save(samplePayload())));
    EXPECT_EQ(fileBytes(), first);
    EXPECT_EQ(inodeOfFile(), firstInode) << "identical bytes were written again";
    EXPECT_EQ(m_keychain.calls().total(), 0u);

    // A fresh run: load, then save what was loaded.
    QuillerWorkspaceStore nextRun = makeStore();
    const QuillerWorkspacePayload loaded = nextRun.load();
    m_keychain.resetCalls();
    ASSERT_TRUE(noError(nextRun.save(loaded)));
    EXPECT_EQ(inodeOfFile(), firstInode);
    EXPECT_EQ(m_keychain.calls().total(), 0u);

    // Changed behind the store's back (content or mode): written again.
    ::chmod(file().c_str(), 0644);
    ASSERT_TRUE(noError(nextRun.save(loaded)));
    EXPECT_EQ(modeOf(file()), 0600u);
    tarn::files::writeAtomically(file(), "{}");
    ASSERT_TRUE(noError(nextRun.save(loaded)));
    EXPECT_EQ(fileBytes(), first);
}

// Skipping unchanged secrets must not trust a memory that the keychain has
// since contradicted.
TEST_F(WorkspaceStoreTest, AnItemRemovedOutsideTheStoreIsStoredAgain) {
    QuillerWorkspaceStore store = makeStore();
    ASSERT_TRUE(noError(store.save(samplePayload())));
    m_keychain.delete_(kService, kSampleAccount); // say, by the user in a keyring manager
    QuillerWorkspacePayload payload = store.load();
    EXPECT_EQ(variable(payload, 0, 1).value, "");
    variable(payload, 0, 1).value = "s3cr3t/token";
    ASSERT_TRUE(noError(store.save(payload)));
    EXPECT_EQ(m_keychain.items().at({kService, kSampleAccount}), "s3cr3t/token");
}

TEST_F(WorkspaceStoreTest, ARefusingKeychainKeepsTheSecretOutOfTheFileAndIsAskedAgain) {
    QuillerWorkspaceStore store = makeStore();
    m_keychain.setLocked(true);
    EXPECT_TRUE(noError(store.save(samplePayload()))) << "a refused secret is no failure";
    EXPECT_EQ(fileBytes()->find("s3cr3t"), std::string::npos);
    EXPECT_TRUE(m_keychain.items().empty());

    m_keychain.setLocked(false);
    ASSERT_TRUE(noError(store.save(samplePayload())));
    EXPECT_EQ(m_keychain.items().at({kService, kSampleAccount}), "s3cr3t/token");
}

TEST_F(WorkspaceStoreTest, DefaultFolderIsPrivateUnderApplicationSupport) {
    const EnvironmentScope dataHome("XDG_DATA_HOME", (m_temp.path() / "data").string());
    const UmaskScope umask(022);
    QuillerWorkspaceStore store(std::nullopt, m_keychain);
    EXPECT_EQ(store.fileURL(), m_temp.path() / "data" / "Quiller" / "workspace.json");
    ASSERT_TRUE(noError(store.save(samplePayload())));
    EXPECT_EQ(modeOf(m_temp.path() / "data" / "Quiller"), 0700u);
    EXPECT_EQ(modeOf(store.fileURL()), 0600u);
}

TEST_F(WorkspaceStoreTest, AFolderThatCannotBeMadeGivesDefaultsAndSilentSaves) {
    tarn::files::writeAtomically(folder(), "a file where the folder belongs");
    QuillerWorkspaceStore store = makeStore();
    EXPECT_EQ(store.load(), QuillerWorkspacePayload::defaults());
    // Reported, not thrown.
    EXPECT_TRUE(store.save(samplePayload()));
    EXPECT_EQ(tarn::files::readFile(folder()), "a file where the folder belongs");
}

// A full disk or a folder taken away must not pass for a save: the caller
// hears why, and the next save that can write does.
TEST_F(WorkspaceStoreTest, ASaveThatCannotWriteSaysWhyAndTheNextOneWrites) {
    TemporaryFolder temp;
    const tarn::testing::UnprivilegedScope unprivileged(temp.path());
    const fs::path target = temp.path() / "Quiller";
    QuillerWorkspaceStore store(target, m_keychain);
    ASSERT_EQ(::chmod(target.c_str(), 0500), 0);

    const std::optional<tarn::PlatformError> failure = store.save(samplePayload());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), EACCES);
    EXPECT_NE(failure->description().find(target.string()), std::string::npos);
    EXPECT_FALSE(fs::exists(target / "workspace.json"));
    // The keychain still got the secret: it never waits for the file.
    EXPECT_EQ(m_keychain.load(kService, kSampleAccount), "s3cr3t/token");

    ASSERT_EQ(::chmod(target.c_str(), 0700), 0);
    EXPECT_FALSE(store.save(samplePayload()));
    EXPECT_EQ(QuillerWorkspaceStore(target, m_keychain).load(), samplePayload());
}

TEST_F(WorkspaceStoreTest, AnUnreadableFileIsSetAsideWhenAskedAndNamed) {
    tarn::files::writeAtomically(file(), "{oops");
    QuillerWorkspaceStore store = makeStore();
    EXPECT_FALSE(store.setUnreadableFileAside()) << "nothing is known of the file before a load";
    EXPECT_EQ(store.load(), QuillerWorkspacePayload::defaults());

    const std::optional<fs::path> kept = store.setUnreadableFileAside();
    ASSERT_TRUE(kept);
    EXPECT_EQ(filesSetAside(folder()), std::vector<fs::path>{*kept});
    EXPECT_EQ(tarn::files::readFile(*kept), "{oops");
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_FALSE(store.setUnreadableFileAside());

    EXPECT_FALSE(store.save(samplePayload()));
    EXPECT_EQ(filesSetAside(folder()).size(), 1u);
}

TEST_F(WorkspaceStoreTest, NamesTheFallbackFileOnceASecretWentThere) {
    tarn::FileKeychain fallback(m_temp.path() / "Keychain" / "keychain.json");
    QuillerWorkspaceStore store(folder(), fallback);
    QuillerWorkspacePayload payload = samplePayload();
    variable(payload, 0, 1).value.clear();
    ASSERT_FALSE(store.save(payload));
    EXPECT_FALSE(store.secretsFallbackFile()) << "no secret has been stored yet";

    ASSERT_FALSE(store.save(samplePayload()));
    EXPECT_EQ(store.secretsFallbackFile(), fallback.file());

    QuillerWorkspaceStore keyringStore = makeStore();
    ASSERT_FALSE(keyringStore.save(samplePayload()));
    EXPECT_FALSE(keyringStore.secretsFallbackFile());
}

} // namespace
