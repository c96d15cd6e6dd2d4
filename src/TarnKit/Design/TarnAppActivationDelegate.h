#pragma once

// One launch and one reopen behaviour for every suite application.
//
// Launch: applicationDidFinishLaunching() writes one "lifecycle" line to the
// application log and, 0.1 s later, brings the main window to the front.
// Reopen (a second launch, see TarnSingleInstance): fronts the main window when
// the application has visible windows, else posts
// reopenStudioWindowNotificationName() on the default notification centre, which
// the application entry answers by opening its studio window and calling
// bringStudioWindowToFront().
//
// The main window is the first window, in creation order, that can become main:
// a Qt::Window that is not a floating panel (TarnWindowRegistry). Making the
// delegate starts the registry, so make it before the first window.
//
// Threads: the GUI thread.

#include <QObject>
#include <chrono>
#include <string>
#include <string_view>

namespace tarn {

struct TarnAppVersion;
struct TarnBundle;

class TarnAppActivationDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds frontingDelay{100};

    explicit TarnAppActivationDelegate(QObject* parent = nullptr);

    // Logs the launch line at info in "lifecycle" and fronts the main window
    // after frontingDelay (never within the call).
    void applicationDidFinishLaunching();
    // Fronts the main window when `hasVisibleWindows`, else posts the reopen
    // notification. Always true.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // The same with hasVisibleWindows() now; for TarnSingleInstance's signal.
    void handleReopen();

    // Whether a window that is shown and not minimised exists (popups and tool
    // tips aside).
    static bool hasVisibleWindows();
    // Un-minimises (keeping maximisation), shows, raises and activates the
    // first window that can become main; nothing when there is none.
    static void bringStudioWindowToFront();

    // "<suite prefix>.reopenStudioWindow"
    static const std::string& reopenStudioWindowNotificationName();

    // The bundle's display name, else its name, else the process name (an
    // empty text counts as present).
    static std::string displayName(const TarnBundle& bundle);
    // "<name> v<version> (<build>) launched (<system>)", where the system is
    // the running system's name and version (QSysInfo::prettyProductName()).
    static std::string launchMessage(std::string_view displayName, const TarnAppVersion& version,
                                     std::string_view systemName);
};

} // namespace tarn
