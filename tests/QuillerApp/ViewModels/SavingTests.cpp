// Saving off the main thread: the saver that writes the newest snapshot, and
// the view model's use of it for the workspace and the history files.

#include "QuillerApp/ViewModels/LatestSnapshotSaver.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "QuillerCore/Engine/RequestHistoryStore.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "support/ViewModelFakes.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <string>
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

} // namespace
} // namespace quiller::testing
