// The load benchmark.

#include "QuillerCore/Engine/CollectionRunnerAndBenchmarkEngine.h"
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace quiller::CollectionRunnerAndBenchmarkEngine {
namespace {

using Clock = std::chrono::steady_clock;

// Results collected from the workers; each holder has its own lock, held only
// for one append or one copy.
template <typename Element> class ThreadSafeSamples {
public:
    void append(Element element) {
        const std::lock_guard guard(m_lock);
        m_items.push_back(std::move(element));
    }
    std::vector<Element> items() const {
        const std::lock_guard guard(m_lock);
        return m_items;
    }

private:
    mutable std::mutex m_lock;
    std::vector<Element> m_items;
};

class ThreadSafeCounter {
public:
    void increment() {
        const std::lock_guard guard(m_lock);
        ++m_count;
    }
    int count() const {
        const std::lock_guard guard(m_lock);
        return m_count;
    }

private:
    mutable std::mutex m_lock;
    int m_count = 0;
};

// What the workers share for one benchmark.
struct BenchmarkRun {
    const APIRequestSpec& spec;
    const VariableMap& variables;
    const RequestSender& send;
    const std::stop_token& stop;
    const int total;

    // The number of the next request to send: workers take the next one as
    // soon as their previous send ends, so no worker idles while another has
    // a backlog, and no thread is made per request.
    std::atomic<int> next = 0;
    ThreadSafeSamples<double> latencies{};
    ThreadSafeSamples<int> statusCodes{};
    ThreadSafeCounter failures{};

    void work() {
        while (next.fetch_add(1, std::memory_order_relaxed) < total) {
            try {
                const HTTPResponseSnapshot snapshot = send(spec, variables, false, stop);
                latencies.append(snapshot.timing.totalMs);
                statusCodes.append(snapshot.statusCode);
            } catch (...) {
                // Whatever went wrong is one failed send; an exception must
                // never leave a worker thread.
                failures.increment();
            }
        }
    }
};

} // namespace

LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec& spec, const VariableMap& variables,
                                     int totalRequests, int concurrency, const RequestSender& send,
                                     std::stop_token stop) {
    const int total = std::clamp(totalRequests, 1, maxBenchmarkRequests);
    const int workers = std::clamp(concurrency, 1, maxBenchmarkWorkers);

    const Clock::time_point start = Clock::now();
    BenchmarkRun run{
        .spec = spec, .variables = variables, .send = send, .stop = stop, .total = total};
    {
        // The calling thread is one of the workers. Should the system refuse
        // a thread, the ones running share the work.
        std::vector<std::jthread> helpers;
        const int helperCount = std::min(workers, total) - 1;
        helpers.reserve(static_cast<std::size_t>(helperCount));
        try {
            for (int i = 0; i < helperCount; ++i)
                helpers.emplace_back([&run] { run.work(); });
        } catch (const std::system_error&) {
            // Fewer workers, the same requests.
        }
        run.work();
    } // joins the helpers
    const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    LoadBenchmarkReport report = buildBenchmarkReport(
        run.latencies.items(), run.statusCodes.items(), run.failures.count(), workers, wallMs);
    const std::string label = RequestHistoryEngine::sanitizedHostAndPath(
        EnvironmentTemplateEngine::interpolate(spec.url, variables));
    tarn::TarnAppLogger::shared("Quiller").log(tarn::TarnLogLevel::info, "benchmark",
                                               benchmarkLogMessage(spec.method, label, report));
    return report;
}

LoadBenchmarkReport buildBenchmarkReport(std::vector<double> latenciesMs,
                                         const std::vector<int>& statusCodes, int failures,
                                         int concurrency, double totalWallMs) {
    std::sort(latenciesMs.begin(), latenciesMs.end());
    double sum = 0;
    for (const double latency : latenciesMs)
        sum += latency;

    LoadBenchmarkReport report;
    for (const int status : statusCodes) {
        ++report.statusCounts[status];
        if (status >= 200 && status <= 399)
            ++report.successCount;
    }

    const auto count = static_cast<int>(latenciesMs.size());
    report.totalRequests = count + failures;
    report.requestsPerSecond =
        totalWallMs > 0 ? static_cast<double>(report.totalRequests) / (totalWallMs / 1000) : 0;
    // A response with an error status is a failure, though its latency counts.
    report.failureCount = failures + (count - report.successCount);
    if (count > 0) {
        report.minMs = latenciesMs.front();
        report.maxMs = latenciesMs.back();
        report.avgMs = sum / count;
        const auto percentile = [&](double fraction) {
            const double index = std::round(fraction * static_cast<double>(count - 1));
            return latenciesMs[static_cast<std::size_t>(
                std::clamp(index, 0.0, static_cast<double>(count - 1)))];
        };
        report.p50Ms = percentile(0.5);
        report.p95Ms = percentile(0.95);
        report.p99Ms = percentile(0.99);
    }
    report.totalDurationMs = totalWallMs;
    report.concurrency = concurrency;
    return report;
}

std::string benchmarkLogMessage(TarnHTTPMethod method, std::string_view urlLabel,
                                const LoadBenchmarkReport& report) {
    using tarn::numbers::formatFixed;
    using tarn::numbers::formatInteger;
    // U+00B7 MIDDLE DOT, in UTF-8, between the groups.
    constexpr std::string_view separator = " \xC2\xB7 ";
    std::string message = "Load Benchmark ";
    message += rawValue(method);
    message += ' ';
    message += urlLabel;
    message += " (" + formatInteger(report.totalRequests) + " req, " +
               formatInteger(report.concurrency) +
               " workers): " + formatFixed(report.requestsPerSecond, 1) + " req/s";
    message += separator;
    message +=
        "ok=" + formatInteger(report.successCount) + " fail=" + formatInteger(report.failureCount);
    message += separator;
    message += "p50=" + formatFixed(report.p50Ms, 0) + "ms p95=" + formatFixed(report.p95Ms, 0) +
               "ms p99=" + formatFixed(report.p99Ms, 0) + "ms";
    return message;
}

} // namespace quiller::CollectionRunnerAndBenchmarkEngine
