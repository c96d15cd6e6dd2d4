#pragma once

// The background of a frameless window's header: dragging it moves the window
// and a double click does what the desktop does on a title bar.
//
// Threads: the GUI thread.

#include <QPoint>
#include <QWidget>
#include <functional>
#include <optional>
#include <string_view>

namespace tarn {

enum class TarnTitlebarDoubleClickAction { zoom, minimize, none };

// The desktop setting "action-double-click-titlebar" as an action, compared
// exactly: absent and the toggle-maximize values zoom, "minimize" minimises,
// "none", "lower", "menu" and "toggle-shade" (which we have no counterpart
// for) do nothing, any other value zooms.
TarnTitlebarDoubleClickAction
tarnTitlebarDoubleClickAction(std::optional<std::string_view> setting);

// The desktop's setting through GIO (org.gnome.desktop.wm.preferences), read
// at each call; absent when the schema is not installed.
std::optional<std::string> tarnDesktopTitlebarDoubleClickSetting();

// The window moves with QWindow::startSystemMove once the pointer has
// travelled the application's drag distance with the left button held (never
// on the press, which would swallow a double click); where no window manager
// takes the move, the area moves the window itself. Clicks are accepted in an
// inactive window, as a title bar does.
class TarnWindowDragArea : public QWidget {
    Q_OBJECT
public:
    using DoubleClickSettingProvider = std::function<std::optional<std::string>()>;

    explicit TarnWindowDragArea(QWidget* parent = nullptr);

    // Where the double-click setting comes from; the desktop by default.
    // Tests pass a fixed value.
    void setDoubleClickSettingProvider(DoubleClickSettingProvider provider);

    // Whether a drag is being followed by the area itself (no window manager).
    bool isMovingWindowItself() const { return m_movingItself; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    DoubleClickSettingProvider m_doubleClickSetting;
    bool m_armed = false;
    bool m_movingItself = false;
    QPoint m_pressGlobal;
    QPoint m_windowStart;
};

} // namespace tarn
