#include "TarnKit/Platform/Executors.h"

#include "TarnKit/Platform/PlatformError.h"

#include <system_error>

namespace tarn {

ThreadBackgroundExecutor::~ThreadBackgroundExecutor() {
    // A job may start another one while we wait; keep going until none is left.
    for (;;) {
        std::unordered_map<std::uint64_t, std::jthread> running;
        std::vector<std::jthread> finishedThreads;
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            if (m_running.empty() && m_finished.empty())
                return;
            running.swap(m_running);
            finishedThreads.swap(m_finished);
        }
        for (auto& [id, thread] : running)
            thread.request_stop();
        // Leaving the scope joins every thread. A job that ends meanwhile looks
        // for itself in m_running, does not find it and simply returns.
    }
}

BackgroundTask ThreadBackgroundExecutor::start(BlockingJob job) {
    std::vector<std::jthread> reaped;
    std::lock_guard lock(m_mutex);
    reaped.swap(m_finished); // joined after the lock is released (declared first)

    const std::uint64_t id = ++m_nextId;
    std::jthread& thread = m_running[id];
    try {
        // The new thread cannot report itself finished before this assignment:
        // finished() needs the lock we hold.
        thread = std::jthread([this, id, job = std::move(job)](std::stop_token token) {
            job(std::move(token));
            finished(id);
        });
    } catch (const std::system_error& error) {
        m_running.erase(id);
        throw PlatformError(kPOSIXErrorDomain, error.code().value(),
                            std::string("Could not start a background thread: ") + error.what());
    }
    if (m_stopping)
        thread.request_stop();
    return BackgroundTask(thread.get_stop_source());
}

std::size_t ThreadBackgroundExecutor::threadCount() const {
    std::lock_guard lock(m_mutex);
    return m_running.size() + m_finished.size();
}

void ThreadBackgroundExecutor::finished(std::uint64_t id) {
    std::lock_guard lock(m_mutex);
    auto node = m_running.extract(id);
    if (!node.empty())
        m_finished.push_back(std::move(node.mapped()));
}

} // namespace tarn
