#include "TarnKit/System/TarnPermissionCenter.h"

#include <cstdlib>
#include <string_view>

namespace tarn::TarnPermissionCenter {
namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

bool runsUnderX11WithoutGate() {
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    if (sessionType != nullptr && std::string_view(sessionType) == "wayland")
        return false;
    if (isSet("WAYLAND_DISPLAY"))
        return false;
    return isSet("DISPLAY");
}

} // namespace

bool isAccessibilityGranted(bool /*prompt*/) {
    return runsUnderX11WithoutGate();
}

bool isScreenRecordingGranted() {
    return runsUnderX11WithoutGate();
}

void openSystemSettings(TarnSystemPermissionKind /*kind*/) {
    // settingsURL has nothing to offer on Linux; an unbuildable URL is ignored.
}

} // namespace tarn::TarnPermissionCenter
