// The mock server over real sockets on the local machine, driven by a raw
// client that sends exactly the bytes a test gives it.
#include "QuillerCore/Services/LocalHTTPProxyService.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "support/TemporaryFolder.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace quiller;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Log lines go to a private folder, never the real home.
class DataHomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_old = old;
        m_folder.emplace("quiller-net-tests");
        ::setenv("XDG_DATA_HOME", m_folder->path().c_str(), 1);
    }
    void TearDown() override {
        if (m_old)
            ::setenv("XDG_DATA_HOME", m_old->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        m_folder.reset();
    }

private:
    std::optional<tarn::testing::TemporaryFolder> m_folder;
    std::optional<std::string> m_old;
};

[[maybe_unused]] ::testing::Environment* const kDataHome =
    ::testing::AddGlobalTestEnvironment(new DataHomeEnvironment);

// --- A raw client --------------------------------------------------------------

struct Reply {
    std::string bytes;
    // What ended the read: 0 for an orderly close, ECONNRESET for a reset,
    // EAGAIN when nothing more came within the client's time-out.
    int error = 0;
};

class RawClient {
public:
    explicit RawClient(std::uint16_t port, const std::string& address = "127.0.0.1",
                       std::chrono::seconds timeout = 8s) {
        const bool v6 = address.find(':') != std::string::npos;
        m_fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            throw std::runtime_error("socket failed");
        const timeval limit{static_cast<time_t>(timeout.count()), 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        int result = -1;
        if (v6) {
            sockaddr_in6 target{};
            target.sin6_family = AF_INET6;
            target.sin6_port = htons(port);
            ::inet_pton(AF_INET6, address.c_str(), &target.sin6_addr);
            result = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
        } else {
            sockaddr_in target{};
            target.sin_family = AF_INET;
            target.sin_port = htons(port);
            ::inet_pton(AF_INET, address.c_str(), &target.sin_addr);
            result = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
        }
        m_connectError = result == 0 ? 0 : errno;
    }
    ~RawClient() { close(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    int connectError() const { return m_connectError; }

    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // Reads until the server closes (or resets, or the time-out passes).
    Reply readToEnd() {
        Reply reply;
        char buffer[65536];
        for (;;) {
            const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (count > 0) {
                reply.bytes.append(buffer, static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && errno == EINTR)
                continue;
            reply.error = count == 0 ? 0 : errno;
            return reply;
        }
    }

    // Reads exactly `size` bytes.
    std::string read(std::size_t size) {
        std::string bytes(size, '\0');
        std::size_t got = 0;
        while (got < size) {
            const ssize_t count = ::recv(m_fd, bytes.data() + got, size - got, 0);
            if (count <= 0)
                break;
            got += static_cast<std::size_t>(count);
        }
        bytes.resize(got);
        return bytes;
    }

    // Whether anything (data or the close) arrives within `wait`.
    bool hearsWithin(std::chrono::milliseconds wait) {
        pollfd item{m_fd, POLLIN, 0};
        return ::poll(&item, 1, static_cast<int>(wait.count())) > 0;
    }

    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    int m_connectError = 0;
};

Reply roundTrip(std::uint16_t port, std::string_view request,
                const std::string& address = "127.0.0.1") {
    RawClient client(port, address);
    EXPECT_EQ(client.connectError(), 0) << address;
    client.send(request);
    return client.readToEnd();
}

std::string answerHead(std::string_view statusLine, std::string_view contentType,
                       std::size_t length) {
    return std::string(statusLine) + "\r\nContent-Type: " + std::string(contentType) +
           "; charset=utf-8\r\nContent-Length: " + std::to_string(length) +
           "\r\nX-Powered-By: Quiller\r\nConnection: close\r\n\r\n";
}

std::string bodyOf(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The "proxy" lines of the application log, oldest first.
struct LogLine {
    tarn::TarnLogLevel level;
    std::string message;
    friend bool operator==(const LogLine&, const LogLine&) = default;
};

std::vector<LogLine> proxyLog(long newest = 40) {
    std::vector<LogLine> lines;
    const auto entries =
        tarn::TarnAppLogger::shared("Quiller").recentEntries(newest, tarn::TarnLogLevel::debug);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->category == "proxy")
            lines.push_back({it->level, it->message});
    return lines;
}

std::vector<LogLine> proxyLogSince(std::size_t before) {
    std::vector<LogLine> lines = proxyLog(400);
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(before, lines.size())));
    return lines;
}

MockRouteRule rule(std::string method, std::string path, int status, std::string contentType,
                   std::string body) {
    MockRouteRule route;
    route.method = std::move(method);
    route.path = std::move(path);
    route.statusCode = status;
    route.contentType = std::move(contentType);
    route.responseBody = std::move(body);
    return route;
}

bool ipv6LoopbackWorks() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool works = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return works;
}

// The local addresses of the sockets listening on `port`, from the kernel's
// own tables (/proc/net/tcp and tcp6), written as inet_ntop writes them.
std::uint32_t hexValue(std::string_view text) {
    std::uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

std::set<std::string> listeningAddresses(std::uint16_t port) {
    std::set<std::string> addresses;
    for (const auto& [table, family] :
         {std::pair{"/proc/net/tcp", AF_INET}, std::pair{"/proc/net/tcp6", AF_INET6}}) {
        std::ifstream file(table);
        std::string line;
        std::getline(file, line); // column titles
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const auto colon = local.find(':');
            if (state != "0A" || colon == std::string::npos ||
                hexValue(std::string_view(local).substr(colon + 1)) != port)
                continue;
            // The address is written as 32-bit words in host byte order.
            unsigned char bytes[16] = {};
            const std::size_t words = colon / 8;
            for (std::size_t w = 0; w < words; ++w) {
                const std::uint32_t word = hexValue(std::string_view(local).substr(w * 8, 8));
                std::memcpy(bytes + w * 4, &word, 4);
            }
            char text[INET6_ADDRSTRLEN] = {};
            ::inet_ntop(family, bytes, text, sizeof text);
            addresses.insert(text);
        }
    }
    return addresses;
}

// A local address that is not a loopback one, when the machine has one.
std::optional<std::string> nonLoopbackIPv4Address() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return std::nullopt;
    std::optional<std::string> found;
    for (ifaddrs* item = list; item != nullptr && !found; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(item->ifa_addr);
        if ((ntohl(address->sin_addr.s_addr) >> 24) == 127)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        found = text;
    }
    ::freeifaddrs(list);
    return found;
}

// --- Fixture ---------------------------------------------------------------------

class LocalHTTPProxyServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_service.setOnExchangeCaptured([this](const CapturedProxyExchange& exchange) {
            const std::lock_guard lock(m_lock);
            m_captures.push_back(exchange);
            m_captureThreads.push_back(std::this_thread::get_id());
            m_changed.notify_all();
        });
    }

    // The first `count` exchanges captured, waiting for them up to 10 s.
    std::vector<CapturedProxyExchange> captures(std::size_t count) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, 10s, [&] { return m_captures.size() >= count; });
        return m_captures;
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<CapturedProxyExchange> m_captures;
    std::vector<std::thread::id> m_captureThreads;
    // Last, so that it stops before the members its callback uses go away.
    LocalHTTPProxyService m_service;
};

const std::string kHealthBody = R"({"status":"ok"})";

TEST_F(LocalHTTPProxyServiceTest, AnswersARuleAndTheEchoWithExactBytes) {
    m_service.updateMockRoutes({rule("GET", "/health", 200, "application/json", kHealthBody)});
    const std::uint16_t port = m_service.start(0);

    const Reply ruled = roundTrip(port, "GET /health HTTP/1.1\r\nHost: localhost\r\n\r\n");
    EXPECT_EQ(ruled.bytes,
              answerHead("HTTP/1.1 200 No Error", "application/json", 15) + kHealthBody);
    EXPECT_EQ(ruled.error, 0);

    const std::string body = "caf\xC3\xA9\r\n\r\nsecond \"part\"";
    const std::string request = "POST /v1/items?x=1 HTTP/1.1\r\nHost: localhost\r\n"
                                "Content-Type: text/plain\r\ncontent-type: text/x\r\n"
                                "Content-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
    const std::string echo = "{\n"
                             "  \"capturedBy\" : \"Quiller Local Inspector\",\n"
                             "  \"echoBody\" : \"caf\xC3\xA9\\r\\n\\r\\nsecond \\\"part\\\"\",\n"
                             "  \"headersCount\" : 4,\n"
                             "  \"method\" : \"POST\",\n"
                             "  \"path\" : \"\\/v1\\/items?x=1\"\n"
                             "}";
    const Reply echoed = roundTrip(port, request);
    EXPECT_EQ(echoed.bytes,
              answerHead("HTTP/1.1 200 No Error", "application/json", echo.size()) + echo);
    EXPECT_EQ(echoed.error, 0);

    const auto exchanges = captures(2);
    ASSERT_EQ(exchanges.size(), 2u);
    EXPECT_EQ(exchanges[0].method, "GET");
    EXPECT_EQ(exchanges[0].path, "/health");
    EXPECT_EQ(exchanges[0].statusCode, 200);
    EXPECT_EQ(exchanges[0].responseBody, kHealthBody);
    EXPECT_EQ(exchanges[0].matchedMockRoute, "GET /health");
    EXPECT_EQ(exchanges[1].path, "/v1/items?x=1");
    EXPECT_EQ(exchanges[1].requestBody, body);
    EXPECT_EQ(exchanges[1].requestHeaders, (std::map<std::string, std::string>{
                                               {"Host", "localhost"},
                                               {"Content-Type", "text/plain"},
                                               {"content-type", "text/x"},
                                               {"Content-Length", std::to_string(body.size())}}));
    EXPECT_EQ(exchanges[1].responseBody, echo);
    EXPECT_EQ(exchanges[1].matchedMockRoute, std::nullopt);
    EXPECT_NE(exchanges[0].id, exchanges[1].id);
    EXPECT_NE(m_captureThreads[0], std::this_thread::get_id());

    const auto lines = proxyLog();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<LogLine>(lines.end() - 3, lines.end()),
              (std::vector<LogLine>{
                  {tarn::TarnLogLevel::info,
                   "Local mock proxy listening on 127.0.0.1:" + std::to_string(port)},
                  {tarn::TarnLogLevel::info, "Captured GET /health -> HTTP 200 [GET /health]"},
                  {tarn::TarnLogLevel::info, "Captured POST /v1/items?x=1 -> HTTP 200 [echo]"}}));

    // Rules pushed while running answer the next request.
    auto disabled = rule("GET", "/health", 200, "application/json", kHealthBody);
    disabled.isEnabled = false;
    m_service.updateMockRoutes({disabled, rule("*", "/health", 503, "text/plain", "down")});
    EXPECT_EQ(roundTrip(port, "GET /health HTTP/1.1\r\n\r\n").bytes,
              answerHead("HTTP/1.1 503 Service Unavailable", "text/plain", 4) + "down");
}

TEST_F(LocalHTTPProxyServiceTest, ABodyThatFollowsItsHeadIsReadWhole) {
    const std::uint16_t port = m_service.start(0);
    struct Case {
        std::string name;
        std::string head;
        std::vector<std::string> laterPieces;
        bool waitsForContinue;
    };
    const std::vector<Case> cases = {
        {"length",
         "POST /late HTTP/1.1\r\nHost: h\r\nContent-Length: 18\r\n\r\n",
         {"{\"name\":", "\"quiller\"}"},
         false},
        {"chunked",
         "POST /late HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n",
         {"8\r\n{\"name\":\r\n", "a\r\n\"quiller\"}\r\n0\r\n\r\n"},
         false},
        {"continue",
         "POST /late HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\nContent-Length: 18\r\n\r\n",
         {"{\"name\":\"quiller\"}"},
         true},
    };
    std::size_t answered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawClient client(port);
        ASSERT_TRUE(client.send(c.head));
        if (c.waitsForContinue) {
            EXPECT_EQ(client.read(25), "HTTP/1.1 100 Continue\r\n\r\n");
        }
        for (const std::string& piece : c.laterPieces) {
            std::this_thread::sleep_for(50ms);
            ASSERT_TRUE(client.send(piece));
        }
        const Reply reply = client.readToEnd();
        EXPECT_TRUE(reply.bytes.starts_with("HTTP/1.1 200 No Error\r\n")) << reply.bytes;
        EXPECT_NE(bodyOf(reply.bytes).find(R"("echoBody" : "{\"name\":\"quiller\"}")"),
                  std::string::npos)
            << reply.bytes;
        const auto exchanges = captures(++answered);
        ASSERT_EQ(exchanges.size(), answered);
        EXPECT_EQ(exchanges.back().requestBody, R"({"name":"quiller"})");
    }
}

TEST_F(LocalHTTPProxyServiceTest, ABodyBeyondTheCapIsCutAndAnsweredWithoutReset) {
    const std::uint16_t port = m_service.start(0);
    const std::string head = "POST /upload HTTP/1.1\r\nContent-Length: 204800\r\n\r\n";
    const std::string body(204800, 'x');

    RawClient client(port);
    ASSERT_TRUE(client.send(head + body));
    const Reply reply = client.readToEnd();
    EXPECT_EQ(reply.error, 0); // not ECONNRESET: the answer arrived whole
    EXPECT_TRUE(reply.bytes.starts_with("HTTP/1.1 200 No Error\r\n")) << reply.bytes.substr(0, 80);

    const auto exchanges = captures(1);
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(exchanges[0].requestBody.size(),
              LocalHTTPProxyService::kMaximumRequestBytes - head.size());
    EXPECT_EQ(bodyOf(reply.bytes).size(), exchanges[0].responseBody.size());
}

// However the request arrives (at once, after a pause, in pieces) and
// whatever the client sends beyond it, the answer arrives whole and the
// connection ends in an orderly close, never a reset.
TEST_F(LocalHTTPProxyServiceTest, EveryArrivalIsAnsweredWholeAndClosedWithoutReset) {
    m_service.updateMockRoutes({rule("GET", "/health", 200, "application/json", kHealthBody)});
    const std::uint16_t port = m_service.start(0);
    const std::string request = "GET /health HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string expected =
        answerHead("HTTP/1.1 200 No Error", "application/json", 15) + kHealthBody;
    struct Case {
        const char* name;
        std::chrono::milliseconds pauseBeforeRequest;
        std::size_t firstPiece;  // bytes of the request sent before a pause
        std::size_t bytesBeyond; // sent right after the request, never read as part of it
    };
    const std::vector<Case> cases = {
        {"at once", 0ms, request.size(), 0},
        {"after a pause", 100ms, request.size(), 0},
        {"in two pieces", 0ms, 10, 0},
        {"more than the request", 0ms, request.size(), 300'000},
        {"late, and more than the request", 100ms, request.size(), 300'000},
    };
    std::size_t answered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawClient client(port);
        std::this_thread::sleep_for(c.pauseBeforeRequest);
        ASSERT_TRUE(client.send(std::string_view(request).substr(0, c.firstPiece)));
        if (c.firstPiece < request.size()) {
            std::this_thread::sleep_for(100ms);
            ASSERT_TRUE(client.send(std::string_view(request).substr(c.firstPiece)));
        }
        if (c.bytesBeyond > 0) {
            EXPECT_TRUE(client.send(std::string(c.bytesBeyond, 'z')));
        }
        const Reply reply = client.readToEnd();
        EXPECT_EQ(reply.bytes, expected);
        EXPECT_EQ(reply.error, 0);
        EXPECT_EQ(captures(++answered).size(), answered);
    }
}

TEST_F(LocalHTTPProxyServiceTest, BareLineFeedRequestsAreAnsweredAtOnce) {
    m_service.updateMockRoutes({rule("GET", "/health", 200, "application/json", kHealthBody)});
    const std::uint16_t port = m_service.start(0);

    const auto started = Clock::now();
    EXPECT_EQ(roundTrip(port, "GET /health HTTP/1.1\nHost: x\n\n").bytes,
              answerHead("HTTP/1.1 200 No Error", "application/json", 15) + kHealthBody);
    const Reply echoed = roundTrip(port, "POST /e HTTP/1.1\nHost: x\nContent-Length: 3\n\nabc");
    // Neither waited for the idle deadline.
    EXPECT_LT(Clock::now() - started, 1500ms);

    // Headers and body are read as from a client that ends lines with CR LF.
    const auto exchanges = captures(2);
    ASSERT_EQ(exchanges.size(), 2u);
    EXPECT_EQ(exchanges[1].method, "POST");
    EXPECT_EQ(exchanges[1].path, "/e");
    EXPECT_EQ(exchanges[1].requestHeaders.size(), 2u);
    EXPECT_EQ(exchanges[1].requestBody, "abc");
    EXPECT_NE(bodyOf(echoed.bytes).find("\"headersCount\" : 2"), std::string::npos);
}

TEST_F(LocalHTTPProxyServiceTest, PortZeroListensOnLoopbackOnly) {
    EXPECT_FALSE(m_service.isRunning());
    EXPECT_EQ(m_service.listeningPort(), 0);
    const std::uint16_t port = m_service.start(0);
    EXPECT_NE(port, 0);
    EXPECT_EQ(m_service.listeningPort(), port);
    EXPECT_TRUE(m_service.isRunning());

    std::vector<std::string> addresses = {"127.0.0.1"};
    std::set<std::string> expectedSockets = {"127.0.0.1"};
    if (ipv6LoopbackWorks()) {
        addresses.emplace_back("::1");
        expectedSockets.insert("::1");
    }
    for (const std::string& address : addresses) {
        const Reply reply = roundTrip(port, "GET /where HTTP/1.1\r\n\r\n", address);
        EXPECT_TRUE(reply.bytes.starts_with("HTTP/1.1 200 No Error\r\n")) << address;
    }
    EXPECT_EQ(captures(addresses.size()).size(), addresses.size());

    // What ss would list: nothing of the port listens beyond loopback.
    EXPECT_EQ(listeningAddresses(port), expectedSockets);
    if (const auto local = nonLoopbackIPv4Address()) {
        RawClient client(port, *local);
        EXPECT_EQ(client.connectError(), ECONNREFUSED) << *local;
    }
    m_service.stop();
    EXPECT_TRUE(listeningAddresses(port).empty());
}

TEST_F(LocalHTTPProxyServiceTest, AnOccupiedPortFailsWithItsLogLine) {
    LocalHTTPProxyService holder;
    const std::uint16_t port = holder.start(0);

    try {
        m_service.start(port);
        FAIL() << "start succeeded on a port in use";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), "NSPOSIXErrorDomain");
        EXPECT_EQ(error.code(), EADDRINUSE);
        EXPECT_EQ(error.description(), "Address already in use");
    }
    EXPECT_FALSE(m_service.isRunning());
    EXPECT_EQ(m_service.listeningPort(), 0);
    const auto lines = proxyLog();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), (LogLine{tarn::TarnLogLevel::error,
                                     "Local mock proxy failed to bind port " +
                                         std::to_string(port) + ": Address already in use"}));

    // The holder was not disturbed.
    EXPECT_TRUE(roundTrip(port, "GET / HTTP/1.1\r\n\r\n").bytes.starts_with("HTTP/1.1 200"));
}

TEST_F(LocalHTTPProxyServiceTest, StopThenStartOnTheSamePort) {
    const std::uint16_t port = m_service.start(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(roundTrip(port, "GET / HTTP/1.1\r\n\r\n").bytes.starts_with("HTTP/1.1 200"));

    std::size_t before = proxyLog(400).size();
    m_service.stop();
    EXPECT_FALSE(m_service.isRunning());
    EXPECT_EQ(m_service.listeningPort(), 0);
    EXPECT_EQ(RawClient(port).connectError(), ECONNREFUSED);
    m_service.stop(); // stopped already: nothing happens, nothing is logged
    EXPECT_EQ(proxyLogSince(before),
              (std::vector<LogLine>{{tarn::TarnLogLevel::info, "Local mock proxy stopped (port " +
                                                                   std::to_string(port) + ")"}}));

    EXPECT_EQ(m_service.start(port), port);
    EXPECT_TRUE(roundTrip(port, "GET / HTTP/1.1\r\n\r\n").bytes.starts_with("HTTP/1.1 200"));

    // Starting while running stops the old listener first, with its line.
    before = proxyLog(400).size();
    const std::uint16_t next = m_service.start(0);
    EXPECT_EQ(proxyLogSince(before),
              (std::vector<LogLine>{
                  {tarn::TarnLogLevel::info,
                   "Local mock proxy stopped (port " + std::to_string(port) + ")"},
                  {tarn::TarnLogLevel::info,
                   "Local mock proxy listening on 127.0.0.1:" + std::to_string(next)}}));
    EXPECT_TRUE(roundTrip(next, "GET / HTTP/1.1\r\n\r\n").bytes.starts_with("HTTP/1.1 200"));
}

TEST_F(LocalHTTPProxyServiceTest, TheCaptureCallbackMayStopAndRestartTheServer) {
    const std::uint16_t port = m_service.start(0);
    std::promise<std::uint16_t> restarted;
    m_service.setOnExchangeCaptured([&](const CapturedProxyExchange&) {
        m_service.stop();
        restarted.set_value(m_service.start(0));
        m_service.setOnExchangeCaptured(nullptr);
    });
    EXPECT_TRUE(roundTrip(port, "GET / HTTP/1.1\r\n\r\n").bytes.starts_with("HTTP/1.1 200"));
    auto future = restarted.get_future();
    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    const std::uint16_t next = future.get();
    EXPECT_EQ(m_service.listeningPort(), next);
    EXPECT_TRUE(roundTrip(next, "GET / HTTP/1.1\r\n\r\n").bytes.starts_with("HTTP/1.1 200"));
}

TEST_F(LocalHTTPProxyServiceTest, OpenDescriptorsStayFlatAfterAThousandConnections) {
    const std::uint16_t port = m_service.start(0);
    roundTrip(port, "GET / HTTP/1.1\r\n\r\n"); // the server thread and the log are in use
    const std::size_t baseline = openDescriptors();

    for (int i = 0; i < 1000; ++i) {
        if (i % 4 == 0) {
            RawClient silent(port); // connects and leaves without a word
            continue;
        }
        const Reply reply = roundTrip(port, "GET /n HTTP/1.1\r\n\r\n");
        ASSERT_TRUE(reply.bytes.starts_with("HTTP/1.1 200")) << i;
    }
    // The server closes its side once each client has gone.
    const auto deadline = Clock::now() + 3s;
    while (openDescriptors() > baseline && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_LE(openDescriptors(), baseline);
}

TEST_F(LocalHTTPProxyServiceTest, SilentAndTricklingClientsCannotHoldAConnection) {
    m_service.updateMockRoutes({rule("GET", "/health", 200, "application/json", kHealthBody)});
    const std::uint16_t port = m_service.start(0);

    const auto started = Clock::now();
    Reply silentReply, partialReply, trickleReply;
    Clock::duration silentTime{}, partialTime{}, trickleTime{};
    std::thread silent([&] {
        RawClient client(port);
        silentReply = client.readToEnd();
        silentTime = Clock::now() - started;
    });
    std::thread partial([&] {
        RawClient client(port);
        client.send("GET /health HTTP/1.1\r\nHost: x\r\n"); // the empty line never comes
        partialReply = client.readToEnd();
        partialTime = Clock::now() - started;
    });
    std::thread trickle([&] {
        RawClient client(port);
        client.send("POST /slow HTTP/1.1\r\nContent-Length: 100\r\n\r\n");
        // A byte every 0.4 s keeps it from idling, never from the overall limit.
        while (!client.hearsWithin(400ms))
            if (!client.send("z"))
                break;
        trickleReply = client.readToEnd();
        trickleTime = Clock::now() - started;
    });
    silent.join();
    partial.join();
    trickle.join();

    EXPECT_EQ(silentReply.bytes, ""); // closed without an answer
    EXPECT_EQ(silentReply.error, 0);
    EXPECT_GE(silentTime, 1900ms);
    EXPECT_LT(silentTime, 4s);

    // What came is answered once the client falls silent.
    EXPECT_EQ(partialReply.bytes,
              answerHead("HTTP/1.1 200 No Error", "application/json", 15) + kHealthBody);
    EXPECT_GE(partialTime, 1900ms);
    EXPECT_LT(partialTime, 4s);

    EXPECT_TRUE(trickleReply.bytes.starts_with("HTTP/1.1 200 No Error\r\n"));
    EXPECT_GE(trickleTime, 4900ms);
    EXPECT_LT(trickleTime, 7s);

    const auto exchanges = captures(2);
    ASSERT_EQ(exchanges.size(), 2u);
    const auto& slow = exchanges[0].path == "/slow" ? exchanges[0] : exchanges[1];
    EXPECT_GT(slow.requestBody.size(), 5u);
    EXPECT_LT(slow.requestBody.size(), 100u);
}

TEST_F(LocalHTTPProxyServiceTest, AtMost256ConnectionsAreOpenAtOnce) {
    const std::uint16_t port = m_service.start(0);
    std::vector<std::unique_ptr<RawClient>> silent;
    for (std::size_t i = 0; i < LocalHTTPProxyService::kMaximumConnections; ++i) {
        silent.push_back(std::make_unique<RawClient>(port));
        ASSERT_EQ(silent.back()->connectError(), 0);
    }
    const auto started = Clock::now();
    RawClient waiting(port);
    ASSERT_TRUE(waiting.send("GET /queued HTTP/1.1\r\n\r\n"));
    EXPECT_FALSE(waiting.hearsWithin(400ms)); // queued behind the silent ones

    silent.front()->close(); // frees one place
    EXPECT_TRUE(waiting.hearsWithin(1000ms));
    EXPECT_TRUE(waiting.readToEnd().bytes.starts_with("HTTP/1.1 200"));
    // Long before the silent clients' own deadline would have freed places.
    EXPECT_LT(Clock::now() - started, LocalHTTPProxyService::kIdleTimeout);
}

TEST(LocalHTTPProxyServiceLifetime, DestroyingTheServerClosesItsConnections) {
    std::optional<LocalHTTPProxyService> service(std::in_place);
    const std::uint16_t port = service->start(0);
    RawClient silent(port);
    RawClient halfway(port);
    halfway.send("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
    // Connections are accepted in order: once a later one is answered, both
    // earlier ones are the server's.
    ASSERT_TRUE(roundTrip(port, "GET / HTTP/1.1\r\n\r\n").bytes.starts_with("HTTP/1.1"));

    const auto started = Clock::now();
    service.reset();
    EXPECT_TRUE(silent.hearsWithin(1000ms));
    EXPECT_TRUE(halfway.hearsWithin(1000ms));
    EXPECT_LT(Clock::now() - started, 1500ms);
    EXPECT_NE(RawClient(port).connectError(), 0);
}

} // namespace
