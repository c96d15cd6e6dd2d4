#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "support/TemporaryFolder.h"
#include "support/ViewModelFakes.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quiller::testing {
namespace {

class ImportsTest : public ViewModelTest {
protected:
    void SetUp() override {
        workspaceStore->payload.collections = {makeCollection("A", {first}),
                                               makeCollection("B", {makeRequest("Other")})};
        workspaceStore->payload.environments = {
            makeEnvironment("Local & Sandbox",
                            {KeyValueRow{.key = "HOST", .value = "h"},
                             KeyValueRow{.key = "PLAIN", .value = "x", .isSecret = true},
                             KeyValueRow{.key = "API_TOKEN", .value = "t1"}}),
            makeEnvironment("Prod", {})};
        workspaceStore->payload.activeEnvironmentID = std::nullopt;
        makeViewModel();
    }

    const std::vector<KeyValueRow>& rows(std::size_t environment = 0) {
        return vm().environments()[environment].variables;
    }

    static std::string readAll(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    APIRequestSpec first = makeRequest("First");
    tarn::testing::TemporaryFolder folder{"quiller-imports"};
};

TEST_F(ImportsTest, CurlImportGoesOnTopOfTheSelectedCollection) {
    vm().setSelectedCollectionID(vm().collections()[1].id);
    vm().importCurl("curl -X POST https://api.test/items");
    const auto& requests = vm().collections()[1].requests;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].url, "https://api.test/items");
    EXPECT_EQ(requests[1].name, "Other");
    EXPECT_EQ(vm().selectedRequestID(), requests[0].id);
    EXPECT_EQ(vm().selectedCollectionID(), vm().collections()[1].id);
    EXPECT_EQ(workspaceSaves().back().collections[1].requests.size(), 2u);
    EXPECT_EQ(vm().toastMessage(), "Imported cURL into B.");
    EXPECT_FALSE(vm().toastIsError());
}

TEST_F(ImportsTest, UnparseableCurlChangesNothing) {
    const auto before = vm().collections();
    vm().importCurl("hello world");
    EXPECT_EQ(vm().collections(), before);
    EXPECT_TRUE(workspaceSaves().empty());
    EXPECT_EQ(vm().toastMessage(), "Could not parse cURL command.");
    EXPECT_TRUE(vm().toastIsError());
}

TEST_F(ImportsTest, CurlImportWithoutAnyCollectionDoesNothing) {
    vm().setCollections({});
    vm().importCurl("curl https://api.test/items");
    EXPECT_TRUE(vm().collections().empty());
    EXPECT_TRUE(workspaceSaves().empty());
    EXPECT_FALSE(vm().toastMessage());
}

TEST_F(ImportsTest, SpecImportAddsACollectionOnTopAndSelectsIt) {
    vm().importOpenAPIOrPostman(R"({"openapi":"3.0.0","info":{"title":"Pets"},)"
                                R"("servers":[{"url":"https://pets.test"}],)"
                                R"("paths":{"/pets":{"get":{},"post":{}}}})");
    const auto& imported = vm().collections().front();
    EXPECT_EQ(imported.requests.size(), 2u);
    EXPECT_EQ(vm().selectedCollectionID(), imported.id);
    EXPECT_EQ(vm().selectedRequestID(), imported.requests.front().id);
    EXPECT_EQ(workspaceSaves().back().collections.front().id, imported.id);
    EXPECT_EQ(vm().toastMessage(), "Imported '" + imported.name + "' (2 endpoints).");
    EXPECT_FALSE(vm().toastIsError());

    const auto before = vm().collections();
    vm().importOpenAPIOrPostman(R"({"neither":true})");
    EXPECT_EQ(vm().collections(), before);
    EXPECT_EQ(vm().toastMessage(), "Could not recognize OpenAPI 3.0 or Postman v2.1 JSON.");
    EXPECT_TRUE(vm().toastIsError());
}

TEST_F(ImportsTest, DotEnvUpdatesLiveRowsNeverClearsSecretsAndAppendsNewOnes) {
    const auto hostID = rows()[0].id;
    const auto count =
        vm().importDotEnv("HOST=a\nHOST=b\nPLAIN=y\nAPI_TOKEN=t2\nNEW=n\n", "clipboard");
    // The parser folds a repeated key into one entry, the later value winning.
    EXPECT_EQ(count, (QuillerViewModel::DotEnvImportCount{4, 1}));
    ASSERT_EQ(rows().size(), 4u);
    EXPECT_EQ(rows()[0].id, hostID);
    EXPECT_EQ(rows()[0].value, "b");
    EXPECT_TRUE(rows()[1].isSecret); // kept although the entry is not flagged
    EXPECT_TRUE(rows()[2].isSecret); // turned secret by a flagged entry
    EXPECT_EQ(rows()[2].value, "t2");
    EXPECT_EQ(rows()[3].key, "NEW");
    EXPECT_FALSE(rows()[3].isSecret);
    EXPECT_EQ(workspaceSaves().size(), 1u);
    EXPECT_EQ(vm().toastMessage(), "Imported 4 variables (1 system keyring secrets).");
    const auto log = logEntries();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].category, "dotenv");
    EXPECT_EQ(log[0].message, "Imported 4 .env variables from clipboard into 'Local & Sandbox' "
                              "(1 routed to the system keyring)");
}

TEST_F(ImportsTest, DotEnvTargetsTheActiveEnvironmentElseTheFirst) {
    vm().setActiveEnvironmentID(vm().environments()[1].id);
    vm().importDotEnv("A=1", "clipboard");
    EXPECT_EQ(rows(1).size(), 1u);

    vm().setActiveEnvironmentID(tarn::UUID::random());
    vm().importDotEnv("B=2", "clipboard");
    EXPECT_EQ(rows(0).size(), 4u);
    EXPECT_EQ(rows(0).back().key, "B");
}

TEST_F(ImportsTest, DotEnvWithoutEntriesOrEnvironmentsChangesNothing) {
    EXPECT_EQ(vm().importDotEnv("# only a comment\n", "clipboard"),
              QuillerViewModel::DotEnvImportCount{});
    EXPECT_EQ(vm().toastMessage(), "No valid KEY=VALUE variables found in .env input.");
    EXPECT_TRUE(workspaceSaves().empty());

    vm().setToastMessage(std::nullopt);
    vm().setEnvironments({});
    EXPECT_EQ(vm().importDotEnv("A=1", "clipboard"), QuillerViewModel::DotEnvImportCount{});
    EXPECT_FALSE(vm().toastMessage());
    EXPECT_TRUE(workspaceSaves().empty());
}

TEST_F(ImportsTest, ClipboardImportNeedsMoreThanBlanks) {
    clipboard->contents = " \n\t\n";
    vm().importDotEnvFromClipboard();
    EXPECT_EQ(vm().toastMessage(), "Clipboard is empty.");
    EXPECT_TRUE(vm().toastIsError());

    vm().setLanguage(tarn::TarnLanguage::tr);
    clipboard->contents = std::nullopt;
    vm().importDotEnvFromClipboard();
    EXPECT_EQ(vm().toastMessage(), "Pano boş.");

    clipboard->contents = "\n\nNEW=1\n\n";
    vm().importDotEnvFromClipboard();
    EXPECT_EQ(rows().back().key, "NEW");
    EXPECT_EQ(vm().toastMessage(), "1 değişken aktarıldı (0 sistem anahtarlığı gizli anahtarı).");
}

TEST_F(ImportsTest, FileImportReadsTheChosenFileAndRefusesWhatIsNotADotEnvFile) {
    const auto file = folder.path() / "prod.env";
    std::ofstream(file) << "NEW=1\n";
    vm().importDotEnvFromFile();
    ASSERT_EQ(filePanels->opens.size(), 1u);
    EXPECT_EQ(filePanels->opens[0].options.title, "Import .env File");
    filePanels->answerOpen(file);
    EXPECT_EQ(rows().back().key, "NEW");
    EXPECT_NE(logEntries()[0].message.find("from file:prod.env into"), std::string::npos);

    const auto big = folder.path() / "big.env";
    std::ofstream(big) << std::string(8 * 1024 * 1024 + 1, 'A');
    for (const std::filesystem::path& refused :
         {folder.path(), big, folder.path() / "missing.env"}) {
        SCOPED_TRACE(refused.string());
        vm().setToastMessage(std::nullopt);
        const auto saves = workspaceSaves().size();
        vm().importDotEnvFromFile();
        filePanels->answerOpen(refused);
        EXPECT_TRUE(vm().toastIsError());
        EXPECT_TRUE(vm().toastMessage());
        EXPECT_EQ(workspaceSaves().size(), saves);
        EXPECT_EQ(logEntries()[0].level, tarn::TarnLogLevel::error);
        EXPECT_EQ(logEntries()[0].message.rfind("Failed reading .env file: ", 0), 0u);
    }

    const auto saves = workspaceSaves().size();
    vm().importDotEnvFromFile();
    filePanels->answerOpen(std::nullopt);
    EXPECT_EQ(workspaceSaves().size(), saves);
}

TEST_F(ImportsTest, ClipboardExportHasNoTrailingNewlineAndMasksOnRequest) {
    vm().exportDotEnvToClipboard(true);
    ASSERT_TRUE(clipboard->contents);
    EXPECT_EQ(*clipboard->contents, "HOST=h\nPLAIN=***REDACTED***\nAPI_TOKEN=t1");
    EXPECT_EQ(vm().toastMessage(), "Copied masked .env (Git-safe).");
    EXPECT_EQ(logEntries()[0].message,
              "Exported 3 .env variables from 'Local & Sandbox' to clipboard (masked)");

    vm().exportDotEnvToClipboard(false);
    EXPECT_EQ(*clipboard->contents, "HOST=h\nPLAIN=x\nAPI_TOKEN=t1");
    EXPECT_EQ(vm().toastMessage(), "Copied full .env to clipboard.");
}

TEST_F(ImportsTest, NothingToExportStopsBeforeAnyPanel) {
    vm().setEnvironments({makeEnvironment("Off", {KeyValueRow{.key = "A", .isEnabled = false}})});
    for (const bool mask : {true, false}) {
        vm().exportDotEnvToClipboard(mask);
        EXPECT_EQ(vm().toastMessage(), "No enabled environment variables to export.");
        vm().exportDotEnvToFile(mask);
    }
    EXPECT_EQ(clipboard->writes, 0);
    EXPECT_TRUE(filePanels->saves.empty());

    vm().setEnvironments({});
    vm().setToastMessage(std::nullopt);
    vm().exportDotEnvToClipboard(false);
    vm().exportDotEnvToFile(false);
    EXPECT_FALSE(vm().toastMessage());
}

TEST_F(ImportsTest, FileExportProposesTheSlugAndWritesAnOwnerOnlyFile) {
    struct Case {
        std::string name;
        bool mask;
        std::string proposed;
    };
    const Case cases[] = {{"Local & Sandbox", false, "local-sandbox.env"},
                          {"Local & Sandbox", true, "local-sandbox.env.example"},
                          {"--Prod 2--", false, "prod-2.env"},
                          {"&&&", false, "quiller.env"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vm().setEnvironments({makeEnvironment(c.name, {KeyValueRow{.key = "A", .value = "1"}})});
        vm().exportDotEnvToFile(c.mask);
        ASSERT_FALSE(filePanels->saves.empty());
        EXPECT_EQ(filePanels->saves.back().options.proposedFileName, c.proposed);
        EXPECT_EQ(filePanels->saves.back().options.title, "Export .env File");
        filePanels->answerSave(std::nullopt);
    }

    vm().exportDotEnvToFile(false);
    const auto file = folder.path() / "out.env";
    filePanels->answerSave(file);
    EXPECT_EQ(readAll(file), "A=1\n");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(vm().toastMessage(), "Saved out.env.");
    EXPECT_EQ(logEntries()[0].message,
              "Exported 1 .env variables from '&&&' to file 'out.env' (unmasked)");
}

TEST_F(ImportsTest, FileExportFailureIsReported) {
    vm().exportDotEnvToFile(false);
    filePanels->answerSave(folder.path()); // a folder cannot be replaced by a file
    EXPECT_TRUE(vm().toastIsError());
    EXPECT_EQ(logEntries()[0].level, tarn::TarnLogLevel::error);
    EXPECT_EQ(logEntries()[0].message.rfind("Failed exporting .env file: ", 0), 0u);
}

TEST_F(ImportsTest, CopyTextLabelsTheToast) {
    vm().copyText("abc", "response body");
    EXPECT_EQ(clipboard->contents, "abc");
    EXPECT_EQ(vm().toastMessage(), "Copied response body.");
    vm().setLanguage(tarn::TarnLanguage::tr);
    vm().copyText("abc", "response body");
    EXPECT_EQ(vm().toastMessage(), "response body kopyalandı.");
}

TEST_F(ImportsTest, SnippetFollowsTheActiveRequest) {
    EXPECT_NE(vm().generatedCodeSnippet().find(first.url), std::string::npos);
    vm().setCollections({makeCollection("Empty", {})});
    EXPECT_EQ(vm().generatedCodeSnippet(), "");
}

TEST_F(ImportsTest, JsonPathNeedsAResponseAndANonBlankQuery) {
    EXPECT_FALSE(vm().jsonPathResult());
    vm().setLatestResponse(makeSnapshot("First", 200, R"({"a":{"b":7}})"));
    vm().setJsonPathQuery(" \t ");
    EXPECT_FALSE(vm().jsonPathResult());
    vm().setJsonPathQuery("$.a.b");
    EXPECT_EQ(vm().jsonPathResult(),
              JSONInspectorEngine::extractJSONPath("$.a.b", R"({"a":{"b":7}})"));
    EXPECT_TRUE(vm().jsonPathResult());
    vm().setJsonPathQuery("\n");
    EXPECT_EQ(vm().jsonPathResult(),
              JSONInspectorEngine::extractJSONPath("\n", R"({"a":{"b":7}})"));
}

TEST_F(ImportsTest, KeptJsonPathResultAndDiffFollowEveryNewResponseAndQuery) {
    const auto response = [](std::string body) {
        HTTPResponseSnapshot snapshot = makeSnapshot("First", 200, body);
        snapshot.prettyBodyText = JSONInspectorEngine::prettyPrint(body);
        return snapshot;
    };
    // Observers read the derived values while being told about the change.
    std::optional<std::string> seenResult;
    std::vector<DiffLineItem> seenDiff;
    const ScopedObserver observer(vm(), [&](const QuillerViewModel::Change& change) {
        if (change.field == QuillerViewModel::Field::latestResponse) {
            seenResult = vm().jsonPathResult();
            seenDiff = vm().responseDiff();
        }
    });

    vm().setJsonPathQuery("$.a");
    vm().setLatestResponse(response(R"({"a":1})"));
    EXPECT_EQ(seenResult, "1");
    EXPECT_TRUE(vm().responseDiff().empty()) << "no previous response yet";
    EXPECT_EQ(vm().jsonPathResult(), "1");

    vm().setPreviousResponse(vm().latestResponse());
    vm().setLatestResponse(response(R"({"a":2})"));
    EXPECT_EQ(seenResult, "2");
    EXPECT_EQ(seenDiff, JSONInspectorEngine::diffLines(vm().previousResponse()->prettyBodyText,
                                                       vm().latestResponse()->prettyBodyText));
    EXPECT_FALSE(seenDiff.empty());
    // Asked again, the same rows come back without being made again.
    const auto* kept = &vm().responseDiff();
    EXPECT_EQ(&vm().responseDiff(), kept);

    vm().setJsonPathQuery("$.b");
    EXPECT_FALSE(vm().jsonPathResult()) << "the body has no b";
    vm().setPreviousResponse(std::nullopt);
    EXPECT_TRUE(vm().responseDiff().empty());
    vm().setLatestResponse(std::nullopt);
    EXPECT_FALSE(vm().jsonPathResult());
}

TEST_F(ImportsTest, OpeningAnAddressGoesThroughThePortAndSaysWhenNothingOpensIt) {
    vm().openURL("https://example.test/feedback");
    EXPECT_EQ(urlOpener->opened, std::vector<std::string>{"https://example.test/feedback"});
    EXPECT_FALSE(vm().toastMessage());

    urlOpener->refuses = true;
    vm().openURL("nowhere:x");
    EXPECT_EQ(vm().toastMessage(), "Could not open nowhere:x.");
    EXPECT_TRUE(vm().toastIsError());
}

} // namespace
} // namespace quiller::testing
