#include "TarnKit/Suite/SuiteWidgetContent.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarn::suitewidgets {

PressureLevel pressureLevel(std::string_view text) {
    if (text == "critical")
        return PressureLevel::critical;
    if (text == "warning")
        return PressureLevel::warning;
    return PressureLevel::normal;
}

std::int64_t roundedPercent(double value) {
    if (std::isnan(value))
        return 0;
    // Compared before converting: a double beyond the range makes llround
    // undefined. 2^63 is exactly representable; everything below it fits.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (value <= -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::round(value));
}

std::string decimal(std::int64_t value) {
    return std::to_string(value);
}

std::string percentText(double value) {
    return decimal(roundedPercent(value)) + "%";
}

double gaugeFillWidth(double fraction, double width) {
    if (!(width > 0) || !(fraction > 0))
        return 0;
    const double fill = fraction >= 1 ? width : fraction * width;
    return std::min(std::max(fill, 4.0), width);
}

double bannerFillWidth(double fraction, double width) {
    if (!(width > 0) || !(fraction > 0))
        return 0;
    // fraction × width may be infinite for a huge fraction; the bar bounds it.
    return std::min(std::max(fraction * width, 6.0), width);
}

CommandDispatchOutcome sendSuiteAction(const SuiteActionPorts& ports, TarnSuiteCommandKind kind,
                                       TarnSuiteApp sourceApp) {
    const std::optional<QuickActionRoute> route = quickActionRoute(kind);
    if (!route || ports.bus == nullptr)
        return CommandDispatchOutcome::targetUnavailable;
    return ports.bus->dispatch(kind, sourceApp, route->target, std::nullopt, std::nullopt,
                               std::nullopt,
                               /*launchIfNeeded=*/true, route->bringToFront);
}

} // namespace tarn::suitewidgets
