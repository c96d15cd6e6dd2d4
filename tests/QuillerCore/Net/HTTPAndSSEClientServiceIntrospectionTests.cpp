#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"
#include "QuillerCore/Net/ServiceTestSupport.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "support/LoopbackHTTPServer.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using quiller::APIRequestSpec;
using quiller::GraphQLIntrospectionError;
using quiller::GraphQLSchemaSummary;
using quiller::KeyValueRow;
using quiller::TarnHTTPMethod;
using quiller::testing::ApplicationLogTest;
using quiller::testing::matchesWithMilliseconds;
using quiller::testing::platformErrorOf;
using quiller::testing::requestSpec;
using tarn::TarnLogLevel;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
namespace Service = quiller::HTTPAndSSEClientService;

// Two queries, one mutation and three named types besides the introspection
// types.
constexpr const char* kSchemaAnswer = R"({"data":{"__schema":{
  "queryType":{"name":"Query"},"mutationType":{"name":"Mutation"},"subscriptionType":null,
  "types":[
    {"kind":"OBJECT","name":"Query","fields":[
      {"name":"users","args":[],"type":{"kind":"LIST","ofType":{"kind":"OBJECT","name":"User"}}},
      {"name":"ping","args":[],"type":{"kind":"SCALAR","name":"String"}}]},
    {"kind":"OBJECT","name":"Mutation","fields":[
      {"name":"reset","args":[],"type":{"kind":"SCALAR","name":"String"}}]},
    {"kind":"OBJECT","name":"User","fields":[
      {"name":"id","args":[],"type":{"kind":"SCALAR","name":"String"}}]},
    {"kind":"OBJECT","name":"__Type","fields":[]}]}}})";

class IntrospectionTest : public ApplicationLogTest {
protected:
    GraphQLSchemaSummary introspect(const APIRequestSpec& spec) {
        return Service::executeGraphQLIntrospection(spec, {{"token", "t0k"}}, std::stop_token());
    }

    std::string label() const { return "127.0.0.1:" + std::to_string(server.port()) + "/graphql"; }

    LoopbackHTTPServer server;
};

TEST_F(IntrospectionTest, AnErrorStatusThrows1020AfterAWarnAndAnErrorLine) {
    server.route("/graphql", ScriptedReply::status(500, R"({"errors":[]})"));
    const tarn::PlatformError error =
        platformErrorOf([&] { introspect(requestSpec(server.url("/graphql?debug=1"))); });

    EXPECT_EQ(error.domain(), "Quiller");
    EXPECT_EQ(error.code(), 1020);
    EXPECT_EQ(error.description(), "GraphQL introspection failed with HTTP 500.");
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::warn);
    EXPECT_EQ(lines[0].category, "graphql");
    EXPECT_TRUE(matchesWithMilliseconds(lines[0].message,
                                        "Introspection " + label() + " -> HTTP 500 (", "ms)"))
        << lines[0].message;
    EXPECT_EQ(lines[1].level, TarnLogLevel::error);
    EXPECT_EQ(lines[1].category, "graphql");
    EXPECT_EQ(lines[1].message,
              "Introspection " + label() + " failed: GraphQL introspection failed with HTTP 500.");
}

TEST_F(IntrospectionTest, AnAnswerThatIsNotJSONThrowsTheParseErrorAfterOneErrorLine) {
    server.route("/graphql", ScriptedReply::status(200, "<html>maintenance</html>"));
    try {
        introspect(requestSpec(server.url("/graphql")));
        FAIL() << "no error was thrown";
    } catch (const GraphQLIntrospectionError& error) {
        EXPECT_EQ(error.kind(), GraphQLIntrospectionError::Kind::invalidJSON);
    }
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::error);
    EXPECT_EQ(lines[0].message,
              "Introspection " + label() + " failed: Invalid JSON received from GraphQL endpoint.");
}

TEST_F(IntrospectionTest, ASchemaIsParsedAndCountedInTheLog) {
    server.route("/graphql", ScriptedReply::status(200, kSchemaAnswer));
    const GraphQLSchemaSummary summary = introspect(requestSpec(server.url("/graphql")));

    EXPECT_EQ(summary.queries().size(), 2u);
    EXPECT_EQ(summary.mutations().size(), 1u);
    EXPECT_EQ(summary.typesByName.size(), 3u);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::info);
    EXPECT_TRUE(matchesWithMilliseconds(lines[0].message,
                                        "Introspection " + label() + " succeeded in ",
                                        "ms (queries: 2, mutations: 1, types: 3)"))
        << lines[0].message;
}

TEST_F(IntrospectionTest, SendsTheQueryAsAJSONPostWithTheRequestsOwnHeaders) {
    server.route("/graphql", ScriptedReply::status(200, kSchemaAnswer));
    APIRequestSpec withRows = requestSpec(server.url("/graphql"), TarnHTTPMethod::get);
    withRows.headers = {KeyValueRow{.key = "Accept", .value = "application/graphql+json"},
                        KeyValueRow{.key = "content-type", .value = "text/plain"},
                        KeyValueRow{.key = "X-Token", .value = "{{token}}"}};
    withRows.graphQLVariables = R"({"unused":true})";
    APIRequestSpec bare = requestSpec(server.url("/graphql"));
    bare.headers.clear();
    introspect(withRows);
    introspect(bare);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.body, quiller::GraphQLIntrospectionEngine::introspectionRequestBody());
        EXPECT_EQ(request.headerCount("Content-Type"), 1u);
        EXPECT_EQ(request.header("Content-Type"), "application/json");
    }
    EXPECT_EQ(requests[0].header("Accept"), "application/graphql+json");
    EXPECT_EQ(requests[0].header("X-Token"), "t0k");
    EXPECT_EQ(requests[1].header("Accept"), "application/json");
}

TEST_F(IntrospectionTest, CompositionErrorsAreThrownUnloggedAndTransportErrorsLogged) {
    const tarn::PlatformError composition =
        platformErrorOf([&] { introspect(requestSpec("http://bad host/graphql")); });
    EXPECT_EQ(composition.code(), 1001);
    EXPECT_TRUE(logLines().empty());

    const std::string url =
        "http://127.0.0.1:" + std::to_string(tarn::testing::closedLoopbackPort()) + "/graphql";
    const tarn::PlatformError transport = platformErrorOf([&] { introspect(requestSpec(url)); });
    EXPECT_EQ(transport.code(), tarn::URLErrorCode::cannotConnectToHost);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::error);
    EXPECT_EQ(lines[0].message,
              "Introspection " + url.substr(7) + " failed: Could not connect to the server.");
}

} // namespace
