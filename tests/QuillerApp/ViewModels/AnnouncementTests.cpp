// What every operation announces: the fields, and for the list fields the rows
// inserted, removed or updated. The views update in place from exactly these
// records, so a missing, extra or misplaced one is a visible fault.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace quiller::testing {
namespace {

using Field = QuillerViewModel::Field;
using Change = QuillerViewModel::Change;
using Kind = ListChangeKind;
using Changes = std::vector<Change>;

Change plain(Field field) {
    return Change{.field = field};
}

Change reset(Field field) {
    return Change{.field = field, .kind = Kind::reset};
}

Change rows(Field field, Kind kind, std::size_t first, std::size_t count,
            std::optional<tarn::UUID> identity = std::nullopt,
            std::optional<tarn::UUID> parent = std::nullopt) {
    return Change{field, kind, first, count, identity, parent};
}

// The two fields every toast sets.
const Changes toast = {plain(Field::toastMessage), plain(Field::toastIsError)};

Changes concat(std::initializer_list<Changes> parts) {
    Changes all;
    for (const Changes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class AnnouncementTest : public ViewModelTest {
protected:
    AnnouncementTest() {
        workspaceStore->payload = QuillerWorkspacePayload{
            .collections = {makeCollection("A", {a1, a2}), makeCollection("B", {b1})},
            .environments = {makeEnvironment("E1", {v1, v2}), makeEnvironment("E2", {})},
            .activeEnvironmentID = std::nullopt,
            .mockRoutes = {route1, route2}};
        workspaceStore->payload.activeEnvironmentID = workspaceStore->payload.environments[0].id;
        makeViewModel();
        collectionA = vm().collections()[0].id;
        collectionB = vm().collections()[1].id;
        environment1 = vm().environments()[0].id;
        environment2 = vm().environments()[1].id;
    }

    // What the next operation announces.
    Changes during(const std::function<void()>& operation) {
        changes.clear();
        operation();
        return changes;
    }

    APIRequestSpec a1 = makeRequest("a1");
    APIRequestSpec a2 = makeRequest("a2");
    APIRequestSpec b1 = makeRequest("b1");
    KeyValueRow v1{.key = "baseUrl", .value = "https://api.test"};
    KeyValueRow v2{.key = "token", .value = "t", .isSecret = true};
    MockRouteRule route1{.method = "GET", .path = "/one"};
    MockRouteRule route2{.method = "GET", .path = "/two"};
    tarn::UUID collectionA, collectionB, environment1, environment2;
};

// --- The table of fields and the setters -----------------------------------------

TEST_F(AnnouncementTest, TheFieldTableNamesEveryCaseInOrder) {
    namespace fields = viewModelFields;
    EXPECT_EQ(fields::fieldName(Field::selectedTab), "selectedTab");
    EXPECT_EQ(fields::fieldName(Field::toastIsError), "toastIsError");
    EXPECT_EQ(fields::fieldIndex(Field::toastIsError) + 1, QuillerViewModel::fieldCount);
    EXPECT_EQ(fields::fieldName(Field::capturedExchanges), "capturedExchanges");
}

TEST_F(AnnouncementTest, SettersAnnounceTheirFieldAndAListSetterAResetOfIt) {
    struct Case {
        const char* name;
        std::function<void()> set;
        Change expected;
    };
    const std::vector<Case> cases = {
        {"flag", [&] { vm().setIsSending(true); }, plain(Field::isSending)},
        {"text", [&] { vm().setJsonPathQuery("$.a"); }, plain(Field::jsonPathQuery)},
        {"optional", [&] { vm().setSelectedRequestID(std::nullopt); },
         plain(Field::selectedRequestID)},
        {"collections", [&] { vm().setCollections({}); }, reset(Field::collections)},
        {"environments", [&] { vm().setEnvironments({}); }, reset(Field::environments)},
        {"events", [&] { vm().setSseEvents({}); }, reset(Field::sseEvents)},
        {"frames", [&] { vm().setWsFrames({}); }, reset(Field::wsFrames)},
        {"tools", [&] { vm().setMcpTools({}); }, reset(Field::mcpTools)},
        {"routes", [&] { vm().setMockRoutes({}); }, reset(Field::mockRoutes)},
        {"exchanges", [&] { vm().setCapturedExchanges({}); }, reset(Field::capturedExchanges)},
        {"responses", [&] { vm().setResponseHistory({}); }, reset(Field::responseHistory)},
        {"history", [&] { vm().setExecutionHistory({}); }, reset(Field::executionHistory)},
        {"run results", [&] { vm().setCollectionRunResults({}); },
         reset(Field::collectionRunResults)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(during(c.set), Changes{c.expected});
    }
}

// --- Edits keyed by identity ------------------------------------------------------

TEST_F(AnnouncementTest, KeyedEditsChangeOneRowInPlaceAndNameIt) {
    EXPECT_EQ(during([&] {
                  EXPECT_TRUE(vm().updateRequest(b1.id, [](APIRequestSpec& request) {
                      request.url = "https://edited.test/";
                      request.id = tarn::UUID::random(); // an identity is not editable
                  }));
              }),
              Changes{rows(Field::collections, Kind::updated, 0, 1, b1.id, collectionB)});
    EXPECT_EQ(vm().collections()[1].requests[0].url, "https://edited.test/");
    EXPECT_EQ(vm().collections()[1].requests[0].id, b1.id);
    EXPECT_EQ(vm().collections()[0].requests[1], a2);

    EXPECT_EQ(during([&] {
                  EXPECT_TRUE(vm().updateEnvironment(
                      environment2, [](APIEnvironmentProfile& e) { e.name = "Renamed"; }));
              }),
              Changes{rows(Field::environments, Kind::updated, 1, 1, environment2)});
    EXPECT_EQ(vm().environments()[1].name, "Renamed");

    EXPECT_EQ(during([&] {
                  EXPECT_TRUE(
                      vm().updateVariable(v2.id, [](KeyValueRow& row) { row.value = "t2"; }));
              }),
              Changes{rows(Field::environments, Kind::updated, 1, 1, v2.id, environment1)});
    EXPECT_EQ(vm().environments()[0].variables[1].value, "t2");

    // An identifier nothing has: no edit, no announcement.
    const auto unknown = tarn::UUID::random();
    EXPECT_EQ(during([&] {
                  EXPECT_FALSE(vm().updateRequest(unknown, [](APIRequestSpec&) { FAIL(); }));
                  EXPECT_FALSE(
                      vm().updateEnvironment(unknown, [](APIEnvironmentProfile&) { FAIL(); }));
                  EXPECT_FALSE(vm().updateVariable(unknown, [](KeyValueRow&) { FAIL(); }));
              }),
              Changes{});
    EXPECT_TRUE(workspaceSaves().empty()) << "an edit saves only through persist()";
}

// --- Collections, requests and environments ---------------------------------------

TEST_F(AnnouncementTest, RequestOperationsAnnounceTheRowsOfTheirCollection) {
    Changes heard = during([&] { vm().addRequestToActiveCollection(); });
    const tarn::UUID added = vm().collections()[0].requests[2].id;
    EXPECT_EQ(heard,
              (Changes{rows(Field::collections, Kind::inserted, 2, 1, added, collectionA),
                       plain(Field::selectedCollectionID), plain(Field::selectedRequestID)}));

    EXPECT_EQ(during([&] { vm().deleteRequest(added, collectionA); }),
              (Changes{rows(Field::collections, Kind::removed, 2, 1, added, collectionA),
                       plain(Field::selectedRequestID)}));
    // Another request than the selected one: the selection stays unannounced.
    EXPECT_EQ(during([&] { vm().deleteRequest(a2.id, collectionA); }),
              Changes{rows(Field::collections, Kind::removed, 1, 1, a2.id, collectionA)});
    // The last request of a collection stays, and nothing is announced.
    EXPECT_EQ(during([&] { vm().deleteRequest(a1.id, collectionA); }), Changes{});

    heard = during([&] { vm().importCurl("curl https://curl.test/x"); });
    const tarn::UUID imported = vm().collections()[0].requests[0].id;
    EXPECT_EQ(heard, concat({{rows(Field::collections, Kind::inserted, 0, 1, imported, collectionA),
                              plain(Field::selectedRequestID)},
                             toast}));

    heard = during([&] {
        vm().replayExchangeInClient(CapturedProxyExchange{.method = "POST", .path = "/p"});
    });
    const tarn::UUID replayed = vm().collections()[0].requests[0].id;
    EXPECT_EQ(heard, (Changes{rows(Field::collections, Kind::inserted, 0, 1, replayed, collectionA),
                              plain(Field::selectedRequestID), plain(Field::selectedTab)}));

    heard = during([&] {
        vm().importOpenAPIOrPostman(R"({"openapi":"3.0.0","info":{"title":"Pets"},)"
                                    R"("paths":{"/pets":{"get":{}}}})");
    });
    const tarn::UUID collection = vm().collections()[0].id;
    EXPECT_EQ(heard, concat({{plain(Field::selectedCollectionID), plain(Field::selectedRequestID),
                              rows(Field::collections, Kind::inserted, 0, 1, collection)},
                             toast}));
}

TEST_F(AnnouncementTest, VariableOperationsAnnounceTheRowsOfTheirEnvironment) {
    Changes heard = during([&] { vm().addVariableToActiveEnvironment(" key ", "value", false); });
    const tarn::UUID added = vm().environments()[0].variables[2].id;
    EXPECT_EQ(heard, Changes{rows(Field::environments, Kind::inserted, 2, 1, added, environment1)});

    EXPECT_EQ(during([&] { vm().removeVariable(added); }),
              Changes{rows(Field::environments, Kind::removed, 2, 1, added, environment1)});
    EXPECT_EQ(during([&] { vm().removeVariable(tarn::UUID::random()); }), Changes{});

    heard = during([&] { vm().importDotEnv("baseUrl=https://new.test\nFRESH=1\n", "clipboard"); });
    const tarn::UUID fresh = vm().environments()[0].variables[2].id;
    EXPECT_EQ(heard, concat({{rows(Field::environments, Kind::updated, 0, 1, v1.id, environment1),
                              rows(Field::environments, Kind::inserted, 2, 1, fresh, environment1)},
                             toast}));
}

TEST_F(AnnouncementTest, RemovingAMockRouteAnnouncesItsRow) {
    EXPECT_EQ(during([&] { vm().removeMockRoute(route2); }),
              Changes{rows(Field::mockRoutes, Kind::removed, 1, 1, route2.id)});
    EXPECT_EQ(during([&] { vm().removeMockRoute(route2); }), Changes{});
}

// --- Sending and the history ----------------------------------------------------------

TEST_F(AnnouncementTest, ASuccessfulSendPrependsToBothListsAndDropsWhatFallsOff) {
    std::deque<HTTPResponseSnapshot> full;
    for (std::size_t i = 0; i < QuillerViewModel::maxResponseHistory; ++i)
        full.push_back(makeSnapshot("old"));
    vm().setResponseHistory(full);
    const HTTPResponseSnapshot first = full.front();

    Changes heard = during([&] {
        vm().sendActiveRequest();
        settle();
    });
    const tarn::UUID response = vm().latestResponse()->id;
    const tarn::UUID entry = vm().executionHistory()[0].id;
    EXPECT_EQ(heard, (Changes{plain(Field::isSending), plain(Field::previousResponse),
                              plain(Field::latestResponse),
                              rows(Field::responseHistory, Kind::inserted, 0, 1, response),
                              rows(Field::responseHistory, Kind::removed, 40, 1),
                              rows(Field::executionHistory, Kind::inserted, 0, 1, entry),
                              plain(Field::isSending)}));
    EXPECT_EQ(vm().responseHistory()[1], first);
}

TEST_F(AnnouncementTest, AFailedSendAnnouncesOnlyItsHistoryEntry) {
    execution->onExecute = [](const auto&, std::stop_token) -> HTTPResponseSnapshot {
        throw std::runtime_error("refused");
    };
    const Changes heard = during([&] {
        vm().sendActiveRequest();
        settle();
    });
    const tarn::UUID entry = vm().executionHistory()[0].id;
    EXPECT_EQ(heard, concat({{plain(Field::isSending),
                              rows(Field::executionHistory, Kind::inserted, 0, 1, entry),
                              plain(Field::isSending)},
                             toast}));
}

TEST_F(AnnouncementTest, HistoryOperationsAnnounceTheirRows) {
    vm().sendActiveRequest();
    settle();
    vm().setSelectedRequestID(b1.id);
    vm().sendActiveRequest();
    settle();
    const RequestHistoryEntry newest = vm().executionHistory()[0];
    const RequestHistoryEntry oldest = vm().executionHistory()[1];

    EXPECT_EQ(during([&] { vm().deleteHistoryEntry(oldest.id); }),
              Changes{rows(Field::executionHistory, Kind::removed, 1, 1, oldest.id)});

    // The source request still exists: only the selection moves.
    EXPECT_EQ(during([&] { vm().loadHistoryEntry(newest); }),
              concat({{plain(Field::selectedCollectionID), plain(Field::selectedRequestID),
                       plain(Field::selectedTab)},
                      toast}));

    // Without it, a replayed copy goes on top of the selected collection.
    RequestHistoryEntry orphan = newest;
    orphan.sourceRequestID = tarn::UUID::random();
    const Changes heard = during([&] { vm().loadHistoryEntry(orphan); });
    const tarn::UUID copy = vm().collections()[1].requests[0].id;
    EXPECT_EQ(heard, concat({{rows(Field::collections, Kind::inserted, 0, 1, copy, collectionB),
                              plain(Field::selectedCollectionID), plain(Field::selectedRequestID),
                              plain(Field::selectedTab)},
                             toast}));

    EXPECT_EQ(during([&] { vm().clearExecutionHistory(); }),
              concat({{reset(Field::executionHistory)}, toast}));
}

// --- Streams and services ----------------------------------------------------------------

TEST_F(AnnouncementTest, StreamRowsArriveOnTopAndTheCaptureListDropsItsOldest) {
    for (std::size_t i = 0; i < QuillerViewModel::maxCapturedExchanges; ++i)
        mockServer->capture(CapturedProxyExchange{.path = "/old"});
    main->runUntilIdle();
    const CapturedProxyExchange exchange{.path = "/new"};
    EXPECT_EQ(during([&] {
                  mockServer->capture(exchange);
                  main->runUntilIdle();
              }),
              (Changes{rows(Field::capturedExchanges, Kind::inserted, 0, 1, exchange.id),
                       rows(Field::capturedExchanges, Kind::removed, 100, 1)}));

    Changes heard = during([&] {
        webSocket->receive("hello");
        main->runUntilIdle();
    });
    EXPECT_EQ(heard,
              Changes{rows(Field::wsFrames, Kind::inserted, 0, 1, vm().wsFrames().front().id)});

    std::vector<tarn::UUID> sent;
    execution->onStream = [&](const auto&, const auto& onEvent, std::stop_token) {
        for (const char* data : {"one", "two"}) {
            SSEStreamEvent event{.data = data};
            sent.push_back(event.id);
            onEvent(event);
        }
    };
    heard = during([&] {
        vm().toggleSSEStream();
        settle();
    });
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(heard, (Changes{reset(Field::sseEvents), plain(Field::isSSEStreaming),
                              rows(Field::sseEvents, Kind::inserted, 0, 1, sent[0]),
                              rows(Field::sseEvents, Kind::inserted, 0, 1, sent[1]),
                              plain(Field::isSSEStreaming)}));
}

TEST_F(AnnouncementTest, ConsoleJobsAnnounceTheirFlagAroundAResetOfTheirResults) {
    struct Case {
        const char* name;
        std::function<void()> run;
        Changes expected;
    };
    const std::vector<Case> cases = {
        {"collection run", [&] { vm().runActiveCollectionSuite(); },
         concat({{plain(Field::isRunningCollection), reset(Field::collectionRunResults),
                  plain(Field::isRunningCollection)},
                 toast})},
        {"load benchmark", [&] { vm().runLoadBenchmark(10, 2); },
         concat({{plain(Field::isBenchmarking), plain(Field::latestBenchmark),
                  plain(Field::isBenchmarking)},
                 toast})},
        {"MCP discovery", [&] { vm().discoverMCPTools(); },
         concat({{plain(Field::isInspectingMCP), reset(Field::mcpTools), plain(Field::mcpRawLog),
                  plain(Field::isInspectingMCP)},
                 toast})},
        {"GraphQL introspection", [&] { vm().fetchGraphQLSchema(); },
         concat({{plain(Field::isIntrospectingGraphQL), plain(Field::graphQLIntrospectionError),
                  plain(Field::showGraphQLSchemaExplorer), plain(Field::graphQLSchema),
                  plain(Field::isIntrospectingGraphQL)},
                 toast})},
        {"mock server start", [&] { vm().toggleProxyServer(); },
         concat({{plain(Field::activeProxyPort), plain(Field::isProxyRunning)}, toast})},
        {"mock server stop", [&] { vm().toggleProxyServer(); },
         concat({{plain(Field::isProxyRunning), plain(Field::activeProxyPort)}, toast})},
        {"WebSocket connect", [&] { vm().toggleWebSocket(); },
         concat({{plain(Field::isWSConnected)}, toast})},
        {"launch at login", [&] { vm().toggleLaunchAtLogin(true); },
         Changes{plain(Field::launchAtLogin)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(during([&] {
                      c.run();
                      settle();
                  }),
                  c.expected);
    }
}

} // namespace
} // namespace quiller::testing
