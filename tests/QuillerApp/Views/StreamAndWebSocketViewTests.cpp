#include "QuillerApp/Views/StreamAndWebSocketView.h"
#include "QuillerApp/Views/StreamConsoleLists.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "support/QtViewModelTest.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quiller {
namespace {

using tarn::TarnLanguage;

class StreamConsoleTest : public testing::QtViewModelTest {
protected:
    StreamConsoleTest() : view(vm(), *bridge) {
        view.resize(1100, 640);
        view.show();
        settleTurns();
    }

    // Posted jobs run and the bridge delivers what they changed.
    static void settleTurns() {
        for (int i = 0; i < 3; ++i)
            endTurn();
    }

    template <class T> T* child(const char* name) {
        T* found = view.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractButton* sseButton() { return child<QAbstractButton>("sseButton"); }
    QAbstractButton* connectButton() { return child<QAbstractButton>("webSocketConnectButton"); }
    QAbstractButton* sendButton() { return child<QAbstractButton>("webSocketSendButton"); }
    QAbstractItemModel* events() { return child<QListView>("sseEventList")->model(); }
    QAbstractItemModel* frames() { return child<QListView>("webSocketFrameList")->model(); }

    // The rows as the view shows them, top first.
    static std::vector<std::string> texts(QAbstractItemModel* model) {
        std::vector<std::string> shown;
        for (int row = 0; row < model->rowCount(); ++row)
            shown.push_back(tarn::qt::toStdString(model->index(row, 0).data().toString()));
        return shown;
    }
    static std::vector<bool> directions(QAbstractItemModel* model) {
        std::vector<bool> outgoing;
        for (int row = 0; row < model->rowCount(); ++row)
            outgoing.push_back(
                model->index(row, 0).data(NewestFirstListModel::outgoingRole).toBool());
        return outgoing;
    }

    // Events the fake stream delivers when its job runs.
    void streamDelivers(std::vector<std::string> data) {
        execution->onStream = [data](const FakeRequestExecution::StreamCall&,
                                     const RequestExecutionPort::SSEEventHandler& onEvent,
                                     std::stop_token) {
            for (const std::string& text : data)
                onEvent(SSEStreamEvent{.eventType = "message", .data = text});
        };
    }
    using FakeRequestExecution = testing::FakeRequestExecution;

    StreamAndWebSocketView view;
};

TEST_F(StreamConsoleTest, ButtonTitlesAndSendFollowTheConnectionStatesInBothLanguages) {
    struct Case {
        TarnLanguage language;
        bool streaming;
        bool connected;
        const char* sse;
        const char* connect;
        const char* send;
    };
    const Case cases[] = {
        {TarnLanguage::en, false, false, "Stream", "Connect", "Send"},
        {TarnLanguage::en, true, true, "Stop", "Disconnect", "Send"},
        {TarnLanguage::tr, false, false, "Bağlan", "Bağlan", "Gönder"},
        {TarnLanguage::tr, true, true, "Durdur", "Kes", "Gönder"},
    };
    for (const Case& c : cases) {
        vm().setLanguage(c.language);
        vm().setIsSSEStreaming(c.streaming);
        vm().setIsWSConnected(c.connected);
        settleTurns();
        SCOPED_TRACE(std::string(c.sse) + " / " + c.connect);
        EXPECT_EQ(sseButton()->text(), QString::fromUtf8(c.sse));
        EXPECT_EQ(connectButton()->text(), QString::fromUtf8(c.connect));
        EXPECT_EQ(sendButton()->text(), QString::fromUtf8(c.send));
        EXPECT_EQ(sendButton()->isEnabled(), c.connected);
    }
    EXPECT_EQ(child<QLineEdit>("webSocketMessageField")->placeholderText(),
              QStringLiteral("Message payload..."));
}

TEST_F(StreamConsoleTest, AnOutgoingFrameIsListedFirstAndItsEchoAboveIt) {
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    settleTurns();
    ASSERT_TRUE(vm().isWSConnected());
    EXPECT_EQ(connectButton()->text(), QStringLiteral("Disconnect"));
    ASSERT_TRUE(sendButton()->isEnabled());

    auto* message = child<QLineEdit>("webSocketMessageField");
    message->selectAll();
    QTest::keyClicks(message, "hello");
    settleTurns();
    ASSERT_EQ(vm().wsDraftMessage(), "hello");

    QTest::mouseClick(sendButton(), Qt::LeftButton);
    settleTurns();
    EXPECT_EQ(texts(frames()), (std::vector<std::string>{"hello"}));
    EXPECT_EQ(directions(frames()), (std::vector<bool>{true}));
    EXPECT_EQ(message->text(), QStringLiteral("hello")) << "the message field keeps its text";

    webSocket->receive("hello");
    settleTurns();
    EXPECT_EQ(texts(frames()), (std::vector<std::string>{"hello", "hello"}));
    EXPECT_EQ(directions(frames()), (std::vector<bool>{false, true}));

    // A second press sends the same text again; a disconnect keeps the frames.
    QTest::mouseClick(sendButton(), Qt::LeftButton);
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    settleTurns();
    EXPECT_EQ(webSocket->sent, (std::vector<std::string>{"hello", "hello"}));
    EXPECT_FALSE(sendButton()->isEnabled());
    EXPECT_EQ(frames()->rowCount(), 3);
    EXPECT_EQ(vm().toastMessage(), "WebSocket connected.")
        << "no toast for the user's own disconnect";
}

TEST_F(StreamConsoleTest, StopStartStopLeavesNoStreamRunning) {
    QTest::mouseClick(sseButton(), Qt::LeftButton); // start
    settleTurns();
    ASSERT_EQ(background->size(), 1u);
    EXPECT_EQ(sseButton()->text(), QStringLiteral("Stop"));
    QTest::mouseClick(sseButton(), Qt::LeftButton); // stop
    QTest::mouseClick(sseButton(), Qt::LeftButton); // start
    QTest::mouseClick(sseButton(), Qt::LeftButton); // stop
    settleTurns();

    ASSERT_EQ(background->size(), 2u);
    EXPECT_TRUE(background->stopRequested(0));
    EXPECT_TRUE(background->stopRequested(1));
    // The stopped streams end late and quietly; nothing restarts the console.
    background->runAll();
    settleTurns();
    EXPECT_FALSE(vm().isSSEStreaming());
    EXPECT_EQ(sseButton()->text(), QStringLiteral("Stream"));
    EXPECT_FALSE(vm().toastMessage().has_value());
}

TEST_F(StreamConsoleTest, OneTurnsEventsArriveAsOneInsertionNewestFirst) {
    std::vector<std::string> data;
    data.reserve(50);
    for (int i = 0; i < 50; ++i)
        data.push_back("event " + std::to_string(i));
    streamDelivers(data);
    QTest::mouseClick(sseButton(), Qt::LeftButton);
    settleTurns();

    QSignalSpy inserted(events(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(events(), &QAbstractItemModel::modelReset);
    background->run(0); // posts 50 events and the end of the stream
    settleTurns();

    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 49);
    EXPECT_EQ(reset.size(), 0);
    const std::vector<std::string> shown = texts(events());
    ASSERT_EQ(shown.size(), 50u);
    EXPECT_EQ(shown.front(), "event 49");
    EXPECT_EQ(shown.back(), "event 0");
    EXPECT_EQ(events()->index(0, 0).data(NewestFirstListModel::titleRole).toString(),
              QStringLiteral("message"));
    EXPECT_EQ(sseButton()->text(), QStringLiteral("Stream")) << "the stream ended by itself";
}

TEST_F(StreamConsoleTest, ANewStreamEmptiesTheListEvenWhenItsEventsArriveInTheSameTurn) {
    streamDelivers({"old 1", "old 2"});
    QTest::mouseClick(sseButton(), Qt::LeftButton);
    background->run(0);
    settleTurns();
    ASSERT_EQ(texts(events()), (std::vector<std::string>{"old 2", "old 1"}));
    EXPECT_FALSE(vm().isSSEStreaming());

    // The restart and its first events land before the view hears of either.
    streamDelivers({"new"});
    QTest::mouseClick(sseButton(), Qt::LeftButton);
    background->run(1);
    settleTurns();
    EXPECT_EQ(texts(events()), (std::vector<std::string>{"new"}));
}

TEST_F(StreamConsoleTest, URLFieldsEditTheModelAndKeepTheirTemplates) {
    auto* sseField = child<QLineEdit>("sseURLField");
    auto* wsField = child<QLineEdit>("webSocketURLField");
    EXPECT_EQ(sseField->text(), tarn::qt::toQString(vm().sseURL()));
    EXPECT_EQ(sseField->placeholderText(), QStringLiteral("https://sse.dev/test"));
    EXPECT_EQ(wsField->placeholderText(), QStringLiteral("wss://echo.websocket.org"));

    sseField->selectAll();
    QTest::keyClicks(sseField, "{{base}}/events");
    wsField->selectAll();
    QTest::keyClicks(wsField, "ws://{{host}}");
    settleTurns();
    EXPECT_EQ(vm().sseURL(), "{{base}}/events");
    EXPECT_EQ(vm().wsURL(), "ws://{{host}}");

    QTest::mouseClick(sseButton(), Qt::LeftButton);
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    background->runAll();
    settleTurns();
    EXPECT_EQ(sseField->text(), QStringLiteral("{{base}}/events"));
    EXPECT_EQ(wsField->text(), QStringLiteral("ws://{{host}}"));

    vm().setSseURL("https://other.test/stream");
    settleTurns();
    EXPECT_EQ(sseField->text(), QStringLiteral("https://other.test/stream"));
}

} // namespace
} // namespace quiller
