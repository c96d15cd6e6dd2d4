// The history tab with a full history: 200 entries, each with a response
// snippet of 400 characters. Targets: a refresh after the history changed
// (a new send: one entry in front, the oldest gone) 10 ms or less, through
// the bridge's turn, the filter, the list model and the inspector; typing in
// the search field 2 ms or less per keystroke. The filter alone is measured
// as well.

#include "../BenchSupport.h"
#include "../ViewModelBenchPorts.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/RequestHistoryTimelineView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <array>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quiller;

constexpr int kEntries = 200;

RequestHistoryEntry makeEntry(int index) {
    RequestHistoryEntry entry;
    entry.requestName = "Request " + std::to_string(index);
    entry.method = index % 3 == 0 ? TarnHTTPMethod::post : TarnHTTPMethod::get;
    entry.sanitizedURL = "https://api.example.com/v1/" +
                         std::string(index % 2 == 0 ? "users/" : "orders/") + std::to_string(index);
    entry.statusCode = index % 7 == 0 ? 404 : 200;
    entry.durationMs = 10.0 + index;
    entry.responseBytes = 400 + index;
    entry.responseSnippet = std::string(390, 'x') + "0123456789";
    entry.timestamp = std::chrono::system_clock::now() - std::chrono::minutes(index);
    return entry;
}

std::vector<RequestHistoryEntry> fullHistory() {
    std::vector<RequestHistoryEntry> entries;
    entries.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i)
        entries.push_back(makeEntry(i));
    return entries;
}

// A view model over real stores in a scratch folder, on the Qt event loop,
// with the history tab showing it.
struct HistoryScreen {
    quiller::bench::ScratchFolder scratch;
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger{"Quiller", scratch.path() / "logs", 1 << 20, 1, nullptr};
    std::shared_ptr<tarn::QtMainExecutor> main = std::make_shared<tarn::QtMainExecutor>();
    QuillerViewModel model{quiller::bench::benchPorts(main, scratch.path(), keychain, logger)};
    ViewModelBridge bridge{model};
    std::unique_ptr<RequestHistoryTimelineView> view;

    HistoryScreen() {
        model.setExecutionHistory(fullHistory());
        QCoreApplication::processEvents();
        view = std::make_unique<RequestHistoryTimelineView>(model, bridge);
        view->setAttribute(Qt::WA_DontShowOnScreen);
        view->resize(1280, 740);
        view->show();
        QCoreApplication::processEvents();
    }
};

void BM_HistoryRefreshAfterASend(benchmark::State& state) {
    HistoryScreen screen;
    // Two histories that differ as two consecutive sends do.
    std::vector<RequestHistoryEntry> before = fullHistory();
    std::vector<RequestHistoryEntry> after = before;
    after.pop_back();
    after.insert(after.begin(), makeEntry(kEntries));
    bool flip = false;
    for (auto _ : state) {
        screen.model.setExecutionHistory(flip ? before : after);
        QCoreApplication::processEvents();
        flip = !flip;
    }
}
BENCHMARK(BM_HistoryRefreshAfterASend)->Unit(benchmark::kMillisecond);

void BM_HistorySearchKeystroke(benchmark::State& state) {
    HistoryScreen screen;
    auto* field = screen.view->findChild<QLineEdit*>(QStringLiteral("historySearch"));
    field->setFocus();
    // "users" typed and taken back again, one key at a time.
    const std::array<std::pair<Qt::Key, QString>, 10> keys = {{
        {Qt::Key_U, QStringLiteral("u")},
        {Qt::Key_S, QStringLiteral("s")},
        {Qt::Key_E, QStringLiteral("e")},
        {Qt::Key_R, QStringLiteral("r")},
        {Qt::Key_S, QStringLiteral("s")},
        {Qt::Key_Backspace, QString()},
        {Qt::Key_Backspace, QString()},
        {Qt::Key_Backspace, QString()},
        {Qt::Key_Backspace, QString()},
        {Qt::Key_Backspace, QString()},
    }};
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& [key, text] = keys[next];
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(field, &release);
        next = (next + 1) % keys.size();
    }
}
BENCHMARK(BM_HistorySearchKeystroke)->Unit(benchmark::kMicrosecond);

void BM_HistoryFilterOnly(benchmark::State& state) {
    const std::vector<RequestHistoryEntry> entries = fullHistory();
    const RequestHistoryFilter filter{"users", std::nullopt, RequestHistoryStatusBucket::all};
    for (auto _ : state)
        benchmark::DoNotOptimize(RequestHistoryEngine::filter(entries, filter));
}
BENCHMARK(BM_HistoryFilterOnly)->Unit(benchmark::kMicrosecond);

} // namespace
