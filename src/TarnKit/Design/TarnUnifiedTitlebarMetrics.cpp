#include "TarnKit/Design/TarnUnifiedTitlebarMetrics.h"

#include <algorithm>
#include <cmath>

namespace tarn {

TarnUnifiedTitlebarMetrics TarnUnifiedTitlebarMetrics::calculate(
    double trafficLightMaxX, double trafficLightCenterY, double trafficLightBottomY,
    bool isFullScreen, double fullscreenLeading, double gap, double sidebarVerticalGap) {
    if (isFullScreen)
        return {fullscreenLeading, 26, 0, fullscreenLeading, true};
    const double bottom = trafficLightBottomY > 0 ? trafficLightBottomY : 23;
    return {
        trafficLightMaxX > 0 ? std::ceil(trafficLightMaxX + gap) : fallbackLeadingClearance,
        trafficLightCenterY > 0 ? trafficLightCenterY : 26,
        bottom,
        std::ceil(bottom + sidebarVerticalGap),
        false,
    };
}

TarnUnifiedTitlebarMetrics TarnUnifiedTitlebarMetrics::measure(std::span<const QRectF> buttonFrames,
                                                               bool isFullScreen,
                                                               double fullscreenLeading,
                                                               double gap) {
    if (isFullScreen)
        return calculate(0, 0, 0, true, fullscreenLeading, gap);
    double maxX = 0;
    double bottom = 0;
    double centre = 0;
    for (const QRectF& frame : buttonFrames) {
        if (!(frame.width() > 0) || !(frame.height() > 0))
            continue;
        maxX = std::max(maxX, frame.x() + frame.width());
        bottom = std::max(bottom, frame.y() + frame.height());
        centre = frame.y() + frame.height() / 2;
    }
    return calculate(maxX, centre, bottom, false, fullscreenLeading, gap,
                     sidebarTrafficLightVerticalGap);
}

} // namespace tarn
