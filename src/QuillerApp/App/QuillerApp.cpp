#include "QuillerApp/App/QuillerApp.h"

#include "QuillerApp/App/QuillerCommandMenu.h"
#include "QuillerApp/App/QuillerStudioWindow.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/APIClientWorkbenchView.h"
#include "QuillerApp/Views/GraphQLSchemaExplorerDrawer.h"
#include "QuillerApp/Views/MenuBarQuillerPopoverView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnAppActivationDelegate.h"
#include "TarnKit/Design/TarnAppMenuController.h"
#include "TarnKit/Design/TarnFeedbackSheet.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <string>

namespace quiller {
namespace {

using Field = QuillerViewModelField;

// Where a popover of `size` goes for a tray icon at `icon`: under the icon
// when it sits in the upper half of its screen, over it otherwise, kept on
// the screen.
QPoint popoverPosition(const QRect& icon, const QSize& size) {
    const QScreen* screen = QGuiApplication::screenAt(icon.center());
    const QRect available = screen ? screen->availableGeometry() : QRect(icon.topLeft(), size);
    int x = icon.center().x() - size.width() / 2;
    int y = icon.center().y() < available.center().y() ? icon.y() + icon.height() + 4
                                                       : icon.y() - size.height() - 4;
    x = std::clamp(x, available.x(),
                   std::max(available.x(), available.x() + available.width() - size.width()));
    y = std::clamp(y, available.y(),
                   std::max(available.y(), available.y() + available.height() - size.height()));
    return {x, y};
}

} // namespace

QuillerApp::QuillerApp(const PortsFactory& makePorts)
    : m_delegate(std::make_unique<tarn::TarnAppActivationDelegate>()),
      m_main(std::make_shared<tarn::QtMainExecutor>()),
      m_background(std::make_shared<tarn::ThreadBackgroundExecutor>()) {
    m_model = std::make_unique<QuillerViewModel>(makePorts(m_main, m_background));
    m_bridge = std::make_unique<ViewModelBridge>(*m_model);
    // The workbench hosts the schema explorer; it lives in its own files.
    APIClientWorkbenchView::setGraphQLDrawerFactory(
        [](QuillerViewModel& model, ViewModelBridge& bridge, QWidget* parent) -> QWidget* {
            return new GraphQLSchemaExplorerDrawer(model, bridge, parent);
        });
    m_window = std::make_unique<QuillerStudioWindow>(*m_model, *m_bridge);
    m_commandMenu = new QuillerCommandMenu(*m_model, *m_bridge, m_window.get());

    tarn::TarnMainMenuDescription description;
    description.appName = "Quiller";
    description.language = [this] { return m_model->language(); };
    description.openFeedback = [this](const std::string& appName,
                                      const tarn::TarnAppVersion& version,
                                      tarn::TarnLanguage language) {
        tarn::TarnFeedbackSheetPorts ports = tarn::TarnFeedbackSheetPorts::desktop();
        ports.main = m_main;
        ports.background = m_background;
        tarn::presentFeedbackSheet(appName, version, tarn::TarnProductPalette::deepIndigo, language,
                                   std::move(ports));
    };
    m_appMenu = std::make_unique<tarn::TarnAppMenuController>(std::move(description));

    // The menus go into the desktop's global menu bar where it has one, the
    // command menu before Window; a menu bar inside the window would push the
    // header down.
    m_menuBar = new QMenuBar(m_window.get());
    for (QAction* menu : m_appMenu->mainMenu()->actions()) {
        if (menu == m_appMenu->windowsMenu()->menuAction())
            m_menuBar->addMenu(m_commandMenu->menu());
        m_menuBar->addAction(menu);
    }
    if (!m_menuBar->isNativeMenuBar()) {
        delete m_menuBar;
        m_menuBar = nullptr;
        // Without a global menu bar the tray's menu is the only one: the
        // application menu (About, Feedback, Quit) hangs from its end.
        const QList<QAction*> menus = m_appMenu->mainMenu()->actions();
        if (!menus.isEmpty()) {
            m_commandMenu->menu()->addSeparator();
            m_commandMenu->menu()->addAction(menus.front());
        }
    }

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = std::make_unique<QSystemTrayIcon>();
        m_tray->setIcon(tarn::symbolIcon("paperplane.fill", Qt::white, 22));
        m_tray->setContextMenu(m_commandMenu->menu());
        connect(m_tray.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger)
                        togglePopover();
                });
        connect(m_bridge.get(), &ViewModelBridge::changed, this,
                [this](const ViewModelChanges& changes) {
                    if (changes.containsAny({Field::isProxyRunning, Field::activeProxyPort}))
                        refreshTrayLabel();
                });
        refreshTrayLabel();
        m_tray->show();
    }
    // With a tray the application stays until Quit; without one, closing the
    // studio window ends it.
    QApplication::setQuitOnLastWindowClosed(!m_tray);

    m_reopenObserver = tarn::NotificationCenter::defaultCenter().addObserver(
        tarn::TarnAppActivationDelegate::reopenStudioWindowNotificationName(),
        [this](const tarn::Notification&) {
            QMetaObject::invokeMethod(
                this, [this] { openStudio(); }, Qt::QueuedConnection);
        });
}

QuillerApp::~QuillerApp() {
    tarn::NotificationCenter::defaultCenter().removeObserver(m_reopenObserver);
    delete m_popover;
    m_tray.reset();
    m_window.reset();
    m_appMenu.reset();
    m_bridge.reset();
    // Writes the last saves.
    m_model.reset();
    // Stops what is still running and waits for it; results it posts back
    // find nobody.
    m_background.reset();
    m_main.reset();
    m_delegate.reset();
}

void QuillerApp::openStudio() {
    // The studio window is the one main window: showing it never makes a second.
    m_window->show();
    m_window->activateWindow();
    tarn::TarnAppActivationDelegate::bringStudioWindowToFront();
}

void QuillerApp::togglePopover() {
    if (m_popover) {
        m_popover->close();
        return;
    }
    auto* popover = new QWidget(nullptr, Qt::Popup);
    popover->setObjectName(QStringLiteral("menuBarPopover"));
    popover->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(popover);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new MenuBarQuillerPopoverView(*m_model, *m_bridge, [this] {
        if (m_popover)
            m_popover->close();
        openStudio();
    }));
    popover->adjustSize();
    const QRect icon = m_tray ? m_tray->geometry() : QRect();
    popover->move(popoverPosition(icon.isValid() ? icon : QRect(QCursor::pos(), QSize(1, 1)),
                                  popover->size()));
    m_popover = popover;
    popover->show();
}

void QuillerApp::refreshTrayLabel() {
    // The tray shows the symbol alone; the port the server listens on goes
    // into the icon's tool tip, as ":8787".
    m_tray->setToolTip(
        m_model->isProxyRunning()
            ? tarn::qt::toQString(":" + tarn::numbers::formatInteger(m_model->activeProxyPort()))
            : QString());
}

} // namespace quiller
