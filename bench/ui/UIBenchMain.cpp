// The main of the view benchmarks: one QApplication on the offscreen platform
// (fonts, pixmaps and painting need it), then Google Benchmark as usual.

#include "BenchSupport.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return quiller::bench::runRegisteredBenchmarks(argc, argv);
}
