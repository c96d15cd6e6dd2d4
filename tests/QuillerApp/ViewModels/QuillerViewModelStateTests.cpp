// Start-up, observation, saving, toasts, the selection lookups and the
// callbacks of the long-lived services.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "QuillerCore/Engine/RequestHistoryStore.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "support/NoError.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quiller::testing {
namespace {

using tarn::testing::noError;
using Field = QuillerViewModel::Field;
using namespace std::chrono_literals;

RequestHistoryEntry historyEntry(std::string name) {
    RequestHistoryEntry entry;
    entry.requestName = std::move(name);
    entry.statusCode = 200;
    return entry;
}

// --- Start-up ------------------------------------------------------------------------

TEST_F(ViewModelTest, StartUpTakesTheStoredWorkspaceAsItIs) {
    const auto first = makeRequest("First");
    const auto second = makeRequest("Second");
    const auto staging = makeEnvironment("Staging", {KeyValueRow{.key = "baseUrl", .value = "x"}});
    const auto production = makeEnvironment("Production", {});
    const MockRouteRule route{.method = "GET", .path = "/ping"};
    workspaceStore->payload = QuillerWorkspacePayload{
        .collections = {makeCollection("A", {first, second}), makeCollection("B", {})},
        .environments = {staging, production},
        .activeEnvironmentID = production.id,
        .mockRoutes = {route},
        .proxyPort = 9091};
    historyFile() = {historyEntry("one"), historyEntry("two")};
    launchAtLogin->enabled = true;
    language = tarn::TarnLanguage::tr;

    makeViewModel();

    EXPECT_EQ(vm().selectedTab(), QuillerTab::client);
    EXPECT_EQ(vm().collections(), workspaceStore->payload.collections);
    EXPECT_EQ(vm().selectedCollectionID(), workspaceStore->payload.collections[0].id);
    EXPECT_EQ(vm().selectedRequestID(), first.id);
    EXPECT_EQ(vm().environments(), workspaceStore->payload.environments);
    EXPECT_EQ(vm().activeEnvironmentID(), production.id);
    EXPECT_EQ(vm().mockRoutes(), std::vector<MockRouteRule>{route});
    EXPECT_EQ(vm().proxyPortText(), "9091");
    EXPECT_EQ(vm().executionHistory(), historyFile());
    EXPECT_TRUE(vm().launchAtLogin());
    EXPECT_EQ(vm().language(), tarn::TarnLanguage::tr);

    // The console fields start from their declared values.
    EXPECT_FALSE(vm().isSending());
    EXPECT_EQ(vm().snippetLanguage(), CodeSnippetLanguage::curl);
    EXPECT_EQ(vm().wsDraftMessage(), R"({"ping":"quiller"})");
    EXPECT_EQ(vm().mcpCommandLine(), "npx -y @modelcontextprotocol/server-everything");
    EXPECT_EQ(vm().mcpArgumentsJSON(), "{}");
    EXPECT_EQ(vm().activeProxyPort(), 0);
    EXPECT_FALSE(vm().isProxyRunning());
    EXPECT_FALSE(vm().toastMessage().has_value());

    // The server learns the routes and the callbacks are in place, but
    // nothing starts, nothing is saved and nothing is logged.
    ASSERT_EQ(mockServer->routeUpdates.size(), 1u);
    EXPECT_EQ(mockServer->routeUpdates[0], std::vector<MockRouteRule>{route});
    EXPECT_TRUE(mockServer->exchangeHandler);
    EXPECT_TRUE(webSocket->messageHandler);
    EXPECT_TRUE(webSocket->disconnectHandler);
    EXPECT_TRUE(mockServer->starts.empty());
    EXPECT_TRUE(webSocket->connects.empty());
    EXPECT_TRUE(workspaceSaves().empty());
    EXPECT_TRUE(historySaves().empty());
    EXPECT_EQ(background->size(), 0u);
    EXPECT_EQ(main->pendingCount(), 0u);
    EXPECT_TRUE(logEntries().empty());
}

TEST_F(ViewModelTest, StartUpFillsEmptyListsWithTheBuiltIns) {
    workspaceStore->payload = QuillerWorkspacePayload{
        .collections = {}, .environments = {}, .activeEnvironmentID = std::nullopt};

    makeViewModel();

    const auto starters = APIRequestCollection::starterCollections();
    const auto defaults = APIEnvironmentProfile::defaultEnvironments();
    ASSERT_FALSE(starters.empty());
    ASSERT_FALSE(defaults.empty());
    ASSERT_EQ(vm().collections().size(), starters.size());
    EXPECT_EQ(vm().selectedCollectionID(), starters[0].id);
    EXPECT_EQ(vm().selectedRequestID(), starters[0].requests.at(0).id);
    ASSERT_EQ(vm().environments().size(), defaults.size());
    EXPECT_EQ(vm().activeEnvironmentID(), defaults[0].id);
    // An empty route list is the user's choice, not a missing one.
    EXPECT_TRUE(vm().mockRoutes().empty());
    EXPECT_TRUE(workspaceSaves().empty());
}

TEST_F(ViewModelTest, ASavedActiveEnvironmentThatNoLongerExistsIsKeptButFallsBack) {
    const auto only = makeEnvironment("Only", {});
    const auto gone = tarn::UUID::random();
    workspaceStore->payload.environments = {only};
    workspaceStore->payload.activeEnvironmentID = gone;

    makeViewModel();

    EXPECT_EQ(vm().activeEnvironmentID(), gone);
    ASSERT_TRUE(vm().activeEnvironment());
    EXPECT_EQ(vm().activeEnvironment()->id, only.id);
}

TEST_F(ViewModelTest, StartsOverRealStoresAndFallsBackOnAnUnreadableWorkspaceFile) {
    tarn::testing::TemporaryFolder folder("quiller-vm-startup");
    tarn::InMemoryKeychain keychain;
    const auto request = makeRequest("Stored request");
    const auto environment = makeEnvironment(
        "Stored", {KeyValueRow{.key = "token", .value = "s3cret", .isSecret = true}});
    {
        QuillerWorkspaceStore writer(folder.path(), keychain);
        ASSERT_TRUE(noError(writer.save(
            QuillerWorkspacePayload{.collections = {makeCollection("Stored", {request})},
                                    .environments = {environment},
                                    .activeEnvironmentID = environment.id,
                                    .mockRoutes = {},
                                    .proxyPort = 9090})));
        ASSERT_TRUE(noError(RequestHistoryStore(folder.path()).save({historyEntry("kept")})));
    }

    auto startOverFolder = [&] {
        QuillerViewModelPorts real = ports();
        real.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(folder.path(), keychain);
        real.historyStore = std::make_shared<HistoryStoreAdapter>(folder.path());
        return std::make_unique<QuillerViewModel>(std::move(real));
    };

    {
        const auto model = startOverFolder();
        ASSERT_EQ(model->collections().size(), 1u);
        EXPECT_EQ(model->selectedRequestID(), request.id);
        ASSERT_EQ(model->environments().size(), 1u);
        // The secret comes back from the keychain.
        EXPECT_EQ(model->environments()[0].variables.at(0).value, "s3cret");
        EXPECT_EQ(model->proxyPortText(), "9090");
        ASSERT_EQ(model->executionHistory().size(), 1u);
        EXPECT_EQ(model->executionHistory()[0].requestName, "kept");
    }

    tarn::files::writeAtomically(folder.path() / "workspace.json", "{ not json");
    const auto model = startOverFolder();
    const auto defaults = QuillerWorkspacePayload::defaults();
    ASSERT_EQ(model->collections().size(), defaults.collections.size());
    EXPECT_EQ(model->collections()[0].id, defaults.collections[0].id);
    EXPECT_EQ(model->activeEnvironmentID(), defaults.activeEnvironmentID);
    EXPECT_EQ(model->proxyPortText(), "8787");
}

// --- Selection lookups ---------------------------------------------------------------

TEST_F(ViewModelTest, TheActiveRequestIsFoundInAnyCollectionElseTheFirstOne) {
    const auto a1 = makeRequest("a1");
    const auto c1 = makeRequest("c1");
    const auto c2 = makeRequest("c2");
    workspaceStore->payload.collections = {makeCollection("A", {a1}), makeCollection("B", {}),
                                           makeCollection("C", {c1, c2})};
    makeViewModel();

    struct Case {
        const char* name;
        std::optional<tarn::UUID> selected;
        std::optional<QuillerViewModel::RequestIndices> expected;
    };
    const std::vector<Case> cases = {
        {"third collection while the first is selected", c2.id, {{2, 1}}},
        {"nothing selected", std::nullopt, {{0, 0}}},
        {"an identifier no request has", tarn::UUID::random(), {{0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vm().setSelectedRequestID(c.selected);
        EXPECT_EQ(vm().activeRequestIndices(), c.expected);
    }
    vm().setSelectedRequestID(c2.id);
    EXPECT_EQ(vm().activeRequest()->name, "c2");
}

TEST_F(ViewModelTest, AFirstCollectionWithoutRequestsGivesNoActiveRequestUntilOneIsSelected) {
    const auto b1 = makeRequest("b1");
    workspaceStore->payload.collections = {makeCollection("Empty", {}), makeCollection("B", {b1})};
    makeViewModel();

    EXPECT_EQ(vm().selectedCollectionID(), workspaceStore->payload.collections[0].id);
    EXPECT_FALSE(vm().selectedRequestID().has_value());
    EXPECT_FALSE(vm().activeRequestIndices().has_value());
    EXPECT_FALSE(vm().activeRequest().has_value());

    vm().setSelectedRequestID(b1.id);
    EXPECT_EQ(vm().activeRequestIndices(), (QuillerViewModel::RequestIndices{1, 0}));
}

TEST_F(ViewModelTest, TheActiveEnvironmentIsNoneOnlyWithoutEnvironments) {
    makeViewModel();
    vm().setEnvironments({});
    EXPECT_FALSE(vm().activeEnvironment().has_value());
}

// --- Observation ---------------------------------------------------------------------

TEST_F(ViewModelTest, EverySetterAnnouncesItsOwnFieldAfterStoringTheValue) {
    makeViewModel();
    std::optional<std::string> seenURL;
    const ScopedObserver observer(vm(), [&](const QuillerViewModel::Change& change) {
        if (change.field == Field::sseURL)
            seenURL = vm().sseURL();
    });

    vm().setSelectedTab(QuillerTab::proxy);
    vm().setSseURL("https://events.test/stream");
    vm().setJsonPathQuery("$.a");
    vm().setJsonPathQuery("$.a"); // the same value is announced again

    EXPECT_EQ(notifications, (std::vector<Field>{Field::selectedTab, Field::sseURL,
                                                 Field::jsonPathQuery, Field::jsonPathQuery}));
    EXPECT_EQ(seenURL, "https://events.test/stream");
}

TEST_F(ViewModelTest, ObserversMayAddAndRemoveObserversWhileBeingNotified) {
    makeViewModel();
    std::vector<std::string> calls;
    QuillerViewModel::ObserverToken selfRemoving = 0;
    QuillerViewModel::ObserverToken added = 0;
    selfRemoving = vm().addObserver([&](const QuillerViewModel::Change&) {
        calls.emplace_back("self-removing");
        vm().removeObserver(selfRemoving);
        added =
            vm().addObserver([&](const QuillerViewModel::Change&) { calls.emplace_back("added"); });
    });
    const auto later =
        vm().addObserver([&](const QuillerViewModel::Change&) { calls.emplace_back("later"); });

    vm().setIsSending(true);
    EXPECT_EQ(calls, (std::vector<std::string>{"self-removing", "later"}));

    calls.clear();
    vm().removeObserver(later);
    vm().setIsSending(false);
    EXPECT_EQ(calls, std::vector<std::string>{"added"});
    // The fixture's own recorder kept hearing every change.
    EXPECT_EQ(notificationCount(Field::isSending), 2u);
    vm().removeObserver(added);
}

// --- Saving ----------------------------------------------------------------------------

TEST_F(ViewModelTest, PersistSavesTheWorkspaceWithThePortReadFromItsText) {
    makeViewModel();
    struct Case {
        const char* text;
        std::uint16_t saved;
    };
    const std::vector<Case> cases = {
        {"9090", 9090},  {"+9090", 9090}, {"0", 0},        {"65535", 65535},
        {"-0", 0},       {"007", 7},      {"", 8787},      {"abc", 8787},
        {" 9090", 8787}, {"9090 ", 8787}, {"65536", 8787}, {"-1", 8787},
        {"90.5", 8787},  {"+", 8787},     {"0x50", 8787},  {"99999999999999999999999", 8787},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        vm().setProxyPortText(c.text);
        vm().persist();
        ASSERT_FALSE(workspaceSaves().empty());
        EXPECT_EQ(workspaceSaves().back().proxyPort, c.saved);
        // The text stays as typed.
        EXPECT_EQ(vm().proxyPortText(), c.text);
    }
}

TEST_F(ViewModelTest, PersistSavesTheFiveWorkspaceValuesAndNothingElse) {
    makeViewModel();
    const auto environment = makeEnvironment("Mine", {});
    vm().setEnvironments({environment});
    vm().setActiveEnvironmentID(environment.id);
    vm().setMockRoutes({MockRouteRule{.path = "/x"}});
    vm().setSelectedTab(QuillerTab::mcp);
    EXPECT_TRUE(workspaceSaves().empty()) << "assigning a field does not save";

    vm().persist();

    ASSERT_EQ(workspaceSaves().size(), 1u);
    const QuillerWorkspacePayload& saved = workspaceSaves()[0];
    EXPECT_EQ(saved.collections, vm().collections());
    EXPECT_EQ(saved.environments, std::vector<APIEnvironmentProfile>{environment});
    EXPECT_EQ(saved.activeEnvironmentID, environment.id);
    EXPECT_EQ(saved.mockRoutes, vm().mockRoutes());
    EXPECT_EQ(saved.proxyPort, 8787);
}

// --- Toasts ----------------------------------------------------------------------------

TEST_F(ViewModelTest, TheLogMasksTheSecretValuesOfEveryEnvironmentFromLoadOn) {
    const auto staging = makeEnvironment(
        "Staging", {KeyValueRow{.key = "token", .value = "s3cr3t/1", .isSecret = true},
                    KeyValueRow{.key = "host", .value = "example.test"}});
    workspaceStore->payload.environments = {
        staging,
        makeEnvironment("Off", {KeyValueRow{.key = "k", .value = "other-key", .isSecret = true}})};
    workspaceStore->payload.activeEnvironmentID = staging.id;
    makeViewModel();
    logger->info("GET https://example.test/s3cr3t%2F1?k=other-key", "http");
    EXPECT_EQ(logEntries().front().message,
              "GET https://example.test/***REDACTED***?k=***REDACTED***");

    // A secret added later is masked from the next event on.
    vm().addVariableToActiveEnvironment("pin", "4711-pin", true);
    logger->info("pin 4711-pin", "http");
    EXPECT_EQ(logEntries().front().message, "pin ***REDACTED***");
}

TEST_F(ViewModelTest, ANewToastReplacesTheCurrentOneAndGetsItsOwnFullTime) {
    makeViewModel();
    vm().showToast("first", true);
    EXPECT_EQ(vm().toastMessage(), "first");
    EXPECT_TRUE(vm().toastIsError());

    advance(1s);
    vm().showToast("second", false);
    EXPECT_FALSE(vm().toastIsError());

    advance(1800ms); // 2.8 s after the first: its hide must not fire
    EXPECT_EQ(vm().toastMessage(), "second");
    advance(999ms);
    EXPECT_EQ(vm().toastMessage(), "second");
    advance(1ms); // 2.8 s after the second
    EXPECT_FALSE(vm().toastMessage().has_value());
    // Hiding leaves the style alone.
    EXPECT_FALSE(vm().toastIsError());
    EXPECT_EQ(main->timerCount(), 0u);
}

TEST_F(ViewModelTest, APendingToastTimerDiesWithTheViewModel) {
    makeViewModel();
    vm().showToast("bye", false);
    viewModel.reset();
    EXPECT_EQ(main->timerCount(), 0u);
    advance(5s);
}

// --- Service callbacks -----------------------------------------------------------------

TEST_F(ViewModelTest, CapturedExchangesArriveOnTheMainThreadNewestFirstAtMostAHundred) {
    makeViewModel();
    for (int i = 0; i < 101; ++i)
        mockServer->capture(CapturedProxyExchange{.path = "/" + std::to_string(i)});
    EXPECT_TRUE(vm().capturedExchanges().empty()) << "applied only on the main thread";

    main->runUntilIdle();

    ASSERT_EQ(vm().capturedExchanges().size(), 100u);
    EXPECT_EQ(vm().capturedExchanges().front().path, "/100");
    EXPECT_EQ(vm().capturedExchanges().back().path, "/1");
}

TEST_F(ViewModelTest, WebSocketFramesAreKeptNewestFirstWithoutLimit) {
    makeViewModel();
    for (int i = 0; i < 150; ++i)
        webSocket->receive("m" + std::to_string(i));
    main->runUntilIdle();
    ASSERT_EQ(vm().wsFrames().size(), 150u);
    EXPECT_EQ(vm().wsFrames().front().payload, "m149");
    EXPECT_FALSE(vm().wsFrames().front().isOutgoing);
}

TEST_F(ViewModelTest, AWebSocketDisconnectShowsItsReasonOnlyWhenThereIsOne) {
    struct Case {
        const char* name;
        std::optional<std::string> reason;
        std::optional<std::string> toast;
    };
    const std::vector<Case> cases = {
        {"no reason", std::nullopt, std::nullopt},
        {"empty reason", std::string(), std::nullopt},
        {"a reason", std::string("Connection reset"), std::string("WebSocket: Connection reset")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeViewModel();
        vm().setIsWSConnected(true);
        webSocket->dropConnection(c.reason);
        main->runUntilIdle();
        EXPECT_FALSE(vm().isWSConnected());
        EXPECT_EQ(vm().toastMessage(), c.toast);
        if (c.toast) {
            EXPECT_TRUE(vm().toastIsError());
        }
    }
}

TEST_F(ViewModelTest, CallbacksArrivingAfterTheViewModelIsGoneAreDropped) {
    makeViewModel();
    mockServer->capture(CapturedProxyExchange{});
    viewModel.reset();
    webSocket->receive("late");
    webSocket->dropConnection(std::string("late"));
    EXPECT_EQ(main->runUntilIdle(), 3u);
}

} // namespace
} // namespace quiller::testing
