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
// Threads: submit() and flush() from any thread; the writer is called on one
// thread at a time (the background job's or flush()'s caller's) and must not
// call back into the saver.

#include "TarnKit/Platform/Executors.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace quiller {

template <class Snapshot> class LatestSnapshotSaver {
public:
    // Writes one snapshot; whatever it throws is swallowed (the stores handle
    // their own errors, and a background thread must not die of one).
    using Writer = std::function<void(const Snapshot&)>;

    LatestSnapshotSaver(std::shared_ptr<tarn::BackgroundExecutor> background, Writer writer)
        : m_background(std::move(background)), m_state(std::make_shared<State>()) {
        m_state->writer = std::move(writer);
    }
    LatestSnapshotSaver(const LatestSnapshotSaver&) = delete;
    LatestSnapshotSaver& operator=(const LatestSnapshotSaver&) = delete;
    // Writes what still waits.
    ~LatestSnapshotSaver() { flush(); }

    void submit(Snapshot snapshot) {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->pending = std::move(snapshot);
            if (m_state->jobStarted)
                return;
            m_state->jobStarted = true;
        }
        try {
            // The job keeps the state alive, never the saver's owner.
            m_background->start([state = m_state](std::stop_token) { drain(*state); });
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
        for (;;) {
            state.idle.wait(lock, [&] { return !state.writing; });
            if (!state.pending)
                return;
            writeOne(state, lock);
        }
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
        // A background job is started and has not yet found the slot empty.
        bool jobStarted = false;
        // Some thread is inside the writer.
        bool writing = false;
        std::size_t writes = 0;
        Writer writer;
    };

    // Takes the waiting snapshot and writes it with the lock released.
    static void writeOne(State& state, std::unique_lock<std::mutex>& lock) {
        Snapshot snapshot = std::move(*state.pending);
        state.pending.reset();
        state.writing = true;
        lock.unlock();
        try {
            state.writer(snapshot);
        } catch (...) {
        }
        lock.lock();
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
                return;
            }
            writeOne(state, lock);
        }
    }

    std::shared_ptr<tarn::BackgroundExecutor> m_background;
    std::shared_ptr<State> m_state;
};

} // namespace quiller
