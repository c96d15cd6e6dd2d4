#pragma once

// A region the user grabs to pull a piece of the interface out of its window,
// as when a card is torn off into a window of its own. During a drag from the
// region it reports whether the pointer has left the host window, and on a
// release outside the window it reports the drop point in global coordinates,
// where the caller can open the torn-off content. The open hand shows while
// hovering, the closed hand while dragging. (Desktops here give no haptic
// feedback, so crossing the window edge is silent.)
//
// Threads: the GUI thread; callbacks are called from the mouse handlers.

#include <QPointF>
#include <QWidget>
#include <functional>
#include <memory>

namespace tarn {

class TarnTearOffTracker;

class TarnTearOffDragRegion : public QWidget {
    Q_OBJECT
public:
    TarnTearOffDragRegion(std::function<void(bool outsideHost)> onTearOffStateChanged,
                          std::function<void(QPointF screenPoint)> onTearOffDropped,
                          QWidget* parent = nullptr);
    ~TarnTearOffDragRegion() override;

    void setCallbacks(std::function<void(bool outsideHost)> onTearOffStateChanged,
                      std::function<void(QPointF screenPoint)> onTearOffDropped);

    bool isTracking() const;
    bool isOutsideHost() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void(bool)> m_onTearOffStateChanged;
    std::function<void(QPointF)> m_onTearOffDropped;
    std::unique_ptr<TarnTearOffTracker> m_tracker;
    bool m_cursorPushed = false;
};

} // namespace tarn
