#include "TarnKit/Design/TarnUnifiedHeaderBar.h"
#include "TarnKit/Design/TarnUnifiedTitlebar.h"
#include "TarnKit/Design/TarnWindowButtons.h"
#include "TarnKit/Design/TarnWindowDragArea.h"
#include "support/EnvironmentScope.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace tarn {
namespace {

using Metrics = TarnUnifiedTitlebarMetrics;

struct MeasureCase {
    const char* name;
    std::vector<QRectF> buttons;
    bool isFullScreen;
    double fullscreenLeading;
    double gap;
    Metrics expected;
};

TEST(TarnUnifiedTitlebarMetrics, MeasuresButtonFramesWithFallbacks) {
    const std::vector<MeasureCase> cases = {
        {"no buttons shown", {}, false, 16, 14, {93, 26, 23, 37, false}},
        {"buttons without area",
         {QRectF(20, 19, 0, 14), QRectF(40, 19, 14, 0)},
         false,
         16,
         14,
         {93, 26, 23, 37, false}},
        {"three buttons of the header bar",
         {QRectF(25, 19, 14, 14), QRectF(45, 19, 14, 14), QRectF(65, 19, 14, 14)},
         false,
         16,
         14,
         {93, 26, 33, 47, false}},
        // Zoom hidden: the centre comes from minimise, maxX from the larger of
        // the two (close sits further right here, an odd but legal layout).
        {"zoom hidden",
         {QRectF(60, 10, 14, 14), QRectF(40, 20, 12, 12)},
         false,
         16,
         14,
         {88, 26, 32, 46, false}},
        {"fractional maxX rounds up",
         {QRectF(55.5, 19, 14, 14)},
         false,
         16,
         14,
         {84, 26, 33, 47, false}},
        {"full screen ignores the buttons",
         {QRectF(25, 19, 14, 14)},
         true,
         16,
         14,
         {16, 26, 0, 16, true}},
        {"full screen with another leading", {}, true, 24, 14, {24, 26, 0, 24, true}},
    };
    for (const MeasureCase& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const Metrics measured = Metrics::measure(testCase.buttons, testCase.isFullScreen,
                                                  testCase.fullscreenLeading, testCase.gap);
        EXPECT_EQ(measured, testCase.expected)
            << measured.leadingClearance << " " << measured.trafficLightCenterY << " "
            << measured.trafficLightBottomY << " " << measured.sidebarTopClearance;
    }
}

TEST(TarnUnifiedTitlebarMetrics, CalculateUsesTheGivenGaps) {
    EXPECT_EQ(Metrics::calculate(69.5, 20, 27, false, 16, 14, 14),
              (Metrics{84, 20, 27, 41, false}));
    EXPECT_EQ(Metrics::calculate(69.5, 20, 27, false, 16, 20, 3), (Metrics{90, 20, 27, 30, false}));
    EXPECT_EQ(Metrics::calculate(0, 0, 0, false), (Metrics{93, 26, 23, 37, false}));
    EXPECT_EQ(Metrics::calculate(-5, -1, -1, false), (Metrics{93, 26, 23, 37, false}));
    // The defaults (before any measurement) keep the taller bottom of 33.
    EXPECT_EQ(Metrics{}, (Metrics{93, 26, 33, 37, false}));
}

// A frameless window with a header bar above some content, as the studio has.
struct HeaderWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TarnUnifiedHeaderBar* header = nullptr;
    TarnUnifiedTitlebarWindow* chrome = nullptr;

    HeaderWindow() {
        auto* column = new QVBoxLayout(window.get());
        column->setContentsMargins(0, 0, 0, 0);
        header = new TarnUnifiedHeaderBar(window.get());
        header->contentLayout()->addWidget(new QLabel(QStringLiteral("Quiller")));
        column->addWidget(header);
        column->addStretch();
        window->resize(800, 500);
        chrome = new TarnUnifiedTitlebarWindow(window.get());
    }
};

TEST(TarnUnifiedTitlebar, MeasuresTheHeaderButtonsAsTheDefaults) {
    HeaderWindow fixture;
    fixture.window->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(fixture.window->windowFlags() & Qt::FramelessWindowHint);
    const Metrics metrics = tarnMeasureTitlebarMetrics(*fixture.window, 16, 14);
    EXPECT_EQ(metrics, (Metrics{93, 26, 33, 47, false}));
    EXPECT_EQ(fixture.chrome->metrics(), metrics);
    EXPECT_DOUBLE_EQ(fixture.header->leadingClearance(), 93);
    EXPECT_EQ(fixture.header->contentLayout()->contentsMargins().left(), 93);

    // Buttons hidden (as a window may choose): the fallbacks.
    fixture.header->windowButtons()->button(TarnWindowButtonRole::zoom)->hide();
    EXPECT_EQ(tarnMeasureTitlebarMetrics(*fixture.window, 16, 14),
              (Metrics{73, 26, 33, 47, false}));
    fixture.header->windowButtons()->hide();
    EXPECT_EQ(tarnMeasureTitlebarMetrics(*fixture.window, 16, 14),
              (Metrics{93, 26, 23, 37, false}));
}

TEST(TarnUnifiedTitlebar, ObserverReportsEachChangeOnce) {
    HeaderWindow fixture;
    TarnTitlebarObserver observer;
    std::vector<Metrics> reports;
    QObject::connect(&observer, &TarnTitlebarObserver::metricsChanged,
                     [&reports](const Metrics& metrics) { reports.push_back(metrics); });
    fixture.window->show();
    observer.attach(fixture.window.get());
    QCoreApplication::processEvents();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.back().leadingClearance, 93);

    // Resizes that leave the buttons where they are report nothing more.
    for (int width : {820, 840, 820, 900}) {
        fixture.window->resize(width, 520);
        QCoreApplication::processEvents();
    }
    observer.attach(fixture.window.get());
    EXPECT_EQ(reports.size(), 1u);

    fixture.window->showFullScreen();
    QCoreApplication::processEvents();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports.back(), (Metrics{16, 26, 0, 16, true}));

    // Detached, the window's changes go unseen; attached again, only a
    // difference from the last report is reported.
    observer.attach(nullptr);
    fixture.window->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), 2u);
    observer.attach(fixture.window.get());
    QCoreApplication::processEvents();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_FALSE(reports.back().isFullScreen);
}

TEST(TarnUnifiedTitlebar, NativeDecorationsReportTheFullScreenLeading) {
    testing::EnvironmentScope native("QUILLER_NATIVE_DECORATIONS", "1");
    HeaderWindow fixture;
    fixture.window->show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(fixture.window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(fixture.header->windowButtons(), nullptr);
    EXPECT_EQ(fixture.chrome->metrics(), (Metrics{16, 26, 0, 16, false}));
    EXPECT_EQ(fixture.header->contentLayout()->contentsMargins().left(), 16);
}

TEST(TarnUnifiedTitlebar, SidebarClearanceFollowsTheWindow) {
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* sidebar = new QWidget;
    new QVBoxLayout(sidebar);
    row->addWidget(sidebar);
    window.resize(600, 400);
    auto* chrome =
        new TarnUnifiedTitlebarWindow(&window, TarnUnifiedTitlebarMode::fullHeightSidebar);
    tarnSidebarTitlebarClearance(*sidebar, 6);
    window.show();
    QCoreApplication::processEvents();
    // No window buttons in this window: the fallback bottom 23 gives 37.
    EXPECT_EQ(chrome->metrics().sidebarTopClearance, 37);
    EXPECT_EQ(sidebar->layout()->contentsMargins().top(), 43);
    window.showFullScreen();
    QCoreApplication::processEvents();
    EXPECT_EQ(sidebar->layout()->contentsMargins().top(), 22);
}

TEST(TarnWindowDragArea, DoubleClickSettingTable) {
    using Action = TarnTitlebarDoubleClickAction;
    const std::vector<std::pair<std::optional<std::string_view>, Action>> cases = {
        {std::nullopt, Action::zoom},
        {"toggle-maximize", Action::zoom},
        {"toggle-maximize-vertically", Action::zoom},
        {"minimize", Action::minimize},
        {"Minimize", Action::zoom}, // exact and case-sensitive
        {"none", Action::none},
        {"lower", Action::none},
        {"menu", Action::none},
        {"toggle-shade", Action::none},
        {"something-new", Action::zoom},
    };
    for (const auto& [setting, expected] : cases) {
        SCOPED_TRACE(setting ? std::string(*setting) : "absent");
        EXPECT_EQ(tarnTitlebarDoubleClickAction(setting), expected);
    }
}

TEST(TarnWindowDragArea, DoubleClickFollowsTheDesktopSetting) {
    struct Case {
        std::optional<std::string> setting;
        Qt::WindowStates expected;
    };
    for (const Case& testCase :
         {Case{std::nullopt, Qt::WindowMaximized}, Case{"minimize", Qt::WindowMinimized},
          Case{"none", Qt::WindowNoState}}) {
        SCOPED_TRACE(testCase.setting.value_or("absent"));
        HeaderWindow fixture;
        fixture.header->dragArea()->setDoubleClickSettingProvider(
            [setting = testCase.setting] { return setting; });
        fixture.window->show();
        QCoreApplication::processEvents();
        QTest::mouseDClick(fixture.header->dragArea(), Qt::LeftButton, {}, QPoint(300, 20));
        QCoreApplication::processEvents();
        EXPECT_EQ(fixture.window->windowState() & ~Qt::WindowActive, testCase.expected);
    }
}

TEST(TarnWindowDragArea, MovesTheWindowOnlyBeyondTheDragDistance) {
    HeaderWindow fixture;
    fixture.window->move(100, 100);
    fixture.window->show();
    QCoreApplication::processEvents();
    const QPoint start = fixture.window->pos();
    TarnWindowDragArea* area = fixture.header->dragArea();
    const int distance = QApplication::startDragDistance();
    const QPoint press(300, 20);

    QTest::mousePress(area, Qt::LeftButton, {}, press);
    QTest::mouseMove(area, press + QPoint(distance - 1, 0));
    EXPECT_EQ(fixture.window->pos(), start) << "moved before the drag distance";
    QTest::mouseMove(area, press + QPoint(distance + 20, 5));
    // No window manager on the offscreen platform: the area moves the window.
    EXPECT_TRUE(area->isMovingWindowItself());
    EXPECT_EQ(fixture.window->pos(), start + QPoint(distance + 20, 5));
    QTest::mouseRelease(area, Qt::LeftButton, {}, press + QPoint(distance + 20, 5));
    EXPECT_FALSE(area->isMovingWindowItself());
}

TEST(TarnWindowButtons, ActOnTheirWindowAndShowTheirState) {
    HeaderWindow fixture;
    fixture.window->show();
    QCoreApplication::processEvents();
    TarnWindowButtons* buttons = fixture.header->windowButtons();
    ASSERT_NE(buttons, nullptr);
    TarnWindowButton* zoom = buttons->button(TarnWindowButtonRole::zoom);

    EXPECT_FALSE(zoom->property("hovered").toBool());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(buttons, &enter);
    EXPECT_TRUE(zoom->property("hovered").toBool());
    EXPECT_TRUE(buttons->button(TarnWindowButtonRole::close)->property("hovered").toBool());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(buttons, &leave);
    EXPECT_FALSE(zoom->property("hovered").toBool());

    zoom->click();
    EXPECT_TRUE(fixture.window->isMaximized());
    zoom->click();
    EXPECT_FALSE(fixture.window->isMaximized());
    buttons->button(TarnWindowButtonRole::minimize)->click();
    EXPECT_TRUE(fixture.window->isMinimized());
    buttons->button(TarnWindowButtonRole::close)->click();
    EXPECT_FALSE(fixture.window->isVisible());
}

} // namespace
} // namespace tarn
