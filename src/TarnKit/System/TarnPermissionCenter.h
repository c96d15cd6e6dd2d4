#pragma once

#include "TarnKit/System/TarnSystemPermissionKind.h"

// Checks of the privacy permissions the suite's applications need. Linux has no
// per-application gate for them; what decides is the kind of display session:
//
// - X11: every client may read the screen and synthesise or watch input, so
//   both checks read as granted.
// - Wayland: the compositor keeps other applications' windows and input to
//   itself and hands out screen capture only through its portal, one request at
//   a time, so both checks read as not granted.
// - No display at all (a text console, a service): not granted.
//
// The session is read from the environment on every call: Wayland when
// XDG_SESSION_TYPE is "wayland" or WAYLAND_DISPLAY is set (an X11 client
// running under XWayland still cannot see the native windows), else X11 when
// DISPLAY is set. No state; reads the environment, so a call must not race
// with setenv on another thread.
namespace tarn::TarnPermissionCenter {

// `prompt` is accepted for the callers' sake: there is no dialog to show, so
// no call ever shows one.
bool isAccessibilityGranted(bool prompt);
bool isScreenRecordingGranted();

// There is no settings page to open (settingsURL is always nullopt), so this
// does nothing.
void openSystemSettings(TarnSystemPermissionKind kind);

} // namespace tarn::TarnPermissionCenter
