#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnStepper.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <gtest/gtest.h>
#include <vector>

namespace tarn {
namespace {

// Clicks the button until it is disabled; the values after each click.
std::vector<int> clickUntilDisabled(TarnStepper& stepper, TarnGlassButton* button) {
    std::vector<int> values;
    for (int guard = 0; button->isEnabled() && guard < 1000; ++guard) {
        QTest::mouseClick(button, Qt::LeftButton);
        values.push_back(stepper.value());
    }
    return values;
}

TEST(TarnStepper, StepsWithinItsBoundsAndDisablesEachButtonAtItsBound) {
    const struct {
        int minimum, maximum, step, initial;
        std::vector<int> up, down;
    } cases[] = {
        {5, 20, 5, 10, {15, 20}, {15, 10, 5}},
        {1, 4, 1, 9, {}, {3, 2, 1}},       // the initial value is held at the maximum
        {0, 10, 4, 2, {6, 10}, {6, 2, 0}}, // the last step stops at the bound
        {INT_MAX - 3, INT_MAX, 2, INT_MAX - 1, {INT_MAX}, {INT_MAX - 2, INT_MAX - 3}},
    };
    for (const auto& c : cases) {
        TarnStepper stepper(QStringLiteral("N: "), c.minimum, c.maximum, c.step, c.initial);
        stepper.show();
        QSignalSpy stepped(&stepper, &TarnStepper::stepped);
        EXPECT_EQ(clickUntilDisabled(stepper, stepper.incrementButton()), c.up) << c.initial;
        EXPECT_EQ(stepper.value(), c.maximum);
        EXPECT_FALSE(stepper.incrementButton()->isEnabled());
        EXPECT_EQ(clickUntilDisabled(stepper, stepper.decrementButton()), c.down) << c.initial;
        EXPECT_EQ(stepper.value(), c.minimum);
        EXPECT_FALSE(stepper.decrementButton()->isEnabled());
        EXPECT_TRUE(stepper.incrementButton()->isEnabled());
        EXPECT_EQ(stepped.count(), static_cast<int>(c.up.size() + c.down.size()));
        EXPECT_EQ(stepper.label()->text(), QStringLiteral("N: %1").arg(c.minimum));
    }
}

TEST(TarnStepper, SettingTheValueHoldsItInRangeWithoutReportingAStep) {
    TarnStepper stepper(QStringLiteral("Workers: "), 1, 24, 1, 5);
    QSignalSpy stepped(&stepper, &TarnStepper::stepped);
    stepper.setValue(99);
    EXPECT_EQ(stepper.value(), 24);
    EXPECT_EQ(stepper.label()->text(), QStringLiteral("Workers: 24"));
    EXPECT_FALSE(stepper.incrementButton()->isEnabled());
    stepper.setValue(-3);
    EXPECT_EQ(stepper.value(), 1);
    EXPECT_FALSE(stepper.decrementButton()->isEnabled());
    EXPECT_EQ(stepped.count(), 0);
}

} // namespace
} // namespace tarn
