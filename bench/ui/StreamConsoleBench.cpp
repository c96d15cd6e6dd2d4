// The streaming tab under a fast event stream: a stream thread delivers 2,000
// Server-Sent Events per second for 60 seconds (120,000 events) through the
// real view model into the shown console, while a 5 ms timer on the GUI thread
// measures how late the event loop gets to it.
//
// Targets: event-loop latency ("latency_p99_ms", how late the timer fired at
// the 99th percentile) 50 ms or less, and memory growth near the payload size
// ("bytes_per_event", the resident-set growth per event kept, beside
// "payload_bytes" per event).
//
// QUILLER_CONSOLE_SECONDS shortens the run for a quick look (default 60).

#include "BenchSupport.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/StreamAndWebSocketView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"
#include "ViewModelBenchPorts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace quiller;
using namespace std::chrono_literals;

constexpr int kEventsPerSecond = 2'000;
constexpr auto kProbeInterval = 5ms;

int streamSeconds() {
    const char* text = std::getenv("QUILLER_CONSOLE_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 60;
    return seconds > 0 ? seconds : 60;
}

// One token of a chat completion streamed as JSON, about 80 bytes.
std::string payload(int index) {
    return R"({"id":"cmpl-7Qx","choices":[{"index":0,"delta":{"content":"token )" +
           std::to_string(index) + R"("}}]})";
}

// Delivers the events at the stream's pace from the stream's own thread.
class PacedEventSource final : public RequestExecutionPort {
public:
    explicit PacedEventSource(int events) : m_events(events) {}

    HTTPResponseSnapshot execute(const APIRequestSpec&, const VariableMap&, bool,
                                 std::stop_token) override {
        return {};
    }
    GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec&, const VariableMap&,
                                                     std::stop_token) override {
        return {};
    }
    void streamSSE(const std::string&, const HeaderList&, const std::optional<std::string>&,
                   TarnHTTPMethod, const SSEEventHandler& onEvent, std::stop_token stop) override {
        const auto start = std::chrono::steady_clock::now();
        const auto spacing = std::chrono::nanoseconds(1'000'000'000 / kEventsPerSecond);
        for (int i = 0; i < m_events && !stop.stop_requested(); ++i) {
            std::this_thread::sleep_until(start + i * spacing);
            onEvent(SSEStreamEvent{.eventType = "message", .data = payload(i)});
        }
    }

private:
    int m_events;
};

double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[at];
}

void consoleUnderFastStream(benchmark::State& state) {
    const int events = streamSeconds() * kEventsPerSecond;
    const quiller::bench::ScratchFolder scratch;
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger("Quiller", scratch.path() / "logs", 1 << 20, 1, nullptr);
    auto main = std::make_shared<tarn::QtMainExecutor>();
    QuillerViewModelPorts ports =
        quiller::bench::benchPorts(main, scratch.path(), keychain, logger);
    ports.requestExecution = std::make_shared<PacedEventSource>(events);

    for (auto _ : state) {
        QuillerViewModel model(ports);
        model.setSseURL("http://127.0.0.1:1/events");
        ViewModelBridge bridge(model);
        StreamAndWebSocketView view(model, bridge);
        view.resize(1280, 800);
        view.show();
        QCoreApplication::processEvents();

        std::vector<double> lateness;
        lateness.reserve(static_cast<std::size_t>(streamSeconds()) * 1000 / 5 + 16);
        QElapsedTimer clock;
        qint64 lastFire = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(kProbeInterval);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            lateness.push_back(std::max<double>(
                0, static_cast<double>(now - lastFire) / 1e6 -
                       std::chrono::duration<double, std::milli>(kProbeInterval).count()));
            lastFire = now;
        });

        const double residentBefore = residentBytes();
        QEventLoop loop;
        QObject::connect(&bridge, &ViewModelBridge::changed, &loop, [&] {
            if (!model.isSSEStreaming())
                loop.quit();
        });
        clock.start();
        probe.start();
        model.toggleSSEStream();
        loop.exec();
        probe.stop();
        const double residentAfter = residentBytes();

        const auto kept = static_cast<double>(model.sseEvents().size());
        if (model.sseEvents().size() != static_cast<std::size_t>(events))
            state.SkipWithError("events were lost");
        state.counters["events"] = kept;
        state.counters["latency_p50_ms"] = percentile(lateness, 0.50);
        state.counters["latency_p99_ms"] = percentile(lateness, 0.99);
        state.counters["latency_max_ms"] = percentile(lateness, 1.0);
        state.counters["bytes_per_event"] = (residentAfter - residentBefore) / kept;
        state.counters["payload_bytes"] = static_cast<double>(payload(events / 2).size());
    }
}

} // namespace

BENCHMARK(consoleUnderFastStream)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
