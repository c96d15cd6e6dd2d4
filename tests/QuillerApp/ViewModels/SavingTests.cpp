// Saving off the main thread: the saver that writes the newest snapshot, and
// the view model's use of it for the workspace and the history files.

#include "QuillerApp/ViewModels/LatestSnapshotSaver.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "QuillerCore/Engine/RequestHistoryStore.h"
#include "TarnKit/System/FileKeychain.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "support/TemporaryFolder.h"
#include "support/UnprivilegedScope.h"
#include "support/ViewModelFakes.h"

#include <condition_variable>
#include <exception>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quiller::testing {
namespace {

using namespace std::chrono_literals;

// Records what it writes; can hold a write until released.
struct RecordingWriter {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> written;
    bool holding = false;
    bool inside = false;

    void write(int value) {
        std::unique_lock lock(mutex);
        inside = true;
        changed.notify_all();
        changed.wait(lock, [&] { return !holding; });
        written.push_back(value);
        inside = false;
    }
    void release() {
        std::lock_guard lock(mutex);
        holding = false;
        changed.notify_all();
    }
    void waitUntilInside() {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return inside; }));
    }
    std::vector<int> snapshot() {
        std::lock_guard lock(mutex);
        return written;
    }
};

TEST(LatestSnapshotSaverTest, SnapshotsWaitingBehindAWriteMergeIntoTheNewest) {
    RecordingWriter writer;
    writer.holding = true;
    auto background = std::make_shared<tarn::ThreadBackgroundExecutor>();
    LatestSnapshotSaver<int> saver(background, [&](const int& value) { writer.write(value); });

    saver.submit(1);
    writer.waitUntilInside();
    for (int value = 2; value <= 5; ++value)
        saver.submit(value);
    writer.release();
    saver.flush();

    EXPECT_EQ(writer.snapshot(), (std::vector<int>{1, 5}));
    EXPECT_EQ(saver.writeCount(), 2u);
}

TEST(LatestSnapshotSaverTest, FlushWritesOnTheCallersThreadWhenTheJobIsHeldBack) {
    auto background = std::make_shared<tarn::testing::ManualBackgroundExecutor>();
    std::vector<int> written;
    bool failNext = true;
    LatestSnapshotSaver<int> saver(background, [&](const int& value) {
        if (std::exchange(failNext, false))
            throw std::runtime_error("disk full");
        written.push_back(value);
    });

    // A writer that throws loses that write, not the saver.
    saver.submit(1);
    ASSERT_EQ(background->size(), 1u);
    background->run(0);
    EXPECT_TRUE(written.empty());

    saver.submit(2);
    saver.submit(3);
    ASSERT_EQ(background->size(), 2u);
    saver.flush();
    EXPECT_EQ(written, std::vector<int>{3});
    // The job finds nothing left to write.
    background->run(1);
    EXPECT_EQ(written, std::vector<int>{3});
}

TEST(LatestSnapshotSaverTest, AFailedWriteIsReportedAndKeptForTheFlush) {
    auto background = std::make_shared<tarn::testing::ManualBackgroundExecutor>();
    std::vector<int> written;
    std::vector<std::string> outcomes;
    bool failing = true;
    LatestSnapshotSaver<int> saver(
        background,
        [&](const int& value) {
            if (failing)
                throw std::runtime_error("disk full");
            written.push_back(value);
        },
        nullptr,
        [&](std::exception_ptr failure) {
            std::string outcome = "written";
            if (failure) {
                try {
                    std::rethrow_exception(failure);
                } catch (const std::exception& error) {
                    outcome = error.what();
                }
            }
            outcomes.push_back(outcome);
        });

    saver.submit(1);
    background->runAll();
    EXPECT_EQ(outcomes, std::vector<std::string>{"disk full"});
    EXPECT_TRUE(saver.hasUnwritten());
    EXPECT_FALSE(saver.isBusy()) << "the job does not retry on its own";

    // Still failing: the flush tries once and returns.
    saver.flush();
    EXPECT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(saver.hasUnwritten());

    failing = false;
    saver.flush();
    EXPECT_EQ(written, std::vector<int>{1});
    EXPECT_EQ(outcomes.back(), "written");
    EXPECT_FALSE(saver.hasUnwritten());

    // A newer snapshot replaces the one that failed.
    failing = true;
    saver.submit(2);
    background->runAll();
    saver.submit(3);
    failing = false;
    saver.flush();
    background->runAll();
    EXPECT_EQ(written, (std::vector<int>{1, 3}));
}

// --- The view model ------------------------------------------------------------------

class SavingTest : public ViewModelTest {
protected:
    SavingTest() {
        workspaceStore->payload.collections = {makeCollection("A", {request})};
        makeViewModel();
    }

    void editURL(int n) {
        vm().updateRequest(request.id, [n](APIRequestSpec& r) {
            r.url = "https://example.test/" + std::to_string(n);
        });
        vm().persist();
    }

    APIRequestSpec request = makeRequest("Edited");
};

TEST_F(SavingTest, PersistReturnsBeforeAnythingIsWritten) {
    editURL(1);
    main->runUntilIdle();
    // The snapshot went to the saver, whose job has not run yet.
    EXPECT_TRUE(workspaceStore->saves.empty());
    EXPECT_EQ(background->size(), 1u);
    background->runAll();
    ASSERT_EQ(workspaceStore->saves.size(), 1u);
    EXPECT_EQ(workspaceStore->saves[0].collections[0].requests[0].url, "https://example.test/1");
}

TEST_F(SavingTest, ABurstOfEditsEndsInFewWritesTheLastHoldingTheLastEdit) {
    // In one turn: one snapshot.
    for (int n = 1; n <= 100; ++n)
        editURL(n);
    settle();
    ASSERT_EQ(workspaceStore->saves.size(), 1u);
    EXPECT_EQ(workspaceStore->saves[0].collections[0].requests[0].url, "https://example.test/100");

    // One turn each: the first goes to the saver; while it is being written
    // no snapshot is taken, and the one taken after it holds the last edit.
    for (int n = 101; n <= 200; ++n) {
        editURL(n);
        main->runUntilIdle();
    }
    EXPECT_EQ(background->size(), 2u);
    settle();
    ASSERT_EQ(workspaceStore->saves.size(), 3u);
    EXPECT_EQ(workspaceStore->saves[1].collections[0].requests[0].url, "https://example.test/101");
    EXPECT_EQ(workspaceStore->saves[2].collections[0].requests[0].url, "https://example.test/200");
}

TEST_F(SavingTest, AHistoryClearReplacesASaveStillWaiting) {
    vm().recordHistorySuccess(request, makeSnapshot("Edited"), {});
    vm().clearExecutionHistory();
    vm().flushSaves();
    EXPECT_TRUE(historyStore->saves.empty());
    EXPECT_EQ(historyStore->clears, 1);
}

TEST_F(SavingTest, EveryEditBeforeAFlushOrTheEndIsInTheFilesOverRealStores) {
    tarn::testing::TemporaryFolder folder("quiller-vm-saving");
    tarn::InMemoryKeychain keychain;
    QuillerViewModelPorts real = ports();
    real.background = std::make_shared<tarn::ThreadBackgroundExecutor>();
    real.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(folder.path(), keychain);
    real.historyStore = std::make_shared<HistoryStoreAdapter>(folder.path());
    auto model = std::make_unique<QuillerViewModel>(std::move(real));
    const tarn::UUID id = model->collections().at(0).requests.at(0).id;
    const auto storedURL = [&] {
        return WorkspaceStoreAdapter(folder.path(), keychain)
            .load()
            .collections.at(0)
            .requests.at(0)
            .url;
    };

    for (int n = 1; n <= 100; ++n) {
        model->updateRequest(
            id, [n](APIRequestSpec& r) { r.url = "https://x.test/" + std::to_string(n); });
        model->persist();
        main->runUntilIdle();
    }
    model->flushSaves();
    EXPECT_EQ(storedURL(), "https://x.test/100");

    // The last edit and a history entry, then the view model goes at once.
    model->updateRequest(id, [](APIRequestSpec& r) { r.url = "https://x.test/last"; });
    model->persist();
    const APIRequestSpec sent = model->collections()[0].requests[0];
    model->recordHistorySuccess(sent, makeSnapshot(sent.name), {});
    model.reset();
    EXPECT_EQ(storedURL(), "https://x.test/last");
    const auto history = RequestHistoryStore(folder.path()).load();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].requestName, sent.name);
}

// The stores write into a folder this test takes away and gives back; as root
// it runs as an unprivileged user, for whom the permission bits count.
class SavingFailureTest : public ViewModelTest {
protected:
    SavingFailureTest() {
        QuillerViewModelPorts real = ports();
        real.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(data, keychain);
        real.historyStore = std::make_shared<HistoryStoreAdapter>(data);
        makeViewModel(std::move(real));
        requestID = vm().collections().at(0).requests.at(0).id;
    }
    // Its last saves go while the folder and the identity are still there.
    ~SavingFailureTest() override { viewModel.reset(); }

    void editURL(const std::string& url) {
        vm().updateRequest(requestID, [&](APIRequestSpec& r) { r.url = url; });
        vm().persist();
        settle();
    }
    std::string storedURL() {
        return WorkspaceStoreAdapter(data, keychain).load().collections.at(0).requests.at(0).url;
    }
    void setWritable(bool writable) { ASSERT_EQ(::chmod(data.c_str(), writable ? 0700 : 0500), 0); }
    std::size_t errorLines(std::string_view text) const {
        std::size_t count = 0;
        for (const tarn::TarnLogEntry& entry : logEntries())
            count += entry.level == tarn::TarnLogLevel::error &&
                     entry.message.find(text) != std::string::npos;
        return count;
    }

    tarn::testing::TemporaryFolder folder{"quiller-vm-failing"};
    tarn::testing::UnprivilegedScope unprivileged{folder.path(), logFolder.path()};
    std::filesystem::path data = folder.path() / "data";
    tarn::InMemoryKeychain keychain;
    tarn::UUID requestID;
};

TEST_F(SavingFailureTest, AFailingSaveShowsOneToastPerStreakAndTheNextSaveWritesTheEdit) {
    editURL("https://x.test/first");
    ASSERT_EQ(storedURL(), "https://x.test/first");

    setWritable(false);
    notifications.clear();
    editURL("https://x.test/kept");
    ASSERT_TRUE(vm().toastMessage());
    EXPECT_TRUE(vm().toastIsError());
    EXPECT_TRUE(vm().toastMessage()->starts_with("The workspace could not be saved (Could not"))
        << *vm().toastMessage();
    EXPECT_EQ(errorLines("Saving the workspace failed"), 1u);

    // The streak goes on: no second toast, no second line; the edit stays.
    editURL("https://x.test/kept-too");
    EXPECT_EQ(notificationCount(QuillerViewModel::Field::toastMessage), 1u);
    EXPECT_EQ(errorLines("Saving the workspace failed"), 1u);
    EXPECT_EQ(vm().collections()[0].requests[0].url, "https://x.test/kept-too");
    EXPECT_EQ(storedURL(), "https://x.test/first");

    // The history has a streak of its own.
    vm().recordHistorySuccess(vm().collections()[0].requests[0], makeSnapshot("Sent"), {});
    settle();
    EXPECT_TRUE(vm().toastMessage()->starts_with("The request history could not be saved"));
    EXPECT_EQ(notificationCount(QuillerViewModel::Field::toastMessage), 2u);

    // Writable again: the next save writes everything kept.
    setWritable(true);
    editURL("https://x.test/written");
    EXPECT_EQ(storedURL(), "https://x.test/written");
    vm().recordHistorySuccess(vm().collections()[0].requests[0], makeSnapshot("Sent"), {});
    settle();
    EXPECT_EQ(RequestHistoryStore(data).load().size(), 2u);

    // A new streak is announced again.
    setWritable(false);
    editURL("https://x.test/again");
    EXPECT_EQ(notificationCount(QuillerViewModel::Field::toastMessage), 3u);
    EXPECT_EQ(errorLines("Saving the workspace failed"), 2u);
}

TEST_F(SavingFailureTest, QuittingTriesAFailedSaveOnceMore) {
    setWritable(false);
    editURL("https://x.test/at-quit");
    EXPECT_NE(storedURL(), "https://x.test/at-quit");
    setWritable(true);
    viewModel.reset();
    EXPECT_EQ(storedURL(), "https://x.test/at-quit");
}

TEST_F(SavingTest, StartUpNamesTheKeptCopiesOfUnreadableFiles) {
    tarn::testing::TemporaryFolder folder("quiller-vm-unreadable");
    folder.write("workspace.json", "{not json");
    folder.write("history.json", R"([{"statusCode": "x"}])");
    tarn::InMemoryKeychain keychain;
    QuillerViewModelPorts real = ports();
    real.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(folder.path(), keychain);
    real.historyStore = std::make_shared<HistoryStoreAdapter>(folder.path());
    makeViewModel(std::move(real));

    std::vector<std::filesystem::path> kept;
    for (const auto& item : std::filesystem::directory_iterator(folder.path()))
        if (item.path().filename().string().find(".unreadable-") != std::string::npos)
            kept.push_back(item.path());
    ASSERT_EQ(kept.size(), 2u) << "both files are set aside at start";
    EXPECT_FALSE(vm().toastMessage()) << "the toast waits for the main executor";
    main->runUntilIdle();
    ASSERT_TRUE(vm().toastMessage());
    EXPECT_TRUE(vm().toastIsError());
    for (const auto& path : kept)
        EXPECT_NE(vm().toastMessage()->find(path.string()), std::string::npos) << path;
    viewModel.reset();
}

TEST_F(SavingTest, SecretsKeptInTheFallbackFileAreAnnouncedOnce) {
    tarn::testing::TemporaryFolder folder("quiller-vm-fallback");
    tarn::FileKeychain fallback(folder.path() / "Keychain" / "keychain.json");
    QuillerViewModelPorts real = ports();
    real.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(folder.path(), fallback);
    makeViewModel(std::move(real));
    // Without the sample secrets of the built-in environments.
    vm().setEnvironments({makeEnvironment("Plain", {})});
    vm().setActiveEnvironmentID(vm().environments()[0].id);

    vm().addVariableToActiveEnvironment("plain", "value", false);
    settle();
    EXPECT_FALSE(vm().toastMessage()) << "no secret went anywhere yet";

    vm().addVariableToActiveEnvironment("apiToken", "s3cret-value", true);
    settle();
    ASSERT_TRUE(vm().toastMessage());
    EXPECT_FALSE(vm().toastIsError());
    EXPECT_NE(vm().toastMessage()->find(fallback.file().string()), std::string::npos);

    vm().addVariableToActiveEnvironment("another", "s3cret-two", true);
    settle();
    EXPECT_EQ(notificationCount(QuillerViewModel::Field::toastMessage), 1u);
    viewModel.reset();
}

} // namespace
} // namespace quiller::testing
