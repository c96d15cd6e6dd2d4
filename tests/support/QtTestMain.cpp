#include "EnvironmentLocale.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

// The main of the widget tests: one QApplication for the whole run, on the
// offscreen platform, so that widgets are real (layout, focus, painting, key
// events) without a window system. Tests find widgets by objectName and drive
// them with QTest.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    adoptEnvironmentLocale();
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // Pictures and metrics must not depend on the desktop the tests run under.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setApplicationName(QStringLiteral("Quiller"));
    return RUN_ALL_TESTS();
}
