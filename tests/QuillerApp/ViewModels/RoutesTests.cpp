#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>

namespace quiller::testing {
namespace {

class RoutesTest : public ViewModelTest {
protected:
    void SetUp() override {
        workspaceStore->payload.collections = {makeCollection("A", {first}),
                                               makeCollection("B", {makeRequest("Other")})};
        workspaceStore->payload.environments = {
            makeEnvironment("Local", {KeyValueRow{.key = "HOST", .value = "h"}}),
            makeEnvironment("Prod", {})};
        workspaceStore->payload.activeEnvironmentID = std::nullopt;
        workspaceStore->payload.mockRoutes = {MockRouteRule{.path = "/a"},
                                              MockRouteRule{.path = "/b"}};
        makeViewModel();
    }

    CapturedProxyExchange capture(std::string method, std::string path, std::string body = {}) {
        CapturedProxyExchange exchange;
        exchange.method = std::move(method);
        exchange.path = std::move(path);
        exchange.requestBody = std::move(body);
        return exchange;
    }

    APIRequestSpec first = makeRequest("First");
};

TEST_F(RoutesTest, ReplayBuildsTheRequestFromTheCapture) {
    struct Case {
        std::string method;
        std::string body;
        std::uint16_t activePort;
        std::string portText;
        TarnHTTPMethod expectedMethod;
        std::string expectedURL;
        RequestBodyKind expectedBodyKind;
    };
    const Case cases[] = {
        {"post", R"({"a":1})", 9090, "8787", TarnHTTPMethod::post, "http://127.0.0.1:9090/v1/echo",
         RequestBodyKind::json},
        {"PROPFIND", "", 0, "abc", TarnHTTPMethod::get, "http://127.0.0.1:8787/v1/echo",
         RequestBodyKind::none},
        {"delete", "", 0, "8080", TarnHTTPMethod::delete_, "http://127.0.0.1:8080/v1/echo",
         RequestBodyKind::none},
        {"GET", "", 0, "", TarnHTTPMethod::get, "http://127.0.0.1:8787/v1/echo",
         RequestBodyKind::none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method + " " + c.portText);
        makeViewModel();
        vm().setActiveProxyPort(c.activePort);
        vm().setProxyPortText(c.portText);
        vm().setSelectedTab(QuillerTab::mcp);
        vm().replayExchangeInClient(capture(c.method, "/v1/echo", c.body));

        const auto& made = vm().collections()[0].requests[0];
        EXPECT_EQ(made.name, "Replay " + c.method + " /v1/echo");
        EXPECT_EQ(made.method, c.expectedMethod);
        EXPECT_EQ(made.url, c.expectedURL);
        EXPECT_EQ(made.bodyKind, c.expectedBodyKind);
        EXPECT_EQ(made.bodyText, c.body);
        EXPECT_EQ(made.graphQLVariables, "{}");
        EXPECT_EQ(vm().selectedRequestID(), made.id);
        EXPECT_EQ(vm().selectedTab(), QuillerTab::client);
    }
}

TEST_F(RoutesTest, ReplayGoesOnTopOfTheSelectedCollectionWithTheCapturedHeaders) {
    vm().setSelectedCollectionID(vm().collections()[1].id);
    auto exchange = capture("GET", "/x");
    exchange.requestHeaders = {{"Accept", "text/plain"}, {"X-Trace", "1"}};
    const auto savesBefore = workspaceSaves().size();
    vm().replayExchangeInClient(exchange);

    const auto& requests = vm().collections()[1].requests;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].name, "Other");
    ASSERT_EQ(requests[0].headers.size(), 2u);
    EXPECT_EQ(requests[0].headers[0].key, "Accept");
    EXPECT_EQ(requests[0].headers[0].value, "text/plain");
    EXPECT_EQ(requests[0].headers[1].key, "X-Trace");
    EXPECT_TRUE(requests[0].headers[1].isEnabled);
    EXPECT_FALSE(requests[0].headers[1].isSecret);
    EXPECT_TRUE(requests[0].queryParams.empty());
    EXPECT_EQ(requests[0].auth, RequestAuthConfig{});
    ASSERT_EQ(requests[0].assertions.size(), 1u);
    EXPECT_EQ(requests[0].assertions[0].kind, AssertionKind::statusEquals);
    EXPECT_EQ(requests[0].assertions[0].expectedValue, "200");
    EXPECT_EQ(vm().collections()[0].requests.size(), 1u);
    ASSERT_EQ(workspaceSaves().size(), savesBefore + 1);
    EXPECT_EQ(workspaceSaves().back().collections[1].requests.size(), 2u);
    EXPECT_FALSE(vm().toastMessage());
}

TEST_F(RoutesTest, ReplayWithoutAnyCollectionDoesNothing) {
    vm().setCollections({});
    vm().setSelectedTab(QuillerTab::mcp);
    vm().replayExchangeInClient(capture("GET", "/x"));
    EXPECT_TRUE(vm().collections().empty());
    EXPECT_EQ(vm().selectedTab(), QuillerTab::mcp);
    EXPECT_TRUE(workspaceSaves().empty());
}

TEST_F(RoutesTest, RemovingAMockRouteUpdatesTheServerAndSavesEvenWithoutAMatch) {
    const auto routes = vm().mockRoutes();
    vm().removeMockRoute(routes[0]);
    ASSERT_EQ(vm().mockRoutes().size(), 1u);
    EXPECT_EQ(vm().mockRoutes()[0].path, "/b");
    ASSERT_FALSE(mockServer->routeUpdates.empty());
    EXPECT_EQ(mockServer->routeUpdates.back(), vm().mockRoutes());
    EXPECT_EQ(workspaceSaves().back().mockRoutes, vm().mockRoutes());

    const auto updates = mockServer->routeUpdates.size();
    const auto saves = workspaceSaves().size();
    vm().removeMockRoute(MockRouteRule{.path = "/b"});
    EXPECT_EQ(vm().mockRoutes().size(), 1u);
    EXPECT_EQ(mockServer->routeUpdates.size(), updates + 1);
    EXPECT_EQ(workspaceSaves().size(), saves + 1);
}

TEST_F(RoutesTest, VariablesNeedAnActiveEnvironmentIdAndANonBlankKey) {
    vm().setActiveEnvironmentID(std::nullopt);
    const auto saves = workspaceSaves().size();
    // No id set: no fallback to the first environment.
    vm().addVariableToActiveEnvironment("KEY", "v", false);
    vm().removeVariable(vm().environments()[0].variables[0].id);
    EXPECT_EQ(vm().environments()[0].variables.size(), 1u);

    vm().setActiveEnvironmentID(vm().environments()[1].id);
    vm().addVariableToActiveEnvironment(" \n\t", "v", false);
    EXPECT_TRUE(vm().environments()[1].variables.empty());
    EXPECT_EQ(workspaceSaves().size(), saves);
    EXPECT_FALSE(vm().toastMessage());
}

TEST_F(RoutesTest, AddingAppendsATrimmedKeyEvenWhenItExistsAndRemovingDropsTheRow) {
    vm().setActiveEnvironmentID(vm().environments()[1].id);
    vm().addVariableToActiveEnvironment("  TOKEN \n", " secret ", true);
    vm().addVariableToActiveEnvironment("TOKEN", "plain", false);

    const auto& rows = vm().environments()[1].variables;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].key, "TOKEN");
    EXPECT_EQ(rows[0].value, " secret ");
    EXPECT_TRUE(rows[0].isSecret);
    EXPECT_TRUE(rows[0].isEnabled);
    EXPECT_FALSE(rows[1].isSecret);
    EXPECT_EQ(workspaceSaves().back().environments[1].variables.size(), 2u);

    const auto removed = rows[0].id;
    vm().removeVariable(removed);
    ASSERT_EQ(vm().environments()[1].variables.size(), 1u);
    EXPECT_EQ(vm().environments()[1].variables[0].value, "plain");
    EXPECT_EQ(workspaceSaves().back().environments[1].variables.size(), 1u);
    EXPECT_EQ(vm().environments()[0].variables.size(), 1u);
}

TEST_F(RoutesTest, LaunchAtLoginMirrorsTheRealStateAndReportsARefusal) {
    vm().toggleLaunchAtLogin(true);
    EXPECT_TRUE(vm().launchAtLogin());
    EXPECT_FALSE(vm().toastMessage());

    launchAtLogin->refuses = true;
    vm().toggleLaunchAtLogin(false);
    EXPECT_TRUE(vm().launchAtLogin());
    EXPECT_TRUE(vm().toastIsError());
    EXPECT_EQ(vm().toastMessage(), "Launch at Login requires a writable autostart entry.");
    EXPECT_EQ(launchAtLogin->requests, (std::vector<bool>{true, false}));
}

} // namespace
} // namespace quiller::testing
