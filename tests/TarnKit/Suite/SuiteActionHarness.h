#pragma once

#include "TarnKit/Suite/FakeSuiteDesktop.h"
#include "TarnKit/Suite/SuiteTestSupport.h"
#include "TarnKit/Suite/SuiteWidgetContent.h"
#include "support/ManualExecutors.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <optional>

namespace tarn::testing {

// What a host hands the suite widgets: a command bus over a temporary folder,
// telling a fake desktop and an in-process notification centre.
struct SuiteActionHarness {
    SuiteActionHarness() {
        TarnSuiteCommandBus::Ports busPorts;
        busPorts.mainExecutor = &main;
        busPorts.notifications = &center;
        busPorts.desktop = &desktop;
        busPorts.clock = [this] { return now; };
        bus.emplace(folder.path(), std::move(busPorts));
    }

    suitewidgets::SuiteActionPorts ports() { return {&*bus, &desktop}; }
    bool hasCommandFor(TarnSuiteApp app) const {
        return std::filesystem::exists(bus->commandFile(app));
    }
    // No command files, nothing installed or running.
    void reset() {
        std::filesystem::remove_all(folder.path() / "Commands");
        desktop.clear();
    }

    TemporaryFolder folder{"quiller-widgets"};
    ManualMainExecutor main;
    InProcessNotificationCenter center{main};
    FakeSuiteDesktop desktop;
    // The time every command is written at.
    suite::Date now = sampleDate();
    std::optional<TarnSuiteCommandBus> bus;
};

} // namespace tarn::testing
