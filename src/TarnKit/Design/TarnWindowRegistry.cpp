#include "TarnKit/Design/TarnWindowRegistry.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>

namespace tarn {
namespace {

constexpr const char* kPanelProperty = "tarnFloatingPanel";
// The window's last state without Qt::WindowMinimized, as an int.
constexpr const char* kRestoreStateProperty = "tarnRestoreState";

constexpr Qt::WindowStates kKeptStates = Qt::WindowMaximized | Qt::WindowFullScreen;

} // namespace

TarnWindowRegistry& TarnWindowRegistry::shared() {
    static auto* registry = new TarnWindowRegistry;
    return *registry;
}

TarnWindowRegistry::TarnWindowRegistry() {
    // Application-wide, so that windows are seen as they are constructed; the
    // filter looks at the event type first and is cheap for everything else.
    QCoreApplication::instance()->installEventFilter(this);
    for (QWidget* widget : QApplication::topLevelWidgets())
        registerWindow(widget);
}

void TarnWindowRegistry::registerWindow(QWidget* window) {
    if (window == nullptr || !window->isWindow())
        return;
    std::erase_if(m_windows, [](const QPointer<QWidget>& entry) { return entry.isNull(); });
    if (std::any_of(m_windows.begin(), m_windows.end(),
                    [window](const QPointer<QWidget>& entry) { return entry == window; }))
        return;
    m_windows.emplace_back(window);
    remember(*window);
}

std::vector<QWidget*> TarnWindowRegistry::windows() const {
    std::vector<QWidget*> result;
    for (const QPointer<QWidget>& entry : m_windows)
        if (entry && entry->isWindow())
            result.push_back(entry);
    return result;
}

void TarnWindowRegistry::markAsPanel(QWidget& window) {
    window.setProperty(kPanelProperty, true);
}

bool TarnWindowRegistry::isPanel(const QWidget& window) {
    return window.property(kPanelProperty).toBool();
}

bool TarnWindowRegistry::canBecomeMain(const QWidget& window) {
    return window.isWindow() && window.windowType() == Qt::Window && !isPanel(window);
}

void TarnWindowRegistry::remember(QWidget& window) {
    const Qt::WindowStates state = window.windowState();
    if (!(state & Qt::WindowMinimized))
        window.setProperty(kRestoreStateProperty, static_cast<int>(state & kKeptStates));
}

void TarnWindowRegistry::restoreFromMinimized(QWidget& window) {
    const Qt::WindowStates state = window.windowState();
    if (!(state & Qt::WindowMinimized))
        return;
    // Qt keeps the maximised flag beside the minimised one, but a window
    // manager may report the minimised state alone: the remembered state
    // decides then.
    Qt::WindowStates kept = state & kKeptStates;
    if (kept == Qt::WindowNoState) {
        const QVariant remembered = window.property(kRestoreStateProperty);
        if (remembered.isValid())
            kept = Qt::WindowStates(remembered.toInt()) & kKeptStates;
    }
    window.setWindowState(kept);
}

bool TarnWindowRegistry::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Create:
    case QEvent::ParentChange:
        if (watched->isWidgetType())
            registerWindow(static_cast<QWidget*>(watched));
        break;
    case QEvent::WindowStateChange:
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            remember(*static_cast<QWidget*>(watched));
        break;
    default:
        break;
    }
    return false;
}

} // namespace tarn
