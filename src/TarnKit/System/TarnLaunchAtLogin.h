#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Launch at login as an XDG autostart entry: the desktop session starts the
// application when "$XDG_CONFIG_HOME/autostart/com.corvane.quiller.desktop"
// exists and does not switch itself off.
//
// No state: every call reads or writes the file afresh. Meant for the main
// thread (the settings screen), but safe from any thread; the functions
// without a file argument read the environment, so they must not race with
// setenv on another thread.
namespace tarn::TarnLaunchAtLogin {

// Whether the application's entry is in place: the file exists, can be read
// and holds neither "Hidden=true" nor "X-GNOME-Autostart-enabled=false" in its
// [Desktop Entry] group. False when there is no home folder to look in.
bool isEnabled();

// Writes the entry for the running executable (atomically, mode 0644), or
// removes it. True on success, also when there was nothing to change; false on
// any failure (a read-only folder, no home folder, an executable path an
// entry cannot express), which leaves the file as it was. The caller rereads
// isEnabled() afterwards.
bool setEnabled(bool enabled);

// The same for a given entry file and executable: the seam for tests and for
// an application launched through a wrapper.
bool isEnabled(const std::filesystem::path& entryFile);
bool setEnabled(bool enabled, const std::filesystem::path& entryFile,
                const std::filesystem::path& executable);

// "$XDG_CONFIG_HOME/autostart/<bundle identifier>.desktop", resolved from the
// environment now. Throws tarn::PlatformError when there is no home folder.
std::filesystem::path entryFile();

// The running executable as the kernel knows it (/proc/self/exe); nullopt when
// that cannot be read.
std::optional<std::filesystem::path> currentExecutable();

// The whole entry that starts `executable` without arguments; nullopt when the
// path is not valid UTF-8 or holds a control character other than tab, line
// feed and carriage return, which an entry's value cannot carry.
std::optional<std::string> desktopEntry(const std::filesystem::path& executable);

// One argument of an Exec value by the Desktop Entry rules: quoted in double
// quotes (with '"', '`', '$' and '\' escaped by a backslash) when it is empty or
// holds a reserved character, every '%' doubled, and then the escapes of a
// string value applied ('\' doubled; tab, line feed and carriage return as
// \t, \n and \r). Nullopt as for desktopEntry.
std::optional<std::string> execArgument(std::string_view argument);

} // namespace tarn::TarnLaunchAtLogin
