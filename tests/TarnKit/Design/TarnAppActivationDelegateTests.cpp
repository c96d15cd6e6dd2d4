#include "TarnKit/Design/TarnAppActivationDelegate.h"
#include "TarnKit/Design/TarnWindowRegistry.h"
#include "TarnKit/Platform/NotificationCenter.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "TarnKit/Utilities/TarnAppVersion.h"
#include "TarnKit/Utilities/TarnBundle.h"
#include "support/EnvironmentScope.h"
#include "support/TemporaryFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSysInfo>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace tarn {
namespace {

TEST(TarnAppActivationDelegate, DisplayNameFallsThroughTheBundle) {
    struct Case {
        const char* name;
        std::optional<std::string> displayName;
        std::optional<std::string> bundleName;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"display name first", "Quiller Studio", "Quiller", "Quiller Studio"},
        {"bundle name without display name", std::nullopt, "Quiller", "Quiller"},
        {"empty display name counts as present", "", "Quiller", ""},
        {"process name last", std::nullopt, std::nullopt, processName()},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const TarnBundle bundle{"com.corvane.test", testCase.displayName, testCase.bundleName, {}};
        EXPECT_EQ(TarnAppActivationDelegate::displayName(bundle), testCase.expected);
    }
}

TEST(TarnAppActivationDelegate, LaunchMessageNamesVersionBuildAndSystem) {
    EXPECT_EQ(TarnAppActivationDelegate::launchMessage("Quiller", {"1.4.2", "57"},
                                                       "Debian GNU/Linux 12 (bookworm)"),
              "Quiller v1.4.2 (57) launched (Debian GNU/Linux 12 (bookworm))");
    // Missing version entries take the fallbacks.
    const TarnAppVersion fallback =
        TarnAppVersion::fromEntries(std::nullopt, std::nullopt, "1.0.0", "100");
    EXPECT_EQ(TarnAppActivationDelegate::launchMessage("X", fallback, "Linux"),
              "X v1.0.0 (100) launched (Linux)");
}

TEST(TarnAppActivationDelegate, ReopenNotificationName) {
    EXPECT_EQ(TarnAppActivationDelegate::reopenStudioWindowNotificationName(),
              "com.corvane.reopenStudioWindow");
}

class ActivationFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // Windows of earlier tests are gone; nothing else may compete.
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
    }

    std::unique_ptr<QWidget> makeWindow(const char* name, Qt::WindowFlags flags = Qt::Window) {
        auto window = std::make_unique<QWidget>(nullptr, flags);
        window->setObjectName(QString::fromLatin1(name));
        window->resize(300, 200);
        return window;
    }

    static QWidget* firstMainCapable() {
        for (QWidget* window : TarnWindowRegistry::shared().windows())
            if (TarnWindowRegistry::canBecomeMain(*window))
                return window;
        return nullptr;
    }

    TarnAppActivationDelegate delegate;
};

TEST_F(ActivationFixture, LaunchLogsAndFrontsTheFirstWindowAfterTheDelay) {
    static testing::TemporaryFolder data("activation-log");
    testing::EnvironmentScope home("XDG_DATA_HOME", data.path().string());
    auto studio = makeWindow("studio");
    auto second = makeWindow("second");
    EXPECT_EQ(firstMainCapable(), studio.get()) << "creation order is kept";

    QElapsedTimer clock;
    clock.start();
    delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(studio->isVisible()) << "fronted within the call";
    EXPECT_TRUE(QTest::qWaitFor([&] { return studio->isVisible(); }, 2000));
    EXPECT_GE(clock.elapsed(), 95);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activeWindow() == studio.get(); }, 2000));
    EXPECT_FALSE(second->isVisible()) << "only the first main-capable window is fronted";

    const auto entries = TarnAppLogger::shared("Quiller").recentEntries(10, TarnLogLevel::debug);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().category, "lifecycle");
    EXPECT_EQ(entries.front().level, TarnLogLevel::info);
    const TarnAppVersion version = TarnAppVersion::current();
    EXPECT_EQ(entries.front().message,
              TarnAppActivationDelegate::launchMessage(
                  "Quiller", version, QSysInfo::prettyProductName().toStdString()));
}

TEST_F(ActivationFixture, PanelsDialogsAndPopupsNeverBecomeMain) {
    auto panel = makeWindow("panel");
    TarnWindowRegistry::markAsPanel(*panel);
    auto tool = makeWindow("tool", Qt::Tool);
    auto dialog = makeWindow("dialog", Qt::Dialog);
    TarnAppActivationDelegate::bringStudioWindowToFront();
    for (QWidget* window : {panel.get(), tool.get(), dialog.get()})
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();

    auto studio = makeWindow("studio");
    TarnAppActivationDelegate::bringStudioWindowToFront();
    EXPECT_TRUE(studio->isVisible());
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(ActivationFixture, UnminimisingKeepsMaximisation) {
    auto studio = makeWindow("studio");
    studio->showMaximized();
    QCoreApplication::processEvents();
    studio->showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(studio->isMinimized());
    // As a window manager may report it: minimised alone, the maximised flag lost.
    studio->setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();

    TarnAppActivationDelegate::bringStudioWindowToFront();
    QCoreApplication::processEvents();
    EXPECT_FALSE(studio->isMinimized());
    EXPECT_TRUE(studio->isMaximized());

    // A normal window comes back normal.
    studio->showNormal();
    QCoreApplication::processEvents();
    studio->showMinimized();
    QCoreApplication::processEvents();
    TarnAppActivationDelegate::bringStudioWindowToFront();
    QCoreApplication::processEvents();
    EXPECT_FALSE(studio->isMinimized());
    EXPECT_FALSE(studio->isMaximized());
}

TEST_F(ActivationFixture, ReopenPostsOnlyWithoutVisibleWindows) {
    int posts = 0;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const auto token =
        center.addObserver(TarnAppActivationDelegate::reopenStudioWindowNotificationName(),
                           [&posts](const Notification&) { ++posts; });
    auto studio = makeWindow("studio");

    EXPECT_FALSE(TarnAppActivationDelegate::hasVisibleWindows());
    EXPECT_TRUE(delegate.applicationShouldHandleReopen(false));
    EXPECT_EQ(posts, 1);
    EXPECT_FALSE(studio->isVisible()) << "the application entry opens the window";

    studio->show();
    studio->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(TarnAppActivationDelegate::hasVisibleWindows()) << "minimised is not visible";
    studio->showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(TarnAppActivationDelegate::hasVisibleWindows());
    studio->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(delegate.applicationShouldHandleReopen(true));
    EXPECT_EQ(posts, 1);
    EXPECT_FALSE(studio->isMinimized());
    center.removeObserver(token);
}

} // namespace
} // namespace tarn
