#pragma once

// What the suite widgets (quick-actions strip, memory pill and gauge card,
// offload banner) share: their fixed colours, the pressure levels, percentage
// texts, the widths of their progress fills and the one step that sends a
// command for a tap. Pure functions apart from sendSuiteAction; safe from any
// thread, except that sendSuiteAction belongs to the main thread like the
// command bus's dispatch.

#include "TarnKit/Suite/TarnSuiteCommandBus.h"
#include "TarnKit/Utilities/TarnColor.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn::suitewidgets {

// Active virtual-memory expansion and a running memory offload.
inline constexpr TarnColor violet = TarnColor::fromHex(0xA98BFF); // 169, 139, 255
// Swap in use, the memory pill at rest, the monitor's chips.
inline constexpr TarnColor cyan = TarnColor::fromHex(0x38E8FF); // 56, 232, 255
// A mounted virtual disk.
inline constexpr TarnColor mint = TarnColor::fromHex(0x47E6C1); // 71, 230, 193
// The process manager's targeting chips.
inline constexpr TarnColor rose = TarnColor::fromHex(0xFF6B81); // 255, 107, 129

// The colour with its alpha replaced.
constexpr TarnColor withOpacity(TarnColor colour, double opacity) {
    colour.alpha = opacity;
    return colour;
}

enum class PressureLevel { normal, warning, critical };
// Exact text: "critical" and "warning"; anything else is normal.
PressureLevel pressureLevel(std::string_view text);

// The value rounded to the nearest integer, halves away from zero. NaN is 0
// and values beyond the 64-bit range are held at its ends (a malformed peer
// file may hold 1e308).
std::int64_t roundedPercent(double value);
// roundedPercent followed by "%".
std::string percentText(double value);
// A count as decimal digits.
std::string decimal(std::int64_t value);

// The gauge's fill in a bar `width` wide: fraction × width within 0...width,
// at least 4 whenever the fraction is above 0; NaN draws nothing.
double gaugeFillWidth(double fraction, double width);
// The offload banner's fill: fraction × width, at least 6 whenever the
// fraction is above 0, none for 0 or below or NaN, and never wider than the
// bar itself.
double bannerFillWidth(double fraction, double width);

// Where a widget sends its commands and asks the desktop. Both may be absent
// (pictures, a host without a suite bus): then nothing is installed or sent.
struct SuiteActionPorts {
    TarnSuiteCommandBus* bus = nullptr;
    SuiteDesktop* desktop = nullptr;
};

// Sends one of the kinds the widgets send to its target, starting the target
// when it is installed but not running and bringing it forward as its route
// says: the command bus's dispatch with launch-if-needed on and no PID, name
// or payload. Main thread.
CommandDispatchOutcome sendSuiteAction(const SuiteActionPorts& ports, TarnSuiteCommandKind kind,
                                       TarnSuiteApp sourceApp);

} // namespace tarn::suitewidgets
