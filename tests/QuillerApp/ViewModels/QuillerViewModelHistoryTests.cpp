// Sending the active request and the request history.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quiller::testing {
namespace {

using namespace std::chrono_literals;

RequestHistoryEntry historyEntryNamed(std::string name) {
    RequestHistoryEntry entry;
    entry.requestName = std::move(name);
    return entry;
}

class SendTest : public ViewModelTest {
protected:
    SendTest() {
        first.url = "{{baseUrl}}/first";
        first.queryParams = {KeyValueRow{.key = "page", .value = "2"}};
        environment = makeEnvironment(
            "Env", {KeyValueRow{.key = "baseUrl", .value = "https://api.test"},
                    KeyValueRow{.key = "token", .value = "tok-123", .isSecret = true}});
        workspaceStore->payload = QuillerWorkspacePayload{
            .collections = {makeCollection("A", {first, second}), makeCollection("B", {third})},
            .environments = {environment},
            .activeEnvironmentID = environment.id};
    }

    APIRequestSpec first = makeRequest("First");
    APIRequestSpec second = makeRequest("Second");
    APIRequestSpec third = makeRequest("Third");
    APIEnvironmentProfile environment;
};

TEST_F(SendTest, SendsACopyOfTheActiveRequestWithTheActiveEnvironment) {
    makeViewModel();
    vm().setSelectedRequestID(third.id);
    vm().sendActiveRequest();

    EXPECT_TRUE(vm().isSending());
    ASSERT_EQ(background->size(), 1u);
    // An edit made while the request is out does not reach it.
    auto collections = vm().collections();
    collections[1].requests[0].url = "https://edited.test/";
    vm().setCollections(collections);

    settle();

    ASSERT_EQ(execution->executeCalls.size(), 1u);
    const auto& call = execution->executeCalls[0];
    EXPECT_EQ(call.spec, third);
    EXPECT_TRUE(call.logExecution);
    EXPECT_EQ(call.variables.at("baseUrl"), "https://api.test");
    EXPECT_FALSE(vm().isSending());
    ASSERT_TRUE(vm().latestResponse());
    EXPECT_EQ(vm().latestResponse()->requestName, "Third");
    EXPECT_FALSE(vm().previousResponse().has_value());
    ASSERT_EQ(vm().executionHistory().size(), 1u);
    EXPECT_EQ(vm().executionHistory()[0].sourceRequestID, third.id);
    ASSERT_EQ(historySaves().size(), 1u);
    EXPECT_EQ(historySaves()[0], vm().executionHistory());
    EXPECT_FALSE(vm().toastMessage().has_value());
    EXPECT_TRUE(workspaceSaves().empty());
}

TEST_F(SendTest, WithoutAnyRequestToSendNothingHappens) {
    workspaceStore->payload.collections = {makeCollection("Empty", {}),
                                           makeCollection("B", {third})};
    makeViewModel();
    vm().sendActiveRequest();
    EXPECT_EQ(background->size(), 0u);
    EXPECT_FALSE(vm().isSending());
    EXPECT_EQ(notificationCount(QuillerViewModel::Field::isSending), 0u);
}

TEST_F(SendTest, TwoSendsFinishingInEitherOrderEachMoveTheLatestResponseOn) {
    for (const bool secondFinishesFirst : {false, true}) {
        SCOPED_TRACE(secondFinishesFirst ? "second finishes first" : "first finishes first");
        historyFile().clear();
        makeViewModel();
        execution->executeCalls.clear();
        const std::size_t base = background->size();

        vm().setSelectedRequestID(first.id);
        vm().sendActiveRequest();
        vm().setSelectedRequestID(second.id);
        vm().sendActiveRequest();
        ASSERT_EQ(background->size(), base + 2);

        const std::size_t early = base + (secondFinishesFirst ? 1 : 0);
        const std::size_t late = base + (secondFinishesFirst ? 0 : 1);
        const std::string earlyName = secondFinishesFirst ? "Second" : "First";
        const std::string lateName = secondFinishesFirst ? "First" : "Second";

        background->run(early);
        main->runUntilIdle();
        // One send is still out: the flag stays up.
        EXPECT_TRUE(vm().isSending());
        EXPECT_EQ(vm().latestResponse()->requestName, earlyName);

        background->run(late);
        main->runUntilIdle();
        EXPECT_FALSE(vm().isSending());
        EXPECT_EQ(vm().latestResponse()->requestName, lateName);
        EXPECT_EQ(vm().previousResponse()->requestName, earlyName);
        ASSERT_EQ(vm().responseHistory().size(), 2u);
        EXPECT_EQ(vm().responseHistory()[0].requestName, lateName);
        ASSERT_EQ(vm().executionHistory().size(), 2u);
        EXPECT_EQ(vm().executionHistory()[0].requestName, lateName);
    }
}

// The latest response, the previous one and the response history are copies
// of the same snapshots: a large body must not be held once per copy.
TEST_F(SendTest, PublishedResponsesShareTheirBodies) {
    makeViewModel();
    int counter = 0;
    execution->onExecute = [&](const FakeRequestExecution::ExecuteCall&, std::stop_token) {
        const int n = counter++;
        return makeSnapshot("r" + std::to_string(n), 200,
                            std::string(4096, static_cast<char>('a' + n)));
    };
    for (int i = 0; i < 2; ++i) {
        vm().sendActiveRequest();
        settle();
    }
    ASSERT_EQ(vm().responseHistory().size(), 2u);
    const HTTPResponseSnapshot& latest = *vm().latestResponse();
    const HTTPResponseSnapshot& previous = *vm().previousResponse();
    EXPECT_EQ(latest.bodyData, std::string(4096, 'b'));
    for (const auto& [shown, kept] : {std::pair(&latest, &vm().responseHistory()[0]),
                                      std::pair(&previous, &vm().responseHistory()[1])}) {
        EXPECT_TRUE(shown->bodyData.sharesStorageWith(kept->bodyData));
        EXPECT_TRUE(shown->bodyText.sharesStorageWith(kept->bodyText));
        EXPECT_TRUE(shown->prettyBodyText.sharesStorageWith(kept->prettyBodyText));
    }
}

TEST_F(SendTest, KeepsTheFortyNewestResponses) {
    makeViewModel();
    int counter = 0;
    execution->onExecute = [&](const FakeRequestExecution::ExecuteCall&, std::stop_token) {
        return makeSnapshot("r" + std::to_string(counter++));
    };
    for (int i = 0; i < 41; ++i) {
        vm().sendActiveRequest();
        settle();
    }
    ASSERT_EQ(vm().responseHistory().size(), 40u);
    EXPECT_EQ(vm().responseHistory().front().requestName, "r40");
    EXPECT_EQ(vm().responseHistory().back().requestName, "r1");
    EXPECT_EQ(vm().executionHistory().size(), 41u);
}

TEST_F(SendTest, AFailedSendRecordsAnErrorEntryAndKeepsTheEarlierResponse) {
    makeViewModel();
    vm().sendActiveRequest();
    settle();
    const auto success = vm().latestResponse();

    execution->onExecute = [](const FakeRequestExecution::ExecuteCall&,
                              std::stop_token) -> HTTPResponseSnapshot {
        throw tarn::PlatformError("NSURLErrorDomain", -1004, "Could not connect to the server.");
    };
    vm().sendActiveRequest();
    clock->advance(1500ms); // the monotonic clock alone times the failure
    settle();

    EXPECT_FALSE(vm().isSending());
    EXPECT_EQ(vm().latestResponse(), success);
    EXPECT_FALSE(vm().previousResponse().has_value());
    EXPECT_EQ(vm().responseHistory().size(), 1u);

    ASSERT_EQ(vm().executionHistory().size(), 2u);
    const RequestHistoryEntry& entry = vm().executionHistory()[0];
    EXPECT_EQ(entry.statusCode, 0);
    EXPECT_EQ(entry.errorMessage, "Could not connect to the server.");
    // Interpolated, without the query rows.
    EXPECT_EQ(entry.sanitizedURL, "https://api.test/first");
    EXPECT_DOUBLE_EQ(entry.durationMs, 1500.0);
    EXPECT_EQ(historyFile(), vm().executionHistory());

    EXPECT_EQ(vm().toastMessage(), "Could not connect to the server.");
    EXPECT_TRUE(vm().toastIsError());
}

TEST_F(SendTest, SecretValuesOfTheEnvironmentNeverReachTheHistory) {
    first.headers = {KeyValueRow{.key = "X-Trace", .value = "{{token}}"}};
    first.url = "https://api.test/?t={{token}}";
    workspaceStore->payload.collections[0].requests[0] = first;
    makeViewModel();

    execution->onExecute = [](const FakeRequestExecution::ExecuteCall&, std::stop_token) {
        return makeSnapshot("First", 200, "echo tok-123");
    };
    vm().sendActiveRequest();
    settle();
    execution->onExecute = [](const FakeRequestExecution::ExecuteCall&,
                              std::stop_token) -> HTTPResponseSnapshot {
        throw tarn::PlatformError("NSURLErrorDomain", -1001, "timed out for tok-123");
    };
    vm().sendActiveRequest();
    settle();

    ASSERT_EQ(historyFile().size(), 2u);
    for (const RequestHistoryEntry& entry : historyFile()) {
        EXPECT_EQ(entry.sanitizedURL.find("tok-123"), std::string::npos) << entry.sanitizedURL;
        EXPECT_EQ(entry.responseSnippet.find("tok-123"), std::string::npos);
        for (const KeyValueRow& row : entry.requestSnapshot.headers)
            EXPECT_EQ(row.value.find("tok-123"), std::string::npos);
    }
}

TEST_F(SendTest, TheTwoHundredAndFirstEntryDropsTheOldest) {
    for (int i = 0; i < 200; ++i) {
        RequestHistoryEntry entry;
        entry.requestName = "old" + std::to_string(i);
        historyFile().push_back(entry);
    }
    makeViewModel();
    execution->onExecute = [](const FakeRequestExecution::ExecuteCall&,
                              std::stop_token) -> HTTPResponseSnapshot {
        throw tarn::PlatformError("Quiller", 1, "down");
    };
    vm().sendActiveRequest();
    settle();
    ASSERT_EQ(vm().executionHistory().size(), 200u);
    EXPECT_EQ(vm().executionHistory().front().requestName, "First");
    EXPECT_EQ(vm().executionHistory().back().requestName, "old198");
}

TEST_F(SendTest, AResultArrivingAfterTheViewModelIsGoneIsDropped) {
    makeViewModel();
    vm().sendActiveRequest();
    viewModel.reset();
    settle();
    EXPECT_EQ(execution->executeCalls.size(), 1u);
    EXPECT_TRUE(historySaves().empty());
}

// --- Reopening, deleting and clearing history -------------------------------------------

TEST_F(SendTest, ReopeningAnEntryWhoseRequestStillExistsSelectsItWhereItIs) {
    makeViewModel();
    vm().setSelectedTab(QuillerTab::history);
    RequestHistoryEntry entry;
    entry.requestName = "Third";
    entry.sourceRequestID = third.id;
    const auto before = vm().collections();

    vm().loadHistoryEntry(entry);

    EXPECT_EQ(vm().selectedCollectionID(), vm().collections()[1].id);
    EXPECT_EQ(vm().selectedRequestID(), third.id);
    EXPECT_EQ(vm().selectedTab(), QuillerTab::client);
    EXPECT_EQ(vm().collections(), before);
    EXPECT_TRUE(workspaceSaves().empty());
    EXPECT_EQ(vm().toastMessage(), "Loaded 'Third' in API Studio.");
    EXPECT_FALSE(vm().toastIsError());
}

TEST_F(SendTest, ReopeningAnEntryWhoseRequestIsGoneAddsItsSnapshotOnTop) {
    struct Case {
        const char* name;
        bool selectSecondCollection;
        std::size_t target;
    };
    for (const Case& c :
         {Case{"selected collection", true, 1}, Case{"selection matches nothing", false, 0}}) {
        SCOPED_TRACE(c.name);
        makeViewModel();
        workspaceSaves().clear();
        vm().setSelectedCollectionID(c.selectSecondCollection ? vm().collections()[1].id
                                                              : tarn::UUID::random());
        RequestHistoryEntry entry;
        entry.requestName = "Deleted";
        entry.sourceRequestID = tarn::UUID::random();
        entry.requestSnapshot.url = "https://api.test/deleted";
        entry.requestSnapshot.method = TarnHTTPMethod::put;

        vm().loadHistoryEntry(entry);

        const auto& requests = vm().collections()[c.target].requests;
        const APIRequestSpec& added = requests.front();
        EXPECT_EQ(added.url, "https://api.test/deleted");
        EXPECT_EQ(added.method, TarnHTTPMethod::put);
        EXPECT_EQ(vm().selectedCollectionID(), vm().collections()[c.target].id);
        EXPECT_EQ(vm().selectedRequestID(), added.id);
        EXPECT_EQ(vm().selectedTab(), QuillerTab::client);
        ASSERT_EQ(workspaceSaves().size(), 1u);
        EXPECT_EQ(workspaceSaves()[0].collections, vm().collections());
        EXPECT_EQ(vm().toastMessage(), "Loaded snapshot '" + added.name + "' into collection.");
    }
}

TEST_F(SendTest, HistoryToastsFollowTheViewModelsLanguage) {
    language = tarn::TarnLanguage::tr;
    makeViewModel();
    RequestHistoryEntry entry;
    entry.requestName = "Third";
    entry.sourceRequestID = third.id;
    vm().loadHistoryEntry(entry);
    EXPECT_EQ(vm().toastMessage(), "'Third' API Stüdyo'da yüklendi.");

    entry.sourceRequestID.reset();
    vm().loadHistoryEntry(entry);
    EXPECT_EQ(vm().toastMessage(), "'" + vm().activeRequest()->name + "' geçmişten yüklendi.");

    vm().clearExecutionHistory();
    EXPECT_EQ(vm().toastMessage(), "İstek geçmişi temizlendi.");
}

TEST_F(SendTest, ReopeningWithoutAnyCollectionDoesNothing) {
    makeViewModel();
    vm().setCollections({});
    notifications.clear();
    RequestHistoryEntry entry;
    entry.sourceRequestID = tarn::UUID::random();
    vm().loadHistoryEntry(entry);
    EXPECT_TRUE(vm().collections().empty());
    EXPECT_TRUE(notifications.empty());
    EXPECT_TRUE(workspaceSaves().empty());
}

TEST_F(SendTest, DeletingAnEntryRewritesTheFileEvenWhenItWasNotThere) {
    RequestHistoryEntry a = historyEntryNamed("a");
    RequestHistoryEntry b = historyEntryNamed("b");
    RequestHistoryEntry c = historyEntryNamed("c");
    historyFile() = {a, b, c};
    makeViewModel();

    vm().deleteHistoryEntry(b.id);
    EXPECT_EQ(vm().executionHistory(), (std::vector<RequestHistoryEntry>{a, c}));
    EXPECT_EQ(historyFile(), vm().executionHistory());

    vm().deleteHistoryEntry(tarn::UUID::random());
    EXPECT_EQ(vm().executionHistory(), (std::vector<RequestHistoryEntry>{a, c}));
    EXPECT_EQ(historySaves().size(), 2u);
    EXPECT_FALSE(vm().toastMessage().has_value());
}

TEST_F(SendTest, ClearingTheHistoryRemovesTheFileAndLogsTheCount) {
    for (const std::size_t count : {std::size_t{3}, std::size_t{0}}) {
        SCOPED_TRACE(count);
        historyFile().assign(count, historyEntryNamed("x"));
        const int clearsBefore = historyClears();
        makeViewModel();

        vm().clearExecutionHistory();

        EXPECT_TRUE(vm().executionHistory().empty());
        EXPECT_EQ(historyClears(), clearsBefore + 1);
        const auto entries = logEntries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries[0].level, tarn::TarnLogLevel::info);
        EXPECT_EQ(entries[0].category, "history");
        EXPECT_EQ(entries[0].message,
                  "Cleared " + std::to_string(count) + " persisted execution history entries");
        EXPECT_EQ(vm().toastMessage(), "Request history cleared.");
    }
}

} // namespace
} // namespace quiller::testing
