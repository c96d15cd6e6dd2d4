#pragma once

// The real ports of a view model for the benchmarks: stores in a folder of
// the benchmark's, an in-memory keychain, a private log, and no dialogs.

#include "QuillerApp/ViewModels/RealPorts.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quiller::bench {

// Keeps posted jobs until the benchmark runs them on its own thread; timers
// never fire.
class QueueMainExecutor final : public tarn::MainExecutor {
public:
    void post(tarn::Job job) override {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    [[nodiscard]] tarn::TimerToken postAfter(std::chrono::milliseconds, tarn::Job) override {
        return tarn::TimerToken{0};
    }
    void cancel(tarn::TimerToken) override {}

    std::size_t runAll() {
        std::size_t count = 0;
        for (;;) {
            tarn::Job job;
            {
                std::lock_guard lock(m_mutex);
                if (m_jobs.empty())
                    return count;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
            ++count;
        }
    }

private:
    std::mutex m_mutex;
    std::deque<tarn::Job> m_jobs;
};

class NoClipboard final : public ClipboardPort {
public:
    std::optional<std::string> text() override { return std::nullopt; }
    void setText(const std::string&) override {}
};

class NoFilePanels final : public FilePanelsPort {
public:
    void chooseFileToOpen(OpenOptions, Completion) override {}
    void chooseFileToSave(SaveOptions, Completion) override {}
};

class NoURLOpener final : public URLOpenerPort {
public:
    bool open(const std::string&) override { return false; }
};

// `keychain` and `logger` must outlive the view model made with the ports.
inline QuillerViewModelPorts benchPorts(std::shared_ptr<tarn::MainExecutor> main,
                                        const std::filesystem::path& folder,
                                        tarn::InMemoryKeychain& keychain,
                                        tarn::TarnAppLogger& logger) {
    QuillerViewModelPorts ports =
        makeRealPorts(std::move(main), std::make_shared<tarn::ThreadBackgroundExecutor>(),
                      std::make_shared<NoClipboard>(), std::make_shared<NoFilePanels>(),
                      std::make_shared<NoURLOpener>());
    ports.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(folder, keychain);
    ports.historyStore = std::make_shared<HistoryStoreAdapter>(folder);
    ports.logger = &logger;
    ports.language = tarn::TarnLanguage::en;
    return ports;
}

} // namespace quiller::bench
