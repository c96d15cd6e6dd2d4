#include "support/ManualExecutors.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace tarn::testing {
namespace {

// A job that keeps posting itself would otherwise hang the test for good.
constexpr std::size_t kRunawayLimit = 100000;

void checkRunaway(std::size_t count) {
    if (count > kRunawayLimit)
        throw std::logic_error("ManualMainExecutor ran " + std::to_string(kRunawayLimit) +
                               " jobs without becoming idle; a job keeps posting itself");
}

} // namespace

void ManualMainExecutor::post(Job job) {
    std::lock_guard lock(m_mutex);
    m_ready.push_back(std::move(job));
}

TimerToken ManualMainExecutor::postAfter(std::chrono::milliseconds delay, Job job) {
    std::lock_guard lock(m_mutex);
    const std::uint64_t token = ++m_nextToken;
    const auto due = m_now + std::max(delay, std::chrono::milliseconds(0));
    m_timers.emplace(std::pair(due, token), std::move(job));
    m_timerDue.emplace(token, due);
    return TimerToken{token};
}

void ManualMainExecutor::cancel(TimerToken token) {
    Job cancelled; // destroyed after the lock is released: its captures may post
    std::lock_guard lock(m_mutex);
    const auto found = m_timerDue.find(token.value);
    if (found == m_timerDue.end())
        return;
    const auto timer = m_timers.find(std::pair(found->second, token.value));
    cancelled = std::move(timer->second);
    m_timers.erase(timer);
    m_timerDue.erase(found);
}

bool ManualMainExecutor::runOne(std::chrono::milliseconds until) {
    Job job;
    {
        std::lock_guard lock(m_mutex);
        if (!m_ready.empty()) {
            job = std::move(m_ready.front());
            m_ready.pop_front();
        } else if (!m_timers.empty() && m_timers.begin()->first.first <= until) {
            const auto timer = m_timers.begin();
            m_now = std::max(m_now, timer->first.first);
            job = std::move(timer->second);
            m_timerDue.erase(timer->first.second);
            m_timers.erase(timer);
        } else {
            return false;
        }
    }
    if (job)
        job();
    return true;
}

std::size_t ManualMainExecutor::runUntilIdle() {
    std::size_t count = 0;
    while (runOne(now()))
        checkRunaway(++count);
    return count;
}

void ManualMainExecutor::advance(std::chrono::milliseconds duration) {
    const auto target = now() + std::max(duration, std::chrono::milliseconds(0));
    std::size_t count = 0;
    while (runOne(target))
        checkRunaway(++count);
    std::lock_guard lock(m_mutex);
    m_now = target;
}

std::chrono::milliseconds ManualMainExecutor::now() const {
    std::lock_guard lock(m_mutex);
    return m_now;
}

std::size_t ManualMainExecutor::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_ready.size();
}

std::size_t ManualMainExecutor::timerCount() const {
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

ManualBackgroundExecutor::~ManualBackgroundExecutor() {
    // Like the real executor, tell every job it is no longer wanted: a test
    // may still hold its BackgroundTask.
    for (Entry& entry : m_entries)
        entry.source.request_stop();
}

BackgroundTask ManualBackgroundExecutor::start(BlockingJob job) {
    std::lock_guard lock(m_mutex);
    Entry& entry = m_entries.emplace_back();
    entry.job = std::move(job);
    return BackgroundTask(entry.source);
}

std::size_t ManualBackgroundExecutor::size() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

void ManualBackgroundExecutor::run(std::size_t index) {
    BlockingJob job;
    std::stop_token token;
    {
        std::lock_guard lock(m_mutex);
        if (index >= m_entries.size())
            throw std::logic_error("ManualBackgroundExecutor has no job " + std::to_string(index));
        Entry& entry = m_entries[index];
        if (entry.taken)
            throw std::logic_error("ManualBackgroundExecutor job " + std::to_string(index) +
                                   " has already run");
        entry.taken = true;
        job = std::move(entry.job);
        token = entry.source.get_token();
    }
    if (job)
        job(std::move(token));
}

void ManualBackgroundExecutor::runAll() {
    for (std::size_t index = 0; index < size(); ++index)
        if (!hasRun(index))
            run(index);
}

bool ManualBackgroundExecutor::hasRun(std::size_t index) const {
    std::lock_guard lock(m_mutex);
    if (index >= m_entries.size())
        throw std::logic_error("ManualBackgroundExecutor has no job " + std::to_string(index));
    return m_entries[index].taken;
}

bool ManualBackgroundExecutor::stopRequested(std::size_t index) const {
    std::lock_guard lock(m_mutex);
    if (index >= m_entries.size())
        throw std::logic_error("ManualBackgroundExecutor has no job " + std::to_string(index));
    return m_entries[index].source.stop_requested();
}

} // namespace tarn::testing
