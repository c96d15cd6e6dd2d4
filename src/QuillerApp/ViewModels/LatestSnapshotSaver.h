#pragma once

// Writes snapshots of a file's content off the caller's thread, newest wins.
//
// One writer job at a time runs on the background executor and writes the
// snapshots one after the other, in the order they were handed over. A
// snapshot handed over while an older one waits replaces it (each snapshot is
// the whole file, so the older one holds nothing the newer lacks). flush()
// writes whatever still waits on the calling thread and returns once nothing
// is waiting or being written; it never needs the background job to run, so
// it also works when the executor holds the job back.
//
// An owner whose snapshots are costly to take can wait while isBusy() and
// take the next one from `onDrained`, which the background job calls each
// time it has written everything and ends.
//
// A write that throws is reported to `onOutcome` (so is each one that
// succeeds), and its snapshot is kept: the next snapshot replaces it, and
// flush() tries it once more when nothing newer waits. The background job
// never retries on its own, so a disk that stays full costs one write per
// snapshot, not a loop.
//
// Threads: submit(), flush() and isBusy() from any thread; the writer is
// called on one thread at a time (the background job's or flush()'s
// caller's) and must not call back into the saver; `onOutcome` runs right
// after the writer, on its thread, and `onDrained` on the background job's
// thread, both with no lock held.

#include "TarnKit/Platform/Executors.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace quiller {

template <class Snapshot> class LatestSnapshotSaver {
public:
    // Writes one snapshot; throws when it could not. What it throws goes to
    // the outcome handler, never further: a background thread must not die
    // of it.
    using Writer = std::function<void(const Snapshot&)>;
    // How a write went: null when the snapshot was written, else what the
    // writer threw.
    using OutcomeHandler = std::function<void(std::exception_ptr failure)>;

    LatestSnapshotSaver(std::shared_ptr<tarn::BackgroundExecutor> background, Writer writer,
                        std::function<void()> onDrained = {}, OutcomeHandler onOutcome = {})
        : m_background(std::move(background)), m_state(std::make_shared<State>()) {
        m_state->writer = std::move(writer);
        m_state->onDrained = std::move(onDrained);
        m_state->onOutcome = std::move(onOutcome);
    }
    LatestSnapshotSaver(const LatestSnapshotSaver&) = delete;
    LatestSnapshotSaver& operator=(const LatestSnapshotSaver&) = delete;
    // Writes what still waits.
    ~LatestSnapshotSaver() { flush(); }

    void submit(Snapshot snapshot) {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->pending = std::move(snapshot);
            // The new snapshot is the whole file: the failed one holds nothing more.
            m_state->unwritten.reset();
            if (m_state->jobStarted)
                return;
            m_state->jobStarted = true;
        }
        try {
            // The job keeps the state alive, never the saver's owner. It is
            // never stopped - a snapshot once taken is written - so its
            // handle is not kept.
            (void)m_background->start([state = m_state](std::stop_token) { drain(*state); });
        } catch (...) {
            // No thread to be had: write here rather than lose the snapshot.
            {
                std::lock_guard lock(m_state->mutex);
                m_state->jobStarted = false;
            }
            flush();
        }
    }

    void flush() {
        State& state = *m_state;
        std::unique_lock lock(state.mutex);
        bool retried = false;
        for (;;) {
            state.idle.wait(lock, [&] { return !state.writing; });
            if (!state.pending && state.unwritten && !retried) {
                retried = true;
                state.pending = std::move(state.unwritten);
                state.unwritten.reset();
            }
            if (!state.pending)
                return;
            writeOne(state, lock);
        }
    }

    // A snapshot whose write failed and that nothing newer has replaced.
    bool hasUnwritten() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->unwritten.has_value();
    }

    // A snapshot waits, is being written, or the background job that will
    // write it has not ended yet; `onDrained` follows once it has.
    bool isBusy() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->pending.has_value() || m_state->writing || m_state->jobStarted;
    }

    // Snapshots written so far (for tests and benchmarks).
    std::size_t writeCount() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->writes;
    }

private:
    struct State {
        mutable std::mutex mutex;
        std::condition_variable idle;
        std::optional<Snapshot> pending;
        // The last snapshot, when its write failed.
        std::optional<Snapshot> unwritten;
        // A background job is started and has not yet found the slot empty.
        bool jobStarted = false;
        // Some thread is inside the writer.
        bool writing = false;
        std::size_t writes = 0;
        Writer writer;
        std::function<void()> onDrained;
        OutcomeHandler onOutcome;
    };

    // Takes the waiting snapshot and writes it with the lock released.
    static void writeOne(State& state, std::unique_lock<std::mutex>& lock) {
        Snapshot snapshot = std::move(*state.pending);
        state.pending.reset();
        state.writing = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            state.writer(snapshot);
        } catch (...) {
            failure = std::current_exception();
        }
        if (state.onOutcome) {
            try {
                state.onOutcome(failure);
            } catch (...) {
                // Nothing to tell it to; the snapshot is kept all the same.
            }
        }
        lock.lock();
        if (failure && !state.pending)
            state.unwritten = std::move(snapshot);
        state.writing = false;
        ++state.writes;
        state.idle.notify_all();
    }

    static void drain(State& state) {
        std::unique_lock lock(state.mutex);
        for (;;) {
            state.idle.wait(lock, [&] { return !state.writing; });
            if (!state.pending) {
                state.jobStarted = false;
                break;
            }
            writeOne(state, lock);
        }
        lock.unlock();
        if (state.onDrained) {
            try {
                state.onDrained();
            } catch (...) {
                // Nothing is lost: the owner's next snapshot or flush writes it.
            }
        }
    }

    std::shared_ptr<tarn::BackgroundExecutor> m_background;
    std::shared_ptr<State> m_state;
};

} // namespace quiller
