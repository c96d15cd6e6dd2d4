#pragma once

// The desktop's side of the roster: which suite applications are installed
// and running, bringing one forward, and starting one. LinuxSuiteDesktop
// (LinuxSuiteDesktop.h) is the real one; tests hand in fakes.

#include "TarnKit/Suite/TarnSuiteApp.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// One running application as the desktop knows it.
struct RunningApplication {
    // The session-bus name it owns, when it owns its bundle identifier.
    std::optional<std::string> bundleIdentifier;
    // The process's own name.
    std::optional<std::string> localizedName;
    std::int32_t pid = 0;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// Members may be called from any thread unless an implementation says
// otherwise; launch() and the suite's callers keep to the main thread.
class SuiteDesktop {
public:
    SuiteDesktop() = default;
    SuiteDesktop(const SuiteDesktop&) = delete;
    SuiteDesktop& operator=(const SuiteDesktop&) = delete;
    virtual ~SuiteDesktop() = default;

    virtual std::vector<RunningApplication> runningApplications() = 0;
    // Asks the application to come forward; false when it cannot be asked.
    virtual bool activate(const RunningApplication& application) = 0;
    // The application's desktop entry "<bundle identifier>.desktop", user
    // folder first; nothing when none exists.
    virtual std::optional<std::filesystem::path>
    installedEntry(std::string_view bundleIdentifier) = 0;
    // Starts the entry's program, detached; `activates` says whether it is
    // meant to come forward. False when it could not be started.
    virtual bool open(const std::filesystem::path& entry, bool activates) = 0;
};

namespace suiteapp {

std::optional<std::filesystem::path> installedURL(TarnSuiteApp app, SuiteDesktop& desktop);
bool isInstalled(TarnSuiteApp app, SuiteDesktop& desktop);
// Whether a running application owns the bundle identifier or, failing
// that, bears the raw value as its name (both ignoring letter case).
bool isRunning(TarnSuiteApp app, SuiteDesktop& desktop);
// Brings a running instance forward, else opens the installed one (asking
// it to come forward); false when the application is neither running nor
// installed. Whether the start succeeds is not reported.
bool launch(TarnSuiteApp app, SuiteDesktop& desktop);

} // namespace suiteapp
} // namespace tarn
