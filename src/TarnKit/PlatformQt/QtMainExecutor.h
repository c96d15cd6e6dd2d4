#pragma once

// The main executor of the Qt application: jobs run on the thread of the Qt
// event loop that owns the executor (the GUI thread).
//
// Threads: construct and destroy on the GUI thread, after QApplication exists.
// post may be called from any thread while the executor exists; postAfter and
// cancel only on the GUI thread. Jobs still queued when the executor is
// destroyed never run.

#include "TarnKit/Platform/Executors.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <unordered_map>

class QObject;
class QTimer;

namespace tarn {

class QtMainExecutor final : public MainExecutor {
public:
    QtMainExecutor();
    ~QtMainExecutor() override;

    // A queued call on the event loop: FIFO with every other job posted.
    void post(Job job) override;
    // A precise single-shot timer.
    [[nodiscard]] TimerToken postAfter(std::chrono::milliseconds delay, Job job) override;
    void cancel(TimerToken token) override;

    // Timers that have neither fired nor been cancelled.
    std::size_t pendingTimerCount() const { return m_timers.size(); }

private:
    // Receives the queued calls and parents the timers; deleting it drops
    // both, which is what keeps late jobs away from a destroyed owner.
    std::unique_ptr<QObject> m_context;
    std::unordered_map<std::uint64_t, QTimer*> m_timers;
    std::uint64_t m_nextTimer = 0;
};

} // namespace tarn
