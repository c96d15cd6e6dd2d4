#include "TarnKit/Design/TarnFloatingPanelGeometry.h"

#include <QLineF>
#include <algorithm>

namespace tarn {

namespace panelgeometry {

bool contains(const QRectF& rect, QPointF point) {
    return point.x() >= rect.x() && point.x() < rect.x() + rect.width() && point.y() >= rect.y() &&
           point.y() < rect.y() + rect.height();
}

std::optional<std::size_t> screenUnderPointer(std::span<const ScreenFrames> screens,
                                              QPointF pointer, std::optional<std::size_t> primary) {
    for (std::size_t index = 0; index < screens.size(); ++index)
        if (contains(screens[index].frame, pointer))
            return index;
    if (primary && *primary < screens.size())
        return primary;
    if (!screens.empty())
        return 0;
    return std::nullopt;
}

QPointF centredTopLeft(const QRectF& availableFrame, QSizeF size) {
    const double x = availableFrame.x() + availableFrame.width() / 2 - size.width() / 2;
    const double raised = availableFrame.y() + availableFrame.height() / 2 - size.height() / 2 - 40;
    const double lowest = availableFrame.y() + availableFrame.height() - 24 - size.height();
    return {x, std::min(raised, lowest)};
}

QPointF anchoredTopLeft(const QRectF& anchor, QSizeF size) {
    return {anchor.x(), anchor.y() + anchor.height() - size.height()};
}

} // namespace panelgeometry

bool TarnPanelDragTracker::popCursor() {
    const bool pushed = m_cursorPushed;
    m_cursorPushed = false;
    return pushed;
}

TarnPanelDragTracker::Outcome TarnPanelDragTracker::press(QPointF screenPoint, QPointF panelTopLeft,
                                                          bool onDragTrackingControl) {
    Outcome outcome;
    outcome.popClosedHand = popCursor();
    m_state = State::idle;
    if (!onDragTrackingControl) {
        m_startPoint = screenPoint;
        m_startTopLeft = panelTopLeft;
        m_state = State::armed;
    }
    return outcome;
}

TarnPanelDragTracker::Outcome TarnPanelDragTracker::move(QPointF screenPoint) {
    Outcome outcome;
    if (m_state == State::idle)
        return outcome;
    const QPointF delta = screenPoint - m_startPoint;
    if (m_state == State::armed) {
        if (QLineF(QPointF(), delta).length() < threshold)
            return outcome;
        m_state = State::dragging;
        outcome.began = true;
        if (!m_cursorPushed) {
            m_cursorPushed = true;
            outcome.pushClosedHand = true;
        }
    }
    outcome.passOn = false;
    outcome.moveTo = m_startTopLeft + delta;
    outcome.moved = true;
    return outcome;
}

TarnPanelDragTracker::Outcome TarnPanelDragTracker::release(QPointF panelTopLeft) {
    Outcome outcome;
    if (m_state == State::dragging) {
        outcome.passOn = false;
        outcome.synthesiseFarRelease = true;
        outcome.endedAt = panelTopLeft;
        outcome.popClosedHand = popCursor();
    }
    m_state = State::idle;
    return outcome;
}

TarnPanelDragTracker::Outcome TarnPanelDragTracker::reset(bool notifyCancelled) {
    Outcome outcome;
    const bool started = m_state == State::dragging;
    m_state = State::idle;
    outcome.popClosedHand = popCursor();
    outcome.cancelled = started && notifyCancelled;
    return outcome;
}

void TarnTearOffTracker::press(QPointF screenPoint) {
    m_tracking = true;
    m_outside = false;
    m_start = screenPoint;
}

TarnTearOffTracker::DragOutcome TarnTearOffTracker::drag(QPointF screenPoint,
                                                         const QRectF& hostFrame) {
    DragOutcome outcome;
    if (!m_tracking || QLineF(m_start, screenPoint).length() < threshold)
        return outcome;
    if (!m_cursorPushed) {
        m_cursorPushed = true;
        outcome.pushClosedHand = true;
    }
    const QRectF grown = hostFrame.adjusted(-hostMargin, -hostMargin, hostMargin, hostMargin);
    const bool outside = !panelgeometry::contains(grown, screenPoint);
    if (outside != m_outside) {
        m_outside = outside;
        outcome.outsideChanged = outside;
    }
    return outcome;
}

TarnTearOffTracker::ReleaseOutcome TarnTearOffTracker::release(QPointF screenPoint) {
    ReleaseOutcome outcome;
    if (!m_tracking)
        return outcome;
    const bool wasOutside = m_outside;
    m_tracking = false;
    m_outside = false;
    outcome.reportInside = wasOutside;
    outcome.popClosedHand = m_cursorPushed;
    m_cursorPushed = false;
    if (wasOutside)
        outcome.droppedAt = screenPoint;
    return outcome;
}

} // namespace tarn
