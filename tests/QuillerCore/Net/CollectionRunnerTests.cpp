#include "QuillerCore/Engine/CollectionRunnerAndBenchmarkEngine.h"
#include "QuillerCore/Net/ServiceTestSupport.h"
#include "QuillerCore/Services/CollectionRunnerService.h"
#include "support/LoopbackHTTPServer.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quiller::APIRequestCollection;
using quiller::APIRequestSpec;
using quiller::AssertionKind;
using quiller::CollectionRunStepResult;
using quiller::ResponseAssertionRule;
using quiller::TarnHTTPMethod;
using quiller::VariableExtractionRule;
using quiller::VariableMap;
using quiller::testing::ApplicationLogTest;
using quiller::testing::matchesWithMilliseconds;
using quiller::testing::requestSpec;
using tarn::TarnLogLevel;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using Clock = std::chrono::steady_clock;
namespace Engine = quiller::CollectionRunnerAndBenchmarkEngine;
namespace Service = quiller::CollectionRunnerService;
using Variables = std::map<std::string, std::string>;

VariableExtractionRule rule(std::string variableName, std::string jsonPath, bool isEnabled = true) {
    return VariableExtractionRule{.id = tarn::UUID::random(),
                                  .variableName = std::move(variableName),
                                  .jsonPath = std::move(jsonPath),
                                  .isEnabled = isEnabled};
}

APIRequestSpec named(std::string name, std::string url) {
    APIRequestSpec spec = requestSpec(std::move(url));
    spec.name = std::move(name);
    return spec;
}

class CollectionRunnerTest : public ApplicationLogTest {
protected:
    std::vector<CollectionRunStepResult> run(const std::vector<APIRequestSpec>& requests,
                                             const VariableMap& variables = {},
                                             const Engine::ExtractionRules& rules = {},
                                             std::stop_token stop = {}) {
        APIRequestCollection collection;
        collection.name = "Smoke";
        collection.requests = requests;
        return Service::runCollection(collection, variables, rules, std::move(stop));
    }

    std::vector<tarn::TarnLogEntry> runnerLines() const {
        std::vector<tarn::TarnLogEntry> lines = logLines();
        std::erase_if(lines,
                      [](const tarn::TarnLogEntry& line) { return line.category != "runner"; });
        return lines;
    }

    // "http://127.0.0.1:<port>", for URLs built from a base variable.
    std::string base() const { return "http://127.0.0.1:" + std::to_string(server.port()); }

    LoopbackHTTPServer server;
};

TEST_F(CollectionRunnerTest, AValueExtractedFromOneStepFillsTheURLOfTheNext) {
    server.route("/login", ScriptedReply::status(200, R"({"token":"abc123","user":{"id":7}})"));
    server.route("/items/abc123", ScriptedReply::status(200, R"({"ok":true})"));
    const APIRequestSpec login = named("Login", "{{baseUrl}}/login");
    const APIRequestSpec items = named("Items", "{{baseUrl}}/items/{{token}}");
    const VariableMap initial = {{"baseUrl", base()}};

    const auto steps = run({login, items}, initial, {{login.id, {rule("token", "$.token")}}});

    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].requestName, "Login");
    EXPECT_EQ(steps[0].method, TarnHTTPMethod::get);
    EXPECT_EQ(steps[0].resolvedURL, base() + "/login");
    EXPECT_EQ(steps[0].statusCode, 200);
    EXPECT_EQ(steps[0].extractedVariables, (Variables{{"token", "abc123"}}));
    EXPECT_EQ(steps[1].resolvedURL, base() + "/items/abc123");
    EXPECT_TRUE(steps[1].extractedVariables.empty());
    for (const CollectionRunStepResult& step : steps) {
        EXPECT_TRUE(step.isSuccess()) << step.requestName;
        EXPECT_EQ(step.passedAssertions, 1);
        EXPECT_EQ(step.totalAssertions, 1);
        EXPECT_GT(step.durationMs, 0.0);
        EXPECT_FALSE(step.errorMessage);
    }
    EXPECT_NE(steps[0].id, steps[1].id);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target, "/items/abc123");
}

TEST_F(CollectionRunnerTest, OnlyEnabledNamedRulesThatFindAValueSetVariables) {
    server.route("/source", ScriptedReply::status(200, R"({"a":"1","b":"2","n":{"k":[5]}})"));
    server.setFallback(
        [](const tarn::testing::ServedRequest&) { return ScriptedReply::status(200, "{}"); });
    const APIRequestSpec source = named("Source", "{{baseUrl}}/source");
    const APIRequestSpec echo =
        named("Echo", "{{baseUrl}}/echo/{{x}}/{{off}}/{{kept}}/{{z}}/{{k}}");
    const VariableMap initial = {{"baseUrl", base()}, {"off", "env"}, {"kept", "env"}};
    const std::vector<VariableExtractionRule> rules = {
        rule("x", "$.a"),
        rule("off", "$.b", false), // disabled: the environment's value stays
        rule("", "$.a"),           // no name: never applied
        rule("kept", "$.missing"), // finds nothing: the earlier value stays
        rule("z", "$.b"),
        rule("z", "$.a"), // a later rule of the same name wins
        rule("k", "n.k[0]"),
        rule("x", "not a path at all"), // finds nothing: x stays "1"
    };

    const auto steps = run({source, echo}, initial, {{source.id, rules}});

    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].extractedVariables, (Variables{{"x", "1"}, {"z", "1"}, {"k", "5"}}));
    EXPECT_EQ(steps[1].resolvedURL, base() + "/echo/1/env/env/1/5");
    // The caller's map is the environment's: it never sees extracted values.
    EXPECT_EQ(initial.size(), 3u);
}

TEST_F(CollectionRunnerTest, AnErrorStatusIsNoErrorRowAndStillFeedsItsRules) {
    server.route("/fail", ScriptedReply::status(500, R"({"error":"boom"})"));
    server.route("/report/boom", ScriptedReply::status(200, "{}"));
    APIRequestSpec failing = named("Fail", server.url("/fail"));
    failing.assertions.clear();
    const APIRequestSpec report = named("Report", base() + "/report/{{reason}}");

    const auto steps = run({failing, report}, {}, {{failing.id, {rule("reason", "$.error")}}});

    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].statusCode, 500);
    EXPECT_FALSE(steps[0].errorMessage);
    EXPECT_EQ(steps[0].passedAssertions, 0);
    EXPECT_EQ(steps[0].totalAssertions, 0);
    EXPECT_FALSE(steps[0].isSuccess());
    EXPECT_EQ(steps[0].extractedVariables, (Variables{{"reason", "boom"}}));
    EXPECT_EQ(steps[1].statusCode, 200);
    EXPECT_TRUE(steps[1].isSuccess());
}

TEST_F(CollectionRunnerTest, AFailedSendGivesAnErrorRowAndTheRunGoesOn) {
    server.route("/ok", ScriptedReply::status(200, R"({"token":"late"})"));
    const std::vector<ResponseAssertionRule> threeRulesOneOff = {
        {.kind = AssertionKind::statusEquals, .expectedValue = "200"},
        {.kind = AssertionKind::bodyContains, .expectedValue = "token"},
        {.kind = AssertionKind::bodyContains, .expectedValue = "absent", .isEnabled = false},
    };
    APIRequestSpec refused = named("Refused", "http://127.0.0.1:{{port}}/x?q={{token}}");
    refused.assertions = threeRulesOneOff;
    refused.queryParams = {quiller::KeyValueRow{.key = "extra", .value = "1"}};
    const APIRequestSpec invalid = named("Invalid", "http://exa mple.com/{{token}}");
    APIRequestSpec answered = named("Answered", server.url("/ok"));
    answered.assertions = threeRulesOneOff;
    const VariableMap initial = {{"port", std::to_string(tarn::testing::closedLoopbackPort())},
                                 {"token", "t0"}};
    // Rules of a failed step never run, so "token" keeps its value.
    const Engine::ExtractionRules rules = {{refused.id, {rule("token", "$.token")}},
                                           {invalid.id, {rule("token", "$.token")}}};

    const auto steps = run({refused, invalid, answered}, initial, rules);

    ASSERT_EQ(steps.size(), 3u);
    const CollectionRunStepResult& first = steps[0];
    EXPECT_EQ(first.requestName, "Refused");
    EXPECT_EQ(first.resolvedURL, "http://127.0.0.1:" + initial.at("port") + "/x?q=t0");
    EXPECT_EQ(first.statusCode, 0);
    EXPECT_EQ(first.durationMs, 0.0);
    EXPECT_EQ(first.passedAssertions, 0);
    EXPECT_EQ(first.totalAssertions, 3);
    EXPECT_TRUE(first.extractedVariables.empty());
    EXPECT_EQ(first.errorMessage, "Could not connect to the server.");
    EXPECT_FALSE(first.isSuccess());

    EXPECT_EQ(steps[1].resolvedURL, "http://exa mple.com/t0");
    EXPECT_EQ(steps[1].errorMessage, "Invalid URL: http://exa mple.com/t0");
    EXPECT_EQ(steps[1].totalAssertions, 1);

    EXPECT_EQ(steps[2].statusCode, 200);
    EXPECT_EQ(steps[2].passedAssertions, 2);
    EXPECT_EQ(steps[2].totalAssertions, 2);
    EXPECT_TRUE(steps[2].isSuccess());
}

TEST_F(CollectionRunnerTest, EachStepLogsItsRequestAndTheRunOneSummaryLine) {
    server.route("/ok", ScriptedReply::status(200));
    server.route("/missing", ScriptedReply::status(404));
    const auto steps = run({named("A", server.url("/ok")), named("B", server.url("/missing")),
                            named("C", server.url("/ok"))});
    ASSERT_EQ(steps.size(), 3u);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(lines[i].category, "http") << lines[i].message;
    EXPECT_EQ(lines[3].level, TarnLogLevel::info);
    EXPECT_EQ(lines[3].category, "runner");
    EXPECT_TRUE(matchesWithMilliseconds(
        lines[3].message, "Collection Runner 'Smoke': 2/3 passed (1 failed) in ", "ms"))
        << lines[3].message;
}

TEST_F(CollectionRunnerTest, AnEmptyCollectionReturnsNoRowsAndStillLogsItsSummary) {
    APIRequestCollection empty;
    empty.name = "Nothing 'here'";
    EXPECT_TRUE(Service::runCollection(empty, {}, {}, {}).empty());
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::info);
    EXPECT_EQ(lines[0].category, "runner");
    EXPECT_TRUE(matchesWithMilliseconds(
        lines[0].message, "Collection Runner 'Nothing 'here'': 0/0 passed (0 failed) in ", "ms"))
        << lines[0].message;
}

TEST_F(CollectionRunnerTest, AStopGivesEveryRemainingRequestItsCancelledRowPromptly) {
    server.route("/slow", ScriptedReply::silence());
    server.route("/ok", ScriptedReply::status(200));
    std::stop_source source;
    std::jthread stopper([&] {
        if (server.waitForRequests(2))
            std::this_thread::sleep_for(100ms);
        source.request_stop();
    });

    const auto started = Clock::now();
    const auto steps = run({named("First", server.url("/ok")), named("Slow", server.url("/slow")),
                            named("After", server.url("/ok")), named("Last", server.url("/ok"))},
                           {}, {}, source.get_token());
    const auto elapsed = Clock::now() - started;

    ASSERT_EQ(steps.size(), 4u);
    EXPECT_TRUE(steps[0].isSuccess());
    for (std::size_t i = 1; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].statusCode, 0) << steps[i].requestName;
        EXPECT_EQ(steps[i].errorMessage, "cancelled") << steps[i].requestName;
    }
    EXPECT_LT(elapsed, 5s);
    // Nothing is sent once the stop was asked for.
    EXPECT_EQ(server.requests().size(), 2u);
    ASSERT_EQ(runnerLines().size(), 1u);
    EXPECT_TRUE(matchesWithMilliseconds(
        runnerLines()[0].message, "Collection Runner 'Smoke': 1/4 passed (3 failed) in ", "ms"));
}

} // namespace
