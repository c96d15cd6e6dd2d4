#pragma once

// The view tests' fixture: a QuillerViewModel over the fakes of
// ViewModelFakes.h whose main executor is the Qt event loop, and the bridge
// the views observe it through. Background jobs still run only when the test
// says so (background->runAll()); savers write when workspaceSaves() asks.
// Widget tests only (they need the QApplication of QtTestMain).

#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"
#include "support/ViewModelFakes.h"

#include <QCoreApplication>
#include <memory>

namespace quiller::testing {

class QtViewModelTest : public ViewModelTest {
protected:
    QtViewModelTest() {
        QuillerViewModelPorts qtPorts = ports();
        qtPorts.main = qtMain;
        viewModel = std::make_unique<QuillerViewModel>(qtPorts);
        bridge = std::make_unique<ViewModelBridge>(*viewModel);
    }
    ~QtViewModelTest() override { bridge.reset(); }

    // Ends the event-loop turn: the bridge delivers, posted jobs run.
    static void endTurn() { QCoreApplication::processEvents(); }

    std::shared_ptr<tarn::QtMainExecutor> qtMain = std::make_shared<tarn::QtMainExecutor>();
    std::unique_ptr<ViewModelBridge> bridge;
};

} // namespace quiller::testing
