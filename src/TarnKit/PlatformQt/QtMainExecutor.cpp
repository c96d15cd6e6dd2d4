#include "TarnKit/PlatformQt/QtMainExecutor.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace tarn {

QtMainExecutor::QtMainExecutor() : m_context(std::make_unique<QObject>()) {}

QtMainExecutor::~QtMainExecutor() = default;

void QtMainExecutor::post(Job job) {
    QMetaObject::invokeMethod(
        m_context.get(), [job = std::move(job)]() mutable { job(); }, Qt::QueuedConnection);
}

TimerToken QtMainExecutor::postAfter(std::chrono::milliseconds delay, Job job) {
    const std::uint64_t id = ++m_nextTimer;
    auto* timer = new QTimer(m_context.get());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, m_context.get(),
                     [this, id, timer, job = std::move(job)]() mutable {
                         m_timers.erase(id);
                         // The job may destroy this executor: nothing of it is
                         // touched once the job has started.
                         Job run = std::move(job);
                         timer->deleteLater();
                         run();
                     });
    m_timers.emplace(id, timer);
    timer->start(std::max(delay, std::chrono::milliseconds::zero()));
    return TimerToken{id};
}

void QtMainExecutor::cancel(TimerToken token) {
    const auto found = m_timers.find(token.value);
    if (found == m_timers.end())
        return;
    // Never deleted in place: cancel may be called from the timer's own job.
    found->second->stop();
    found->second->deleteLater();
    m_timers.erase(found);
}

} // namespace tarn
