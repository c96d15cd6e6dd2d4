#pragma once

// The header bar of a window with the unified titlebar: content laid out
// beside the window buttons, over a background that drags the window and
// answers double clicks like a title bar; and the top clearance of a
// full-height sidebar.
//
// Both follow the metrics of their window's TarnUnifiedTitlebarWindow, found
// when they are shown (or given with setMetrics).
//
// Threads: the GUI thread.

#include "TarnKit/Design/TarnUnifiedTitlebarMetrics.h"

#include <QColor>
#include <QMetaObject>
#include <QWidget>

class QHBoxLayout;

namespace tarn {

class TarnWindowButtons;
class TarnWindowDragArea;

class TarnUnifiedHeaderBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double leadingClearance READ leadingClearance)
public:
    // Where the window buttons sit: 25 from the leading edge, centred on the
    // standard header's middle (26), so that they measure as the defaults.
    static constexpr int buttonsLeading = 25;

    explicit TarnUnifiedHeaderBar(QWidget* parent = nullptr, double minHeight = 52,
                                  double trailingPadding = 18, double verticalPadding = 8,
                                  QColor backgroundColor = Qt::transparent);

    // The row that holds the header's content, inside the paddings: leading
    // the metrics' leadingClearance, trailing and vertical as constructed.
    QHBoxLayout* contentLayout() const { return m_content; }
    // The window buttons; null with native decorations.
    TarnWindowButtons* windowButtons() const { return m_buttons; }
    TarnWindowDragArea* dragArea() const { return m_dragArea; }

    void setMetrics(const TarnUnifiedTitlebarMetrics& metrics);
    double leadingClearance() const { return m_metrics.leadingClearance; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void bindToWindow();
    void placeButtons();

    TarnWindowDragArea* m_dragArea;
    QHBoxLayout* m_content;
    TarnWindowButtons* m_buttons = nullptr;
    QColor m_background;
    int m_trailing;
    int m_vertical;
    TarnUnifiedTitlebarMetrics m_metrics;
    QMetaObject::Connection m_binding;
};

// Sets the widget's layout top margin to extraTop + the window's
// sidebarTopClearance, now and at every change of the window's metrics (once
// the widget is in a window with a TarnUnifiedTitlebarWindow).
void tarnSidebarTitlebarClearance(QWidget& sidebar, double extraTop);

} // namespace tarn
