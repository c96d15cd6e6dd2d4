#include "TarnKit/System/TarnPermissionCenter.h"
#include "TarnKit/System/TarnSystemPermissionKind.h"
#include "support/EnvironmentScope.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using tarn::TarnSystemPermissionKind;
namespace permissions = tarn::TarnPermissionCenter;

using tarn::testing::EnvironmentScope;

TEST(TarnPermissionCenter, ChecksFollowTheDisplaySession) {
    struct Case {
        const char* name;
        std::optional<std::string> sessionType;
        std::optional<std::string> waylandDisplay;
        std::optional<std::string> display;
        bool granted;
    };
    const Case cases[] = {
        {"X11 session", "x11", std::nullopt, ":0", true},
        {"X11 display without a session type", std::nullopt, std::nullopt, ":1", true},
        {"Wayland session", "wayland", "wayland-0", std::nullopt, false},
        {"XWayland client of a Wayland session", "wayland", "wayland-0", ":0", false},
        {"Wayland display without a session type", std::nullopt, "wayland-0", ":0", false},
        {"session type only says Wayland", "wayland", std::nullopt, ":0", false},
        {"text console", "tty", std::nullopt, std::nullopt, false},
        {"empty display", std::nullopt, "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EnvironmentScope sessionType("XDG_SESSION_TYPE", c.sessionType);
        const EnvironmentScope waylandDisplay("WAYLAND_DISPLAY", c.waylandDisplay);
        const EnvironmentScope display("DISPLAY", c.display);
        EXPECT_EQ(permissions::isAccessibilityGranted(false), c.granted);
        EXPECT_EQ(permissions::isAccessibilityGranted(true), c.granted);
        EXPECT_EQ(permissions::isScreenRecordingGranted(), c.granted);
    }
}

TEST(TarnSystemPermissionKind, RawValuesAndNoSettingsPage) {
    const std::vector<std::string> expected = {"accessibility", "screenRecording", "systemAudio"};
    std::vector<std::string> raw;
    for (const TarnSystemPermissionKind kind : tarn::systempermissionkind::allCases()) {
        raw.emplace_back(rawValue(kind));
        EXPECT_EQ(id(kind), rawValue(kind));
        EXPECT_EQ(tarn::systempermissionkind::fromRaw(rawValue(kind)), kind);
        EXPECT_EQ(settingsURL(kind), std::nullopt);
        permissions::openSystemSettings(kind); // nothing to open, nothing to fail
    }
    EXPECT_EQ(raw, expected);
    EXPECT_EQ(tarn::systempermissionkind::fromRaw("ScreenRecording"), std::nullopt);
    EXPECT_EQ(tarn::systempermissionkind::fromRaw(""), std::nullopt);
}

} // namespace
