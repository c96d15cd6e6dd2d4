#include "QuillerCore/Net/ServiceTestSupport.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "support/LoopbackHTTPServer.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quiller::SSEStreamEvent;
using quiller::TarnHTTPMethod;
using quiller::testing::platformErrorOf;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using tarn::testing::ServedRequest;
using Clock = std::chrono::steady_clock;
using Events = std::vector<std::pair<std::string, std::string>>; // type, data
namespace Service = quiller::HTTPAndSSEClientService;

class StreamTest : public ::testing::Test {
protected:
    // Streams `url` to the end and returns the events as (type, data).
    Events stream(const std::string& url) {
        Events events;
        Service::streamSSE(
            url, {}, std::nullopt, TarnHTTPMethod::get,
            [&](const SSEStreamEvent& event) {
                events.emplace_back(event.eventType, event.data);
                received.push_back(event);
            },
            std::stop_token());
        return events;
    }

    LoopbackHTTPServer server;
    std::vector<SSEStreamEvent> received;
};

struct StreamCase {
    std::string name;
    std::vector<std::string> pieces;
    Events events;
};

class StreamPiecesTest : public StreamTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamPiecesTest, DeliversEachDataLineWhereverThePiecesBreak) {
    const StreamCase& c = GetParam();
    server.route("/events", ScriptedReply::status(200)
                                .header("Content-Type", "text/event-stream")
                                .untilClose(c.pieces, 15ms));
    EXPECT_EQ(stream(server.url("/events")), c.events);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, StreamPiecesTest,
    ::testing::Values(
        StreamCase{"typeStaysInForce",
                   {"event: ti", "ck\nda", "ta: 1\r", "\ndata:2\r\n\r", "\ndata: 3"},
                   {{"tick", "1"}, {"tick", "2"}, {"tick", "3"}}},
        StreamCase{"defaultType",
                   {"data:hello\n", "data:  hello \t\n", "data:\n"},
                   {{"message", "hello"}, {"message", "hello"}, {"message", ""}}},
        StreamCase{"ignoredLines",
                   {"Data: no\n data: no\n", "id: 7\nretry: 100\n: comment\n", "data: yes\n"},
                   {{"message", "yes"}}},
        StreamCase{"crOnly", {"event: a\rdata: 1\r", "data: 2\r"}, {{"a", "1"}, {"a", "2"}}},
        StreamCase{"typeChanges",
                   {"event: a\ndata: 1\n\nevent: b\ndata: 2\n", "\ndata: 3\n"},
                   {{"a", "1"}, {"b", "2"}, {"b", "3"}}},
        StreamCase{"characterAcrossPieces",
                   {"data: caf\xc3", "\xa9\ndata: \xff\n"},
                   {{"message", "caf\xc3\xa9"}, {"message", "\uFFFD"}}}),
    [](const ::testing::TestParamInfo<StreamCase>& param) { return param.param.name; });

TEST_F(StreamTest, EventsCarryFreshIdentifiersAndArrivalTimes) {
    server.route("/events", ScriptedReply::status(200).untilClose({"data: 1\ndata: 2\n"}));
    const auto before = std::chrono::system_clock::now();
    stream(server.url("/events"));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_NE(received[0].id, received[1].id);
    EXPECT_GE(received[0].receivedAt, before);
    EXPECT_LE(received[1].receivedAt, std::chrono::system_clock::now());
}

TEST_F(StreamTest, AnErrorStatusIsReadLikeAnyOtherStream) {
    server.route("/events", ScriptedReply::status(500, "oops\ndata: still read\n"));
    EXPECT_EQ(stream(server.url("/events")), (Events{{"message", "still read"}}));
}

struct RequestCase {
    std::string name;
    std::vector<Service::SSEHeaderPair> headers;
    std::optional<std::string> body;
    TarnHTTPMethod method;
    std::string sentMethod;
    std::string sentAccept;
    std::optional<std::string> sentContentType;
    std::string sentBody;
};

class StreamRequestTest : public StreamTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(StreamRequestTest, SendsTheMethodHeadersAndBodyGiven) {
    const RequestCase& c = GetParam();
    server.route("/events", ScriptedReply::status(200).untilClose({}));
    Service::streamSSE(
        server.url("/events"), c.headers, c.body, c.method, [](const SSEStreamEvent&) {},
        std::stop_token());

    const ServedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, c.sentMethod);
    EXPECT_EQ(request.headerCount("Accept"), 1u);
    EXPECT_EQ(request.header("Accept"), c.sentAccept);
    EXPECT_EQ(request.header("Content-Type"), c.sentContentType);
    EXPECT_EQ(request.body, c.sentBody);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, StreamRequestTest,
    ::testing::Values(RequestCase{"plainGet",
                                  {},
                                  std::nullopt,
                                  TarnHTTPMethod::get,
                                  "GET",
                                  "text/event-stream",
                                  std::nullopt,
                                  ""},
                      RequestCase{"emptyBodyIsNoBody",
                                  {},
                                  "",
                                  TarnHTTPMethod::post,
                                  "POST",
                                  "text/event-stream",
                                  std::nullopt,
                                  ""},
                      RequestCase{"jsonBody",
                                  {{"", "skipped"}, {"X-Token", "t"}},
                                  R"({"a":1})",
                                  TarnHTTPMethod::post,
                                  "POST",
                                  "text/event-stream",
                                  "application/json",
                                  R"({"a":1})"},
                      RequestCase{"givenHeadersWin",
                                  {{"accept", "text/plain"}, {"Content-Type", "text/csv"}},
                                  "a,b",
                                  TarnHTTPMethod::put,
                                  "PUT",
                                  "text/plain",
                                  "text/csv",
                                  "a,b"}),
    [](const ::testing::TestParamInfo<RequestCase>& param) { return param.param.name; });

TEST_F(StreamTest, AnUnparsableURLThrows1010) {
    for (const std::string url : {"", "http://exa mple.com/events", "http://{{host}}/events"}) {
        bool called = false;
        const tarn::PlatformError error = platformErrorOf([&] {
            Service::streamSSE(
                url, {}, std::nullopt, TarnHTTPMethod::get,
                [&](const SSEStreamEvent&) { called = true; }, std::stop_token());
        });
        EXPECT_EQ(error.domain(), "Quiller") << url;
        EXPECT_EQ(error.code(), 1010) << url;
        EXPECT_EQ(error.description(), "Invalid SSE URL.") << url;
        EXPECT_FALSE(called);
    }
}

TEST_F(StreamTest, ATransportErrorIsThrown) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(tarn::testing::closedLoopbackPort()) + "/events";
    const tarn::PlatformError error = platformErrorOf([&] { stream(url); });
    EXPECT_EQ(error.code(), tarn::URLErrorCode::cannotConnectToHost);
}

TEST_F(StreamTest, AStopBetweenLinesEndsTheCallBeforeTheNextLine) {
    server.route("/events", ScriptedReply::status(200)
                                .untilClose({"data: 1\ndata: 2\n", "data: 3\n"}, 50ms)
                                .thenHoldOpen());
    std::stop_source source;
    std::vector<std::string> data;
    Service::streamSSE(
        server.url("/events"), {}, std::nullopt, TarnHTTPMethod::get,
        [&](const SSEStreamEvent& event) {
            data.push_back(event.data);
            source.request_stop();
        },
        source.get_token());
    EXPECT_EQ(data, std::vector<std::string>{"1"});
}

TEST_F(StreamTest, AStopWhileWaitingReturnsNormallyAndPromptly) {
    // Best of three: see the stop tests of request execution.
    server.route("/events", ScriptedReply::status(200).untilClose({"data: 1\n"}).thenHoldOpen());
    double best = 1e9;
    for (int attempt = 0; attempt < 3 && best >= 100.0; ++attempt) {
        std::stop_source source;
        std::promise<void> firstEvent;
        auto outcome = std::async(std::launch::async, [&] {
            Service::streamSSE(
                server.url("/events"), {}, std::nullopt, TarnHTTPMethod::get,
                [&](const SSEStreamEvent&) { firstEvent.set_value(); }, source.get_token());
            return Clock::now(); // returned, not thrown
        });
        ASSERT_EQ(firstEvent.get_future().wait_for(5s), std::future_status::ready);
        std::this_thread::sleep_for(100ms);
        const auto stoppedAt = Clock::now();
        source.request_stop();
        ASSERT_EQ(outcome.wait_for(2s), std::future_status::ready);
        best = std::min(
            best, std::chrono::duration<double, std::milli>(outcome.get() - stoppedAt).count());
    }
    EXPECT_LT(best, 100.0);
}

TEST_F(StreamTest, AnExceptionFromTheCallbackEndsTheStream) {
    server.route("/events", ScriptedReply::status(200).untilClose({"data: 1\n"}).thenHoldOpen());
    EXPECT_THROW(Service::streamSSE(
                     server.url("/events"), {}, std::nullopt, TarnHTTPMethod::get,
                     [](const SSEStreamEvent&) { throw std::runtime_error("view went away"); },
                     std::stop_token()),
                 std::runtime_error);
}

} // namespace
