#include "TarnKit/Design/TarnTearOffDragRegion.h"

#include "TarnKit/Design/TarnFloatingPanelGeometry.h"

#include <QGuiApplication>
#include <QMouseEvent>

namespace tarn {

TarnTearOffDragRegion::TarnTearOffDragRegion(
    std::function<void(bool outsideHost)> onTearOffStateChanged,
    std::function<void(QPointF screenPoint)> onTearOffDropped, QWidget* parent)
    : QWidget(parent), m_onTearOffStateChanged(std::move(onTearOffStateChanged)),
      m_onTearOffDropped(std::move(onTearOffDropped)),
      m_tracker(std::make_unique<TarnTearOffTracker>()) {
    setObjectName(QStringLiteral("tearOffDragRegion"));
    setCursor(Qt::OpenHandCursor);
}

TarnTearOffDragRegion::~TarnTearOffDragRegion() {
    if (m_cursorPushed)
        QGuiApplication::restoreOverrideCursor();
}

void TarnTearOffDragRegion::setCallbacks(
    std::function<void(bool outsideHost)> onTearOffStateChanged,
    std::function<void(QPointF screenPoint)> onTearOffDropped) {
    m_onTearOffStateChanged = std::move(onTearOffStateChanged);
    m_onTearOffDropped = std::move(onTearOffDropped);
}

bool TarnTearOffDragRegion::isTracking() const {
    return m_tracker->isTracking();
}

bool TarnTearOffDragRegion::isOutsideHost() const {
    return m_tracker->isOutsideHost();
}

void TarnTearOffDragRegion::mousePressEvent(QMouseEvent* event) {
    // The region keeps its events: the window never moves from a press here.
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_tracker->press(event->globalPosition());
}

void TarnTearOffDragRegion::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!m_tracker->isTracking())
        return;
    const TarnTearOffTracker::DragOutcome outcome =
        m_tracker->drag(event->globalPosition(), QRectF(window()->frameGeometry()));
    if (outcome.pushClosedHand) {
        QGuiApplication::setOverrideCursor(Qt::ClosedHandCursor);
        m_cursorPushed = true;
    }
    if (outcome.outsideChanged && m_onTearOffStateChanged)
        m_onTearOffStateChanged(*outcome.outsideChanged);
}

void TarnTearOffDragRegion::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const TarnTearOffTracker::ReleaseOutcome outcome = m_tracker->release(event->globalPosition());
    if (outcome.reportInside && m_onTearOffStateChanged)
        m_onTearOffStateChanged(false);
    if (outcome.popClosedHand && m_cursorPushed) {
        QGuiApplication::restoreOverrideCursor();
        m_cursorPushed = false;
    }
    if (outcome.droppedAt && m_onTearOffDropped)
        m_onTearOffDropped(*outcome.droppedAt);
}

} // namespace tarn
