#include "support/QtViewModelTest.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <vector>

namespace quiller {
namespace {

using Field = QuillerViewModelField;

class ViewModelBridgeTest : public testing::QtViewModelTest {
protected:
    ViewModelBridgeTest() {
        QObject::connect(bridge.get(), &ViewModelBridge::changed, bridge.get(),
                         [this](const ViewModelChanges& turn) { delivered.push_back(turn); });
    }
    std::vector<ViewModelChanges> delivered;
};

TEST_F(ViewModelBridgeTest, OneTurnOfChangesArrivesAsOneDeliveryWithEveryRecordInOrder) {
    const tarn::UUID requestID = vm().activeRequest()->id;
    vm().setJsonPathQuery("$.a");
    vm().setJsonPathQuery("$.ab");
    vm().setSseURL("https://events.test/");
    vm().updateRequest(requestID, [](APIRequestSpec& spec) { spec.url = "https://x.test/"; });
    vm().setJsonPathQuery("$.abc");
    EXPECT_TRUE(delivered.empty()) << "delivered inside the model's notification";

    endTurn();
    ASSERT_EQ(delivered.size(), 1u);
    const ViewModelChanges& turn = delivered.front();
    EXPECT_EQ(turn.fields.count(), 3u);
    EXPECT_TRUE(turn.contains(Field::jsonPathQuery));
    EXPECT_TRUE(turn.contains(Field::sseURL));
    EXPECT_TRUE(turn.containsAny({Field::isSending, Field::collections}));
    EXPECT_FALSE(turn.containsAny({Field::isSending, Field::wsURL}));
    ASSERT_EQ(turn.records.size(), 5u);
    EXPECT_EQ(turn.records[2].field, Field::sseURL);
    EXPECT_EQ(turn.records[3].field, Field::collections);
    EXPECT_EQ(turn.records[3].kind, ListChangeKind::updated);
    EXPECT_EQ(turn.records[3].identity, requestID);

    endTurn();
    EXPECT_EQ(delivered.size(), 1u) << "a turn without changes delivered something";
}

TEST_F(ViewModelBridgeTest, AChangeMadeWhileRefreshingArrivesInTheNextTurn) {
    int refreshes = 0;
    QObject::connect(bridge.get(), &ViewModelBridge::changed, bridge.get(),
                     [&](const ViewModelChanges& turn) {
                         ++refreshes;
                         if (turn.contains(Field::wsURL))
                             vm().setWsDraftMessage("hello");
                     });
    vm().setWsURL("wss://echo.test/");
    endTurn();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_FALSE(delivered[0].contains(Field::wsDraftMessage));
    endTurn();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_TRUE(delivered[1].contains(Field::wsDraftMessage));
    EXPECT_EQ(delivered[1].records.size(), 1u);
    EXPECT_EQ(refreshes, 2);
}

TEST_F(ViewModelBridgeTest, AnEditsSaveIsUnderWayBeforeTheViewsRefresh) {
    // The disk works while the window refreshes rather than after it.
    std::size_t jobsWhenRefreshing = 0;
    QObject::connect(bridge.get(), &ViewModelBridge::changed, bridge.get(),
                     [&](const ViewModelChanges&) { jobsWhenRefreshing = background->size(); });
    const std::size_t jobsBefore = background->size();
    const tarn::UUID requestID = vm().activeRequest()->id;
    vm().updateRequest(requestID, [](APIRequestSpec& spec) { spec.bodyText = "{\"a\":1}"; });
    vm().persist();
    endTurn();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(jobsWhenRefreshing, jobsBefore + 1);
    ASSERT_EQ(workspaceSaves().size(), 1u) << "the turn's snapshot was taken twice";
    EXPECT_EQ(workspaceSaves().back().collections.front().requests.front().bodyText, "{\"a\":1}");
}

TEST_F(ViewModelBridgeTest, ABridgeGoneBeforeItsTurnDeliversNothingAndStopsObserving) {
    vm().setMcpCommandLine("server");
    bridge.reset();
    endTurn();
    vm().setMcpCommandLine("server --verbose"); // would touch freed memory if still observed
    endTurn();
    EXPECT_TRUE(delivered.empty());
}

} // namespace
} // namespace quiller
