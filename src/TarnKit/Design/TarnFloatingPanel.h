#pragma once

// Small floating panels: frameless, shadowed tool windows that stay above the
// normal windows, take the keyboard without becoming the main window (see
// TarnWindowRegistry), and close on Escape.
//
// TarnFloatingPanelController owns one panel, made at the first show and then
// reused with new content; it places it at an anchor or centred a little above
// the middle of the screen under the pointer. TarnDraggableFloatingPanel is a
// panel that moves when dragged anywhere but on controls that track drags
// themselves (text fields and views, sliders, scroll bars, and widgets marked
// with tarnMarkCustomDragTracking), and reports the drag through callbacks.
//
// Threads: the GUI thread; callbacks are called from the event handling.

#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace tarn {

class TarnPanelDragTracker;

// The widget keeps its own drags: a drag that starts on it or inside it never
// moves a draggable panel.
void tarnMarkCustomDragTracking(QWidget& widget);

class TarnFloatingPanelController : public QObject {
    Q_OBJECT
public:
    using ContentBuilder = std::function<QWidget*()>;

    TarnFloatingPanelController(QSize size, bool dismissOnResignKey,
                                std::function<void()> onDismiss = {}, QObject* parent = nullptr);
    ~TarnFloatingPanelController() override;

    // False while there is no panel.
    bool isVisible() const;
    // Installs a fresh content (the builder's widget, owned by the panel from
    // then on), sizes the panel and places it: at the anchor when one is
    // given, else centred on the screen under the pointer when asked, else
    // where it was. Then shows, raises and activates it.
    void show(bool centeredOnActiveScreen, std::optional<QRect> anchorFrame,
              const ContentBuilder& content);
    // Shows a panel that is absent or hidden, else hides it.
    void toggle(bool centeredOnActiveScreen, std::optional<QRect> anchorFrame,
                const ContentBuilder& content);
    // Hides the panel (if any), then calls onDismiss (if any).
    void hide();

    // The panel once made; for tests and pictures.
    QWidget* panel() const { return m_panel; }

private:
    void windowDidResignKey();

    QSize m_size;
    bool m_dismissOnResignKey;
    std::function<void()> m_onDismiss;
    QPointer<QWidget> m_panel;
};

class TarnDraggableFloatingPanel : public QWidget {
    Q_OBJECT
public:
    explicit TarnDraggableFloatingPanel(QWidget* parent = nullptr);
    ~TarnDraggableFloatingPanel() override;

    std::function<void()> onEscapePressed;
    std::function<void(const QRect& frame)> onDragBegan;
    std::function<void(const QRect& frame)> onDragMoved;
    std::function<void(const QPoint& topLeft)> onDragEnded;
    std::function<void()> onDragCancelled;
    // The pointer in global coordinates; QCursor::pos() unless replaced.
    std::function<QPointF()> screenMouseLocationProvider;

    // Back to idle; with `notifyCancelled`, a drag that had started is
    // reported cancelled.
    void resetDragState(bool notifyCancelled);
    // Whether the widget or one of its ancestors in the panel tracks drags.
    bool isInteractiveControlThatTracksDrag(const QWidget* widget) const;

    bool isDragging() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void watchWindow();
    bool handleMouse(QMouseEvent& event);
    void applyCursor(bool push, bool pop);

    std::unique_ptr<TarnPanelDragTracker> m_tracker;
    QPointer<QWindow> m_watchedWindow;
    bool m_synthesising = false;
};

} // namespace tarn
