#pragma once

#include <memory>
#include <mutex>
#include <stop_token>

namespace tarn {

class ChildProcess;

// A cancel switch shared between the thread that runs a process
// (TarnProcessRunner::run) and any thread that may cancel it. Once cancelled
// it stays cancelled. Every member is safe from any thread, before, during or
// after the run.
//
// Whichever of cancel() and attach() comes second asks the process to end, so
// a cancel that lands while the process is being launched still stops it.
class TarnProcessCancellation final {
public:
    TarnProcessCancellation() = default;
    TarnProcessCancellation(const TarnProcessCancellation&) = delete;
    TarnProcessCancellation& operator=(const TarnProcessCancellation&) = delete;

    bool isCancelled() const;

    // Remembers the process weakly (a finished process is not kept alive); when
    // the token is already cancelled, sends it SIGTERM at once.
    void attach(const std::shared_ptr<ChildProcess>& process);

    // Sets the flag, sends the remembered process SIGTERM (to its process
    // group; nothing once it has been reaped) and wakes the run, which then
    // sees the process through to its end.
    void cancel();

    // Reports the cancel and wakes a wait registered on it.
    std::stop_token stopToken() const { return m_stop.get_token(); }

private:
    mutable std::mutex m_lock;
    bool m_cancelled = false;
    std::weak_ptr<ChildProcess> m_process;
    std::stop_source m_stop;
};

} // namespace tarn
