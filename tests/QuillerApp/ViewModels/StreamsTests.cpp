#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>
#include <string>

namespace quiller::testing {
namespace {

using Field = QuillerViewModel::Field;

SSEStreamEvent event(std::string data) {
    return SSEStreamEvent{.eventType = "message", .data = std::move(data)};
}

class StreamsTest : public ViewModelTest {
protected:
    // Each stream sends "<n>:a" and "<n>:b", n counting the streams opened,
    // then ends the way the service does: a cancellation error once stopped,
    // else the server's normal close.
    void streamTwoEvents() {
        execution->onStream = [this](const auto&, const auto& onEvent, std::stop_token stop) {
            const std::string n = std::to_string(execution->streamCalls.size());
            if (stop.stop_requested())
                throw tarn::PlatformError("Quiller", 1, "cancelled");
            onEvent(event(n + ":a"));
            onEvent(event(n + ":b"));
        };
    }

    std::vector<std::string> eventData() const {
        std::vector<std::string> data;
        for (const auto& e : viewModel->sseEvents())
            data.push_back(e.data);
        return data;
    }
};

TEST_F(StreamsTest, StreamListsEventsNewestFirstAndEndsQuietlyWhenTheServerCloses) {
    streamTwoEvents();
    makeViewModel();
    vm().setSseURL("https://events.test/feed");
    vm().toggleSSEStream();
    EXPECT_TRUE(vm().isSSEStreaming());
    settle();

    ASSERT_EQ(execution->streamCalls.size(), 1u);
    const auto& call = execution->streamCalls[0];
    EXPECT_EQ(call.url, "https://events.test/feed");
    EXPECT_TRUE(call.headers.empty());
    EXPECT_EQ(call.body, std::nullopt);
    EXPECT_EQ(call.method, TarnHTTPMethod::get);
    EXPECT_EQ(eventData(), (std::vector<std::string>{"1:b", "1:a"}));
    EXPECT_FALSE(vm().isSSEStreaming());
    EXPECT_EQ(vm().toastMessage(), std::nullopt);
}

TEST_F(StreamsTest, StartClearsThePreviousEventsAndStopKeepsThem) {
    streamTwoEvents();
    makeViewModel();
    vm().toggleSSEStream();
    settle();
    ASSERT_EQ(eventData().size(), 2u);

    vm().toggleSSEStream(); // starts the second stream
    EXPECT_TRUE(vm().sseEvents().empty());
    EXPECT_TRUE(vm().isSSEStreaming());
    background->run(1);
    main->runUntilIdle();
    EXPECT_EQ(eventData(), (std::vector<std::string>{"2:b", "2:a"}));
}

TEST_F(StreamsTest, UserStopCancelsTheStreamWithoutAToastAndKeepsEvents) {
    streamTwoEvents();
    makeViewModel();
    vm().toggleSSEStream();
    vm().setSseEvents({event("kept")});
    vm().toggleSSEStream(); // stop while the stream is in flight
    EXPECT_TRUE(background->stopRequested(0));
    EXPECT_FALSE(vm().isSSEStreaming());

    settle(); // the service ends with its cancellation error
    EXPECT_FALSE(vm().isSSEStreaming());
    EXPECT_EQ(eventData(), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(vm().toastMessage(), std::nullopt);
}

TEST_F(StreamsTest, AnOlderStreamNeverTouchesANewerOne) {
    // The first stream reports events and then fails after the user has
    // already stopped it and started a second one.
    int opened = 0;
    execution->onStream = [&](const auto&, const auto& onEvent, std::stop_token) {
        const int n = ++opened;
        onEvent(event("stream " + std::to_string(n)));
        if (n == 1)
            throw tarn::PlatformError("Quiller", 2, "connection reset");
    };
    makeViewModel();
    vm().toggleSSEStream();
    vm().toggleSSEStream();
    vm().toggleSSEStream();
    ASSERT_EQ(background->size(), 2u);
    EXPECT_TRUE(background->stopRequested(0));

    background->run(0); // the old stream's event and failure arrive late
    main->runUntilIdle();
    EXPECT_TRUE(vm().isSSEStreaming());
    EXPECT_TRUE(vm().sseEvents().empty());
    EXPECT_EQ(vm().toastMessage(), std::nullopt);

    background->run(1);
    main->runUntilIdle();
    EXPECT_EQ(eventData(), (std::vector<std::string>{"stream 2"}));
    EXPECT_FALSE(vm().isSSEStreaming());
}

TEST_F(StreamsTest, FailingStreamShowsTheServiceDescription) {
    execution->onStream = [](const auto&, const auto&, std::stop_token) {
        throw tarn::PlatformError("Quiller", 1, "Invalid SSE URL.");
    };
    language = tarn::TarnLanguage::tr;
    makeViewModel();
    vm().toggleSSEStream();
    settle();
    EXPECT_FALSE(vm().isSSEStreaming());
    EXPECT_EQ(vm().toastMessage(), "Invalid SSE URL.");
    EXPECT_TRUE(vm().toastIsError());
}

TEST_F(StreamsTest, UrlIsResolvedOnceAtStartFromTheActiveEnvironment) {
    auto environment = makeEnvironment("Dev", {KeyValueRow{.key = "host", .value = "dev.test"}});
    workspaceStore->payload.environments = {environment};
    workspaceStore->payload.activeEnvironmentID = environment.id;
    makeViewModel();
    vm().setSseURL("https://{{host}}/events");
    vm().toggleSSEStream();
    // An edit after the start does not reach the running stream.
    environment.variables[0].value = "prod.test";
    vm().setEnvironments({environment});
    settle();
    ASSERT_EQ(execution->streamCalls.size(), 1u);
    EXPECT_EQ(execution->streamCalls[0].url, "https://dev.test/events");
}

TEST_F(StreamsTest, ManyEventsKeepNewestFirst) {
    constexpr int count = 100000;
    execution->onStream = [this](const auto&, const auto& onEvent, std::stop_token) {
        for (int i = 0; i < count; ++i) {
            onEvent(SSEStreamEvent{.data = std::to_string(i)});
            // The main thread keeps up meanwhile (the manual executors share
            // the test thread), as it would with a real stream.
            if (i % 10000 == 9999)
                main->runUntilIdle();
        }
    };
    makeViewModel();
    vm().toggleSSEStream();
    settle();
    ASSERT_EQ(vm().sseEvents().size(), static_cast<std::size_t>(count));
    EXPECT_EQ(vm().sseEvents().front().data, std::to_string(count - 1));
    EXPECT_EQ(vm().sseEvents().back().data, "0");
}

// --- WebSocket ---------------------------------------------------------------------

TEST_F(StreamsTest, WebSocketToggleConnectsThenDisconnectsWithoutASecondToast) {
    auto environment = makeEnvironment("Dev", {KeyValueRow{.key = "host", .value = "ws.test"}});
    workspaceStore->payload.environments = {environment};
    workspaceStore->payload.activeEnvironmentID = environment.id;
    language = tarn::TarnLanguage::tr;
    makeViewModel();
    vm().setWsURL("wss://{{host}}/socket");

    vm().toggleWebSocket();
    EXPECT_EQ(webSocket->connects, (std::vector<std::string>{"wss://ws.test/socket"}));
    EXPECT_TRUE(vm().isWSConnected());
    EXPECT_EQ(vm().toastMessage(), "WebSocket bağlandı.");
    EXPECT_FALSE(vm().toastIsError());

    vm().setToastMessage(std::nullopt);
    vm().toggleWebSocket();
    EXPECT_EQ(webSocket->disconnects, 1);
    EXPECT_FALSE(vm().isWSConnected());
    EXPECT_EQ(vm().toastMessage(), std::nullopt);
}

TEST_F(StreamsTest, WebSocketConnectFailuresStayDisconnectedWithAnErrorToast) {
    struct Case {
        bool acceptsURL;
        std::optional<std::string> connectError;
        std::string toast;
    };
    for (const Case& c : {Case{false, std::nullopt, "Invalid WebSocket URL."},
                          Case{true, "socket layer unavailable", "socket layer unavailable"}}) {
        SCOPED_TRACE(c.toast);
        webSocket->acceptsURL = c.acceptsURL;
        webSocket->connectError = c.connectError;
        makeViewModel();
        vm().toggleWebSocket();
        EXPECT_FALSE(vm().isWSConnected());
        EXPECT_EQ(vm().toastMessage(), c.toast);
        EXPECT_TRUE(vm().toastIsError());
    }
}

TEST_F(StreamsTest, SendGoesOutOnlyWhenConnectedWithText) {
    makeViewModel();
    vm().setWsDraftMessage("hello");
    vm().sendWebSocketMessage(); // not connected
    EXPECT_TRUE(webSocket->sent.empty());

    vm().toggleWebSocket();
    vm().setWsDraftMessage("");
    vm().sendWebSocketMessage();
    EXPECT_TRUE(webSocket->sent.empty());

    vm().setWsDraftMessage("   ");
    vm().sendWebSocketMessage();
    vm().setWsDraftMessage("hello");
    vm().sendWebSocketMessage();
    settle();
    EXPECT_EQ(webSocket->sent, (std::vector<std::string>{"   ", "hello"}));
    ASSERT_EQ(vm().wsFrames().size(), 2u);
    EXPECT_TRUE(vm().wsFrames().front().isOutgoing);
    EXPECT_EQ(vm().wsFrames().front().payload, "hello");
    EXPECT_EQ(vm().wsDraftMessage(), "hello");
}

} // namespace
} // namespace quiller::testing
