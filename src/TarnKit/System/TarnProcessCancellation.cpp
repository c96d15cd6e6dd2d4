#include "TarnKit/System/TarnProcessCancellation.h"

#include "TarnKit/Platform/ChildProcess.h"

#include <csignal>

namespace tarn {

bool TarnProcessCancellation::isCancelled() const {
    std::lock_guard lock(m_lock);
    return m_cancelled;
}

void TarnProcessCancellation::attach(const std::shared_ptr<ChildProcess>& process) {
    bool cancelled;
    {
        std::lock_guard lock(m_lock);
        m_process = process;
        cancelled = m_cancelled;
    }
    // Signalled outside our lock: the process takes a lock of its own.
    if (cancelled && process)
        process->signalGroup(SIGTERM);
}

void TarnProcessCancellation::cancel() {
    std::shared_ptr<ChildProcess> process;
    {
        std::lock_guard lock(m_lock);
        m_cancelled = true;
        process = m_process.lock();
    }
    if (process)
        process->signalGroup(SIGTERM);
    m_stop.request_stop();
}

} // namespace tarn
