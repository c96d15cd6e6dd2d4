// Main-thread cost of an event stream: a stream delivers 100,000 events, each
// handed to the main thread as one job, and the view model applies them while
// an observer (the console's stand-in) hears about every change. The main
// thread runs the jobs as they come, while the stream still produces.
// "main_ms" is the processor time the main thread spent on them all together
// (target: 200 ms or less); "main_wall_ms" adds the time it waited for the
// queue's lock while the stream thread posted.

#include "BenchSupport.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "ViewModelBenchPorts.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <time.h>

namespace {

namespace fs = std::filesystem;
using namespace quiller;

constexpr int kEvents = 100'000;

class EventSource final : public RequestExecutionPort {
public:
    HTTPResponseSnapshot execute(const APIRequestSpec&, const VariableMap&, bool,
                                 std::stop_token) override {
        return {};
    }
    GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec&, const VariableMap&,
                                                     std::stop_token) override {
        return {};
    }
    void streamSSE(const std::string&, const HeaderList&, const std::optional<std::string>&,
                   TarnHTTPMethod, const SSEEventHandler& onEvent, std::stop_token) override {
        for (int i = 0; i < kEvents; ++i)
            onEvent(SSEStreamEvent{.eventType = "message",
                                   .data = R"({"sequence":)" + std::to_string(i) + "}"});
    }
};

double threadCPUMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void applyStreamEvents(benchmark::State& state) {
    const quiller::bench::ScratchFolder scratch;
    const fs::path& folder = scratch.path();
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger("Quiller", folder / "logs", 1 << 20, 1, nullptr);

    auto main = std::make_shared<quiller::bench::QueueMainExecutor>();
    QuillerViewModelPorts ports = quiller::bench::benchPorts(main, folder, keychain, logger);
    ports.requestExecution = std::make_shared<EventSource>();
    QuillerViewModel viewModel(std::move(ports));
    std::size_t heard = 0;
    const auto observer = viewModel.addObserver([&](const QuillerViewModel::Change& change) {
        if (change.field == QuillerViewModel::Field::sseEvents)
            heard += viewModel.sseEvents().size() > 0 ? 1 : 0;
    });
    viewModel.setSseURL("http://127.0.0.1:1/events");

    double cpuMs = 0;
    double wallMs = 0;
    for (auto _ : state) {
        viewModel.toggleSSEStream();
        // The stream ends by itself; its completion is the last job posted.
        while (viewModel.isSSEStreaming()) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = threadCPUMilliseconds();
            main->runAll();
            cpuMs += threadCPUMilliseconds() - cpuStart;
            wallMs +=
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            if (viewModel.isSSEStreaming())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (viewModel.sseEvents().size() != static_cast<std::size_t>(kEvents))
            state.SkipWithError("events were lost");
    }
    state.counters["main_ms"] = cpuMs / static_cast<double>(state.iterations());
    state.counters["main_wall_ms"] = wallMs / static_cast<double>(state.iterations());
    benchmark::DoNotOptimize(heard);
    // `heard` goes before the view model: the observer must not outlive it.
    viewModel.removeObserver(observer);
}

} // namespace

BENCHMARK(applyStreamEvents)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
