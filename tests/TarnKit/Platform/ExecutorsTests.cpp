#include "TarnKit/Platform/Executors.h"
#include "support/ManualExecutors.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tarn::BackgroundTask;
using tarn::ThreadBackgroundExecutor;
using tarn::TimerToken;
using tarn::testing::ManualBackgroundExecutor;
using tarn::testing::ManualMainExecutor;
using Log = std::vector<std::string>;

// Blocks until a stop is requested on `token`, or gives up after `limit` so that
// a broken executor fails the test instead of hanging it. True when stopped.
bool waitForStop(const std::stop_token& token, std::chrono::milliseconds limit = 10s) {
    std::mutex mutex;
    std::condition_variable_any wakeUp;
    std::unique_lock lock(mutex);
    wakeUp.wait_for(lock, token, limit, [] { return false; });
    return token.stop_requested();
}

// --- ManualMainExecutor ----------------------------------------------------

TEST(ManualMainExecutor, RunsPostedJobsInFifoOrderAndNeverInline) {
    ManualMainExecutor main;
    Log log;
    main.post([&] {
        log.push_back("a");
        main.post([&] { log.push_back("posted by a"); });
        log.push_back("a returns");
    });
    main.post([&] { log.push_back("b"); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(main.pendingCount(), 2u);

    EXPECT_EQ(main.runUntilIdle(), 3u);
    EXPECT_EQ(log, (Log{"a", "a returns", "b", "posted by a"}));
    EXPECT_EQ(main.pendingCount(), 0u);
    EXPECT_EQ(main.runUntilIdle(), 0u);
}

TEST(ManualMainExecutor, FiresTimersInDueOrderOnTheVirtualClock) {
    ManualMainExecutor main;
    Log log;
    auto record = [&](std::string name) {
        return [&, name] { log.push_back(name + "@" + std::to_string(main.now().count())); };
    };
    (void)main.postAfter(30ms, record("t30"));
    (void)main.postAfter(10ms, [&] {
        record("t10a")();
        main.post(record("posted by t10a"));
        (void)main.postAfter(5ms, record("t15 from t10a"));
        (void)main.postAfter(100ms, record("t110 from t10a"));
    });
    (void)main.postAfter(10ms, record("t10b"));
    const TimerToken dropped = main.postAfter(20ms, record("t20 cancelled"));
    (void)main.postAfter(-5ms, record("negative delay"));
    main.cancel(dropped);
    main.cancel(dropped);         // already cancelled
    main.cancel(TimerToken{});    // names no timer
    main.cancel(TimerToken{999}); // unknown
    EXPECT_TRUE(log.empty()) << "postAfter ran a job inline";
    EXPECT_EQ(main.timerCount(), 4u);

    // Due now: runs without moving the clock; later timers wait.
    main.runUntilIdle();
    EXPECT_EQ(log, (Log{"negative delay@0"}));

    main.advance(9ms);
    EXPECT_EQ(main.now(), 9ms);
    EXPECT_EQ(log.size(), 1u);

    main.advance(21ms);
    EXPECT_EQ(main.now(), 30ms);
    EXPECT_EQ(log, (Log{"negative delay@0", "t10a@10", "posted by t10a@10", "t10b@10",
                        "t15 from t10a@15", "t30@30"}));
    EXPECT_EQ(main.timerCount(), 1u);

    main.advance(1s);
    EXPECT_EQ(log.back(), "t110 from t10a@110");
    EXPECT_EQ(main.now(), 1030ms);
    EXPECT_EQ(main.timerCount(), 0u);
}

TEST(ManualMainExecutor, CancelFromAnEarlierTimerStopsALaterOne) {
    ManualMainExecutor main;
    Log log;
    TimerToken later;
    (void)main.postAfter(5ms, [&] {
        log.push_back("first");
        main.cancel(later);
    });
    later = main.postAfter(5ms, [&] { log.push_back("later"); });
    main.advance(10ms);
    EXPECT_EQ(log, (Log{"first"}));
}

TEST(ManualMainExecutor, PostIsSafeFromOtherThreadsAndKeepsEachThreadsOrder) {
    ManualMainExecutor main;
    constexpr int kThreads = 4;
    constexpr int kJobsEach = 2000;
    std::vector<std::vector<int>> seen(kThreads);
    {
        std::vector<std::jthread> posters;
        posters.reserve(kThreads);
        for (int t = 0; t < kThreads; ++t)
            posters.emplace_back([&main, &seen, t] {
                for (int i = 0; i < kJobsEach; ++i)
                    main.post([&seen, t, i] { seen[static_cast<std::size_t>(t)].push_back(i); });
            });
        // Drain while they post, so the queue is contended.
        for (int round = 0; round < 50; ++round)
            main.runUntilIdle();
    }
    main.runUntilIdle();
    for (int t = 0; t < kThreads; ++t) {
        const auto& jobs = seen[static_cast<std::size_t>(t)];
        ASSERT_EQ(jobs.size(), static_cast<std::size_t>(kJobsEach));
        for (int i = 0; i < kJobsEach; ++i)
            ASSERT_EQ(jobs[static_cast<std::size_t>(i)], i) << "thread " << t;
    }
}

TEST(ManualMainExecutor, RunawayJobFailsInsteadOfHanging) {
    ManualMainExecutor main;
    std::function<void()> again = [&] { main.post(again); };
    main.post(again);
    EXPECT_THROW(main.runUntilIdle(), std::logic_error);
}

// --- ManualBackgroundExecutor ----------------------------------------------

TEST(ManualBackgroundExecutor, TestCompletesJobsInAnyOrder) {
    ManualBackgroundExecutor background;
    std::vector<std::string> log;
    (void)background.start([&](std::stop_token) { log.emplace_back("zero"); });
    BackgroundTask one = background.start([&](std::stop_token token) {
        log.emplace_back(token.stop_requested() ? "one stopped" : "one running");
    });
    (void)background.start([&](std::stop_token) {
        log.emplace_back("two");
        (void)background.start([&](std::stop_token) { log.emplace_back("three, started by two"); });
    });
    EXPECT_EQ(background.size(), 3u);
    EXPECT_TRUE(log.empty()) << "start ran a job";

    // A copy is what is under test: it shares the job.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const BackgroundTask copy = one;
    copy.requestStop();
    EXPECT_TRUE(one.stopRequested());
    EXPECT_TRUE(background.stopRequested(1));
    EXPECT_FALSE(background.stopRequested(0));

    background.run(2);
    background.run(1);
    EXPECT_EQ(background.size(), 4u);
    EXPECT_TRUE(background.hasRun(1));
    EXPECT_FALSE(background.hasRun(0));
    EXPECT_THROW(background.run(1), std::logic_error);
    EXPECT_THROW(background.run(4), std::logic_error);

    background.runAll();
    EXPECT_EQ(log, (Log{"two", "one stopped", "zero", "three, started by two"}));
}

TEST(BackgroundTask, DefaultHandleNamesNoJob) {
    const BackgroundTask none;
    none.requestStop();
    EXPECT_FALSE(none.stopRequested());
}

// --- guarded ---------------------------------------------------------------

TEST(Guarded, ResultPostedBackIsDroppedOnceTheOwnerIsGone) {
    struct Owner {
        std::optional<int> result;
    };
    for (const bool ownerAlive : {true, false}) {
        SCOPED_TRACE(ownerAlive ? "owner alive" : "owner gone");
        ManualMainExecutor main;
        ManualBackgroundExecutor background;
        int delivered = 0;
        auto owner = std::make_shared<Owner>();
        // A raw pointer, as a state object hands out `this`: if the guard
        // failed, the job would write into a destroyed owner.
        Owner* raw = owner.get();
        (void)background.start(
            [&main, &delivered, raw, alive = std::weak_ptr<void>(owner)](std::stop_token) {
                const int result = 42;
                main.post(tarn::guarded(alive, [&delivered, raw, result] {
                    raw->result = result;
                    ++delivered;
                }));
            });
        background.run(0);
        if (!ownerAlive)
            owner.reset();

        EXPECT_EQ(main.runUntilIdle(), 1u);
        EXPECT_EQ(delivered, ownerAlive ? 1 : 0);
        if (ownerAlive) {
            EXPECT_EQ(owner->result, 42);
        }
    }
}

// --- ThreadBackgroundExecutor ----------------------------------------------

TEST(ThreadBackgroundExecutor, RunsEachJobOnItsOwnThreadConcurrently) {
    ThreadBackgroundExecutor background;
    std::mutex mutex;
    std::condition_variable bothArrived;
    int arrived = 0;
    std::vector<std::thread::id> ids;
    std::vector<std::future<bool>> met;
    for (int i = 0; i < 2; ++i) {
        auto promise = std::make_shared<std::promise<bool>>();
        met.push_back(promise->get_future());
        (void)background.start([&, promise](std::stop_token) {
            std::unique_lock lock(mutex);
            ids.push_back(std::this_thread::get_id());
            ++arrived;
            bothArrived.notify_all();
            // Only possible when the other job runs at the same time.
            promise->set_value(bothArrived.wait_for(lock, 10s, [&] { return arrived == 2; }));
        });
    }
    for (auto& future : met)
        EXPECT_TRUE(future.get());
    std::lock_guard lock(mutex);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[0], std::this_thread::get_id());
}

TEST(ThreadBackgroundExecutor, RequestStopEndsTheJob) {
    ThreadBackgroundExecutor background;
    std::promise<bool> stopped;
    auto result = stopped.get_future();
    const BackgroundTask task = background.start(
        [&stopped](std::stop_token token) { stopped.set_value(waitForStop(token)); });
    // A copy is what is under test: it shares the job.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const BackgroundTask copy = task;
    copy.requestStop();
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(result.get());
}

TEST(ThreadBackgroundExecutor, DestructorStopsEveryJobAndWaitsForIt) {
    std::atomic<bool> sawStop{false};
    std::atomic<bool> returned{false};
    std::atomic<bool> lateSawStop{false};
    std::atomic<bool> lateReturned{false};
    {
        ThreadBackgroundExecutor background;
        std::promise<void> started;
        (void)background.start([&](std::stop_token token) {
            started.set_value();
            sawStop = waitForStop(token);
            // A job may still start work while the executor shuts down; that
            // job must be stopped and waited for as well.
            (void)background.start([&](std::stop_token lateToken) {
                lateSawStop = waitForStop(lateToken);
                std::this_thread::sleep_for(30ms);
                lateReturned = true;
            });
            std::this_thread::sleep_for(30ms);
            returned = true;
        });
        started.get_future().wait();
    }
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(returned);
    EXPECT_TRUE(lateSawStop);
    EXPECT_TRUE(lateReturned);
}

TEST(ThreadBackgroundExecutor, FinishedThreadsDoNotAccumulate) {
    ThreadBackgroundExecutor background;
    for (int i = 0; i < 200; ++i) {
        std::promise<void> done;
        (void)background.start([&done](std::stop_token) { done.set_value(); });
        done.get_future().wait();
    }
    // A job counts as finished only once its thread has left the job, which on
    // a loaded machine can lag behind the promise; without reaping all 200
    // threads would still be counted.
    EXPECT_LE(background.threadCount(), 50u);
}

TEST(ThreadBackgroundExecutor, ResultsPostedFromJobsReachTheMainExecutor) {
    ManualMainExecutor main;
    std::vector<int> results;
    {
        ThreadBackgroundExecutor background;
        for (int i = 0; i < 8; ++i)
            (void)background.start([&main, &results, i](std::stop_token) {
                main.post([&results, i] { results.push_back(i); });
            });
    }
    EXPECT_EQ(main.pendingCount(), 8u);
    main.runUntilIdle();
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

} // namespace
