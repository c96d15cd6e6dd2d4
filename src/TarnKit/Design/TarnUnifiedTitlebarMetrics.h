#pragma once

// Where a window's own header content may start beside its window buttons.
//
// Qt's y axis already points down from the window's top edge, so every
// vertical value here is a plain distance from the top: nothing is flipped.
//
// Threads: pure values and functions, safe anywhere.

#include <QRectF>
#include <span>

namespace tarn {

enum class TarnUnifiedTitlebarMode {
    // A header bar runs across the top beside the window buttons.
    unifiedHeader,
    // A sidebar runs the full window height and starts below the buttons.
    fullHeightSidebar,
};

// All lengths in logical pixels.
struct TarnUnifiedTitlebarMetrics {
    // How far from the leading edge header content starts to clear the buttons.
    double leadingClearance = 93;
    double trafficLightCenterY = 26;
    double trafficLightBottomY = 33;
    // The top inset a full-height sidebar needs to clear the buttons.
    double sidebarTopClearance = 37;
    bool isFullScreen = false;

    static constexpr double standardHeight = 52;
    static constexpr double fallbackLeadingClearance = 93;
    static constexpr double fullscreenLeadingMargin = 16;
    static constexpr double trafficLightGap = 14;
    static constexpr double sidebarTrafficLightVerticalGap = 14;

    // From measured values. Full screen (no buttons shown) gives
    // {fullscreenLeading, 26, 0, fullscreenLeading, true}. Otherwise a
    // non-positive maxX falls back to 93, centre to 26 and bottom to 23;
    // clearances are rounded up.
    static TarnUnifiedTitlebarMetrics
    calculate(double trafficLightMaxX, double trafficLightCenterY, double trafficLightBottomY,
              bool isFullScreen, double fullscreenLeading = fullscreenLeadingMargin,
              double gap = trafficLightGap,
              double sidebarVerticalGap = sidebarTrafficLightVerticalGap);

    // From the frames, in window coordinates, of the window buttons that are
    // shown, in the order close, minimise, zoom: maxX is the largest x + width,
    // the bottom the largest y + height, and the last button's middle sets the
    // centre. Frames without area are passed over.
    static TarnUnifiedTitlebarMetrics measure(std::span<const QRectF> buttonFrames,
                                              bool isFullScreen, double fullscreenLeading,
                                              double gap);

    friend bool operator==(const TarnUnifiedTitlebarMetrics&,
                           const TarnUnifiedTitlebarMetrics&) = default;
};

} // namespace tarn
