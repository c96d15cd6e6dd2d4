#pragma once

#include "TarnKit/Suite/SuiteDesktop.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class SessionBus;

// The desktop layer on Linux:
// - installed: "<bundle identifier>.desktop" in the "applications" folder of
//   the XDG data folders, the user's own first;
// - running: owners of session-bus names under the suite prefix (with their
//   process ids), then the user's processes by their /proc/<pid>/comm name;
// - activation: org.freedesktop.Application.Activate sent to the bus name.
//   A process that owns no bus name cannot be brought forward (Wayland gives
//   no other way), and activate() answers false;
// - opening: the entry's Exec line run without a shell, in a session of its
//   own, detached and reaped at once, so no zombie is left.
// Safe from any thread; the session bus, when given, must outlive it.
class LinuxSuiteDesktop final : public SuiteDesktop {
public:
    struct Options {
        // Searched in order; see xdgDataDirectories().
        std::vector<std::filesystem::path> dataDirectories;
        std::filesystem::path procRoot = "/proc";
        SessionBus* sessionBus = nullptr;
    };

    // $XDG_DATA_HOME (default ~/.local/share), then $XDG_DATA_DIRS (default
    // /usr/local/share and /usr/share), relative entries skipped.
    static std::vector<std::filesystem::path> xdgDataDirectories();

    explicit LinuxSuiteDesktop(Options options);

    std::vector<RunningApplication> runningApplications() override;
    bool activate(const RunningApplication& application) override;
    std::optional<std::filesystem::path> installedEntry(std::string_view bundleIdentifier) override;
    bool open(const std::filesystem::path& entry, bool activates) override;

private:
    Options m_options;
};

namespace desktopentry {

// The value of `key` in the "[Desktop Entry]" group, with the string escapes
// (\s \n \t \r \\) resolved; nothing when the group or key is missing.
[[nodiscard]] std::optional<std::string> value(std::string_view entryText, std::string_view key);

// The arguments of an Exec value: split at blanks outside double quotes,
// quoted escapes resolved, "%%" made "%", and the field codes (which stand for
// files, URLs, the icon, the name and the entry) left out, since nothing is
// opened with the program. Nothing for an unbalanced quote or an empty line.
[[nodiscard]] std::optional<std::vector<std::string>> execArguments(std::string_view exec);

// `program` itself when it holds a "/", else the first executable file of
// that name in $PATH.
std::optional<std::filesystem::path> resolveProgram(std::string_view program);

// Starts `arguments` (the first one an executable path) in a session of its
// own with its input and output on /dev/null, and returns once it has
// replaced itself with the program: false when it could not be started. The
// intermediate process is reaped before returning and the program is
// adopted by init (or the session's subreaper), so no zombie is ever left.
bool launchDetached(const std::vector<std::string>& arguments);

} // namespace desktopentry
} // namespace tarn
