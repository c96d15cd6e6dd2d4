#include "TarnKit/PlatformQt/QtMainExecutor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Runs the event loop until `done` holds or two seconds have passed.
template <class Predicate> bool spinUntil(Predicate done) {
    return QTest::qWaitFor(done, 2000);
}

} // namespace

TEST(QtMainExecutor, PostedJobsRunOnTheGuiThreadInOrderAndNeverInline) {
    tarn::QtMainExecutor executor;
    std::vector<int> order;
    std::vector<bool> onGuiThread;
    const auto record = [&](int n) {
        return [&, n] {
            order.push_back(n);
            onGuiThread.push_back(QThread::currentThread() == qApp->thread());
        };
    };
    executor.post(record(1));
    EXPECT_TRUE(order.empty()) << "post ran the job inline";
    std::thread other([&] {
        for (int n = 2; n <= 50; ++n)
            executor.post(record(n));
    });
    other.join();
    ASSERT_TRUE(spinUntil([&] { return order.size() == 50; }));
    for (int n = 1; n <= 50; ++n)
        EXPECT_EQ(order[static_cast<std::size_t>(n - 1)], n);
    EXPECT_EQ(std::count(onGuiThread.begin(), onGuiThread.end(), false), 0);
}

TEST(QtMainExecutor, PostAfterWaitsItsDelayAndCancelForgetsTheJob) {
    tarn::QtMainExecutor executor;
    QElapsedTimer clock;
    clock.start();
    std::optional<qint64> firedAfter;
    bool cancelledRan = false;
    (void)executor.postAfter(60ms, [&] { firedAfter = clock.elapsed(); });
    const tarn::TimerToken cancelled = executor.postAfter(20ms, [&] { cancelledRan = true; });
    executor.cancel(cancelled);
    executor.cancel(cancelled); // a second cancel of the same token is harmless
    executor.cancel(tarn::TimerToken{});
    ASSERT_TRUE(spinUntil([&] { return firedAfter.has_value(); }));
    EXPECT_GE(*firedAfter, 60);
    QTest::qWait(40);
    EXPECT_FALSE(cancelledRan);
    EXPECT_EQ(executor.pendingTimerCount(), 0u);
}

TEST(QtMainExecutor, ZeroAndNegativeDelaysRunLaterNotInline) {
    tarn::QtMainExecutor executor;
    int runs = 0;
    (void)executor.postAfter(0ms, [&] { ++runs; });
    (void)executor.postAfter(-5ms, [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    ASSERT_TRUE(spinUntil([&] { return runs == 2; }));
}

TEST(QtMainExecutor, AJobMayCancelItselfOrScheduleAnother) {
    tarn::QtMainExecutor executor;
    tarn::TimerToken self{};
    int chained = 0;
    self = executor.postAfter(1ms, [&] {
        executor.cancel(self);
        (void)executor.postAfter(1ms, [&] { ++chained; });
    });
    ASSERT_TRUE(spinUntil([&] { return chained == 1; }));
}

TEST(QtMainExecutor, JobsQueuedWhenTheExecutorIsDestroyedNeverRun) {
    std::atomic<int> runs = 0;
    {
        tarn::QtMainExecutor executor;
        executor.post([&] { ++runs; });
        (void)executor.postAfter(1ms, [&] { ++runs; });
    }
    QTest::qWait(30);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs.load(), 0);
}
