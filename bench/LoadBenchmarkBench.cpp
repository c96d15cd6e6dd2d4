// The load benchmark end to end: 200 loopback GETs on 24 workers, each on a
// fresh transfer and connection, with the report and its log line.
//
//   LoadBenchmark200x24   against the mock server in this process
//
// Extra mode, used by bench/load-benchmark-vs-hey.sh:
//   --load=URL [--rounds=N] [--total=200] [--concurrency=24]
//       one unmeasured benchmark of URL, then N more (default 1), printing
//       each one's requests per second on a line of its own
//
// The log lines go to a temporary folder, never to the user's own log.

#include "BenchSupport.h"
#include "QuillerCore/Services/CollectionRunnerService.h"
#include "QuillerCore/Services/LocalHTTPProxyService.h"
#include "TarnKit/Platform/Numbers.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

namespace Engine = quiller::CollectionRunnerService;

quiller::APIRequestSpec getSpec(const std::string& url) {
    quiller::APIRequestSpec spec;
    spec.name = "Bench";
    spec.url = url;
    return spec;
}

void LoadBenchmark200x24(benchmark::State& state) {
    quiller::MockRouteRule route;
    route.method = "GET";
    route.path = "/bench";
    route.statusCode = 200;
    route.contentType = "application/json";
    route.responseBody = R"({"ok":true})";
    quiller::LocalHTTPProxyService server;
    server.updateMockRoutes({route});
    const std::uint16_t port = server.start(0);
    const quiller::APIRequestSpec spec =
        getSpec("http://127.0.0.1:" + std::to_string(port) + "/bench");

    double requestsPerSecond = 0;
    for (auto _ : state) {
        const quiller::LoadBenchmarkReport report =
            Engine::runLoadBenchmark(spec, {}, 200, 24, std::stop_token());
        if (report.successCount != 200)
            state.SkipWithError("a send failed");
        requestsPerSecond += report.requestsPerSecond;
    }
    state.counters["req/s"] = requestsPerSecond / static_cast<double>(state.iterations());
    server.stop();
}
BENCHMARK(LoadBenchmark200x24)->Unit(benchmark::kMillisecond)->UseRealTime();

std::optional<long long> positiveOption(int argc, char** argv, std::string_view name,
                                        long long fallback) {
    const std::optional<std::string> text = quiller::bench::option(argc, argv, name);
    if (!text)
        return fallback;
    const std::optional<long long> value = tarn::numbers::parseInteger(*text);
    if (!value || *value < 1 || *value > 1'000'000)
        return std::nullopt;
    return value;
}

int loadRounds(const std::string& url, long long rounds, int total, int concurrency) {
    const quiller::APIRequestSpec spec = getSpec(url);
    for (long long round = 0; round <= rounds; ++round) {
        const quiller::LoadBenchmarkReport report =
            Engine::runLoadBenchmark(spec, {}, total, concurrency, std::stop_token());
        if (report.failureCount != 0) {
            std::cerr << tarn::numbers::formatInteger(report.failureCount)
                      << " requests failed; is the server at " << url << " up?\n";
            return 1;
        }
        // The first round warms what the peer's first run warms as well: the
        // program's pages, the server's workers.
        if (round > 0)
            std::cout << tarn::numbers::formatFixed(report.requestsPerSecond, 1) << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Log lines go to a scratch folder, never the real home.
    const quiller::bench::ScratchDataHome dataHome;

    if (const auto url = quiller::bench::option(argc, argv, "--load")) {
        const auto rounds = positiveOption(argc, argv, "--rounds", 1);
        const auto total =
            positiveOption(argc, argv, "--total",
                           quiller::CollectionRunnerAndBenchmarkEngine::maxBenchmarkRequests);
        const auto concurrency =
            positiveOption(argc, argv, "--concurrency",
                           quiller::CollectionRunnerAndBenchmarkEngine::maxBenchmarkWorkers);
        if (!rounds || !total || !concurrency) {
            std::cerr << "--rounds, --total and --concurrency take a positive number\n";
            return 2;
        }
        return loadRounds(*url, *rounds, static_cast<int>(*total), static_cast<int>(*concurrency));
    }
    return quiller::bench::runRegisteredBenchmarks(argc, argv);
}
