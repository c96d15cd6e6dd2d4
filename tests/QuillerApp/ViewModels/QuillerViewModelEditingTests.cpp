// Adding and deleting requests, and the mock-server switch.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "support/ViewModelFakes.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quiller::testing {
namespace {

class EditingTest : public ViewModelTest {
protected:
    EditingTest() {
        workspaceStore->payload.collections = {makeCollection("A", {a1, a2, a3}),
                                               makeCollection("B", {b1}),
                                               makeCollection("C", {c1, c2})};
    }

    APIRequestSpec a1 = makeRequest("a1"), a2 = makeRequest("a2"), a3 = makeRequest("a3");
    APIRequestSpec b1 = makeRequest("b1");
    APIRequestSpec c1 = makeRequest("c1"), c2 = makeRequest("c2");
};

std::vector<std::string> namesOf(const APIRequestCollection& collection) {
    std::vector<std::string> names;
    for (const auto& request : collection.requests)
        names.push_back(request.name);
    return names;
}

// --- Adding -------------------------------------------------------------------------

TEST_F(EditingTest, ANewRequestGoesAtTheEndOfTheSelectedCollectionWithTheCreationDefaults) {
    makeViewModel();
    vm().setSelectedCollectionID(vm().collections()[2].id);

    vm().addRequestToActiveCollection();

    const auto& collection = vm().collections()[2];
    ASSERT_EQ(collection.requests.size(), 3u);
    const APIRequestSpec& added = collection.requests.back();
    EXPECT_EQ(added.name, "New Request");
    EXPECT_EQ(added.method, TarnHTTPMethod::get);
    EXPECT_EQ(added.url, "{{baseUrl}}/");
    EXPECT_TRUE(added.queryParams.empty());
    ASSERT_EQ(added.headers.size(), 1u);
    EXPECT_EQ(added.headers[0].key, "Accept");
    EXPECT_EQ(added.headers[0].value, "application/json");
    EXPECT_TRUE(added.headers[0].isEnabled);
    EXPECT_FALSE(added.headers[0].isSecret);
    EXPECT_EQ(added.auth, RequestAuthConfig{});
    EXPECT_EQ(added.auth.apiKeyHeaderName, "X-API-Key");
    EXPECT_EQ(added.bodyKind, RequestBodyKind::none);
    EXPECT_EQ(added.bodyText, "");
    EXPECT_EQ(added.graphQLVariables, "{}");
    ASSERT_EQ(added.assertions.size(), 1u);
    EXPECT_EQ(added.assertions[0].kind, AssertionKind::statusEquals);
    EXPECT_EQ(added.assertions[0].targetPath, "");
    EXPECT_EQ(added.assertions[0].expectedValue, "200");
    EXPECT_TRUE(added.assertions[0].isEnabled);

    EXPECT_EQ(vm().selectedCollectionID(), collection.id);
    EXPECT_EQ(vm().selectedRequestID(), added.id);
    ASSERT_EQ(workspaceSaves().size(), 1u);
    EXPECT_EQ(workspaceSaves()[0].collections, vm().collections());
    EXPECT_FALSE(vm().toastMessage().has_value());
}

TEST_F(EditingTest, AddingWithASelectionThatMatchesNothingUsesTheFirstCollection) {
    makeViewModel();
    vm().setSelectedCollectionID(tarn::UUID::random());

    vm().addRequestToActiveCollection();
    vm().addRequestToActiveCollection();

    const auto& first = vm().collections()[0];
    EXPECT_EQ(namesOf(first),
              (std::vector<std::string>{"a1", "a2", "a3", "New Request", "New Request"}));
    EXPECT_NE(first.requests[3].id, first.requests[4].id);
    EXPECT_EQ(vm().selectedCollectionID(), first.id);
    EXPECT_EQ(vm().selectedRequestID(), first.requests[4].id);
}

TEST_F(EditingTest, TheNewRequestsNameIsStoredInTheLanguageOfTheMoment) {
    language = tarn::TarnLanguage::tr;
    makeViewModel();
    vm().addRequestToActiveCollection();
    vm().setLanguage(tarn::TarnLanguage::en);
    EXPECT_EQ(vm().collections()[0].requests.back().name, "Yeni İstek");
}

TEST_F(EditingTest, AddingWithoutAnyCollectionDoesNothing) {
    makeViewModel();
    vm().setCollections({});
    vm().addRequestToActiveCollection();
    EXPECT_TRUE(vm().collections().empty());
    EXPECT_TRUE(workspaceSaves().empty());
}

// --- Deleting -----------------------------------------------------------------------

TEST_F(EditingTest, DeletingFollowsTheCollectionAndKeepsTheLastRequest) {
    struct Case {
        const char* name;
        std::size_t collection;            // SIZE_MAX: an unknown collection
        std::optional<tarn::UUID> request; // nothing: an unknown request
        std::optional<tarn::UUID> selectedBefore;
        std::vector<std::string> remaining; // of the collection (A when unknown)
        std::optional<tarn::UUID> selectedAfter;
        bool saves;
    };
    const std::vector<Case> cases = {
        {"the selected request of three", 0, a1.id, a1.id, {"a2", "a3"}, a2.id, true},
        {"a request in the middle", 0, a2.id, a1.id, {"a1", "a3"}, a1.id, true},
        {"the selected last one of three", 0, a3.id, a3.id, {"a1", "a2"}, a1.id, true},
        {"the only request", 1, b1.id, b1.id, {"b1"}, b1.id, false},
        {"an unknown collection", SIZE_MAX, a1.id, a1.id, {"a1", "a2", "a3"}, a1.id, false},
        {"an unknown request", 2, std::nullopt, c1.id, {"c1", "c2"}, c1.id, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeViewModel();
        workspaceSaves().clear();
        vm().setSelectedRequestID(c.selectedBefore);
        const auto selectedCollection = vm().selectedCollectionID();
        const std::size_t shown = c.collection == SIZE_MAX ? 0 : c.collection;
        const tarn::UUID collectionID =
            c.collection == SIZE_MAX ? tarn::UUID::random() : vm().collections()[c.collection].id;

        vm().deleteRequest(c.request.value_or(tarn::UUID::random()), collectionID);

        EXPECT_EQ(namesOf(vm().collections()[shown]), c.remaining);
        EXPECT_EQ(vm().selectedRequestID(), c.selectedAfter);
        EXPECT_EQ(vm().selectedCollectionID(), selectedCollection);
        EXPECT_EQ(workspaceSaves().size(), c.saves ? 1u : 0u);
        if (c.saves) {
            EXPECT_EQ(workspaceSaves()[0].collections, vm().collections());
        }
    }
}

// --- Mock-server switch -------------------------------------------------------------

TEST_F(EditingTest, StartingTheServerListensOnThePortTextAndSavesIt) {
    workspaceStore->payload.mockRoutes = {MockRouteRule{.path = "/a"}};
    makeViewModel();
    const std::vector<MockRouteRule> edited = {MockRouteRule{.path = "/b"}};
    vm().setMockRoutes(edited);
    vm().setProxyPortText("9091");

    vm().toggleProxyServer();

    ASSERT_EQ(mockServer->starts, std::vector<std::uint16_t>{9091});
    // The routes as they are now reach the server before it starts.
    EXPECT_EQ(mockServer->routeUpdates.back(), edited);
    EXPECT_TRUE(vm().isProxyRunning());
    EXPECT_EQ(vm().activeProxyPort(), 9091);
    ASSERT_EQ(workspaceSaves().size(), 1u);
    EXPECT_EQ(workspaceSaves()[0].proxyPort, 9091);
    EXPECT_EQ(vm().toastMessage(), "Listening on http://127.0.0.1:9091");
    EXPECT_FALSE(vm().toastIsError());

    vm().toggleProxyServer();

    EXPECT_EQ(mockServer->stops, 1);
    EXPECT_FALSE(vm().isProxyRunning());
    EXPECT_EQ(vm().activeProxyPort(), 0);
    EXPECT_EQ(workspaceSaves().size(), 1u) << "stopping saves nothing";
    EXPECT_EQ(vm().toastMessage(), "Stopped local HTTP mock/capture server.");
}

TEST_F(EditingTest, ThePortComesFromTheTextOrFallsBackTo8787) {
    struct Case {
        const char* text;
        std::uint16_t requested;
        std::uint16_t shown;
    };
    for (const Case& c : {Case{"", 8787, 8787}, Case{"http", 8787, 8787}, Case{"0", 0, 49152}}) {
        SCOPED_TRACE(c.text);
        makeViewModel();
        mockServer->starts.clear();
        vm().setProxyPortText(c.text);
        vm().toggleProxyServer();
        EXPECT_EQ(mockServer->starts, std::vector<std::uint16_t>{c.requested});
        // Port 0 asks for any free port: the one the server took is shown.
        EXPECT_EQ(vm().activeProxyPort(), c.shown);
        EXPECT_EQ(vm().toastMessage(), "Listening on http://127.0.0.1:" + std::to_string(c.shown));
    }
}

TEST_F(EditingTest, AServerThatCannotStartLeavesTheSwitchOff) {
    mockServer->startError = "Address already in use";
    makeViewModel();
    vm().toggleProxyServer();
    EXPECT_FALSE(vm().isProxyRunning());
    EXPECT_EQ(vm().activeProxyPort(), 0);
    EXPECT_TRUE(workspaceSaves().empty());
    EXPECT_EQ(vm().toastMessage(), "Address already in use");
    EXPECT_TRUE(vm().toastIsError());
}

TEST_F(EditingTest, ServerToastsFollowTheViewModelsLanguage) {
    language = tarn::TarnLanguage::tr;
    makeViewModel();
    vm().setProxyPortText("9090");
    vm().toggleProxyServer();
    EXPECT_EQ(vm().toastMessage(), "Dinleniyor: http://127.0.0.1:9090");
    vm().toggleProxyServer();
    EXPECT_EQ(vm().toastMessage(), "Yerel HTTP mock/yakalama sunucusu durduruldu.");
}

} // namespace
} // namespace quiller::testing
