#pragma once

#include "TarnKit/Platform/Executors.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <stop_token>
#include <utility>

namespace tarn::testing {

// A main executor that runs nothing by itself: the test thread drains it with
// runUntilIdle and moves its virtual clock with advance. post is safe from any
// thread; everything else belongs to the test thread. Exceptions thrown by a
// job propagate out of runUntilIdle/advance; the job has left the queue by then.
class ManualMainExecutor final : public MainExecutor {
public:
    void post(Job job) override;
    [[nodiscard]] TimerToken postAfter(std::chrono::milliseconds delay, Job job) override;
    void cancel(TimerToken token) override;

    // Runs posted jobs, and the jobs they post, in FIFO order, then any timer
    // already due, until nothing is ready. The clock does not move. Returns the
    // number of jobs and timers run.
    std::size_t runUntilIdle();
    // Moves the virtual clock forward by `duration`, stopping at each due time
    // on the way: timers fire in due-time order (equal times in posting order)
    // and what they post runs before the next timer fires.
    void advance(std::chrono::milliseconds duration);

    // Virtual time elapsed since the executor was made.
    std::chrono::milliseconds now() const;
    // Posted jobs not run yet (timers are not counted).
    std::size_t pendingCount() const;
    // Timers that have neither fired nor been cancelled.
    std::size_t timerCount() const;

private:
    // Runs one ready job, or the earliest timer due by `until`. False when
    // there is neither.
    bool runOne(std::chrono::milliseconds until);

    mutable std::mutex m_mutex;
    std::deque<Job> m_ready;
    // Keyed by (due time, posting sequence): iteration order is firing order.
    std::map<std::pair<std::chrono::milliseconds, std::uint64_t>, Job> m_timers;
    std::map<std::uint64_t, std::chrono::milliseconds> m_timerDue; // token -> due time
    std::chrono::milliseconds m_now{0};
    std::uint64_t m_nextToken = 0;
};

// A background executor that records started jobs without running them, so a
// test can complete them in any order on its own thread. start is safe from
// any thread.
class ManualBackgroundExecutor final : public BackgroundExecutor {
public:
    ~ManualBackgroundExecutor() override;

    [[nodiscard]] BackgroundTask start(BlockingJob job) override;

    // Jobs started so far, run or not.
    std::size_t size() const;
    // Runs job `index` (in start order) on the calling thread with its stop
    // token. Each job runs once; running it again or an index out of range
    // throws std::logic_error.
    void run(std::size_t index);
    // Runs every job not run yet in start order, including jobs they start.
    void runAll();
    bool hasRun(std::size_t index) const;
    bool stopRequested(std::size_t index) const;

private:
    struct Entry {
        BlockingJob job;
        std::stop_source source;
        bool taken = false;
    };

    mutable std::mutex m_mutex;
    std::deque<Entry> m_entries;
};

} // namespace tarn::testing
