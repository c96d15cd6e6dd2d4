#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RuntimeRecords.h"

#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace {

using quiller::APIEnvironmentProfile;
using quiller::APIRequestCollection;
using quiller::AssertionKind;
using quiller::MockRouteRule;

std::string idText(const tarn::UUID& id) {
    return id.string();
}

TEST(StarterData, SampleCollectionLayout) {
    const auto collections = APIRequestCollection::starterCollections();
    ASSERT_EQ(collections.size(), 1u);
    const APIRequestCollection& starter = collections[0];
    EXPECT_EQ(idText(starter.id), "33333333-3333-4333-8333-333333333301");
    EXPECT_EQ(starter.name, "Starter Samples");
    ASSERT_EQ(starter.requests.size(), 3u);

    struct Expected {
        const char* id;
        const char* name;
        quiller::TarnHTTPMethod method;
        const char* url;
        std::vector<std::pair<std::string, std::string>> headers;
        quiller::RequestBodyKind bodyKind;
        std::vector<std::pair<AssertionKind, std::string>> assertions;
    };
    const Expected expected[] = {
        {"33333333-3333-4333-8333-333333333311",
         "HTTPBin JSON Get",
         quiller::TarnHTTPMethod::get,
         "{{baseUrl}}/json",
         {{"Accept", "application/json"}},
         quiller::RequestBodyKind::none,
         {{AssertionKind::statusEquals, "200"}, {AssertionKind::maxLatencyMs, "2500"}}},
        {"33333333-3333-4333-8333-333333333312",
         "Echo POST Payload",
         quiller::TarnHTTPMethod::post,
         "{{baseUrl}}/post",
         {{"Content-Type", "application/json"}, {"X-Client", "Quiller/1.0"}},
         quiller::RequestBodyKind::json,
         {{AssertionKind::statusEquals, "200"}}},
        {"33333333-3333-4333-8333-333333333313",
         "Local Mock Health Check",
         quiller::TarnHTTPMethod::get,
         "http://127.0.0.1:8787/health",
         {{"Accept", "application/json"}},
         quiller::RequestBodyKind::none,
         {{AssertionKind::statusEquals, "200"}}},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].name);
        const quiller::APIRequestSpec& request = starter.requests[i];
        EXPECT_EQ(idText(request.id), expected[i].id);
        EXPECT_EQ(request.name, expected[i].name);
        EXPECT_EQ(request.method, expected[i].method);
        EXPECT_EQ(request.url, expected[i].url);
        EXPECT_TRUE(request.queryParams.empty());
        EXPECT_EQ(request.auth, quiller::RequestAuthConfig{});
        EXPECT_EQ(request.graphQLVariables, "{}");
        EXPECT_EQ(request.bodyKind, expected[i].bodyKind);
        ASSERT_EQ(request.headers.size(), expected[i].headers.size());
        for (std::size_t h = 0; h < request.headers.size(); ++h) {
            EXPECT_EQ(request.headers[h].key, expected[i].headers[h].first);
            EXPECT_EQ(request.headers[h].value, expected[i].headers[h].second);
            EXPECT_TRUE(request.headers[h].isEnabled);
            EXPECT_FALSE(request.headers[h].isSecret);
        }
        ASSERT_EQ(request.assertions.size(), expected[i].assertions.size());
        for (std::size_t a = 0; a < request.assertions.size(); ++a) {
            EXPECT_EQ(request.assertions[a].kind, expected[i].assertions[a].first);
            EXPECT_EQ(request.assertions[a].expectedValue, expected[i].assertions[a].second);
            EXPECT_TRUE(request.assertions[a].isEnabled);
            EXPECT_TRUE(request.assertions[a].targetPath.empty());
        }
    }
    EXPECT_TRUE(starter.requests[0].bodyText.empty());
    EXPECT_EQ(starter.requests[1].bodyText,
              "{\n  \"suite\": \"Corvane\",\n  \"app\": \"Quiller\",\n  \"offlineFirst\": true\n}");
    EXPECT_TRUE(starter.requests[2].bodyText.empty());
}

TEST(StarterData, DefaultEnvironments) {
    const auto environments = APIEnvironmentProfile::defaultEnvironments();
    ASSERT_EQ(environments.size(), 2u);
    EXPECT_EQ(idText(environments[0].id), "44444444-4444-4444-8444-444444444401");
    EXPECT_EQ(environments[0].name, "Local & Sandbox");
    EXPECT_EQ(idText(environments[1].id), "44444444-4444-4444-8444-444444444402");
    EXPECT_EQ(environments[1].name, "Localhost 8787");

    for (const APIEnvironmentProfile& environment : environments) {
        SCOPED_TRACE(environment.name);
        ASSERT_EQ(environment.variables.size(), 2u);
        EXPECT_EQ(environment.variables[0].key, "baseUrl");
        EXPECT_FALSE(environment.variables[0].isSecret);
        EXPECT_EQ(environment.variables[1].key, "apiToken");
        EXPECT_TRUE(environment.variables[1].isSecret);
        for (const quiller::KeyValueRow& row : environment.variables)
            EXPECT_TRUE(row.isEnabled);
    }
    const std::string& publicBase = environments[0].variables[0].value;
    EXPECT_TRUE(publicBase.starts_with("https://")) << publicBase;
    EXPECT_FALSE(publicBase.ends_with("/")) << publicBase;
    EXPECT_EQ(environments[0].variables[1].value, "");
    EXPECT_EQ(environments[1].variables[0].value, "http://127.0.0.1:8787");
    EXPECT_EQ(environments[1].variables[1].value.size(), 15u);
}

TEST(StarterData, DefaultRoutes) {
    const auto routes = MockRouteRule::defaultRoutes();
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[0].method, "GET");
    EXPECT_EQ(routes[0].path, "/health");
    EXPECT_EQ(routes[0].statusCode, 200);
    EXPECT_EQ(routes[0].responseBody,
              "{\n  \"status\": \"ok\",\n  \"server\": \"Quiller Local Mock\"\n}");
    EXPECT_EQ(routes[1].method, "POST");
    EXPECT_EQ(routes[1].path, "/v1/echo");
    EXPECT_EQ(routes[1].statusCode, 201);
    EXPECT_EQ(routes[1].responseBody,
              "{\n  \"created\": true,\n  \"message\": \"Mocked by Quiller\"\n}");
    for (const MockRouteRule& route : routes) {
        EXPECT_EQ(route.contentType, "application/json");
        EXPECT_TRUE(route.isEnabled);
    }
    EXPECT_NE(routes[0].id, routes[1].id);
}

// Rows, rules and routes get per-run identifiers, drawn once: every read, from
// any thread, sees the same ones.
TEST(StarterData, BuiltOncePerProcess) {
    std::vector<std::vector<APIRequestCollection>> collections(8);
    std::vector<std::vector<APIEnvironmentProfile>> environments(8);
    std::vector<std::vector<MockRouteRule>> routes(8);
    {
        std::vector<std::jthread> readers;
        for (std::size_t i = 0; i < 8; ++i) {
            readers.emplace_back([&, i] {
                collections[i] = APIRequestCollection::starterCollections();
                environments[i] = APIEnvironmentProfile::defaultEnvironments();
                routes[i] = MockRouteRule::defaultRoutes();
            });
        }
    }
    for (std::size_t i = 1; i < 8; ++i) {
        EXPECT_EQ(collections[i], collections[0]);
        EXPECT_EQ(environments[i], environments[0]);
        EXPECT_EQ(routes[i], routes[0]);
    }
    EXPECT_EQ(APIRequestCollection::starterCollections(), collections[0]);

    // Every per-run identifier is distinct from the others and from the fixed ones.
    std::set<tarn::UUID> ids;
    std::size_t count = 0;
    const auto add = [&](const tarn::UUID& id) {
        ids.insert(id);
        ++count;
    };
    for (const auto& request : collections[0][0].requests) {
        add(request.id);
        for (const auto& row : request.headers)
            add(row.id);
        for (const auto& rule : request.assertions)
            add(rule.id);
    }
    for (const auto& environment : environments[0])
        for (const auto& row : environment.variables)
            add(row.id);
    for (const auto& route : routes[0])
        add(route.id);
    EXPECT_EQ(ids.size(), count);
}

TEST(StarterData, ReadsAreCopies) {
    auto collections = APIRequestCollection::starterCollections();
    collections[0].requests.clear();
    collections[0].name = "edited";
    const auto fresh = APIRequestCollection::starterCollections();
    EXPECT_EQ(fresh[0].requests.size(), 3u);
    EXPECT_EQ(fresh[0].name, "Starter Samples");
}

} // namespace
