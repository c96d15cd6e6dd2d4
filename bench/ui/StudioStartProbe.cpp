// The application as `quiller` starts it, watched by bench/studio-cold-start.sh:
//
//     quiller_start_probe --write-fixture   writes the benchmark's workspace and
//                                           history under $XDG_DATA_HOME, exits
//     quiller_start_probe                   starts the application and prints
//         first-paint-ns <CLOCK_REALTIME when the studio window's first frame was painted>
//         rss-kb <resident memory one second later, idle>
//                                           then quits.

#include "QuillerApp/App/QuillerApp.h"
#include "QuillerApp/App/QuillerApplication.h"
#include "QuillerApp/App/QuillerStudioWindow.h"
#include "StudioFixture.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <string_view>

namespace {

long long realtimeNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Notes the end of the first paint of the watched window: the backing store
// is flushed in the same turn, so a zero timer from the paint event fires
// once the frame is on the screen.
class FirstPaintWatcher final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, this, [] {
                std::printf("first-paint-ns %lld\n", realtimeNanoseconds());
                std::fflush(stdout);
                QTimer::singleShot(1000, [] {
                    std::printf("rss-kb %ld\n", residentKilobytes());
                    std::fflush(stdout);
                    QCoreApplication::quit();
                });
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--write-fixture") {
        quiller::bench::writeStudioFixture();
        return 0;
    }
    FirstPaintWatcher watcher;
    return quiller::runQuillerApplication(argc, argv, [&watcher](quiller::QuillerApp& app) {
        app.studioWindow().installEventFilter(&watcher);
    });
}
