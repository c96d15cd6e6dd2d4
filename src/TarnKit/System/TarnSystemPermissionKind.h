#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarn {

// The privacy permissions the suite's applications may need.
enum class TarnSystemPermissionKind {
    accessibility,
    screenRecording,
    systemAudio,
};

// Pure lookups, safe from any thread.

// "accessibility", "screenRecording", "systemAudio"; also the kind's identity.
std::string_view rawValue(TarnSystemPermissionKind kind);
std::string_view id(TarnSystemPermissionKind kind);

// The settings page that grants the permission. Linux desktops keep no
// per-application list for these permissions (an X11 session lets every client
// read the screen and synthesise input, a Wayland compositor asks through its
// portal at the moment of use), so there is no page to link to: always nullopt.
std::optional<std::string> settingsURL(TarnSystemPermissionKind kind);

namespace systempermissionkind {

// The three kinds in declaration order.
std::span<const TarnSystemPermissionKind> allCases();

// Exact, case-sensitive raw-value match.
[[nodiscard]] std::optional<TarnSystemPermissionKind> fromRaw(std::string_view text);

} // namespace systempermissionkind

} // namespace tarn
