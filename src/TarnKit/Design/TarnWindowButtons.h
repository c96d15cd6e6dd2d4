#pragma once

// The three window buttons a frameless window draws at the leading edge of its
// header: close, minimise and zoom (maximise or restore). Each is a 14-pixel
// disc in its colour, grey while the window is inactive; while the pointer is
// over the group every button shows its glyph. The titlebar metrics measure
// them (TarnUnifiedTitlebar.h).
//
// Threads: the GUI thread.

#include <QAbstractButton>
#include <array>

namespace tarn {

enum class TarnWindowButtonRole { close, minimize, zoom };

class TarnWindowButton : public QAbstractButton {
    Q_OBJECT
    // The pointer is over the group: the glyph is drawn.
    Q_PROPERTY(bool hovered READ isHovered)
    // The button's window is the active one: drawn in colour, else grey.
    Q_PROPERTY(bool windowActive READ isWindowActive)
    Q_PROPERTY(QColor fillColor READ fillColor)
public:
    static constexpr int diameter = 14;

    TarnWindowButton(TarnWindowButtonRole role, QWidget* parent = nullptr);

    TarnWindowButtonRole role() const { return m_role; }
    bool isHovered() const { return m_hovered; }
    void setHovered(bool hovered);
    bool isWindowActive() const;
    QColor fillColor() const;

    QSize sizeHint() const override { return {diameter, diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TarnWindowButtonRole m_role;
    bool m_hovered = false;
};

// The group of three, 6 pixels apart (54 by 14). The buttons act on the
// group's window: close, showMinimized, and maximise or restore.
class TarnWindowButtons : public QWidget {
    Q_OBJECT
public:
    static constexpr int spacing = 6;

    explicit TarnWindowButtons(QWidget* parent = nullptr);

    TarnWindowButton* button(TarnWindowButtonRole role) const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::array<TarnWindowButton*, 3> m_buttons{};
};

// Maximises a window that is not maximised (or full screen), else restores it.
void tarnToggleZoom(QWidget& window);

} // namespace tarn
