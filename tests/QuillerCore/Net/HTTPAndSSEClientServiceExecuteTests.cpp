#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "QuillerCore/Net/ServiceTestSupport.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/Numbers.h"
#include "support/LoopbackHTTPServer.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace quiller {
void PrintTo(const HTTPHeaderPair& pair, std::ostream* out) {
    *out << pair.key << ": " << pair.value;
}
} // namespace quiller

namespace {

using namespace std::chrono_literals;
using quiller::APIRequestSpec;
using quiller::HTTPHeaderPair;
using quiller::HTTPResponseSnapshot;
using quiller::KeyValueRow;
using quiller::RequestBodyKind;
using quiller::TarnHTTPMethod;
using quiller::testing::ApplicationLogTest;
using quiller::testing::platformErrorOf;
using quiller::testing::requestSpec;
using tarn::TarnLogLevel;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using tarn::testing::ServedRequest;
using Clock = std::chrono::steady_clock;
namespace Service = quiller::HTTPAndSSEClientService;

HTTPResponseSnapshot execute(const APIRequestSpec& spec, bool logExecution = true) {
    return Service::execute(spec, {}, logExecution, std::stop_token());
}

std::string rounded(double milliseconds) {
    return tarn::numbers::formatInteger(*tarn::numbers::roundToInteger(milliseconds));
}

class ExecuteTest : public ApplicationLogTest {
protected:
    // "127.0.0.1:<port>" followed by the path: the label log lines use.
    std::string label(const std::string& path) const {
        return "127.0.0.1:" + std::to_string(server.port()) + path;
    }

    LoopbackHTTPServer server;
};

TEST_F(ExecuteTest, ReturnsTheFinalResponseWithSortedHeadersAndLogsOneLine) {
    server.route("/items", ScriptedReply::status(200, R"({"b":1,"a":[true,"x/y"]})")
                               .header("b", "2")
                               .header("X-Dup", "1")
                               .header("A", "1")
                               .header("x-dup", "2")
                               .header("c", "3"));
    APIRequestSpec spec = requestSpec(server.url("/items?q=1"));
    spec.name = "List items";
    const HTTPResponseSnapshot snapshot = execute(spec);

    EXPECT_EQ(snapshot.requestName, "List items");
    EXPECT_EQ(snapshot.method, TarnHTTPMethod::get);
    EXPECT_EQ(snapshot.resolvedURL, server.url("/items?q=1"));
    EXPECT_EQ(snapshot.statusCode, 200);
    const std::vector<HTTPHeaderPair> expectedHeaders = {
        {"A", "1"}, {"b", "2"}, {"c", "3"}, {"Content-Length", "24"}, {"X-Dup", "1, 2"}};
    EXPECT_EQ(snapshot.headers, expectedHeaders);
    EXPECT_EQ(snapshot.bodyData, R"({"b":1,"a":[true,"x/y"]})");
    EXPECT_EQ(snapshot.bodyText, snapshot.bodyData);
    EXPECT_EQ(snapshot.prettyBodyText,
              "{\n  \"a\" : [\n    true,\n    \"x\\/y\"\n  ],\n  \"b\" : 1\n}");
    EXPECT_GT(snapshot.timing.totalMs, 0.0);
    ASSERT_EQ(snapshot.assertions.size(), 1u);
    EXPECT_TRUE(snapshot.assertions[0].passed);
    EXPECT_EQ(snapshot.assertions[0].id, spec.assertions[0].id);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::info);
    EXPECT_EQ(lines[0].category, "http");
    EXPECT_EQ(lines[0].message, "GET " + label("/items") + " -> HTTP 200 (" +
                                    rounded(snapshot.timing.totalMs) + "ms, 24B)");
    // The query never reaches the log.
    EXPECT_EQ(server.requests().at(0).target, "/items?q=1");
}

struct StatusCase {
    int status;
    std::string body;
    TarnLogLevel level;
};

class ExecuteStatusTest : public ExecuteTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ExecuteStatusTest, AnyStatusIsAResultLoggedByItsClass) {
    const StatusCase& c = GetParam();
    server.route("/status", ScriptedReply::status(c.status, c.body));
    const HTTPResponseSnapshot snapshot = execute(requestSpec(server.url("/status")));

    EXPECT_EQ(snapshot.statusCode, c.status);
    EXPECT_EQ(snapshot.bodyText, c.body);
    ASSERT_EQ(snapshot.assertions.size(), 1u);
    EXPECT_EQ(snapshot.assertions[0].passed, c.status == 200);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, c.level);
    EXPECT_EQ(lines[0].message, "GET " + label("/status") + " -> HTTP " + std::to_string(c.status) +
                                    " (" + rounded(snapshot.timing.totalMs) + "ms, " +
                                    std::to_string(c.body.size()) + "B)");
}

INSTANTIATE_TEST_SUITE_P(Statuses, ExecuteStatusTest,
                         ::testing::Values(StatusCase{204, "", TarnLogLevel::info},
                                           StatusCase{304, "", TarnLogLevel::info},
                                           StatusCase{399, "edge", TarnLogLevel::info},
                                           StatusCase{400, "bad", TarnLogLevel::warn},
                                           StatusCase{404, "nope", TarnLogLevel::warn},
                                           StatusCase{500, "boom", TarnLogLevel::warn}));

TEST_F(ExecuteTest, InvalidUTF8KeepsItsBytesAndShowsReplacementCharacters) {
    const std::string bytes = "ok \xff\xfe end \xe2\x82";
    server.route("/bytes", ScriptedReply::status(200, bytes));
    const HTTPResponseSnapshot snapshot = execute(requestSpec(server.url("/bytes")));

    EXPECT_EQ(snapshot.bodyData, bytes);
    EXPECT_EQ(snapshot.bodyText, "ok \uFFFD\uFFFD end \uFFFD");
    EXPECT_EQ(snapshot.prettyBodyText, snapshot.bodyText);
    EXPECT_FALSE(snapshot.bodyText.sharesStorageWith(snapshot.bodyData));
}

// A body that is valid UTF-8 is its own text: one string serves as both.
TEST_F(ExecuteTest, AValidTextBodyIsNotKeptTwice) {
    for (const std::string body : {"plain text", "caf\u00e9 \U0001F600", "{\"a\":[1,2]}"}) {
        server.route("/text", ScriptedReply::status(200, body));
        const HTTPResponseSnapshot snapshot = execute(requestSpec(server.url("/text")));
        EXPECT_EQ(snapshot.bodyText, body);
        EXPECT_TRUE(snapshot.bodyText.sharesStorageWith(snapshot.bodyData)) << body;
    }
}

// A received body keeps the JSON parser's padding after its end, so that it
// is read where it lies: with its length announced or not, in one piece or in
// many, and filling a piece to the byte.
TEST_F(ExecuteTest, ReceivedBodiesKeepRoomForTheParsersPadding) {
    const std::size_t firstPiece = 64 * 1024;
    const std::vector<std::size_t> sizes = {
        0, 1, firstPiece - 1, firstPiece, firstPiece + 1, 5 * firstPiece + 7};
    for (const std::size_t size : sizes) {
        for (const bool chunked : {false, true}) {
            SCOPED_TRACE(std::to_string(size) + (chunked ? " chunked" : " with a length"));
            std::string body(size, 'x');
            if (size > 2)
                body = "[" + std::string(size - 2, '1') + "]";
            const std::string size16 = [&] {
                char hex[24];
                return std::string(hex, std::to_chars(hex, hex + sizeof hex, size, 16).ptr);
            }();
            server.route("/body",
                         chunked
                             ? ScriptedReply::raw(
                                   {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                    (size ? size16 + "\r\n" + body + "\r\n" : "") + "0\r\n\r\n"})
                             : ScriptedReply::status(200, body));
            const HTTPResponseSnapshot snapshot = execute(requestSpec(server.url("/body")));
            EXPECT_EQ(snapshot.bodyData, body);
            EXPECT_GE(snapshot.bodyData.capacity(),
                      snapshot.bodyData.size() + quiller::JSONInspectorEngine::kBodyPaddingBytes);
        }
    }
}

TEST_F(ExecuteTest, APutAnsweredWith303ArrivesAsABodylessGet) {
    server.route("/put", ScriptedReply::redirect(303, "/result"));
    server.route("/result", ScriptedReply::status(200, "stored"));
    APIRequestSpec spec = requestSpec(server.url("/put"), TarnHTTPMethod::put);
    spec.bodyKind = RequestBodyKind::json;
    spec.bodyText = R"({"x":1})";
    const HTTPResponseSnapshot snapshot = execute(spec);

    EXPECT_EQ(snapshot.statusCode, 200);
    EXPECT_EQ(snapshot.bodyText, "stored");
    EXPECT_EQ(snapshot.resolvedURL, server.url("/put"));
    const std::vector<ServedRequest> served = server.requests();
    ASSERT_EQ(served.size(), 2u);
    EXPECT_EQ(served[0].method, "PUT");
    EXPECT_EQ(served[0].body, R"({"x":1})");
    EXPECT_EQ(served[1].method, "GET");
    EXPECT_EQ(served[1].body, "");
    EXPECT_EQ(served[1].header("Content-Type"), std::nullopt);
    EXPECT_EQ(served[1].header("Accept"), "application/json");
}

TEST_F(ExecuteTest, PhaseTimingsFollowAHeldBackFirstByte) {
    server.route("/slow", ScriptedReply::status(200, "late").delayHead(150ms));
    // The first of three showing the pause counts: a busy machine can stamp
    // any single exchange late (see the transfer's timing test).
    HTTPResponseSnapshot snapshot;
    for (int attempt = 0; attempt < 3 && snapshot.timing.ttfbMs < 150.0; ++attempt)
        snapshot = execute(requestSpec(server.url("/slow")), false);

    EXPECT_GE(snapshot.timing.ttfbMs, 150.0);
    EXPECT_GE(snapshot.timing.totalMs, snapshot.timing.ttfbMs);
    EXPECT_EQ(snapshot.timing.tlsMs, 0.0);
    EXPECT_GE(snapshot.timing.dnsMs, 0.0);
    EXPECT_GE(snapshot.timing.tcpMs, 0.0);
    EXPECT_GE(snapshot.timing.downloadMs, 0.0);
}

TEST_F(ExecuteTest, HeadReturnsOnceTheHeadArrives) {
    server.route("/big", ScriptedReply::status(200, std::string(100000, 'x')).thenHoldOpen());
    const auto start = Clock::now();
    const HTTPResponseSnapshot snapshot =
        execute(requestSpec(server.url("/big"), TarnHTTPMethod::head));

    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(snapshot.statusCode, 200);
    EXPECT_EQ(snapshot.bodyData, "");
    EXPECT_EQ(server.requests().at(0).method, "HEAD");
}

TEST_F(ExecuteTest, AnUnparsableURLThrows1001AndLogsNothing) {
    const tarn::PlatformError error =
        platformErrorOf([&] { execute(requestSpec("http://exa mple.com/{{path}}")); });
    EXPECT_EQ(error.domain(), "Quiller");
    EXPECT_EQ(error.code(), 1001);
    EXPECT_EQ(error.description(), "Invalid URL: http://exa mple.com/{{path}}");
    EXPECT_TRUE(logLines().empty());
}

TEST_F(ExecuteTest, ATransportFailureIsLoggedAsAnErrorAndPassedOn) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(tarn::testing::closedLoopbackPort()) + "/gql";
    APIRequestSpec spec = requestSpec(url, TarnHTTPMethod::post);
    spec.bodyKind = RequestBodyKind::graphql;
    spec.bodyText = "{ ping }";

    const tarn::PlatformError error = platformErrorOf([&] { execute(spec); });
    EXPECT_EQ(error.domain(), tarn::kURLErrorDomain);
    EXPECT_EQ(error.code(), tarn::URLErrorCode::cannotConnectToHost);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::error);
    EXPECT_EQ(lines[0].category, "graphql");
    EXPECT_TRUE(quiller::testing::matchesWithMilliseconds(
        lines[0].message, "POST " + url.substr(7) + " failed after ",
        "ms: Could not connect to the server."))
        << lines[0].message;
}

TEST_F(ExecuteTest, WithoutLoggingNothingIsWritten) {
    server.route("/ok", ScriptedReply::status(500));
    execute(requestSpec(server.url("/ok")), false);
    EXPECT_THROW(execute(requestSpec("http://127.0.0.1:" +
                                     std::to_string(tarn::testing::closedLoopbackPort()) + "/"),
                         false),
                 tarn::PlatformError);
    EXPECT_TRUE(logLines().empty());
}

TEST_F(ExecuteTest, AStopMidTransferThrowsCancelledPromptlyAndIsLogged) {
    // The body stalls after its first bytes, so only the stop can end the
    // wait. A busy machine may stall any thread for a while: the best of three
    // attempts counts, and a stop that goes unnoticed misses every time.
    server.route("/stalled", ScriptedReply::status(200)
                                 .header("Content-Length", "100000")
                                 .body("partial")
                                 .thenHoldOpen());
    double best = 1e9;
    for (int attempt = 0; attempt < 3 && best >= 100.0; ++attempt) {
        std::stop_source source;
        auto outcome = std::async(std::launch::async, [&] {
            const tarn::PlatformError error = platformErrorOf([&] {
                Service::execute(requestSpec(server.url("/stalled")), {}, true, source.get_token());
            });
            return std::pair(error.code(), Clock::now());
        });
        ASSERT_TRUE(server.waitForRequests(static_cast<std::size_t>(attempt) + 1));
        std::this_thread::sleep_for(200ms);
        const auto stoppedAt = Clock::now();
        source.request_stop();
        ASSERT_EQ(outcome.wait_for(2s), std::future_status::ready);
        const auto [code, endedAt] = outcome.get();
        EXPECT_EQ(code, tarn::URLErrorCode::cancelled);
        best =
            std::min(best, std::chrono::duration<double, std::milli>(endedAt - stoppedAt).count());
    }
    EXPECT_LT(best, 100.0);

    const auto lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].level, TarnLogLevel::error);
    EXPECT_TRUE(quiller::testing::matchesWithMilliseconds(
        lines[0].message, "GET " + label("/stalled") + " failed after ", "ms: cancelled"))
        << lines[0].message;
}

TEST_F(ExecuteTest, AFileURLIsNoHTTPResponse) {
    const tarn::testing::TemporaryFolder folder;
    const std::string path = (folder.path() / "answer.json").string();
    std::ofstream(path) << R"({"k":1})";
    const HTTPResponseSnapshot snapshot = execute(requestSpec("file://" + path));

    EXPECT_EQ(snapshot.statusCode, 0);
    EXPECT_TRUE(snapshot.headers.empty());
    EXPECT_EQ(snapshot.prettyBodyText, "{\n  \"k\" : 1\n}");
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, TarnLogLevel::warn);
    EXPECT_TRUE(lines[0].message.starts_with("GET " + path + " -> HTTP 0 (")) << lines[0].message;
}

} // namespace
