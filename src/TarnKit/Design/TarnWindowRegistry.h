#pragma once

// The application's top-level windows in creation order, which Qt does not
// keep (QApplication::topLevelWidgets() is unordered). The activation delegate
// fronts the first window that can become the main window; the menus act on
// the windows.
//
// Once shared() has been called (the activation delegate does it at start-up),
// every widget created as a window is recorded as it is constructed; windows
// made before that can be added with registerWindow. Each window's last state
// other than minimised is remembered, so it is restored maximised (or full
// screen) when it is un-minimised.
//
// Threads: the GUI thread.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace tarn {

class TarnWindowRegistry : public QObject {
    Q_OBJECT
public:
    // The one registry, made on first use; needs the QApplication.
    static TarnWindowRegistry& shared();

    // Appends a window not yet recorded; nothing for a widget that is not a
    // window.
    void registerWindow(QWidget* window);
    // The recorded widgets that still exist and are windows, in creation order.
    std::vector<QWidget*> windows() const;

    // A floating panel never becomes the main window.
    static void markAsPanel(QWidget& window);
    static bool isPanel(const QWidget& window);
    // A window of type Qt::Window that is not a floating panel.
    static bool canBecomeMain(const QWidget& window);

    // Takes a minimised window back to its last other state: maximised, full
    // screen or normal.
    void restoreFromMinimized(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TarnWindowRegistry();
    void remember(QWidget& window);

    std::vector<QPointer<QWidget>> m_windows;
};

} // namespace tarn
