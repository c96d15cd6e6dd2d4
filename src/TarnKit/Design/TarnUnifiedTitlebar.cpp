#include "TarnKit/Design/TarnUnifiedTitlebar.h"

#include "TarnKit/Design/TarnWindowButtons.h"

#include <QEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <vector>

namespace tarn {
namespace {

// A transparent strip along an edge or at a corner of a frameless window that
// hands a press to the window manager as a resize.
class ResizeStrip : public QWidget {
public:
    ResizeStrip(Qt::Edges edges, QWidget* window) : QWidget(window), m_edges(edges) {
        setObjectName(QStringLiteral("windowResizeStrip"));
        setAttribute(Qt::WA_NoSystemBackground);
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        if (horizontal && vertical) {
            const bool falling =
                edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
            setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        } else {
            setCursor(horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
        }
    }

    Qt::Edges edges() const { return m_edges; }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        QWindow* handle = window()->windowHandle();
        if (event->button() == Qt::LeftButton && handle != nullptr && !window()->isMaximized() &&
            !window()->isFullScreen())
            handle->startSystemResize(m_edges);
        event->accept();
    }

private:
    Qt::Edges m_edges;
};

constexpr int kStripThickness = 5;
constexpr int kCornerSize = 10;

} // namespace

bool tarnUsesNativeDecorations() {
    return qEnvironmentVariable("QUILLER_NATIVE_DECORATIONS") == "1";
}

void tarnConfigureUnifiedTitlebar(QWidget& window, TarnUnifiedTitlebarMode) {
    if (!tarnUsesNativeDecorations() && !(window.windowFlags() & Qt::FramelessWindowHint))
        window.setWindowFlag(Qt::FramelessWindowHint, true);
}

TarnUnifiedTitlebarMetrics tarnMeasureTitlebarMetrics(const QWidget& window,
                                                      double fullscreenLeading, double gap) {
    if (window.isFullScreen() || tarnUsesNativeDecorations()) {
        TarnUnifiedTitlebarMetrics metrics =
            TarnUnifiedTitlebarMetrics::calculate(0, 0, 0, true, fullscreenLeading, gap);
        metrics.isFullScreen = window.isFullScreen();
        return metrics;
    }
    std::vector<QRectF> frames;
    for (const TarnWindowButtonRole role :
         {TarnWindowButtonRole::close, TarnWindowButtonRole::minimize,
          TarnWindowButtonRole::zoom}) {
        for (const TarnWindowButton* button : window.findChildren<TarnWindowButton*>()) {
            if (button->role() != role || button->window() != &window ||
                !button->isVisibleTo(&window))
                continue;
            frames.emplace_back(QPointF(button->mapTo(&window, QPoint(0, 0))),
                                QSizeF(button->size()));
            break;
        }
    }
    return TarnUnifiedTitlebarMetrics::measure(frames, false, fullscreenLeading, gap);
}

TarnTitlebarObserver::TarnTitlebarObserver(TarnUnifiedTitlebarMode mode, double fullscreenLeading,
                                           double trafficLightGap, QObject* parent)
    : QObject(parent), m_mode(mode), m_fullscreenLeading(fullscreenLeading),
      m_gap(trafficLightGap) {}

void TarnTitlebarObserver::attach(QWidget* window) {
    if (window == m_window) {
        if (window != nullptr)
            reportCurrentMetrics();
        return;
    }
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window == nullptr)
        return;
    tarnConfigureUnifiedTitlebar(*window, m_mode);
    window->installEventFilter(this);
    reportCurrentMetrics();
    scheduleReport();
}

void TarnTitlebarObserver::reportCurrentMetrics() {
    if (!m_window)
        return;
    const TarnUnifiedTitlebarMetrics metrics =
        tarnMeasureTitlebarMetrics(*m_window, m_fullscreenLeading, m_gap);
    if (m_lastReported == metrics)
        return;
    m_lastReported = metrics;
    emit metricsChanged(metrics);
}

void TarnTitlebarObserver::scheduleReport() {
    if (m_reportPending)
        return;
    m_reportPending = true;
    QTimer::singleShot(0, this, [this] {
        m_reportPending = false;
        reportCurrentMetrics();
    });
}

bool TarnTitlebarObserver::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::LayoutRequest:
        case QEvent::WindowStateChange:
            scheduleReport();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

TarnUnifiedTitlebarWindow::TarnUnifiedTitlebarWindow(QWidget* window, TarnUnifiedTitlebarMode mode,
                                                     double fullscreenLeading,
                                                     double trafficLightGap)
    : QObject(window), m_window(window),
      m_observer(new TarnTitlebarObserver(mode, fullscreenLeading, trafficLightGap, this)) {
    setObjectName(QStringLiteral("unifiedTitlebarWindow"));
    connect(m_observer, &TarnTitlebarObserver::metricsChanged, this,
            [this](const TarnUnifiedTitlebarMetrics& metrics) {
                if (metrics == m_metrics)
                    return;
                m_metrics = metrics;
                emit metricsChanged(metrics);
            });
    if (!tarnUsesNativeDecorations()) {
        const std::array<Qt::Edges, 8> edges = {
            Qt::Edges(Qt::LeftEdge),       Qt::Edges(Qt::RightEdge),
            Qt::Edges(Qt::TopEdge),        Qt::Edges(Qt::BottomEdge),
            Qt::TopEdge | Qt::LeftEdge,    Qt::TopEdge | Qt::RightEdge,
            Qt::BottomEdge | Qt::LeftEdge, Qt::BottomEdge | Qt::RightEdge,
        };
        for (std::size_t index = 0; index < edges.size(); ++index)
            m_resizeStrips[index] = new ResizeStrip(edges[index], window);
        window->installEventFilter(this);
        placeResizeStrips();
    }
    m_observer->attach(window);
}

TarnUnifiedTitlebarWindow* TarnUnifiedTitlebarWindow::of(const QWidget* widget) {
    if (widget == nullptr)
        return nullptr;
    return widget->window()->findChild<TarnUnifiedTitlebarWindow*>(
        QStringLiteral("unifiedTitlebarWindow"), Qt::FindDirectChildrenOnly);
}

bool TarnUnifiedTitlebarWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::WindowStateChange:
        case QEvent::ChildAdded:
            placeResizeStrips();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TarnUnifiedTitlebarWindow::placeResizeStrips() {
    const int width = m_window->width();
    const int height = m_window->height();
    // A maximised or full-screen window has no edge to pull.
    const bool resizable = !m_window->isMaximized() && !m_window->isFullScreen();
    for (QWidget* widget : m_resizeStrips) {
        if (widget == nullptr)
            continue;
        const Qt::Edges edges = static_cast<ResizeStrip*>(widget)->edges();
        const bool corner =
            (edges & (Qt::LeftEdge | Qt::RightEdge)) && (edges & (Qt::TopEdge | Qt::BottomEdge));
        QRect frame;
        if (corner) {
            frame = QRect(edges & Qt::LeftEdge ? 0 : width - kCornerSize,
                          edges & Qt::TopEdge ? 0 : height - kCornerSize, kCornerSize, kCornerSize);
        } else if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
            frame = QRect(edges & Qt::LeftEdge ? 0 : width - kStripThickness, kCornerSize,
                          kStripThickness, height - 2 * kCornerSize);
        } else {
            frame = QRect(kCornerSize, edges & Qt::TopEdge ? 0 : height - kStripThickness,
                          width - 2 * kCornerSize, kStripThickness);
        }
        widget->setGeometry(frame);
        widget->setVisible(resizable);
        widget->raise();
    }
}

} // namespace tarn
