// A small program for the single-instance tests: it claims the server name
// given as its argument. As the primary it prints "primary", then "reopened"
// for each reopen request, and exits 0 after the first one (or 3 after ten
// seconds without one). As a later launch it prints "reopened-running" and
// exits 0; when the claim fails it exits 2.

#include "TarnKit/PlatformQt/TarnSingleInstance.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 64;
    tarn::TarnSingleInstance instance(QString::fromLocal8Bit(argv[1]));
    switch (instance.claim()) {
    case tarn::TarnSingleInstance::Claim::reopenedRunningInstance:
        std::puts("reopened-running");
        return 0;
    case tarn::TarnSingleInstance::Claim::failed:
        std::puts("failed");
        return 2;
    case tarn::TarnSingleInstance::Claim::primary:
        break;
    }
    std::puts("primary");
    std::fflush(stdout);
    QObject::connect(&instance, &tarn::TarnSingleInstance::reopenRequested, &app, [] {
        std::puts("reopened");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(10000, &app, [] { QCoreApplication::exit(3); });
    return QCoreApplication::exec();
}
