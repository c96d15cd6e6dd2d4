#pragma once

// The application object: owns the executors, the one view model for the
// whole run, its bridge, the studio window with the "Quiller" command menu,
// and - where the desktop has a system tray - the tray icon with its popover.
// It holds no logic of its own beyond opening and fronting the studio window.
//
// Ending: the destructor closes the windows, then destroys the view model
// (which writes the last saves), then the background executor, which stops
// every send, stream, run and benchmark still in flight through its stop
// token and waits for them; a transfer ends within 100 ms of its stop.
//
// Threads: the GUI thread, after the QApplication exists.

#include "QuillerApp/ViewModels/QuillerViewModelPorts.h"
#include "TarnKit/Platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QMenuBar;
class QSystemTrayIcon;
class QWidget;

namespace tarn {
class QtMainExecutor;
class TarnAppActivationDelegate;
class TarnAppMenuController;
class ThreadBackgroundExecutor;
} // namespace tarn

namespace quiller {

class QuillerCommandMenu;
class QuillerStudioWindow;
class QuillerViewModel;
class ViewModelBridge;

class QuillerApp final : public QObject {
    Q_OBJECT
public:
    // Makes the view model's ports around the application's executors.
    using PortsFactory = std::function<QuillerViewModelPorts(
        std::shared_ptr<tarn::MainExecutor>, std::shared_ptr<tarn::BackgroundExecutor>)>;

    // Builds everything; shows nothing yet (see openStudio).
    explicit QuillerApp(const PortsFactory& makePorts);
    ~QuillerApp() override;

    tarn::TarnAppActivationDelegate& activationDelegate() const { return *m_delegate; }
    QuillerViewModel& viewModel() const { return *m_model; }
    ViewModelBridge& bridge() const { return *m_bridge; }
    QuillerStudioWindow& studioWindow() const { return *m_window; }
    QuillerCommandMenu& commandMenu() const { return *m_commandMenu; }
    QSystemTrayIcon* trayIcon() const { return m_tray.get(); }
    // The popover while it is open.
    QWidget* popover() const { return m_popover; }

    // The open-studio sequence, run at a reopen and by the popover's "Open
    // Studio": shows the studio window, restores it from the dock, raises it
    // and activates it.
    void openStudio();
    // Opens the popover at the tray icon (at the pointer where the icon's
    // place is unknown), or closes it when it is open. A fresh popover each
    // time, as it follows the view model only while it is shown.
    void togglePopover();

private:
    void refreshTrayLabel();

    // Made before the first window: it keeps the windows' creation order.
    std::unique_ptr<tarn::TarnAppActivationDelegate> m_delegate;
    std::shared_ptr<tarn::QtMainExecutor> m_main;
    std::shared_ptr<tarn::ThreadBackgroundExecutor> m_background;
    std::unique_ptr<QuillerViewModel> m_model;
    std::unique_ptr<ViewModelBridge> m_bridge;
    std::unique_ptr<QuillerStudioWindow> m_window;
    QuillerCommandMenu* m_commandMenu = nullptr;
    // The suite's application, Edit and Window menus; its feedback item opens
    // the feedback composer.
    std::unique_ptr<tarn::TarnAppMenuController> m_appMenu;
    QMenuBar* m_menuBar = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QPointer<QWidget> m_popover;
    tarn::NotificationCenter::ObserverToken m_reopenObserver{};
};

} // namespace quiller
