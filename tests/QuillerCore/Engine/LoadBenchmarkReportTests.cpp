#include "QuillerCore/Engine/CollectionRunnerAndBenchmarkEngine.h"
#include "support/ScopedLocale.h"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quiller {
void PrintTo(const LoadBenchmarkReport& report, std::ostream* out) {
    *out << "{total " << report.totalRequests << ", workers " << report.concurrency << ", ok "
         << report.successCount << ", fail " << report.failureCount << ", wall "
         << report.totalDurationMs << ", rps " << report.requestsPerSecond << ", min "
         << report.minMs << ", avg " << report.avgMs << ", p50 " << report.p50Ms << ", p95 "
         << report.p95Ms << ", p99 " << report.p99Ms << ", max " << report.maxMs << ", statuses";
    for (const auto& [status, count] : report.statusCounts)
        *out << ' ' << status << ':' << count;
    *out << '}';
}
} // namespace quiller

namespace {

using quiller::CollectionRunStepResult;
using quiller::LoadBenchmarkReport;
using quiller::TarnHTTPMethod;
using quiller::VariableExtractionRule;
namespace Engine = quiller::CollectionRunnerAndBenchmarkEngine;

TEST(LoadBenchmarkReport, SummarisesLatenciesStatusesAndFailures) {
    struct Case {
        std::string label;
        std::vector<double> latencies;
        std::vector<int> statuses;
        int failures;
        int concurrency;
        double wallMs;
        LoadBenchmarkReport expected;
    };
    const std::vector<Case> cases = {
        {"worked example: p95 at index 2.85 and p99 at 2.97 take the last sample",
         {40, 10, 30, 20},
         {200, 200, 200, 200},
         1,
         4,
         500,
         {.totalRequests = 5,
          .concurrency = 4,
          .successCount = 4,
          .failureCount = 1,
          .totalDurationMs = 500,
          .requestsPerSecond = 10,
          .minMs = 10,
          .avgMs = 25,
          .p50Ms = 30,
          .p95Ms = 40,
          .p99Ms = 40,
          .maxMs = 40,
          .statusCounts = {{200, 4}}}},
        {"one sample is every statistic",
         {12.5},
         {201},
         0,
         1,
         25,
         {.totalRequests = 1,
          .concurrency = 1,
          .successCount = 1,
          .totalDurationMs = 25,
          .requestsPerSecond = 40,
          .minMs = 12.5,
          .avgMs = 12.5,
          .p50Ms = 12.5,
          .p95Ms = 12.5,
          .p99Ms = 12.5,
          .maxMs = 12.5,
          .statusCounts = {{201, 1}}}},
        {"two samples: the half index 0.5 rounds away from zero",
         {20, 10},
         {200, 200},
         0,
         2,
         1000,
         {.totalRequests = 2,
          .concurrency = 2,
          .successCount = 2,
          .totalDurationMs = 1000,
          .requestsPerSecond = 2,
          .minMs = 10,
          .avgMs = 15,
          .p50Ms = 20,
          .p95Ms = 20,
          .p99Ms = 20,
          .maxMs = 20,
          .statusCounts = {{200, 2}}}},
        {"eleven samples: p95 at index 9.5 rounds up, not to the even 9",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
         std::vector<int>(11, 200),
         0,
         3,
         2000,
         {.totalRequests = 11,
          .concurrency = 3,
          .successCount = 11,
          .totalDurationMs = 2000,
          .requestsPerSecond = 5.5,
          .minMs = 1,
          .avgMs = 6,
          .p50Ms = 6,
          .p95Ms = 11,
          .p99Ms = 11,
          .maxMs = 11,
          .statusCounts = {{200, 11}}}},
        {"an error status is a failure but keeps its latency and bucket",
         {5, 15, 10},
         {404, 200, 302},
         0,
         2,
         100,
         {.totalRequests = 3,
          .concurrency = 2,
          .successCount = 2,
          .failureCount = 1,
          .totalDurationMs = 100,
          .requestsPerSecond = 30,
          .minMs = 5,
          .avgMs = 10,
          .p50Ms = 10,
          .p95Ms = 15,
          .p99Ms = 15,
          .maxMs = 15,
          .statusCounts = {{200, 1}, {302, 1}, {404, 1}}}},
        {"199 and 400 are no success, 399 is",
         {1, 1, 1},
         {199, 399, 400},
         0,
         1,
         3,
         {.totalRequests = 3,
          .concurrency = 1,
          .successCount = 1,
          .failureCount = 2,
          .totalDurationMs = 3,
          .requestsPerSecond = 1000,
          .minMs = 1,
          .avgMs = 1,
          .p50Ms = 1,
          .p95Ms = 1,
          .p99Ms = 1,
          .maxMs = 1,
          .statusCounts = {{199, 1}, {399, 1}, {400, 1}}}},
        {"every send failed: no latency statistics, no buckets",
         {},
         {},
         200,
         24,
         80,
         {.totalRequests = 200,
          .concurrency = 24,
          .failureCount = 200,
          .totalDurationMs = 80,
          .requestsPerSecond = 2500}},
        {"a wall time of zero gives no rate",
         {3},
         {200},
         0,
         1,
         0,
         {.totalRequests = 1,
          .concurrency = 1,
          .successCount = 1,
          .minMs = 3,
          .avgMs = 3,
          .p50Ms = 3,
          .p95Ms = 3,
          .p99Ms = 3,
          .maxMs = 3,
          .statusCounts = {{200, 1}}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Engine::buildBenchmarkReport(c.latencies, c.statuses, c.failures, c.concurrency,
                                               c.wallMs),
                  c.expected)
            << c.label;
}

TEST(LoadBenchmarkReport, LogMessageRoundsAsPrintfDoesUnderEveryLocale) {
    struct Case {
        std::string label;
        LoadBenchmarkReport report;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"plain",
         {.totalRequests = 200,
          .concurrency = 24,
          .successCount = 198,
          .failureCount = 2,
          .requestsPerSecond = 3333.3333333333335,
          .p50Ms = 3.2,
          .p95Ms = 7.7,
          .p99Ms = 12.49},
         "Load Benchmark GET 127.0.0.1:8080/v1/items (200 req, 24 workers): 3333.3 req/s "
         "\u00B7 ok=198 fail=2 \u00B7 p50=3ms p95=8ms p99=12ms"},
        // Ties of the binary value go to the even digit, as printf rounds
        // them; a value just above a decimal half rounds up.
        {"exact ties round to even",
         {.totalRequests = 1,
          .concurrency = 1,
          .successCount = 1,
          .requestsPerSecond = 12.25,
          .p50Ms = 0.5,
          .p95Ms = 2.5,
          .p99Ms = 3.5},
         "Load Benchmark GET 127.0.0.1:8080/v1/items (1 req, 1 workers): 12.2 req/s \u00B7 ok=1 "
         "fail=0 \u00B7 p50=0ms p95=2ms p99=4ms"},
        {"carries and large values without grouping",
         {.totalRequests = 7,
          .concurrency = 3,
          .failureCount = 7,
          .requestsPerSecond = 1234567.85,
          .p50Ms = 999.95,
          .p95Ms = 1234567.5,
          .p99Ms = 0.0},
         "Load Benchmark GET 127.0.0.1:8080/v1/items (7 req, 3 workers): 1234567.9 req/s \u00B7 "
         "ok=0 fail=7 \u00B7 p50=1000ms p95=1234568ms p99=0ms"},
    };
    for (const char* locale : {"C", "de_DE.UTF-8", "tr_TR.UTF-8"}) {
        const tarn::testing::ScopedLocale scoped(locale);
        for (const Case& c : cases)
            EXPECT_EQ(Engine::benchmarkLogMessage(TarnHTTPMethod::get, "127.0.0.1:8080/v1/items",
                                                  c.report),
                      c.expected)
                << c.label << " under " << locale;
    }
    EXPECT_EQ(Engine::benchmarkLogMessage(TarnHTTPMethod::options, "h/p", {}),
              "Load Benchmark OPTIONS h/p (0 req, 0 workers): 0.0 req/s \u00B7 ok=0 fail=0 "
              "\u00B7 p50=0ms p95=0ms p99=0ms");
}

TEST(CollectionRunStepResult, SucceedsOnlyWithAResponseInRangeAndEveryCheckPassed) {
    struct Case {
        int status;
        int passed;
        int total;
        bool hasError;
        bool success;
    };
    const std::vector<Case> cases = {
        {200, 0, 0, false, true},  {399, 2, 2, false, true},  {199, 0, 0, false, false},
        {400, 0, 0, false, false}, {404, 0, 0, false, false}, {500, 1, 1, false, false},
        {200, 0, 1, false, false}, {200, 2, 3, false, false}, {0, 0, 0, true, false},
        {200, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        const CollectionRunStepResult step{
            .statusCode = c.status,
            .passedAssertions = c.passed,
            .totalAssertions = c.total,
            .errorMessage = c.hasError ? std::optional<std::string>("failed") : std::nullopt};
        EXPECT_EQ(step.isSuccess(), c.success)
            << c.status << " " << c.passed << "/" << c.total << (c.hasError ? " error" : "");
    }
}

TEST(VariableExtractionRule, DecodesOnlyWithEveryKeyOfTheRightType) {
    const VariableExtractionRule rule{.id = tarn::UUID::random(),
                                      .variableName = "token",
                                      .jsonPath = "$.data.token",
                                      .isEnabled = false};
    const nlohmann::json encoded = rule;
    EXPECT_EQ(encoded.size(), 4u);
    EXPECT_EQ(encoded.get<VariableExtractionRule>(), rule);

    for (const char* key : {"id", "variableName", "jsonPath", "isEnabled"}) {
        nlohmann::json missing = encoded;
        missing.erase(key);
        EXPECT_THROW((void)missing.get<VariableExtractionRule>(), std::exception) << key;
    }
    const std::vector<std::pair<const char*, nlohmann::json>> mistyped = {
        {"id", "not-a-uuid"}, {"variableName", 1}, {"jsonPath", nullptr}, {"isEnabled", "true"}};
    for (const auto& [key, value] : mistyped) {
        nlohmann::json wrong = encoded;
        wrong[key] = value;
        EXPECT_THROW((void)wrong.get<VariableExtractionRule>(), std::exception) << key;
    }
}

} // namespace
