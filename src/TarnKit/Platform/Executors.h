#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarn {

using Job = std::function<void()>;

// Names a job scheduled with MainExecutor::postAfter. The default value names
// no job; cancelling it does nothing.
struct TimerToken {
    std::uint64_t value = 0;

    friend bool operator==(const TimerToken&, const TimerToken&) = default;
};

// The thread that owns application state. post may be called from any thread;
// postAfter and cancel only on the main thread itself.
class MainExecutor {
public:
    MainExecutor() = default;
    MainExecutor(const MainExecutor&) = delete;
    MainExecutor& operator=(const MainExecutor&) = delete;
    virtual ~MainExecutor() = default;

    // Queues `job` to run on the main thread after every job posted before it.
    // Never runs it inline, not even when called on the main thread.
    virtual void post(Job job) = 0;
    // Runs `job` on the main thread once `delay` has passed (a negative delay
    // counts as zero). Never runs it inline.
    [[nodiscard]] virtual TimerToken postAfter(std::chrono::milliseconds delay, Job job) = 0;
    // Forgets a timer that has not fired yet; a fired or unknown token is ignored.
    virtual void cancel(TimerToken token) = 0;
};

// A handle on a job started by a BackgroundExecutor. Copies share the job; it
// is cheap to copy and safe to use from any thread. A default-constructed
// handle names no job.
class BackgroundTask {
public:
    BackgroundTask() = default;
    explicit BackgroundTask(std::stop_source source) : m_source(std::move(source)) {}

    // Asks the job to end: its stop token reports the request and wakes any
    // std::stop_callback registered on it. Does not wait for the job.
    void requestStop() const { m_source.request_stop(); }
    bool stopRequested() const { return m_source.stop_requested(); }

private:
    mutable std::stop_source m_source{std::nostopstate};
};

// Runs blocking work off the main thread. Each job gets a std::stop_token and
// should end promptly once a stop is requested. start may be called from any
// thread.
class BackgroundExecutor {
public:
    using BlockingJob = std::function<void(std::stop_token)>;

    BackgroundExecutor() = default;
    BackgroundExecutor(const BackgroundExecutor&) = delete;
    BackgroundExecutor& operator=(const BackgroundExecutor&) = delete;
    virtual ~BackgroundExecutor() = default;

    [[nodiscard]] virtual BackgroundTask start(BlockingJob job) = 0;
};

// One thread per job, which suits jobs that block for their whole life
// (streams, sockets, child processes). Threads of finished jobs are joined the
// next time a job starts, so they do not pile up.
//
// The destructor requests a stop on every job still running - including jobs
// those jobs start meanwhile - and waits for all of them to return; it must not
// run on one of the executor's own threads. A job must not let an exception
// escape: as on any thread, that terminates the program.
class ThreadBackgroundExecutor final : public BackgroundExecutor {
public:
    ThreadBackgroundExecutor() = default;
    ~ThreadBackgroundExecutor() override;

    // Throws PlatformError when no thread can be created.
    [[nodiscard]] BackgroundTask start(BlockingJob job) override;

    // Threads not joined yet: running jobs plus finished ones not yet reaped.
    std::size_t threadCount() const;

private:
    void finished(std::uint64_t id);

    mutable std::mutex m_mutex;
    std::uint64_t m_nextId = 0;
    bool m_stopping = false;
    std::unordered_map<std::uint64_t, std::jthread> m_running;
    std::vector<std::jthread> m_finished;
};

// Wraps `f` so that it runs only while the owner that `alive` watches still
// exists. An owner whose background result is posted back holds a
// std::shared_ptr (itself, or a member such as
// `std::shared_ptr<void> m_alive = std::make_shared<char>()`) and hands out a
// weak_ptr to it. Call the returned job on the thread that destroys the owner,
// normally the main thread, so that the check cannot race the destruction.
template <class F> Job guarded(std::weak_ptr<void> alive, F f) {
    return [alive = std::move(alive), f = std::move(f)]() mutable {
        if (const auto owner = alive.lock())
            f();
    };
}

} // namespace tarn
