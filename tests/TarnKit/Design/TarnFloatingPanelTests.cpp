#include "TarnKit/Design/TarnFloatingPanel.h"
#include "TarnKit/Design/TarnFloatingPanelGeometry.h"
#include "TarnKit/Design/TarnTearOffDragRegion.h"
#include "TarnKit/Design/TarnWindowRegistry.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

using panelgeometry::ScreenFrames;

TEST(FloatingPanelPlacement, CentredAboveTheMiddleButClearOfTheBottom) {
    struct Case {
        const char* name;
        QRectF available;
        QSizeF size;
        QPointF expected;
    };
    const std::vector<Case> cases = {
        // 600 high in 700 from the top: 90 above the bottom, as 350 - 300 + 40.
        {"raised 40 above the centre", QRectF(0, 0, 1000, 700), QSizeF(400, 600), QPointF(300, 10)},
        {"offset frame", QRectF(1440, 25, 1440, 875), QSizeF(400, 300),
         QPointF(1440 + 520, 25 + 437.5 - 150 - 40)},
        // Taller than the frame: held 24 above its bottom, so its top leaves it.
        {"kept 24 above the bottom", QRectF(0, 0, 800, 300), QSizeF(300, 400),
         QPointF(250, 300 - 24 - 400)},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        EXPECT_EQ(panelgeometry::centredTopLeft(testCase.available, testCase.size),
                  testCase.expected);
    }
    EXPECT_EQ(panelgeometry::anchoredTopLeft(QRectF(100, 200, 50, 30), QSizeF(300, 400)),
              QPointF(100, 230 - 400));
}

TEST(FloatingPanelPlacement, ScreenUnderThePointer) {
    const std::vector<ScreenFrames> screens = {
        {QRectF(0, 0, 1920, 1080), QRectF(0, 32, 1920, 1048)},
        {QRectF(1920, 0, 1280, 1024), QRectF(1920, 0, 1280, 1024)},
    };
    struct Case {
        const char* name;
        std::vector<ScreenFrames> screens;
        QPointF pointer;
        std::optional<std::size_t> primary;
        std::optional<std::size_t> expected;
    };
    const std::vector<Case> cases = {
        {"first screen", screens, QPointF(10, 10), 1, 0},
        {"second screen", screens, QPointF(2000, 500), 0, 1},
        // x + width belongs to the next screen, not to this one.
        {"edge between the screens", screens, QPointF(1920, 10), 0, 1},
        {"far edge belongs to nobody: primary", screens, QPointF(3200, 10), 1, 1},
        {"below the short screen: primary", screens, QPointF(2000, 1050), 0, 0},
        {"no primary: the first", screens, QPointF(-5, -5), std::nullopt, 0},
        {"no screens", {}, QPointF(0, 0), std::nullopt, std::nullopt},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        EXPECT_EQ(
            panelgeometry::screenUnderPointer(testCase.screens, testCase.pointer, testCase.primary),
            testCase.expected);
    }
}

// One step of a drag: what happens and the outcome flags that matter.
struct DragStep {
    enum Kind { press, pressOnControl, move, release, cancel, quietReset } kind;
    QPointF point;
    bool passOn;
    bool began = false;
    bool moved = false;
    bool ended = false;
    bool cancelled = false;
    bool push = false;
    bool pop = false;
};

TEST(TarnPanelDragTracker, StateMachineTable) {
    using S = DragStep;
    const QPointF origin(500, 300);
    struct Case {
        const char* name;
        std::vector<DragStep> steps;
        QPointF finalTopLeft;
    };
    const std::vector<Case> cases = {
        {"3.9 pixels keep the panel still",
         {{S::press, {100, 100}, true},
          {S::move, {103.9, 100}, true},
          {S::move, {100, 96.1}, true},
          {S::release, {}, true}},
         origin},
        {"4 pixels start the drag, began before moved",
         {{S::press, {100, 100}, true},
          {S::move, {100, 104}, false, true, true, false, false, true},
          {S::move, {130, 90}, false, false, true},
          {S::release, {}, false, false, false, true, false, false, true}},
         origin + QPointF(30, -10)},
        {"diagonal travel counts as a straight line",
         {{S::press, {0, 0}, true}, {S::move, {3, 3}, false, true, true, false, false, true}},
         origin + QPointF(3, 3)},
        {"a press on a control never drags",
         {{S::pressOnControl, {100, 100}, true},
          {S::move, {200, 200}, true},
          {S::release, {}, true}},
         origin},
        {"cancel during a drag reports it",
         {{S::press, {0, 0}, true},
          {S::move, {10, 0}, false, true, true, false, false, true},
          {S::cancel, {}, true, false, false, false, true, false, true},
          {S::move, {50, 0}, true}},
         origin + QPointF(10, 0)},
        {"cancel while armed reports nothing",
         {{S::press, {0, 0}, true}, {S::cancel, {}, true}, {S::move, {50, 0}, true}},
         origin},
        {"a quiet reset takes the cursor away only",
         {{S::press, {0, 0}, true},
          {S::move, {10, 0}, false, true, true, false, false, true},
          {S::quietReset, {}, true, false, false, false, false, false, true}},
         origin + QPointF(10, 0)},
        {"a press during a drag drops it without a cancel",
         {{S::press, {0, 0}, true},
          {S::move, {10, 0}, false, true, true, false, false, true},
          {S::press, {10, 0}, true, false, false, false, false, false, true},
          {S::move, {12, 0}, true}},
         origin + QPointF(10, 0)},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        TarnPanelDragTracker tracker;
        QPointF topLeft = origin;
        for (std::size_t index = 0; index < testCase.steps.size(); ++index) {
            const DragStep& step = testCase.steps[index];
            SCOPED_TRACE(index);
            TarnPanelDragTracker::Outcome outcome;
            switch (step.kind) {
            case S::press:
            case S::pressOnControl:
                outcome = tracker.press(step.point, topLeft, step.kind == S::pressOnControl);
                break;
            case S::move:
                outcome = tracker.move(step.point);
                break;
            case S::release:
                outcome = tracker.release(topLeft);
                break;
            case S::cancel:
            case S::quietReset:
                outcome = tracker.reset(step.kind == S::cancel);
                break;
            }
            if (outcome.moveTo)
                topLeft = *outcome.moveTo;
            EXPECT_EQ(outcome.passOn, step.passOn);
            EXPECT_EQ(outcome.began, step.began);
            EXPECT_EQ(outcome.moved, step.moved);
            EXPECT_EQ(outcome.endedAt.has_value(), step.ended);
            EXPECT_EQ(outcome.synthesiseFarRelease, step.ended);
            EXPECT_EQ(outcome.cancelled, step.cancelled);
            EXPECT_EQ(outcome.pushClosedHand, step.push);
            EXPECT_EQ(outcome.popClosedHand, step.pop);
        }
        EXPECT_EQ(topLeft, testCase.finalTopLeft);
    }
}

TEST(TarnTearOffTracker, CrossingsAndDrops) {
    const QRectF host(100, 100, 400, 300); // right edge at 500, bottom at 400
    struct Step {
        enum Kind { drag, release } kind;
        QPointF point;
        std::optional<bool> change;
        bool push = false;
        bool reportInside = false;
        bool pop = false;
        bool dropped = false;
    };
    struct Case {
        const char* name;
        QPointF press;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"a click reports nothing", {300, 200}, {{Step::release, {300, 200}, std::nullopt}}},
        {"within 8 pixels nothing, even outside",
         {498, 200},
         {{Step::drag, {505.9, 200}, std::nullopt}, {Step::release, {505.9, 200}, std::nullopt}}},
        {"3 beyond the edge is inside, 5 beyond is outside",
         {300, 200},
         {{Step::drag, {503, 200}, std::nullopt, true},
          {Step::drag, {505, 200}, true},
          {Step::drag, {600, 200}, std::nullopt},
          {Step::drag, {300, 396}, false},
          {Step::release, {300, 396}, std::nullopt, false, false, true}}},
        {"the top edge grown by 4",
         {300, 200},
         {{Step::drag, {300, 96}, std::nullopt, true}, {Step::drag, {300, 95.5}, true}}},
        {"release outside: inside again, then the drop",
         {300, 200},
         {{Step::drag, {700, 700}, true, true},
          {Step::release, {710, 705}, std::nullopt, false, true, true, true}}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        TarnTearOffTracker tracker;
        tracker.press(testCase.press);
        for (const Step& step : testCase.steps) {
            if (step.kind == Step::drag) {
                const auto outcome = tracker.drag(step.point, host);
                EXPECT_EQ(outcome.outsideChanged, step.change);
                EXPECT_EQ(outcome.pushClosedHand, step.push);
            } else {
                const auto outcome = tracker.release(step.point);
                EXPECT_EQ(outcome.reportInside, step.reportInside);
                EXPECT_EQ(outcome.popClosedHand, step.pop);
                EXPECT_EQ(outcome.droppedAt.has_value(), step.dropped);
                if (outcome.droppedAt) {
                    EXPECT_EQ(*outcome.droppedAt, step.point);
                }
                EXPECT_FALSE(tracker.isTracking());
            }
        }
    }
}

TEST(TarnFloatingPanelController, ShowToggleHideAndDismissal) {
    int dismissals = 0;
    TarnFloatingPanelController controller(QSize(320, 180), false, [&] { ++dismissals; });
    controller.hide();
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(controller.panel(), nullptr) << "hide before the first show made a panel";
    EXPECT_FALSE(controller.isVisible());

    int builds = 0;
    const auto content = [&builds] {
        ++builds;
        return new QLabel(QStringLiteral("content %1").arg(builds));
    };
    controller.toggle(true, QRect(40, 500, 100, 20), content);
    ASSERT_NE(controller.panel(), nullptr);
    QWidget* panel = controller.panel();
    EXPECT_TRUE(controller.isVisible());
    EXPECT_TRUE(TarnWindowRegistry::isPanel(*panel));
    EXPECT_FALSE(TarnWindowRegistry::canBecomeMain(*panel));
    EXPECT_EQ(panel->size(), QSize(320, 180));
    // The anchor wins over centring.
    EXPECT_EQ(panel->pos(), QPoint(40, 520 - 180));

    controller.toggle(true, std::nullopt, content);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(dismissals, 2);

    controller.show(false, std::nullopt, content);
    EXPECT_EQ(controller.panel(), panel) << "the panel is reused";
    EXPECT_EQ(panel->pos(), QPoint(40, 340)) << "kept its place";
    EXPECT_EQ(builds, 2);
    EXPECT_EQ(panel->findChildren<QLabel*>().size(), 1) << "the old content stays";

    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(dismissals, 3);
}

TEST(TarnFloatingPanelController, LosingTheKeyFocusHidesOnlyWhenAsked) {
    for (const bool dismissOnResignKey : {false, true}) {
        SCOPED_TRACE(dismissOnResignKey);
        int dismissals = 0;
        TarnFloatingPanelController controller(QSize(200, 100), dismissOnResignKey,
                                               [&] { ++dismissals; });
        controller.show(true, std::nullopt, [] { return new QLineEdit; });
        QWidget* panel = controller.panel();
        QApplication::setActiveWindow(panel);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->isActiveWindow(); }, 2000));
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        ASSERT_TRUE(QTest::qWaitFor([&] { return other.isActiveWindow(); }, 2000));
        EXPECT_EQ(controller.isVisible(), !dismissOnResignKey);
        EXPECT_EQ(dismissals, dismissOnResignKey ? 1 : 0);
    }
}

// A draggable panel with a button and a line edit, driven through its window
// as the window system would, with the pointer position under the test's hand.
struct DraggablePanelFixture {
    TarnDraggableFloatingPanel panel;
    QPushButton* button = new QPushButton(QStringLiteral("Go"));
    QLineEdit* field = new QLineEdit;
    QPointF pointer;
    std::vector<std::string> calls;
    int clicks = 0;

    DraggablePanelFixture() {
        auto* column = new QVBoxLayout(&panel);
        column->setContentsMargins(20, 20, 20, 20);
        column->addWidget(button);
        column->addWidget(field);
        panel.resize(240, 160);
        panel.move(400, 300);
        panel.screenMouseLocationProvider = [this] { return pointer; };
        panel.onDragBegan = [this](const QRect& frame) {
            calls.push_back("began " + std::to_string(frame.x()));
        };
        panel.onDragMoved = [this](const QRect& frame) {
            calls.push_back("moved " + std::to_string(frame.x()));
        };
        panel.onDragEnded = [this](const QPoint& origin) {
            calls.push_back("ended " + std::to_string(origin.x()));
        };
        panel.onDragCancelled = [this] { calls.emplace_back("cancelled"); };
        panel.onEscapePressed = [this] { calls.emplace_back("escape"); };
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        panel.show();
        QCoreApplication::processEvents();
    }

    // Local point of a widget in the panel.
    QPoint at(QWidget* widget) { return widget->mapTo(&panel, widget->rect().center()); }

    // Events carry the pointer in the window's coordinates at that moment:
    // once the panel has moved, the same pointer is elsewhere in the window.
    QPoint local() const { return panel.mapFromGlobal(pointer.toPoint()); }

    void press(QPoint point) {
        pointer = QPointF(panel.mapToGlobal(point));
        QTest::mousePress(panel.windowHandle(), Qt::LeftButton, {}, point);
    }
    void moveBy(QPointF travel) {
        pointer += travel;
        QTest::mouseMove(panel.windowHandle(), local());
    }
    void release() { QTest::mouseRelease(panel.windowHandle(), Qt::LeftButton, {}, local()); }
};

TEST(TarnDraggableFloatingPanel, DragsFromAButtonWithoutClickingIt) {
    DraggablePanelFixture fixture;
    const QPoint onButton = fixture.at(fixture.button);
    fixture.press(onButton);
    EXPECT_TRUE(fixture.button->isDown()) << "the content saw the press";
    fixture.moveBy(QPointF(3.9, 0));
    EXPECT_EQ(fixture.panel.pos(), QPoint(400, 300));
    EXPECT_TRUE(fixture.calls.empty());
    fixture.moveBy(QPointF(26.1, 0));
    EXPECT_EQ(fixture.panel.pos(), QPoint(430, 300));
    EXPECT_TRUE(fixture.panel.isDragging());
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::ClosedHandCursor);
    fixture.release();
    EXPECT_EQ(fixture.clicks, 0) << "the release reached the button where it was";
    EXPECT_FALSE(fixture.button->isDown());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(fixture.calls, (std::vector<std::string>{"began 430", "moved 430", "ended 430"}));

    // Without travel the button clicks as usual.
    fixture.press(fixture.at(fixture.button));
    fixture.release();
    EXPECT_EQ(fixture.clicks, 1);
}

TEST(TarnDraggableFloatingPanel, ControlsThatTrackDragsKeepThem) {
    DraggablePanelFixture fixture;
    auto* scrollBar = new QScrollBar(Qt::Horizontal, &fixture.panel);
    auto* custom = new QWidget(&fixture.panel);
    auto* insideCustom = new QLabel(QStringLiteral("x"), custom);
    tarnMarkCustomDragTracking(*custom);
    EXPECT_TRUE(fixture.panel.isInteractiveControlThatTracksDrag(fixture.field));
    EXPECT_TRUE(fixture.panel.isInteractiveControlThatTracksDrag(scrollBar));
    EXPECT_TRUE(fixture.panel.isInteractiveControlThatTracksDrag(insideCustom));
    EXPECT_FALSE(fixture.panel.isInteractiveControlThatTracksDrag(fixture.button));
    EXPECT_FALSE(fixture.panel.isInteractiveControlThatTracksDrag(&fixture.panel));

    const QPoint onField = fixture.at(fixture.field);
    fixture.press(onField);
    fixture.moveBy(QPointF(40, 0));
    fixture.release();
    EXPECT_EQ(fixture.panel.pos(), QPoint(400, 300));
    EXPECT_TRUE(fixture.calls.empty());
}

TEST(TarnDraggableFloatingPanel, EscapeCancelsADragThenReportsEscape) {
    DraggablePanelFixture fixture;
    const QPoint empty(5, 5);
    fixture.press(empty);
    fixture.moveBy(QPointF(0, 10));
    fixture.calls.clear();
    QTest::keyClick(&fixture.panel, Qt::Key_Escape);
    EXPECT_EQ(fixture.calls, (std::vector<std::string>{"cancelled", "escape"}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    fixture.calls.clear();
    QTest::keyClick(&fixture.panel, Qt::Key_Escape);
    EXPECT_EQ(fixture.calls, (std::vector<std::string>{"escape"})) << "idle";

    // Hiding while merely armed reports nothing.
    fixture.calls.clear();
    fixture.press(empty);
    fixture.panel.hide();
    EXPECT_TRUE(fixture.calls.empty());
}

TEST(TarnTearOffDragRegion, ReportsLeavingAndDroppingOutsideTheWindow) {
    QWidget window;
    window.setGeometry(100, 100, 400, 300);
    std::vector<std::string> calls;
    auto* region = new TarnTearOffDragRegion(
        [&calls](bool outside) { calls.emplace_back(outside ? "outside" : "inside"); },
        [&calls](QPointF point) {
            calls.push_back("drop " + std::to_string(static_cast<int>(point.x())));
        },
        &window);
    region->setGeometry(10, 10, 80, 40);
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(region->cursor().shape(), Qt::OpenHandCursor);

    const QRect frame = window.frameGeometry();
    const QPoint start(20, 20);
    QTest::mousePress(region, Qt::LeftButton, {}, start);
    const QPoint beyond = region->mapFromGlobal(QPoint(frame.x() + frame.width() + 30, 150));
    QTest::mouseMove(region, beyond);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::ClosedHandCursor);
    QTest::mouseRelease(region, Qt::LeftButton, {}, beyond);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"outside", "inside",
                                        "drop " + std::to_string(frame.x() + frame.width() + 30)}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace tarn
