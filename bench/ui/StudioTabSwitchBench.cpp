// Switching the studio's tab destroys the shown screen and builds the new
// one. Target: 30 ms or less for the busiest screen, over the 1,000-request
// workspace and a full history.

#include "BenchSupport.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/MainQuillerStudioView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "StudioFixture.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"
#include "ViewModelBenchPorts.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace quiller;

void BM_StudioTabSwitch(benchmark::State& state) {
    const auto tab = static_cast<QuillerTab>(state.range(0));
    bench::ScratchFolder folder;
    ::setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
    bench::writeStudioFixture();
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger{"Quiller", folder.path() / "log", 1 << 20, 1, nullptr};
    auto main = std::make_shared<tarn::QtMainExecutor>();
    QuillerViewModelPorts ports = bench::benchPorts(main, folder.path(), keychain, logger);
    ports.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(std::nullopt, keychain);
    ports.historyStore = std::make_shared<HistoryStoreAdapter>();
    {
        QuillerViewModel model(ports);
        if (model.executionHistory().size() != 200 || model.collections().size() != 10)
            state.SkipWithError("the fixture did not load");
        ViewModelBridge bridge(model);
        MainQuillerStudioView view(model, bridge, QColor(0x6a, 0x5c, 0xff));
        view.resize(1280, 800);
        view.show();
        QCoreApplication::processEvents();
        // From a neighbouring tab to the measured one, each time.
        const QuillerTab away =
            tab == QuillerTab::client ? QuillerTab::history : QuillerTab::client;
        for (auto _ : state) {
            state.PauseTiming();
            model.setSelectedTab(away);
            QCoreApplication::processEvents();
            state.ResumeTiming();
            model.setSelectedTab(tab);
            QCoreApplication::processEvents();
            benchmark::DoNotOptimize(view.tabScreen());
        }
        state.SetLabel(std::string(rawValue(tab)));
    }
}
BENCHMARK(BM_StudioTabSwitch)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

} // namespace
