// The mock server's request reading, parsing and answers, without sockets.
#include "QuillerCore/Services/HTTPReasonPhrases.h"
#include "QuillerCore/Services/MockHTTPRequestReader.h"
#include "QuillerCore/Services/MockHTTPResponder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace quiller;
using Headers = std::map<std::string, std::string>;

// --- Reading a request whole ----------------------------------------------------

struct ReaderCase {
    std::string name;
    std::string input;
    bool complete;
    // What the parser gets.
    std::string request;
    std::size_t maximumBytes = MockHTTPRequestReader::kMaximumBytes;
    // Without a framing the body is whatever came with the head, so only
    // framed requests read the same however they are split.
    bool framed = true;
};

MockHTTPRequestReader readAll(const ReaderCase& c, std::size_t pieceSize) {
    MockHTTPRequestReader reader(c.maximumBytes);
    for (std::size_t at = 0; at < c.input.size(); at += pieceSize)
        reader.append(std::string_view(c.input).substr(at, pieceSize));
    return reader;
}

TEST(MockHTTPRequestReader, FramesRequestsHoweverTheBytesArrive) {
    const std::string post = "POST /items HTTP/1.1\r\nHost: x\r\nContent-Length: 11\r\n\r\n";
    const std::string chunkedHead = "POST /up HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string big(200 * 1024, 'b');
    const std::string bigPost = "POST / HTTP/1.1\r\nContent-Length: 204800\r\n\r\n" + big;
    const std::vector<ReaderCase> cases = {
        {"length", post + "hello world", true, post + "hello world"},
        {"length, bytes beyond it ignored", post + "hello worldGET / HTTP/1.1\r\n\r\n", true,
         post + "hello world"},
        {"length, body still missing", post + "hello", false, post + "hello"},
        {"length is case-insensitive and blank-trimmed",
         "PUT / HTTP/1.1\r\ncontent-LENGTH: \t3 \r\n\r\nabcdef", true,
         "PUT / HTTP/1.1\r\ncontent-LENGTH: \t3 \r\n\r\nabc"},
        {"no framing: what came with the head is the body", "GET / HTTP/1.1\r\n\r\nextra", true,
         "GET / HTTP/1.1\r\n\r\nextra", MockHTTPRequestReader::kMaximumBytes, false},
        {"head not finished", "GET / HTTP/1.1\r\nHost: x\r\n", false,
         "GET / HTTP/1.1\r\nHost: x\r\n"},
        {"bare line feeds end the head", "GET /x HTTP/1.1\nContent-Length: 2\n\nab", true,
         "GET /x HTTP/1.1\nContent-Length: 2\n\nab"},
        {"mixed line ends", "GET /x HTTP/1.1\r\nHost: y\n\r\n", true,
         "GET /x HTTP/1.1\r\nHost: y\n\r\n"},
        {"empty request line", "\r\n\r\n", true, "\r\n\r\n"},
        {"length that is no number ends the request",
         "POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\nab", true,
         "POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\nab", MockHTTPRequestReader::kMaximumBytes,
         false},
        {"two different lengths end the request",
         "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", true,
         "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
         MockHTTPRequestReader::kMaximumBytes, false},
        {"length beyond any integer",
         "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", true,
         "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n"},
        {"chunked with extension and trailer",
         chunkedHead + "5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\nX-Trailer: t\r\n\r\nleftover", true,
         chunkedHead + "hello world"},
        {"chunked with bare line feeds and upper-case hex", chunkedHead + "A\nabcdefghij\n0\n\n",
         true, chunkedHead + "abcdefghij"},
        {"chunked wins over a length",
         "POST / HTTP/1.1\r\nContent-Length: 3\r\nTransfer-Encoding: gzip, chunked\r\n\r\n"
         "3\r\nabc\r\n0\r\n\r\n",
         true,
         "POST / HTTP/1.1\r\nContent-Length: 3\r\nTransfer-Encoding: gzip, chunked\r\n\r\nabc"},
        {"chunked, last chunk not yet in", chunkedHead + "3\r\nabc\r\n", false,
         chunkedHead + "abc"},
        {"chunked, bad size keeps what was decoded", chunkedHead + "3\r\nabc\r\nzz\r\nmore", true,
         chunkedHead + "abc"},
        {"chunked, data overrunning its size", chunkedHead + "2\r\nabc\r\n0\r\n\r\n", true,
         chunkedHead + "ab"},
        {"the cap ends a long body", bigPost, true, bigPost.substr(0, 1000), 1000},
        {"the cap ends a head without end", big, true, big.substr(0, 1000), 1000},
    };
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Whole, and one byte at a time: a request split anywhere reads the same.
        for (const std::size_t pieceSize : {c.input.size() + 1, std::size_t{1}, std::size_t{7}}) {
            if (!c.framed && pieceSize <= c.input.size())
                continue;
            SCOPED_TRACE(pieceSize);
            const MockHTTPRequestReader reader = readAll(c, pieceSize);
            EXPECT_EQ(reader.isComplete(), c.complete);
            EXPECT_EQ(reader.request(), c.request);
            EXPECT_TRUE(reader.hasData());
        }
    }
}

TEST(MockHTTPRequestReader, AsksForTheBodyOnlyWhenTheClientWaitsForContinue) {
    const std::string head = "PUT /f HTTP/1.1\r\nExpect: 100-Continue\r\nContent-Length: 4\r\n\r\n";
    MockHTTPRequestReader reader;
    EXPECT_FALSE(reader.append(head));
    EXPECT_TRUE(reader.expectsContinue());
    reader.markContinueSent();
    EXPECT_FALSE(reader.expectsContinue());
    EXPECT_TRUE(reader.append("data"));
    EXPECT_EQ(reader.request(), head + "data");

    struct Case {
        std::string input;
        bool expectsContinue;
    };
    const std::vector<Case> cases = {
        {head + "d", false}, // the client did not wait
        {"PUT / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 0\r\n\r\n", false},
        {"PUT / HTTP/1.1\r\nExpect: 100-continue\r\n\r\n", false},
        {"PUT / HTTP/1.1\r\nExpect: 100-continue\r\nTransfer-Encoding: chunked\r\n\r\n", true},
        {"PUT / HTTP/1.1\r\nExpect: something-else\r\nContent-Length: 2\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        MockHTTPRequestReader other;
        other.append(c.input);
        EXPECT_EQ(other.expectsContinue(), c.expectsContinue) << c.input;
    }
}

TEST(MockHTTPRequestReader, IgnoresBytesAfterCompletionAndBeyondTheCap) {
    MockHTTPRequestReader reader(39);
    EXPECT_FALSE(reader.append("POST / HTTP/1.1\r\nContent-Length: 30\r\n"));
    EXPECT_EQ(reader.remainingCapacity(), 2u);
    EXPECT_TRUE(reader.append("\r\nabcdef"));
    EXPECT_EQ(reader.remainingCapacity(), 0u);
    EXPECT_TRUE(reader.append("more"));
    EXPECT_EQ(reader.request(), "POST / HTTP/1.1\r\nContent-Length: 30\r\n\r\n");
    EXPECT_FALSE(MockHTTPRequestReader().hasData());
}

// --- Parsing ---------------------------------------------------------------------

TEST(MockHTTPRequestParsing, ReadsTheLenientFormExactly) {
    struct Case {
        std::string name;
        std::string raw;
        MockHTTPRequest expected;
    };
    const std::vector<Case> cases = {
        {"ordinary",
         "POST /a?b=1 HTTP/1.1\r\nHost: h\r\nX-A:  v v \t\r\n\r\nbody",
         {"POST", "/a?b=1", Headers{{"Host", "h"}, {"X-A", "v v"}}, "body"}},
        {"body holding blank lines stays whole",
         "PUT / HTTP/1.1\r\n\r\none\r\n\r\ntwo\r\n\r\n",
         {"PUT", "/", {}, "one\r\n\r\ntwo\r\n\r\n"}},
        {"bare line feeds end lines and the head",
         "DELETE /x HTTP/1.1\nHost: a\n\nbody",
         {"DELETE", "/x", Headers{{"Host", "a"}}, "body"}},
        {"line ends mixed",
         "GET / HTTP/1.1\r\nA: 1\nB: 2\r\n\nrest\r\n",
         {"GET", "/", Headers{{"A", "1"}, {"B", "2"}}, "rest\r\n"}},
        {"empty request line", "\r\n\r\n", {"GET", "/", {}, ""}},
        {"nothing at all", "", {"GET", "/", {}, ""}},
        {"method only", "OPTIONS\r\n\r\n", {"OPTIONS", "/", {}, ""}},
        {"runs of blanks", "  get   /p   HTTP/1.0  extra\r\n\r\n", {"get", "/p", {}, ""}},
        {"later header replaces, case makes two, no colon skipped",
         "GET / HTTP/1.1\r\nA: 1\r\na: 2\r\nA: 3\r\nnot a header\r\n: empty name\r\nB:\r\n\r\n",
         {"GET", "/", Headers{{"A", "3"}, {"a", "2"}, {"", "empty name"}, {"B", ""}}, ""}},
        {"value keeps colons",
         "GET / HTTP/1.1\r\nHost: example.com:8080\r\n\r\n",
         {"GET", "/", Headers{{"Host", "example.com:8080"}}, ""}},
        {"no head end: everything is head",
         "GET /q HTTP/1.1\r\nHost: h\r\n",
         {"GET", "/q", Headers{{"Host", "h"}}, ""}},
        {"invalid UTF-8 is replaced",
         "POST /\xff HTTP/1.1\r\n\r\n\xc3",
         {"POST", "/\xEF\xBF\xBD", {}, "\xEF\xBF\xBD"}},
        {"non-ASCII blanks are trimmed",
         "GET / HTTP/1.1\r\nX:\xC2\xA0v\xE3\x80\x80\r\nY: a\nb\r\n\r\n",
         {"GET", "/", Headers{{"X", "v"}, {"Y", "a"}}, ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseMockHTTPRequest(c.raw), c.expected) << c.name;
}

// --- Routes and answers ----------------------------------------------------------

MockRouteRule rule(std::string method, std::string path, int status = 200, bool enabled = true) {
    MockRouteRule route;
    route.method = std::move(method);
    route.path = std::move(path);
    route.statusCode = status;
    route.contentType = "application/json";
    route.responseBody = "{}";
    route.isEnabled = enabled;
    return route;
}

TEST(MockHTTPResponder, FirstEnabledMatchingRuleAnswers) {
    const std::vector<MockRouteRule> routes = {
        rule("GET", "/health", 200, false), // disabled: never answers
        rule("get", "/users"),
        rule("POST", "/users"),
        rule("*", "/any"),
        rule("DELETE", "/any"), // shadowed by the rule above
        rule("GET", "/q?a=1"),
        rule("GET", "/health"),
        rule("Post", "/Case"),
        rule("GET", ""),
    };
    struct Case {
        std::string method;
        std::string path;
        std::optional<std::string> label;
    };
    const std::vector<Case> cases = {
        {"GET", "/users", "get /users"},
        {"get", "/users", "get /users"},
        {"GET", "/users?page=2", "get /users"},
        {"GET", "/users/7", std::nullopt},
        {"GET", "/users/", std::nullopt},
        {"GET", "/users#x", std::nullopt},
        {"POST", "/users", "POST /users"},
        {"PATCH", "/users", std::nullopt},
        {"DELETE", "/any", "* /any"},
        {"BREW", "/any?x", "* /any"},
        {"GET", "/health", "GET /health"},
        {"GET", "/q?a=1", "GET /q?a=1"},
        {"GET", "/q?a=1?b", "GET /q?a=1"},
        {"GET", "/q?a=1&b=2", std::nullopt},
        {"GET", "/q", std::nullopt},
        {"pOsT", "/Case", "Post /Case"},
        {"POST", "/case", std::nullopt},
        {"GET", "?x", "GET "},
    };
    for (const Case& c : cases) {
        MockHTTPRequest request;
        request.method = c.method;
        request.path = c.path;
        const MockHTTPResponder::Answer answer = MockHTTPResponder::answer(request, routes);
        EXPECT_EQ(answer.routeLabel, c.label) << c.method << " " << c.path;
        if (!c.label) {
            EXPECT_EQ(answer.statusCode, 200);
            EXPECT_EQ(answer.contentType, "application/json");
        }
    }
}

TEST(MockHTTPResponder, StatusLineHeadersAndLengthAreWellFormed) {
    struct Case {
        int status;
        std::string contentType;
        std::string body;
        std::string expected;
    };
    const std::string tail = "X-Powered-By: Quiller\r\nConnection: close\r\n\r\n";
    const std::vector<Case> cases = {
        {404, "text/plain", "",
         "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain; charset=utf-8\r\n"
         "Content-Length: 0\r\n" +
             tail},
        {200, "application/json; charset=utf-8", "h\xC3\xA9",
         "HTTP/1.1 200 No Error\r\nContent-Type: application/json; charset=utf-8; charset=utf-8\r\n"
         "Content-Length: 3\r\n" +
             tail + "h\xC3\xA9"},
        {201, "", "x",
         "HTTP/1.1 201 Created\r\nContent-Type: ; charset=utf-8\r\nContent-Length: 1\r\n" + tail +
             "x"},
        {207, "a/b", "",
         "HTTP/1.1 207 Multi-Status\r\nContent-Type: a/b; charset=utf-8\r\nContent-Length: 0\r\n" +
             tail},
        // A rule cannot add headers through its content type.
        {200, "text/plain\r\nSet-Cookie: a=1\r\n\r\nx\x7F\tq", "",
         "HTTP/1.1 200 No Error\r\nContent-Type: text/plainSet-Cookie: a=1x\tq; charset=utf-8\r\n"
         "Content-Length: 0\r\n" +
             tail},
        {999, "t", "",
         "HTTP/1.1 999 Unknown Status\r\nContent-Type: t; charset=utf-8\r\n"
         "Content-Length: 0\r\n" +
             tail},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MockHTTPResponder::message({c.status, c.contentType, c.body, std::nullopt}),
                  c.expected)
            << c.status;
}

TEST(MockHTTPResponder, RuleStatusesThatCannotBeSentBecome500) {
    for (const int status : {-1, 0, 99, 1000, 20000}) {
        MockHTTPRequest request;
        request.path = "/s";
        const auto answer = MockHTTPResponder::answer(request, {rule("GET", "/s", status)});
        EXPECT_EQ(answer.statusCode, 500) << status;
        EXPECT_EQ(answer.routeLabel, "GET /s");
        EXPECT_TRUE(MockHTTPResponder::message(answer).starts_with(
            "HTTP/1.1 500 Internal Server Error\r\n"));
    }
    for (const int status : {100, 599, 600, 999}) {
        MockHTTPRequest request;
        request.path = "/s";
        EXPECT_EQ(MockHTTPResponder::answer(request, {rule("GET", "/s", status)}).statusCode,
                  status);
    }
}

TEST(MockHTTPResponder, EchoBodyIsSortedPrettyJSON) {
    const MockHTTPRequest request{"post", "/v1/echo?x=1", Headers{{"A", "1"}, {"a", "2"}},
                                  "line \"one\"\r\n\r\ncaf\xC3\xA9"};
    EXPECT_EQ(MockHTTPResponder::echoBody(request),
              "{\n"
              "  \"capturedBy\" : \"Quiller Local Inspector\",\n"
              "  \"echoBody\" : \"line \\\"one\\\"\\r\\n\\r\\ncaf\xC3\xA9\",\n"
              "  \"headersCount\" : 2,\n"
              "  \"method\" : \"post\",\n"
              "  \"path\" : \"\\/v1\\/echo?x=1\"\n"
              "}");
}

TEST(MockHTTPResponder, LogLineNamesRouteOrEchoAndHidesSecrets) {
    MockHTTPRequest request;
    request.method = "get";
    request.path = "/search?q=1&access_token=s3cret";
    EXPECT_EQ(MockHTTPResponder::logMessage(request, {200, "", "", std::nullopt}),
              "Captured get /search?q=1 -> HTTP 200 [echo]");
    EXPECT_EQ(MockHTTPResponder::logMessage(request, {404, "", "", "GET /search"}),
              "Captured get /search?q=1 -> HTTP 404 [GET /search]");
}

TEST(HTTPReasonPhrases, DescriptionsAreCapitalisedWordByWord) {
    struct Case {
        int status;
        std::string_view lower;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {200, "no error", "No Error"},
        {404, "not found", "Not Found"},
        {203, "non-authoritative information", "Non-Authoritative Information"},
        {418, "i'm a teapot", "I'm A Teapot"},
        {414, "requested url too long", "Requested Url Too Long"},
        {299, "success", "Success"},
        {450, "client error", "Client Error"},
        {599, "server error", "Server Error"},
        {150, "informational", "Informational"},
        {399, "redirected", "Redirected"},
        {600, "unknown status", "Unknown Status"},
        {-404, "unknown status", "Unknown Status"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HTTPReasonPhrases::localizedString(c.status), c.lower) << c.status;
        EXPECT_EQ(HTTPReasonPhrases::reasonText(c.status), c.reason) << c.status;
    }
}

} // namespace
