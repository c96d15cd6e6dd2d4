#include "QuillerApp/App/QuillerApplication.h"

#include "QuillerApp/App/QuillerApp.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "TarnKit/Design/TarnAppActivationDelegate.h"
#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/PlatformQt/QtClipboard.h"
#include "TarnKit/PlatformQt/QtFilePanels.h"
#include "TarnKit/PlatformQt/QtURLOpener.h"
#include "TarnKit/PlatformQt/TarnSingleInstance.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quiller {
namespace {

int signalPipe[2] = {-1, -1};

extern "C" void quitSignalHandler(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM (the session ending) and SIGINT quit through the event loop, as the
// Quit command does, instead of killing the process mid-save.
void quitOnTerminationSignals(QObject* context) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        char buffer[16];
        while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = quitSignalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace

int runQuillerApplication(int argc, char** argv, const std::function<void(QuillerApp&)>& started) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tarn::buildinfo::productName));
    QApplication::setApplicationVersion(QString::fromUtf8(tarn::buildinfo::version));
    QApplication::setDesktopFileName(QString::fromUtf8(tarn::buildinfo::bundleIdentifier));
    quitOnTerminationSignals(&application);

    // A second launch hands over to the running instance and ends.
    tarn::TarnSingleInstance instance;
    if (instance.claim() == tarn::TarnSingleInstance::Claim::reopenedRunningInstance)
        return 0;

    int status = 0;
    {
        QuillerApp app([](std::shared_ptr<tarn::MainExecutor> main,
                          std::shared_ptr<tarn::BackgroundExecutor> background) {
            return makeRealPorts(
                std::move(main), std::move(background), std::make_shared<tarn::QtClipboard>(),
                std::make_shared<tarn::QtFilePanels>(), std::make_shared<tarn::QtURLOpener>());
        });
        QObject::connect(&instance, &tarn::TarnSingleInstance::reopenRequested,
                         &app.activationDelegate(), &tarn::TarnAppActivationDelegate::handleReopen);
        app.openStudio();
        QTimer::singleShot(0, &app.activationDelegate(),
                           [&app] { app.activationDelegate().applicationDidFinishLaunching(); });
        if (started)
            started(app);
        status = QApplication::exec();
    }
    // Past this point the workspace and history are written and every
    // background job has ended.
    return status;
}

} // namespace quiller
