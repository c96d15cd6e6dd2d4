#pragma once

// The suite's window chrome for Qt: a frameless window that draws its own
// header with its own window buttons (TarnWindowButtons) at the leading edge,
// the measurement of those buttons as titlebar metrics, and the observer that
// keeps the metrics current while the window resizes or enters and leaves
// full screen.
//
// With QUILLER_NATIVE_DECORATIONS=1 the window manager's decorations stay: the
// window draws no buttons and the metrics report the full-screen leading inset,
// since the header then starts right at the window's edge.
//
// Threads: the GUI thread.

#include "TarnKit/Design/TarnUnifiedTitlebarMetrics.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>

namespace tarn {

// Whether QUILLER_NATIVE_DECORATIONS is "1".
bool tarnUsesNativeDecorations();

// Makes the window frameless (unless native decorations are asked for) with no
// title shown by us. The mode only matters for the metrics' users: a header
// bar for unifiedHeader, a sidebar's clearance for fullHeightSidebar.
void tarnConfigureUnifiedTitlebar(QWidget& window, TarnUnifiedTitlebarMode mode);

// The metrics of the window now: full screen or native decorations give the
// full-screen result; otherwise the shown TarnWindowButtons in the window,
// mapped into its coordinates (none found: the fallbacks).
TarnUnifiedTitlebarMetrics tarnMeasureTitlebarMetrics(const QWidget& window,
                                                      double fullscreenLeading, double gap);

// Watches one window and reports its metrics each time they change, once per
// change: at attach, again one event-loop turn later (the layout has settled
// then), and a turn after every resize, show, layout or window-state change.
// Equal metrics are never reported twice in a row, also across a detach.
class TarnTitlebarObserver : public QObject {
    Q_OBJECT
public:
    explicit TarnTitlebarObserver(
        TarnUnifiedTitlebarMode mode = TarnUnifiedTitlebarMode::unifiedHeader,
        double fullscreenLeading = TarnUnifiedTitlebarMetrics::fullscreenLeadingMargin,
        double trafficLightGap = TarnUnifiedTitlebarMetrics::trafficLightGap,
        QObject* parent = nullptr);

    // Starts watching `window` (configuring it), or stops with nullptr.
    // Attaching the watched window again only re-measures.
    void attach(QWidget* window);
    QWidget* observedWindow() const { return m_window; }
    // Measures now and reports when the metrics differ from the last report.
    void reportCurrentMetrics();

signals:
    void metricsChanged(const tarn::TarnUnifiedTitlebarMetrics& metrics);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleReport();

    TarnUnifiedTitlebarMode m_mode;
    double m_fullscreenLeading;
    double m_gap;
    QPointer<QWidget> m_window;
    std::optional<TarnUnifiedTitlebarMetrics> m_lastReported;
    bool m_reportPending = false;
};

// The chrome of one window: configures it, keeps its metrics through an
// observer, and (frameless) gives it edge strips that resize it through the
// window manager. A child of the window; header bars and sidebars in the
// window find it with of().
class TarnUnifiedTitlebarWindow : public QObject {
    Q_OBJECT
public:
    explicit TarnUnifiedTitlebarWindow(
        QWidget* window, TarnUnifiedTitlebarMode mode = TarnUnifiedTitlebarMode::unifiedHeader,
        double fullscreenLeading = TarnUnifiedTitlebarMetrics::fullscreenLeadingMargin,
        double trafficLightGap = TarnUnifiedTitlebarMetrics::trafficLightGap);

    // The chrome of the widget's window, if it has one.
    static TarnUnifiedTitlebarWindow* of(const QWidget* widget);

    // The last reported metrics; the default metrics until the first report.
    const TarnUnifiedTitlebarMetrics& metrics() const { return m_metrics; }
    TarnTitlebarObserver& observer() { return *m_observer; }

signals:
    // Only when the metrics differ from metrics().
    void metricsChanged(const tarn::TarnUnifiedTitlebarMetrics& metrics);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeResizeStrips();

    QWidget* m_window;
    TarnTitlebarObserver* m_observer;
    TarnUnifiedTitlebarMetrics m_metrics;
    std::array<QWidget*, 8> m_resizeStrips{};
};

} // namespace tarn
