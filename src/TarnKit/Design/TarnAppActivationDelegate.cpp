#include "TarnKit/Design/TarnAppActivationDelegate.h"

#include "TarnKit/Design/TarnWindowRegistry.h"
#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/NotificationCenter.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "TarnKit/Utilities/TarnAppVersion.h"
#include "TarnKit/Utilities/TarnBundle.h"

#include <QApplication>
#include <QSysInfo>
#include <QTimer>
#include <QWidget>

namespace tarn {

TarnAppActivationDelegate::TarnAppActivationDelegate(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("appActivationDelegate"));
    TarnWindowRegistry::shared();
}

const std::string& TarnAppActivationDelegate::reopenStudioWindowNotificationName() {
    static const std::string name = std::string(buildinfo::suitePrefix) + ".reopenStudioWindow";
    return name;
}

std::string TarnAppActivationDelegate::displayName(const TarnBundle& bundle) {
    if (bundle.displayName)
        return *bundle.displayName;
    if (bundle.name)
        return *bundle.name;
    return processName();
}

std::string TarnAppActivationDelegate::launchMessage(std::string_view displayName,
                                                     const TarnAppVersion& version,
                                                     std::string_view systemName) {
    std::string message(displayName);
    message += " v";
    message += version.shortVersion;
    message += " (";
    message += version.buildNumber;
    message += ") launched (";
    message += systemName;
    message += ")";
    return message;
}

void TarnAppActivationDelegate::applicationDidFinishLaunching() {
    const std::string name = displayName(TarnBundle::main());
    const TarnAppVersion version = TarnAppVersion::current("1.0.0", "100");
    TarnAppLogger::shared(name).log(
        TarnLogLevel::info, "lifecycle",
        launchMessage(name, version, qt::toStdString(QSysInfo::prettyProductName())));
    // Becoming a regular application (a dock entry and a menu bar) has no
    // counterpart here: every Qt application with a window already is one.
    QTimer::singleShot(frontingDelay, Qt::PreciseTimer, this, [] { bringStudioWindowToFront(); });
}

bool TarnAppActivationDelegate::applicationShouldHandleReopen(bool visibleWindows) {
    if (visibleWindows)
        bringStudioWindowToFront();
    else
        NotificationCenter::defaultCenter().post(reopenStudioWindowNotificationName());
    return true;
}

void TarnAppActivationDelegate::handleReopen() {
    applicationShouldHandleReopen(hasVisibleWindows());
}

bool TarnAppActivationDelegate::hasVisibleWindows() {
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen)
            continue;
        if (widget->isVisible() && !widget->isMinimized())
            return true;
    }
    return false;
}

void TarnAppActivationDelegate::bringStudioWindowToFront() {
    TarnWindowRegistry& registry = TarnWindowRegistry::shared();
    for (QWidget* window : registry.windows()) {
        if (!TarnWindowRegistry::canBecomeMain(*window))
            continue;
        registry.restoreFromMinimized(*window);
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
}

} // namespace tarn
