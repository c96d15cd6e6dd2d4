// The suite bus against its budgets on an idle machine: the memory summary
// within 2 ms, reading 49 live tiles within 5 ms, isRunning within 10 ms and a
// command from post to handler within 100 ms. The session-bus cases need a
// session bus (run under scripts/with-session or in a desktop session).
#include "BenchSupport.h"
#include "TarnKit/Suite/LinuxSuiteDesktop.h"
#include "TarnKit/Suite/SessionBusNotificationCenter.h"
#include "TarnKit/Suite/TarnSuiteCommandBus.h"
#include "TarnKit/Suite/TarnSuiteTelemetryBus.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unistd.h>

namespace {

using namespace tarn;

// Runs posted jobs when asked; timers are not needed here.
class QueueExecutor final : public MainExecutor {
public:
    void post(Job job) override {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        m_ready.notify_one();
    }
    [[nodiscard]] TimerToken postAfter(std::chrono::milliseconds, Job) override { return {}; }
    void cancel(TimerToken) override {}

    // Runs jobs until `done` holds or a second passes.
    template <class Done> bool runUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (!done()) {
            Job job;
            {
                std::unique_lock lock(m_mutex);
                if (!m_ready.wait_until(lock, deadline, [&] { return !m_jobs.empty(); }))
                    return false;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Job> m_jobs;
};

suite::Date now() {
    return std::chrono::system_clock::now();
}

void virtualMemorySummaryFromTheKernel(benchmark::State& state) {
    quiller::bench::ScratchFolder folder;
    const TarnSuiteTelemetryBus bus(folder.path());
    for (auto _ : state)
        benchmark::DoNotOptimize(bus.readVirtualMemorySummary(now()));
}
BENCHMARK(virtualMemorySummaryFromTheKernel)->Unit(benchmark::kMicrosecond);

void virtualMemorySummaryFromHeddle(benchmark::State& state) {
    quiller::bench::ScratchFolder folder;
    TarnSuiteTelemetryBus bus(folder.path());
    HeddleLiveStatus status;
    status.timestamp = now();
    status.senderPID = static_cast<std::int32_t>(::getpid());
    status.diskPoolNames = {"Pool A", "Pool B"};
    bus.publishHeddleStatus(status, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(bus.readVirtualMemorySummary(status.timestamp));
}
BENCHMARK(virtualMemorySummaryFromHeddle)->Unit(benchmark::kMicrosecond);

void readFortyNineLiveTiles(benchmark::State& state) {
    quiller::bench::ScratchFolder folder;
    TarnSuiteTelemetryBus bus(folder.path());
    const suite::Date stamp = now();
    for (const TarnSuiteApp app : suiteapp::allCases())
        bus.publishLiveTile(
            TarnLiveActivityTile::make(app, stamp, static_cast<std::int32_t>(::getpid()), "Working",
                                       "Çalışıyor", "42 %", "3 items", 0.42, std::nullopt,
                                       TarnLiveActivityTile::Tone::active, 5),
            false);
    std::size_t count = 0;
    for (auto _ : state)
        count = bus.readLiveTiles(stamp, 60).size();
    if (count != 49)
        state.SkipWithError("not every tile was read");
}
BENCHMARK(readFortyNineLiveTiles)->Unit(benchmark::kMicrosecond);

void isRunning(benchmark::State& state) {
    QueueExecutor main;
    const auto center = SessionBusNotificationCenter::connect(main);
    if (!center) {
        state.SkipWithError("no session bus");
        return;
    }
    LinuxSuiteDesktop desktop({LinuxSuiteDesktop::xdgDataDirectories(), "/proc", &center->bus()});
    for (auto _ : state)
        benchmark::DoNotOptimize(suiteapp::isRunning(TarnSuiteApp::heddle, desktop));
}
BENCHMARK(isRunning)->Unit(benchmark::kMicrosecond);

void commandFromPostToHandler(benchmark::State& state) {
    QueueExecutor main;
    const auto center = SessionBusNotificationCenter::connect(main);
    if (!center || !center->bus().ownName(suiteapp::bundleIdentifier(TarnSuiteApp::heddle))) {
        state.SkipWithError("no session bus");
        return;
    }
    quiller::bench::ScratchFolder folder;
    LinuxSuiteDesktop desktop({{}, "/proc", &center->bus()});
    TarnSuiteCommandBus::Ports ports;
    ports.mainExecutor = &main;
    ports.notifications = center.get();
    ports.desktop = &desktop;
    TarnSuiteCommandBus bus(folder.path(), ports);
    std::size_t received = 0;
    auto listener = bus.startListening(TarnSuiteApp::heddle,
                                       [&](const TarnSuiteCommandEnvelope&) { ++received; });
    for (auto _ : state) {
        const std::size_t before = received;
        if (!bus.send(TarnSuiteCommandKind::heddleThawAll, TarnSuiteApp::quiller,
                      TarnSuiteApp::heddle) ||
            !main.runUntil([&] { return received > before; })) {
            state.SkipWithError("the command did not arrive");
            break;
        }
    }
}
BENCHMARK(commandFromPostToHandler)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
