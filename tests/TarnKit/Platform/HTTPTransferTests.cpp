#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/LoopbackHTTPServer.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarn {
void PrintTo(const HTTPTransferHeader& field, std::ostream* out) {
    *out << field.name << ": " << field.value;
}
} // namespace tarn

namespace {

using namespace std::chrono_literals;
using tarn::HTTPTransferHeader;
using tarn::HTTPTransferRequest;
using tarn::HTTPTransferResponse;
using tarn::PlatformError;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::ScriptedReply;
using tarn::testing::ServedRequest;
using Clock = std::chrono::steady_clock;
namespace URLErrorCode = tarn::URLErrorCode;

HTTPTransferResponse perform(HTTPTransferRequest request) {
    return tarn::HTTPTransfer::perform(request, std::stop_token());
}

HTTPTransferRequest requestFor(std::string url, std::string method = "GET",
                               std::optional<std::string> body = std::nullopt) {
    HTTPTransferRequest request;
    request.url = std::move(url);
    request.method = std::move(method);
    request.body = std::move(body);
    return request;
}

// The error a failing call throws; fails the test when it throws none.
template <typename Call> PlatformError errorOf(Call&& call) {
    try {
        call();
    } catch (const PlatformError& error) {
        return error;
    }
    ADD_FAILURE() << "no error was thrown";
    return PlatformError("none", 0, "none");
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::optional<std::string> headerValue(const HTTPTransferResponse& response,
                                       std::string_view name) {
    for (const HTTPTransferHeader& field : response.headers)
        if (field.name == name)
            return field.value;
    return std::nullopt;
}

class HTTPTransferTest : public testing::Test {
protected:
    LoopbackHTTPServer server;
};

// --- Timings ----------------------------------------------------------------------

TEST_F(HTTPTransferTest, PhaseTimingsFollowTheServersPauses) {
    server.route(
        "/slow",
        ScriptedReply::status(200, std::string(1000, 'x')).delayHead(150ms).trickle(250, 60ms));
    // A stamp taken late (the client thread was not running) shortens the
    // phase it starts; on a busy machine that can happen to any single
    // exchange, so the first of three that shows the pauses counts.
    HTTPTransferResponse response;
    for (int attempt = 0; attempt < 3; ++attempt) {
        response = perform(requestFor(server.url("/slow")));
        if (response.timings.ttfbMs >= 150.0 && response.timings.downloadMs >= 180.0)
            break;
    }

    EXPECT_EQ(response.body, std::string(1000, 'x'));
    const tarn::HTTPPhaseTimings& timings = response.timings;
    EXPECT_GE(timings.ttfbMs, 150.0);
    EXPECT_LT(timings.ttfbMs, 1000.0);
    EXPECT_GE(timings.downloadMs, 180.0); // four pieces, 60 ms apart
    EXPECT_EQ(timings.tlsMs, 0.0);
    EXPECT_GE(timings.dnsMs, 0.0);
    EXPECT_GE(timings.tcpMs, 0.0);
    EXPECT_GE(timings.totalMs,
              timings.dnsMs + timings.tcpMs + timings.ttfbMs + timings.downloadMs - 0.01);
}

TEST_F(HTTPTransferTest, RedirectReusesTheConnectionAndReportsTheFinalExchange) {
    server.route("/hop", ScriptedReply::redirect(302, "/final").header("X-Hop", "1"));
    server.route("/final",
                 ScriptedReply::status(200, "landed").header("X-Final", "1").delayHead(200ms));
    const HTTPTransferResponse response = perform(requestFor(server.url("/hop")));

    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.body, "landed");
    EXPECT_EQ(response.url, server.url("/final"));
    EXPECT_EQ(headerValue(response, "X-Final"), "1");
    EXPECT_EQ(headerValue(response, "X-Hop"), std::nullopt);
    EXPECT_EQ(headerValue(response, "Location"), std::nullopt);

    EXPECT_EQ(server.connectionCount(), 1u);
    EXPECT_EQ(response.timings.dnsMs, 0.0);
    EXPECT_EQ(response.timings.tcpMs, 0.0);
    EXPECT_EQ(response.timings.tlsMs, 0.0);
    // The final exchange waited 200 ms for its head, the first one not at all
    // (the margin absorbs a late stamp on a busy machine).
    EXPECT_GE(response.timings.ttfbMs, 100.0);
    EXPECT_GE(response.timings.totalMs, response.timings.ttfbMs);
}

// --- Redirects --------------------------------------------------------------------

struct RedirectCase {
    int status;
    std::string method;
    std::string methodAfter;
    bool keepsBody;
};

class RedirectRewriteTest : public HTTPTransferTest,
                            public testing::WithParamInterface<RedirectCase> {};

TEST_P(RedirectRewriteTest, FollowsWithTheMethodAndBodyTheStatusCallsFor) {
    const RedirectCase& c = GetParam();
    server.route("/from", ScriptedReply::redirect(c.status, "/to"));
    server.route("/to", ScriptedReply::status(200, "done"));
    HTTPTransferRequest request = requestFor(server.url("/from"), c.method, "payload");
    request.headers = {{"Content-Type", "text/plain"}, {"X-Keep", "yes"}};

    const HTTPTransferResponse response = perform(request);
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.body, c.methodAfter == "HEAD" ? "" : "done");

    const std::vector<ServedRequest> served = server.requests();
    ASSERT_EQ(served.size(), 2u);
    EXPECT_EQ(served[0].method, c.method);
    const ServedRequest& second = served[1];
    EXPECT_EQ(second.target, "/to");
    EXPECT_EQ(second.method, c.methodAfter);
    EXPECT_EQ(second.header("X-Keep"), "yes");
    if (c.keepsBody) {
        EXPECT_EQ(second.body, "payload");
        EXPECT_EQ(second.header("Content-Type"), "text/plain");
    } else {
        EXPECT_EQ(second.body, "");
        EXPECT_EQ(second.header("Content-Type"), std::nullopt);
        EXPECT_EQ(second.header("Content-Length").value_or("0"), "0");
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, RedirectRewriteTest,
                         testing::Values(RedirectCase{303, "PUT", "GET", false},
                                         RedirectCase{303, "POST", "GET", false},
                                         RedirectCase{303, "HEAD", "HEAD", false},
                                         RedirectCase{301, "POST", "GET", false},
                                         RedirectCase{302, "POST", "GET", false},
                                         RedirectCase{302, "PUT", "PUT", true},
                                         RedirectCase{307, "POST", "POST", true},
                                         RedirectCase{308, "PATCH", "PATCH", true},
                                         RedirectCase{307, "DELETE", "DELETE", true}));

TEST_F(HTTPTransferTest, CredentialsStayWithTheirOrigin) {
    LoopbackHTTPServer other;
    server.route("/same", ScriptedReply::redirect(302, "/land"));
    server.route("/away", ScriptedReply::redirect(302, other.url("/land")));
    server.route("/land", ScriptedReply::status(204));
    other.route("/land", ScriptedReply::status(204));

    for (const std::string path : {"/same", "/away"}) {
        HTTPTransferRequest request = requestFor(server.url(path));
        request.headers = {{"Authorization", "Bearer secret"}, {"Cookie", "a=1"}, {"X-Other", "1"}};
        EXPECT_EQ(perform(request).statusCode, 204);
    }
    const ServedRequest sameOrigin = server.requests().at(1);
    EXPECT_EQ(sameOrigin.header("Authorization"), "Bearer secret");
    EXPECT_EQ(sameOrigin.header("Cookie"), "a=1");

    const ServedRequest crossOrigin = other.requests().at(0);
    EXPECT_EQ(crossOrigin.header("Authorization"), std::nullopt);
    EXPECT_EQ(crossOrigin.header("Cookie"), std::nullopt);
    EXPECT_EQ(crossOrigin.header("X-Other"), "1");
}

TEST_F(HTTPTransferTest, CookiesLiveForOneTransferOnly) {
    server.route("/login",
                 ScriptedReply::redirect(302, "/home").header("Set-Cookie", "session=abc; Path=/"));
    server.route("/home", ScriptedReply::status(200));
    perform(requestFor(server.url("/login")));
    perform(requestFor(server.url("/home")));

    const std::vector<ServedRequest> served = server.requests();
    ASSERT_EQ(served.size(), 3u);
    EXPECT_EQ(served[1].header("Cookie"), "session=abc");
    EXPECT_EQ(served[2].header("Cookie"), std::nullopt);
}

TEST_F(HTTPTransferTest, RedirectLoopsAndForeignSchemesAreRefused) {
    server.route("/loop", ScriptedReply::redirect(302, "/loop"));
    server.route("/file", ScriptedReply::redirect(302, "file:///etc/hostname"));

    const PlatformError loop = errorOf([&] { perform(requestFor(server.url("/loop"))); });
    EXPECT_EQ(loop.domain(), tarn::kURLErrorDomain);
    EXPECT_EQ(loop.code(), URLErrorCode::httpTooManyRedirects);
    EXPECT_EQ(loop.description(), "too many HTTP redirects");
    EXPECT_EQ(server.requests().size(), 17u); // the first request and 16 redirects

    const PlatformError file = errorOf([&] { perform(requestFor(server.url("/file"))); });
    EXPECT_EQ(file.code(), URLErrorCode::unsupportedURL);
}

// --- What is sent -------------------------------------------------------------------

TEST_F(HTTPTransferTest, HeadAsksForTheHeadAlone) {
    // The head announces a body that never comes; a HEAD must not wait for it.
    server.route("/big", ScriptedReply::status(200, std::string(100000, 'x')).thenHoldOpen());
    HTTPTransferRequest request = requestFor(server.url("/big"), "HEAD");
    request.idleTimeout = 5s;

    const auto start = Clock::now();
    const HTTPTransferResponse response = perform(request);
    EXPECT_LT(millisecondsSince(start), 1000.0);
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.body, "");
    EXPECT_EQ(headerValue(response, "Content-Length"), "100000");
    EXPECT_EQ(server.requests().at(0).method, "HEAD");
}

TEST_F(HTTPTransferTest, SendsHeadersAndBodyAsGiven) {
    server.route("/echo", ScriptedReply::status(200));
    const std::string bigBody(2 * 1024 * 1024, 'b'); // large enough for curl to want 100-continue

    HTTPTransferRequest typed = requestFor(server.url("/echo"), "POST", bigBody);
    typed.headers = {{"X-Empty", ""},
                     {"Content-Type", "text/plain"},
                     {"X-Split", "a\r\nX-Injected: 1"},
                     {"Bad Name", "dropped"}};
    perform(typed);
    perform(requestFor(server.url("/echo"), "PUT", "raw"));

    const std::vector<ServedRequest> served = server.requests();
    ASSERT_EQ(served.size(), 2u);
    const ServedRequest& first = served[0];
    EXPECT_EQ(first.body.size(), bigBody.size());
    EXPECT_EQ(first.header("X-Empty"), "");
    EXPECT_EQ(first.header("Expect"), std::nullopt);
    EXPECT_EQ(first.headerCount("Content-Type"), 1u);
    EXPECT_EQ(first.header("X-Split"), "a  X-Injected: 1");
    EXPECT_EQ(first.header("X-Injected"), std::nullopt);
    EXPECT_EQ(first.header("Bad Name"), std::nullopt);
    EXPECT_NE(first.header("Accept-Encoding"), std::nullopt);
    EXPECT_NE(first.header("User-Agent"), std::nullopt);

    // A body without a type is not labelled as a form.
    EXPECT_EQ(served[1].method, "PUT");
    EXPECT_EQ(served[1].body, "raw");
    EXPECT_EQ(served[1].header("Content-Type"), std::nullopt);
}

// --- What comes back ------------------------------------------------------------------

TEST_F(HTTPTransferTest, ReportsTheFinalHeadWithRepeatedFieldsMerged) {
    server.route("/merge", ScriptedReply::raw({"HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n"
                                               "HTTP/1.1 200 OK\r\n"
                                               "X-A: 1\r\n"
                                               "Set-Cookie: a=1\r\n"
                                               "x-a: 2\r\n"
                                               "Set-Cookie: b=2\r\n"
                                               "Empty:\r\n"
                                               "X-Fold: one\r\n"
                                               "  two\r\n"
                                               "Transfer-Encoding: chunked\r\n"
                                               "Trailer: X-Trailer\r\n\r\n",
                                               "2\r\nok\r\n0\r\nX-Trailer: late\r\n\r\n"}));
    const HTTPTransferResponse response = perform(requestFor(server.url("/merge")));

    EXPECT_EQ(response.body, "ok");
    const std::vector<HTTPTransferHeader> expected = {
        {"X-A", "1, 2"},       {"Set-Cookie", "a=1, b=2"},       {"Empty", ""},
        {"X-Fold", "one two"}, {"Transfer-Encoding", "chunked"}, {"Trailer", "X-Trailer"}};
    EXPECT_EQ(response.headers, expected);
}

TEST_F(HTTPTransferTest, DecodesCompressedBodies) {
    static const std::string gzipped(
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\x48\xcd\xc9\xc9\xd7\x51\x48\xce\xcf\x2d\x28"
        "\x4a\x2d\x2e\x4e\x4d\x51\x28\xcf\x2f\xca\x49\x01\x00\x08\x9e\x34\x35\x17\x00\x00\x00",
        43);
    server.route("/gz", ScriptedReply::status(200, gzipped).header("Content-Encoding", "gzip"));
    EXPECT_EQ(perform(requestFor(server.url("/gz"))).body, "hello, compressed world");
}

TEST_F(HTTPTransferTest, FileURLsAreReadWithoutStatusOrHeaders) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("transfer-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary) << "file body";
    const HTTPTransferResponse response = perform(requestFor("file://" + file.string()));
    std::filesystem::remove(file);

    EXPECT_FALSE(response.isHTTP);
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_TRUE(response.headers.empty());
    EXPECT_EQ(response.body, "file body");
}

// --- Failures -------------------------------------------------------------------------

struct FailureCase {
    std::string name;
    std::string url; // "{port}" stands for the server's port, "{closed}" for a dead one
    long code;
    std::string description;
};

class TransferFailureTest : public HTTPTransferTest,
                            public testing::WithParamInterface<FailureCase> {};

TEST_P(TransferFailureTest, ThrowsTheURLError) {
    const FailureCase& c = GetParam();
    server.route("/empty", ScriptedReply::raw({}));
    std::string url = c.url;
    for (const auto& [placeholder, port] : {std::pair<std::string, int>{"{port}", server.port()},
                                            {"{closed}", tarn::testing::closedLoopbackPort()}})
        if (const auto at = url.find(placeholder); at != std::string::npos)
            url.replace(at, placeholder.size(), std::to_string(port));

    const PlatformError error = errorOf([&] { perform(requestFor(url)); });
    EXPECT_EQ(error.domain(), "NSURLErrorDomain");
    EXPECT_EQ(error.code(), c.code);
    EXPECT_EQ(error.description(), c.description);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, TransferFailureTest,
    testing::Values(FailureCase{"refused", "http://127.0.0.1:{closed}/",
                                URLErrorCode::cannotConnectToHost,
                                "Could not connect to the server."},
                    FailureCase{"emptyReply", "http://127.0.0.1:{port}/empty",
                                URLErrorCode::networkConnectionLost,
                                "The network connection was lost."},
                    FailureCase{"noScheme", "127.0.0.1:{port}/", URLErrorCode::unsupportedURL,
                                "unsupported URL"},
                    FailureCase{"otherScheme", "ftp://127.0.0.1:{port}/",
                                URLErrorCode::unsupportedURL, "unsupported URL"},
                    FailureCase{"missingFile", "file:///nonexistent/quiller-transfer",
                                URLErrorCode::fileDoesNotExist,
                                "The requested URL was not found on this server."}),
    [](const testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

// --- Idle time-out -------------------------------------------------------------------

TEST_F(HTTPTransferTest, ASilentServerTimesOut) {
    server.route("/silent", ScriptedReply::silence());
    server.route(
        "/stalled",
        ScriptedReply::status(200).header("Content-Length", "100").body("abc").thenHoldOpen());
    for (const std::string path : {"/silent", "/stalled"}) {
        HTTPTransferRequest request = requestFor(server.url(path));
        request.idleTimeout = 1s;
        const auto start = Clock::now();
        const PlatformError error = errorOf([&] { perform(request); });
        const double elapsed = millisecondsSince(start);
        EXPECT_EQ(error.code(), URLErrorCode::timedOut) << path;
        EXPECT_EQ(error.description(), "The request timed out.");
        EXPECT_GE(elapsed, 950.0) << path;
        EXPECT_LT(elapsed, 2500.0) << path;
    }
}

TEST_F(HTTPTransferTest, ASlowButSteadyServerNeverTimesOut) {
    // Fewer than one byte a second on average, yet never quiet for as long as
    // the time-out: an idle limit lets this through where an average speed
    // limit would not.
    server.route("/sparse", ScriptedReply::status(200, "abc").trickle(1, 1300ms));
    HTTPTransferRequest request = requestFor(server.url("/sparse"));
    request.idleTimeout = 2s;
    EXPECT_EQ(perform(request).body, "abc");
}

// --- Stopping ------------------------------------------------------------------------

// Milliseconds from a stop requested while `path` is being fetched to the
// cancellation error; nothing when the transfer failed otherwise or took over
// two seconds.
std::optional<double> stopLatency(const LoopbackHTTPServer& server, const std::string& path) {
    std::stop_source source;
    const std::size_t requestsBefore = server.requests().size();
    auto outcome = std::async(std::launch::async, [&] {
        const PlatformError error = errorOf(
            [&] { tarn::HTTPTransfer::perform(requestFor(server.url(path)), source.get_token()); });
        return std::pair(error.code(), Clock::now());
    });
    EXPECT_TRUE(server.waitForRequests(requestsBefore + 1));
    std::this_thread::sleep_for(200ms);
    const auto stoppedAt = Clock::now();
    source.request_stop();
    if (outcome.wait_for(2s) != std::future_status::ready)
        return std::nullopt;
    const auto [code, endedAt] = outcome.get();
    if (code != URLErrorCode::cancelled)
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(endedAt - stoppedAt).count();
}

TEST_F(HTTPTransferTest, AStopEndsTheTransferPromptly) {
    // Nothing arrives after the stop in either case, so only the stop itself
    // can end the wait. A busy machine may stall any thread for a while, so
    // the best of three attempts counts; a transfer that does not notice the
    // stop misses every time.
    server.route("/silent", ScriptedReply::silence());
    server.route("/stalled", ScriptedReply::status(200)
                                 .header("Content-Length", "100000")
                                 .body("partial")
                                 .thenHoldOpen());
    for (const std::string path : {"/silent", "/stalled"}) {
        double best = 1e9;
        for (int attempt = 0; attempt < 3 && best >= 100.0; ++attempt) {
            const std::optional<double> latency = stopLatency(server, path);
            ASSERT_TRUE(latency.has_value()) << path;
            best = std::min(best, *latency);
        }
        EXPECT_LT(best, 100.0) << path;
    }
}

TEST_F(HTTPTransferTest, AStopRequestedBeforehandSendsNothing) {
    std::stop_source source;
    source.request_stop();
    const PlatformError error = errorOf(
        [&] { tarn::HTTPTransfer::perform(requestFor(server.url("/")), source.get_token()); });
    EXPECT_EQ(error.code(), URLErrorCode::cancelled);
    EXPECT_EQ(error.description(), "cancelled");
    EXPECT_EQ(server.connectionCount(), 0u);
}

// --- Streaming -----------------------------------------------------------------------

TEST_F(HTTPTransferTest, StreamHandsOverTheFinalBodyAsItArrives) {
    server.route("/old", ScriptedReply::redirect(302, "/events").body("moved"));
    server.route("/events", ScriptedReply::status(200).untilClose({"first", "second"}, 300ms));

    std::string received;
    std::optional<Clock::time_point> firstArrival;
    tarn::HTTPTransfer::stream(requestFor(server.url("/old")), std::stop_token(),
                               [&](std::string_view bytes) {
                                   if (!firstArrival)
                                       firstArrival = Clock::now();
                                   received += bytes;
                               });
    EXPECT_EQ(received, "firstsecond");
    ASSERT_TRUE(firstArrival.has_value());
    EXPECT_GE(millisecondsSince(*firstArrival), 200.0);
}

TEST_F(HTTPTransferTest, StreamPassesOnTheConsumersException) {
    server.route("/events", ScriptedReply::status(200).untilClose({"one"}).thenHoldOpen());
    EXPECT_THROW(tarn::HTTPTransfer::stream(
                     requestFor(server.url("/events")), std::stop_token(),
                     [](std::string_view) { throw std::runtime_error("consumer gave up"); }),
                 std::runtime_error);
}

} // namespace
