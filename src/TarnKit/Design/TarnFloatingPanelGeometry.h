#pragma once

// The pure parts of the floating panels and the tear-off region: where a panel
// is placed, and the two pointer trackers (a panel dragged by its background,
// a region torn out of its window). The widgets feed them events and do what
// the outcomes say, so the rules are tested without a window system.
//
// Coordinates are Qt's: global screen pixels with y growing downwards. An edge
// is x + width (never QRect::right(), which is one pixel short).
//
// Threads: pure, safe anywhere.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <cstddef>
#include <optional>
#include <span>

namespace tarn {

namespace panelgeometry {

// x in [x, x + width) and y in [y, y + height).
bool contains(const QRectF& rect, QPointF point);

struct ScreenFrames {
    QRectF frame;
    QRectF availableFrame; // without panels and docks
};

// The first screen whose frame holds the pointer; else the primary screen;
// else the first; none without screens.
std::optional<std::size_t> screenUnderPointer(std::span<const ScreenFrames> screens,
                                              QPointF pointer, std::optional<std::size_t> primary);

// Centred horizontally in the available frame and 40 pixels above the
// vertical centre, but never closer than 24 pixels to its bottom.
QPointF centredTopLeft(const QRectF& availableFrame, QSizeF size);

// The panel's bottom-left corner on the anchor's bottom-left corner (the
// anchor's origin in a y-up system; flipped once here).
QPointF anchoredTopLeft(const QRectF& anchor, QSizeF size);

} // namespace panelgeometry

// A panel that moves when dragged anywhere but on controls that track drags
// themselves. Idle until a press off such a control arms it; 4 pixels of
// travel start the drag, which from then on moves the panel and swallows the
// pointer events; the release ends it.
class TarnPanelDragTracker {
public:
    static constexpr double threshold = 4;

    enum class State { idle, armed, dragging };

    struct Outcome {
        bool passOn = true;                // hand the event to the content
        std::optional<QPointF> moveTo;     // the panel's new top-left
        bool began = false;                // before the first move of a drag
        bool moved = false;                // after moveTo
        std::optional<QPointF> endedAt;    // the drag ended with the panel here
        bool cancelled = false;            // a started drag was cancelled
        bool pushClosedHand = false;       // show the closed-hand cursor
        bool popClosedHand = false;        // take it away again
        bool synthesiseFarRelease = false; // replace the release by one far away
    };

    State state() const { return m_state; }

    Outcome press(QPointF screenPoint, QPointF panelTopLeft, bool onDragTrackingControl);
    Outcome move(QPointF screenPoint);
    // `panelTopLeft` is where the panel is when the button goes up.
    Outcome release(QPointF panelTopLeft);
    // Escape, losing the key focus, hiding: back to idle.
    Outcome reset(bool notifyCancelled);

private:
    bool popCursor();

    State m_state = State::idle;
    bool m_cursorPushed = false;
    QPointF m_startPoint;
    QPointF m_startTopLeft;
};

// A region the user pulls out of its window. 8 pixels from the press the
// tracker starts to follow the pointer; the pointer is outside the host once it
// leaves the window's frame grown by 4 pixels on every side. Each crossing is
// reported once; a release outside reports "inside" again, then the drop.
class TarnTearOffTracker {
public:
    static constexpr double threshold = 8;
    static constexpr double hostMargin = 4;

    struct DragOutcome {
        bool pushClosedHand = false;
        std::optional<bool> outsideChanged; // the new state, when it changed
    };
    struct ReleaseOutcome {
        bool reportInside = false; // the drag ended outside: outside is over
        bool popClosedHand = false;
        std::optional<QPointF> droppedAt;
    };

    bool isTracking() const { return m_tracking; }
    bool isOutsideHost() const { return m_outside; }

    void press(QPointF screenPoint);
    DragOutcome drag(QPointF screenPoint, const QRectF& hostFrame);
    ReleaseOutcome release(QPointF screenPoint);

private:
    bool m_tracking = false;
    bool m_outside = false;
    bool m_cursorPushed = false;
    QPointF m_start;
};

} // namespace tarn
