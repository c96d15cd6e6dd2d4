#include "TarnKit/Suite/SuiteDesktop.h"

#include "TarnKit/Platform/UnicodeText.h"

namespace tarn::suiteapp {
namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return text::caseFolded(a) == text::caseFolded(b);
}

std::optional<RunningApplication> firstRunning(TarnSuiteApp app, SuiteDesktop& desktop) {
    const std::string identifier = bundleIdentifier(app);
    for (RunningApplication& running : desktop.runningApplications()) {
        const bool owns =
            running.bundleIdentifier && equalIgnoringCase(*running.bundleIdentifier, identifier);
        const bool named =
            running.localizedName && equalIgnoringCase(*running.localizedName, rawValue(app));
        if (owns || named)
            return std::move(running);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::filesystem::path> installedURL(TarnSuiteApp app, SuiteDesktop& desktop) {
    return desktop.installedEntry(bundleIdentifier(app));
}

bool isInstalled(TarnSuiteApp app, SuiteDesktop& desktop) {
    return installedURL(app, desktop).has_value();
}

bool isRunning(TarnSuiteApp app, SuiteDesktop& desktop) {
    return firstRunning(app, desktop).has_value();
}

bool launch(TarnSuiteApp app, SuiteDesktop& desktop) {
    if (const std::optional<RunningApplication> running = firstRunning(app, desktop)) {
        desktop.activate(*running);
        return true;
    }
    const std::optional<std::filesystem::path> entry = installedURL(app, desktop);
    if (!entry)
        return false;
    desktop.open(*entry, true);
    return true;
}

} // namespace tarn::suiteapp
