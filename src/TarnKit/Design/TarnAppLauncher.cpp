#include "TarnKit/Design/TarnAppLauncher.h"

#include "TarnKit/Design/TarnAppActivationDelegate.h"
#include "TarnKit/Design/TarnAppMenuController.h"
#include "TarnKit/Design/TarnWindowRegistry.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace tarn::launcher {
namespace {

std::unique_ptr<TarnAppActivationDelegate>& strongDelegate() {
    static std::unique_ptr<TarnAppActivationDelegate> delegate;
    return delegate;
}

std::unique_ptr<TarnAppMenuController>& strongMenuController() {
    static std::unique_ptr<TarnAppMenuController> controller;
    return controller;
}

// Gives each main window a menu bar when it is first shown.
class MenuBarInstaller : public QObject {
public:
    explicit MenuBarInstaller(TarnAppMenuController& controller) : m_controller(controller) {
        QCoreApplication::instance()->installEventFilter(this);
        for (QWidget* window : TarnWindowRegistry::shared().windows())
            if (window->isVisible())
                install(*window);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            install(*static_cast<QWidget*>(watched));
        return false;
    }

private:
    void install(QWidget& window) {
        if (window.isWindow() && TarnWindowRegistry::canBecomeMain(window))
            m_controller.attachMenuBar(window);
    }

    TarnAppMenuController& m_controller;
};

} // namespace

int run(std::unique_ptr<TarnAppActivationDelegate> delegate, TarnMainMenuDescription description) {
    strongDelegate() = std::move(delegate);
    strongMenuController() = std::make_unique<TarnAppMenuController>(std::move(description));
    static MenuBarInstaller* installer = nullptr;
    delete installer;
    installer = new MenuBarInstaller(*strongMenuController());
    if (TarnAppActivationDelegate* installed = strongDelegate().get())
        QTimer::singleShot(0, installed,
                           [installed] { installed->applicationDidFinishLaunching(); });
    return QApplication::exec();
}

TarnAppActivationDelegate* installedDelegate() {
    return strongDelegate().get();
}

TarnAppMenuController* installedMenuController() {
    return strongMenuController().get();
}

} // namespace tarn::launcher
