#include "QuillerCore/Engine/CollectionRunnerAndBenchmarkEngine.h"
#include "QuillerCore/Net/ServiceTestSupport.h"
#include "QuillerCore/Services/CollectionRunnerService.h"
#include "TarnKit/Platform/Numbers.h"
#include "support/LoopbackHTTPServer.h"
#include "support/ScopedLocale.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quiller::APIRequestSpec;
using quiller::HTTPResponseSnapshot;
using quiller::LoadBenchmarkReport;
using quiller::TarnHTTPMethod;
using quiller::VariableMap;
using quiller::testing::ApplicationLogTest;
using quiller::testing::requestSpec;
using tarn::TarnLogLevel;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using Clock = std::chrono::steady_clock;
namespace Engine = quiller::CollectionRunnerAndBenchmarkEngine;
namespace Service = quiller::CollectionRunnerService;

// A stand-in for the network that records how many sends overlap. Each send
// waits (a bounded time) until `expectedPeak` sends have been in flight at
// once, so reaching the peak does not depend on the scheduler; a benchmark
// that lets too few run at once shows up as a lower peak, one that lets too
// many run as a higher one.
class InFlightProbe {
public:
    explicit InFlightProbe(int expectedPeak) : m_expectedPeak(expectedPeak) {}

    Engine::RequestSender sender() {
        return
            [this](const APIRequestSpec&, const VariableMap&, bool logExecution, std::stop_token) {
                std::unique_lock lock(m_lock);
                m_logged = m_logged || logExecution;
                ++m_sends;
                m_threads.insert(std::this_thread::get_id());
                m_peak = std::max(m_peak, ++m_inFlight);
                m_changed.notify_all();
                m_changed.wait_for(lock, 2s, [this] { return m_peak >= m_expectedPeak; });
                // Every send lasts a moment, so that sends beyond the bound
                // would overlap the ones in flight.
                lock.unlock();
                std::this_thread::sleep_for(1ms);
                lock.lock();
                --m_inFlight;
                HTTPResponseSnapshot snapshot;
                snapshot.statusCode = 200;
                snapshot.timing.totalMs = 1;
                return snapshot;
            };
    }

    int sends() const { return m_sends; }
    int peak() const { return m_peak; }
    std::size_t threads() const { return m_threads.size(); }
    bool logged() const { return m_logged; }

private:
    const int m_expectedPeak;
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_inFlight = 0;
    int m_peak = 0;
    int m_sends = 0;
    bool m_logged = false;
    std::set<std::thread::id> m_threads;
};

class LoadBenchmarkTest : public ApplicationLogTest {
protected:
    std::vector<tarn::TarnLogEntry> benchmarkLines() const {
        std::vector<tarn::TarnLogEntry> lines = logLines();
        std::erase_if(lines,
                      [](const tarn::TarnLogEntry& line) { return line.category != "benchmark"; });
        return lines;
    }

    LoopbackHTTPServer server;
};

TEST_F(LoadBenchmarkTest, ClampsItsNumbersAndKeepsAtMostTheWorkersInFlight) {
    struct Case {
        int totalRequests;
        int concurrency;
        int sends;
        int workers;
    };
    const std::vector<Case> cases = {
        {0, 0, 1, 1},   {-5, -3, 1, 1}, {1000, 100, 200, 24}, {200, 24, 200, 24}, {50, 8, 50, 8},
        {5, 10, 5, 10}, {7, 1, 7, 1},   {199, 25, 199, 24},   {1, 24, 1, 24},
    };
    for (const Case& c : cases) {
        const int expectedPeak = std::min(c.sends, c.workers);
        InFlightProbe probe(expectedPeak);
        const LoadBenchmarkReport report =
            Engine::runLoadBenchmark(requestSpec("http://127.0.0.1:1/"), {}, c.totalRequests,
                                     c.concurrency, probe.sender(), {});
        const std::string label =
            std::to_string(c.totalRequests) + " requests, " + std::to_string(c.concurrency);
        EXPECT_EQ(probe.sends(), c.sends) << label;
        EXPECT_EQ(probe.peak(), expectedPeak) << label;
        // The workers are threads that take the next request when they are
        // free, never a thread per request.
        EXPECT_LE(probe.threads(), static_cast<std::size_t>(expectedPeak)) << label;
        EXPECT_FALSE(probe.logged()) << label;
        EXPECT_EQ(report.totalRequests, c.sends) << label;
        EXPECT_EQ(report.successCount, c.sends) << label;
        EXPECT_EQ(report.concurrency, c.workers) << label;
    }
}

TEST_F(LoadBenchmarkTest, EverySendThatThrowsIsOneFailure) {
    std::atomic<int> calls = 0;
    const Engine::RequestSender flaky = [&](const APIRequestSpec&, const VariableMap&, bool,
                                            std::stop_token) -> HTTPResponseSnapshot {
        const int call = calls++;
        if (call % 3 == 0)
            throw std::runtime_error("refused");
        if (call % 3 == 1)
            throw 42; // not even an exception type: still one failure
        HTTPResponseSnapshot snapshot;
        snapshot.statusCode = 503;
        snapshot.timing.totalMs = 2;
        return snapshot;
    };
    const LoadBenchmarkReport report =
        Engine::runLoadBenchmark(requestSpec("http://127.0.0.1:1/"), {}, 30, 4, flaky, {});
    EXPECT_EQ(report.totalRequests, 30);
    EXPECT_EQ(report.successCount, 0);
    EXPECT_EQ(report.failureCount, 30);
    EXPECT_EQ(report.statusCounts, (std::map<int, int>{{503, 10}}));
    EXPECT_EQ(report.p99Ms, 2);
    EXPECT_EQ(benchmarkLines().size(), 1u);
}

TEST_F(LoadBenchmarkTest, LoadsALoopbackServerOneConnectionPerSendAndLogsOneLine) {
    server.route("/bench", ScriptedReply::status(200, R"({"ok":true})").delayHead(5ms));
    APIRequestSpec spec = requestSpec("{{base}}/bench?token={{secret}}");
    const VariableMap variables = {{"base", "http://127.0.0.1:" + std::to_string(server.port())},
                                   {"secret", "hunter2"}};

    const LoadBenchmarkReport report = Service::runLoadBenchmark(spec, variables, 12, 3, {});

    EXPECT_EQ(report.totalRequests, 12);
    EXPECT_EQ(report.concurrency, 3);
    EXPECT_EQ(report.successCount, 12);
    EXPECT_EQ(report.failureCount, 0);
    EXPECT_EQ(report.statusCounts, (std::map<int, int>{{200, 12}}));
    EXPECT_GE(report.minMs, 5.0);
    EXPECT_LE(report.minMs, report.p50Ms);
    EXPECT_LE(report.p50Ms, report.p95Ms);
    EXPECT_LE(report.p95Ms, report.p99Ms);
    EXPECT_LE(report.p99Ms, report.maxMs);
    EXPECT_GT(report.requestsPerSecond, 0.0);
    EXPECT_GT(report.totalDurationMs, 0.0);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 12u);
    std::set<std::size_t> connections;
    for (const auto& request : requests)
        connections.insert(request.connection);
    EXPECT_EQ(connections.size(), 12u);

    // The sends themselves are not logged; the query (and its secret) never
    // reaches the line.
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::info);
    EXPECT_EQ(lines[0].category, "benchmark");
    EXPECT_EQ(lines[0].message,
              Engine::benchmarkLogMessage(TarnHTTPMethod::get,
                                          "127.0.0.1:" + std::to_string(server.port()) + "/bench",
                                          report));
}

TEST_F(LoadBenchmarkTest, WithEverySendRefusedTheReportHasOnlyFailures) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(tarn::testing::closedLoopbackPort()) + "/x";
    const LoadBenchmarkReport report =
        Service::runLoadBenchmark(requestSpec(url, TarnHTTPMethod::post), {}, 9, 4, {});
    EXPECT_EQ(report.totalRequests, 9);
    EXPECT_EQ(report.failureCount, 9);
    EXPECT_EQ(report.successCount, 0);
    EXPECT_TRUE(report.statusCounts.empty());
    EXPECT_EQ(report.maxMs, 0.0);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].message.starts_with("Load Benchmark POST " + url.substr(7) +
                                             " (9 req, 4 workers): "))
        << lines[0].message;
    EXPECT_TRUE(
        lines[0].message.ends_with(" req/s \u00B7 ok=0 fail=9 \u00B7 p50=0ms p95=0ms p99=0ms"))
        << lines[0].message;
}

TEST_F(LoadBenchmarkTest, AStopEndsTheBenchmarkPromptlyWithEverySendCounted) {
    server.route("/slow", ScriptedReply::silence());
    std::stop_source source;
    std::jthread stopper([&] {
        server.waitForRequests(4);
        source.request_stop();
    });
    const auto started = Clock::now();
    const LoadBenchmarkReport report =
        Service::runLoadBenchmark(requestSpec(server.url("/slow")), {}, 200, 4, source.get_token());
    EXPECT_LT(Clock::now() - started, 5s);
    EXPECT_EQ(report.totalRequests, 200);
    EXPECT_EQ(report.failureCount, 200);
    EXPECT_LE(server.requests().size(), 4u);
    EXPECT_EQ(benchmarkLines().size(), 1u);
}

// Whether `text` starts with one or more decimal digits; consumes them.
bool consumeDigits(std::string_view& text) {
    const auto digits =
        std::find_if(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; }) -
        text.begin();
    text.remove_prefix(static_cast<std::size_t>(digits));
    return digits > 0;
}

bool consume(std::string_view& text, std::string_view expected) {
    if (!text.starts_with(expected))
        return false;
    text.remove_prefix(expected.size());
    return true;
}

// The line as the Part's printf pattern makes it in the C locale: a point,
// never a comma, exactly one decimal for the rate, none for the percentiles.
bool hasBenchmarkLineShape(std::string_view line, std::string_view head) {
    return consume(line, head) && consumeDigits(line) && consume(line, ".") &&
           consumeDigits(line) && consume(line, " req/s \u00B7 ok=6 fail=0 \u00B7 p50=") &&
           consumeDigits(line) && consume(line, "ms p95=") && consumeDigits(line) &&
           consume(line, "ms p99=") && consumeDigits(line) && consume(line, "ms") && line.empty();
}

TEST_F(LoadBenchmarkTest, TheLogLineIsTheSameUnderEveryLocale) {
    server.route("/v1/items", ScriptedReply::status(200, "[]"));
    const std::string head = "Load Benchmark GET 127.0.0.1:" + std::to_string(server.port()) +
                             "/v1/items (6 req, 3 workers): ";
    for (const char* locale : {"de_DE.UTF-8", "tr_TR.UTF-8"}) {
        quiller::testing::capturedApplicationLog().clear();
        const tarn::testing::ScopedLocale scoped(locale);
        const LoadBenchmarkReport report =
            Service::runLoadBenchmark(requestSpec(server.url("/v1/items")), {}, 6, 3, {});
        const auto lines = benchmarkLines();
        ASSERT_EQ(lines.size(), 1u) << locale;
        const std::string& message = lines[0].message;
        EXPECT_TRUE(hasBenchmarkLineShape(message, head)) << locale << ": " << message;
        EXPECT_NE(message.find(tarn::numbers::formatFixed(report.requestsPerSecond, 1) + " req/s"),
                  std::string::npos)
            << message;
        EXPECT_NE(message.find("p95=" + tarn::numbers::formatFixed(report.p95Ms, 0) + "ms"),
                  std::string::npos)
            << message;
    }
}

} // namespace
