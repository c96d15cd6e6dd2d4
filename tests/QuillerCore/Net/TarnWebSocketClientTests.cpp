#include "QuillerCore/Services/TarnWebSocketClient.h"
#include "support/LoopbackWebSocketServer.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quiller::TarnWebSocketClient;
using quiller::WebSocketFrameItem;
using tarn::testing::LoopbackWebSocketServer;
using tarn::testing::ServerCertificate;
using tarn::testing::WebSocketMessage;
using Disconnect = std::optional<std::string>;

// What the client reported, as its owner would see it.
class Recorder {
public:
    struct Log {
        std::vector<WebSocketFrameItem> frames;
        std::vector<Disconnect> disconnects;
        bool calledOnTestThread = false;

        std::vector<std::string> payloads(bool outgoing) const {
            std::vector<std::string> result;
            for (const WebSocketFrameItem& frame : frames)
                if (frame.isOutgoing == outgoing)
                    result.push_back(frame.payload);
            return result;
        }
    };

    explicit Recorder(TarnWebSocketClient& client) {
        client.setOnMessage([this](const WebSocketFrameItem& frame) {
            change([&](Log& log) { log.frames.push_back(frame); });
        });
        client.setOnDisconnect([this](const Disconnect& text) {
            change([&](Log& log) { log.disconnects.push_back(text); });
        });
    }

    Log log() const {
        std::lock_guard lock(m_mutex);
        return m_log;
    }

    // True once `condition` holds for the log, false after 10 s without.
    bool waitFor(const std::function<bool(const Log&)>& condition) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return condition(m_log); });
    }

    bool waitForIncoming(std::size_t count) {
        return waitFor([count](const Log& log) { return log.payloads(false).size() >= count; });
    }

    bool waitForDisconnect() {
        return waitFor([](const Log& log) { return !log.disconnects.empty(); });
    }

private:
    void change(const std::function<void(Log&)>& edit) {
        {
            std::lock_guard lock(m_mutex);
            edit(m_log);
            if (std::this_thread::get_id() == m_testThread)
                m_log.calledOnTestThread = true;
        }
        m_changed.notify_all();
    }

    const std::thread::id m_testThread = std::this_thread::get_id();
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Log m_log;
};

// Waits until the client can report nothing more: its destructor joins the
// network thread, and no callback runs once it returns.
void quiesce(std::optional<TarnWebSocketClient>& client) {
    client.reset();
}

WebSocketMessage text(std::string payload) {
    return {false, std::move(payload)};
}
WebSocketMessage binary(std::string payload) {
    return {true, std::move(payload)};
}

LoopbackWebSocketServer::Options greeting(std::vector<WebSocketMessage> messages) {
    LoopbackWebSocketServer::Options options;
    options.greeting = std::move(messages);
    return options;
}

TEST(TarnWebSocketClient, ReportsReceivedFramesAsText) {
    struct Case {
        WebSocketMessage sent;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {text("héllo wörld"), "héllo wörld"},
        {text(""), ""},
        {binary("plain bytes"), "plain bytes"},
        {binary("caf\xc3\xa9"), "café"},
        {binary(std::string("\xff\xfe\x00\x80\xc3", 5)), "<5 bytes>"},
        {binary(std::string(12, '\xff')), "<12 bytes>"},
        {binary(""), ""},
    };
    std::vector<WebSocketMessage> script;
    script.reserve(std::size(cases));
    for (const Case& c : cases)
        script.push_back(c.sent);
    LoopbackWebSocketServer server(greeting(script));
    TarnWebSocketClient client;
    Recorder recorder(client);

    const auto before = std::chrono::system_clock::now();
    ASSERT_TRUE(client.connect(server.url()));
    ASSERT_TRUE(recorder.waitForIncoming(cases.size()));

    const Recorder::Log log = recorder.log();
    ASSERT_EQ(log.frames.size(), cases.size());
    std::set<std::string> ids;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log.frames[i].payload, cases[i].shown);
        EXPECT_FALSE(log.frames[i].isOutgoing);
        EXPECT_GE(log.frames[i].timestamp, before);
        ids.insert(log.frames[i].id.string());
    }
    EXPECT_EQ(ids.size(), cases.size()) << "every frame gets its own identifier";
    EXPECT_TRUE(log.disconnects.empty());
    EXPECT_FALSE(log.calledOnTestThread);
}

TEST(TarnWebSocketClient, SendReportsTheFrameFirstAndSendsItOnceOpen) {
    LoopbackWebSocketServer server;
    TarnWebSocketClient client;
    Recorder recorder(client);

    client.send("before any connection");
    ASSERT_TRUE(client.connect(server.url()));
    // Sent straight away: the message waits for the handshake.
    client.send("first");
    client.send("");
    client.send("dritte Nachricht");
    ASSERT_TRUE(recorder.waitForIncoming(3));

    const Recorder::Log log = recorder.log();
    const std::vector<std::string> expected = {"first", "", "dritte Nachricht"};
    EXPECT_EQ(log.payloads(true), expected);
    EXPECT_EQ(log.payloads(false), expected) << "the echoes";
    ASSERT_FALSE(log.frames.empty());
    EXPECT_TRUE(log.frames.front().isOutgoing);
    EXPECT_EQ(log.frames.front().payload, "first");
    EXPECT_EQ(server.received(),
              (std::vector<WebSocketMessage>{text("first"), text(""), text("dritte Nachricht")}));
    EXPECT_TRUE(log.disconnects.empty());
}

TEST(TarnWebSocketClient, UpgradeRequestCarriesPathQueryAndHost) {
    LoopbackWebSocketServer server;
    const std::string port =
        server.url().substr(std::string("ws://127.0.0.1:").size(),
                            server.url().size() - std::string("ws://127.0.0.1:/").size());
    struct Case {
        std::string url;
        std::string target;
    };
    const std::vector<Case> cases = {
        {"ws://127.0.0.1:" + port, "/"},
        {"ws://127.0.0.1:" + port + "/chat?room=1&x=%20y#fragment", "/chat?room=1&x=%20y"},
        {"WS://127.0.0.1:" + port + "/upper", "/upper"},
        {"http://127.0.0.1:" + port + "/over-http", "/over-http"},
    };
    TarnWebSocketClient client;
    Recorder recorder(client);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].url);
        ASSERT_TRUE(client.connect(cases[i].url));
        ASSERT_TRUE(
            LoopbackWebSocketServer::waitUntil([&] { return server.upgrades().size() > i; }));
        EXPECT_EQ(server.upgrades()[i].target, cases[i].target);
        EXPECT_EQ(server.upgrades()[i].host, "127.0.0.1:" + port);
    }
    client.disconnect();
    ASSERT_TRUE(recorder.waitForDisconnect());
    EXPECT_EQ(recorder.log().disconnects, std::vector<Disconnect>{std::nullopt})
        << "replaced connections report nothing; the last one reports the user's disconnect";
}

TEST(TarnWebSocketClient, TakesMessagesUpToSixteenMebibytes) {
    constexpr std::size_t limit = 16 * 1024 * 1024;
    {
        std::string big(limit, 'q');
        big.front() = '<';
        big.back() = '>';
        LoopbackWebSocketServer server(greeting({binary(big)}));
        TarnWebSocketClient client;
        Recorder recorder(client);
        ASSERT_TRUE(client.connect(server.url()));
        ASSERT_TRUE(recorder.waitForIncoming(1));
        EXPECT_TRUE(recorder.log().frames.front().payload == big);
    }
    {
        LoopbackWebSocketServer server(greeting({binary(std::string(limit + 1, 'q'))}));
        TarnWebSocketClient client;
        Recorder recorder(client);
        ASSERT_TRUE(client.connect(server.url()));
        ASSERT_TRUE(recorder.waitForDisconnect());
        const Recorder::Log log = recorder.log();
        EXPECT_TRUE(log.frames.empty());
        EXPECT_EQ(log.disconnects,
                  std::vector<Disconnect>{"A message from the server is larger than 16 MiB."});
    }
}

TEST(TarnWebSocketClient, FailureToOpenIsReportedExactlyOnce) {
    LoopbackWebSocketServer::Options refusing;
    refusing.refuseUpgradeWithStatus = 404;
    LoopbackWebSocketServer refusingServer(refusing);
    const std::uint16_t refusedPort = tarn::testing::refusedLoopbackPort();

    struct Case {
        std::string url;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"ws://127.0.0.1:" + std::to_string(refusedPort) + "/", "Could not connect to the server."},
        {refusingServer.url(), "The server refused the WebSocket connection (HTTP 404)."},
        {"ftp://127.0.0.1/", "unsupported URL"},
        {"ws:relative/path", "unsupported URL"},
        {"ws://127.0.0.1:70000/", "unsupported URL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        std::optional<TarnWebSocketClient> client(std::in_place);
        Recorder recorder(*client);
        ASSERT_TRUE(client->connect(c.url)) << "the failure is reported, not returned";
        ASSERT_TRUE(recorder.waitForDisconnect());
        Recorder::Log log = recorder.log();
        EXPECT_EQ(log.disconnects.front(), c.text);
        EXPECT_TRUE(log.frames.empty());

        // A send on the failed connection still shows its frame, then the failure.
        client->send("anyone there?");
        ASSERT_TRUE(
            recorder.waitFor([](const Recorder::Log& l) { return l.disconnects.size() >= 2; }));
        log = recorder.log();
        EXPECT_EQ(log.payloads(true), std::vector<std::string>{"anyone there?"});
        EXPECT_EQ(log.disconnects.back(), c.text);

        // Nothing is left to close, and the failure was reported once per cause.
        client->disconnect();
        quiesce(client);
        EXPECT_EQ(recorder.log().disconnects.size(), 2u);
    }
}

TEST(TarnWebSocketClient, UserDisconnectReportsNoTextAndClosesNormally) {
    LoopbackWebSocketServer server(greeting({text("hello")}));
    std::optional<TarnWebSocketClient> client(std::in_place);
    Recorder recorder(*client);
    ASSERT_TRUE(client->connect(server.url()));
    ASSERT_TRUE(recorder.waitForIncoming(1));

    client->disconnect();
    client->disconnect();
    client->send("after the end");
    ASSERT_TRUE(recorder.waitForDisconnect());
    ASSERT_TRUE(LoopbackWebSocketServer::waitUntil([&] { return !server.closeCodes().empty(); }));
    quiesce(client);

    const Recorder::Log log = recorder.log();
    EXPECT_EQ(log.disconnects, std::vector<Disconnect>{std::nullopt});
    EXPECT_EQ(log.payloads(true), std::vector<std::string>{}) << "nothing sent after the end";
    EXPECT_EQ(server.closeCodes(), std::vector<std::uint16_t>{1000});
    EXPECT_TRUE(server.received().empty());
}

TEST(TarnWebSocketClient, MessagesSentJustBeforeDisconnectStillLeave) {
    LoopbackWebSocketServer::Options options = greeting({text("open")});
    options.echo = false;
    LoopbackWebSocketServer server(options);
    TarnWebSocketClient client;
    Recorder recorder(client);
    ASSERT_TRUE(client.connect(server.url()));
    ASSERT_TRUE(recorder.waitForIncoming(1));
    for (int i = 0; i < 50; ++i)
        client.send(std::string(10'000, static_cast<char>('a' + i % 26)));
    client.disconnect();

    ASSERT_TRUE(LoopbackWebSocketServer::waitUntil([&] { return !server.closeCodes().empty(); }));
    EXPECT_EQ(server.received().size(), 50u);
    EXPECT_EQ(server.closeCodes(), std::vector<std::uint16_t>{1000});
    EXPECT_EQ(recorder.log().disconnects, std::vector<Disconnect>{std::nullopt});
}

TEST(TarnWebSocketClient, ServerCloseIsReportedOnceWithItsCode) {
    struct Case {
        std::uint16_t code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {1000, "The server closed the connection."},
        {1001, "The server closed the connection (code 1001)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        LoopbackWebSocketServer::Options options = greeting({text("bye soon")});
        options.closeWithCode = c.code;
        LoopbackWebSocketServer server(options);
        std::optional<TarnWebSocketClient> client(std::in_place);
        Recorder recorder(*client);
        ASSERT_TRUE(client->connect(server.url()));
        ASSERT_TRUE(recorder.waitForDisconnect());
        quiesce(client);
        const Recorder::Log log = recorder.log();
        EXPECT_EQ(log.payloads(false), std::vector<std::string>{"bye soon"});
        EXPECT_EQ(log.disconnects, std::vector<Disconnect>{c.text});
    }
}

// The replaced connection ends while its successor is already running; under
// a shared "connected" flag its late failure would stop the new receive loop
// after one message and mark the console disconnected.
TEST(TarnWebSocketClient, ReplacedConnectionNeverTouchesTheNewOne) {
    enum class Scenario { disconnectThenConnect, connectOverOpen, connectOverRefused };
    for (const Scenario scenario : {Scenario::disconnectThenConnect, Scenario::connectOverOpen,
                                    Scenario::connectOverRefused}) {
        SCOPED_TRACE(static_cast<int>(scenario));
        LoopbackWebSocketServer oldServer(greeting({text("old")}));
        LoopbackWebSocketServer newServer;
        std::optional<TarnWebSocketClient> client(std::in_place);
        Recorder recorder(*client);

        if (scenario == Scenario::connectOverRefused) {
            ASSERT_TRUE(client->connect("ws://127.0.0.1:" +
                                        std::to_string(tarn::testing::refusedLoopbackPort())));
        } else {
            ASSERT_TRUE(client->connect(oldServer.url()));
            ASSERT_TRUE(recorder.waitForIncoming(1));
        }
        if (scenario == Scenario::disconnectThenConnect)
            client->disconnect();
        ASSERT_TRUE(client->connect(newServer.url()));

        for (int i = 0; i < 5; ++i) {
            client->send("message " + std::to_string(i));
            std::this_thread::sleep_for(20ms);
        }
        const auto echoes = [](const Recorder::Log& log) {
            std::vector<std::string> payloads = log.payloads(false);
            std::erase(payloads, "old");
            return payloads;
        };
        ASSERT_TRUE(
            recorder.waitFor([&](const Recorder::Log& log) { return echoes(log).size() >= 5; }));
        quiesce(client);

        const Recorder::Log log = recorder.log();
        EXPECT_EQ(echoes(log), (std::vector<std::string>{"message 0", "message 1", "message 2",
                                                         "message 3", "message 4"}));
        EXPECT_EQ(newServer.received().size(), 5u);
        if (scenario == Scenario::disconnectThenConnect) {
            // The user's disconnect is reported unless the new connection came first.
            EXPECT_LE(log.disconnects.size(), 1u);
            for (const Disconnect& disconnect : log.disconnects)
                EXPECT_EQ(disconnect, std::nullopt);
        } else {
            EXPECT_TRUE(log.disconnects.empty()) << "a replaced connection reports nothing";
        }
        if (scenario != Scenario::connectOverRefused) {
            ASSERT_TRUE(LoopbackWebSocketServer::waitUntil(
                [&] { return !oldServer.closeCodes().empty(); }));
            EXPECT_EQ(oldServer.closeCodes(), std::vector<std::uint16_t>{1000});
        }
    }
}

TEST(TarnWebSocketClient, SendsFromFourThreadsArriveInOrderPerThread) {
    LoopbackWebSocketServer server;
    TarnWebSocketClient client;
    Recorder recorder(client);
    ASSERT_TRUE(client.connect(server.url()));

    constexpr int threads = 4;
    constexpr int perThread = 250;
    std::vector<std::thread> senders;
    senders.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([&client, t] {
            for (int i = 0; i < perThread; ++i)
                client.send(std::to_string(t) + ":" + std::to_string(i));
        });
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(recorder.waitForIncoming(threads * perThread));

    // Per sender, the sequence numbers a list shows must be 0, 1, 2, ...
    const auto inOrderPerThread = [](const std::vector<std::string>& payloads) {
        std::map<int, int> next;
        for (const std::string& payload : payloads) {
            const int t = payload[0] - '0';
            int sequence = -1;
            std::from_chars(payload.data() + 2, payload.data() + payload.size(), sequence);
            if (sequence != next[t]++)
                return false;
        }
        return next.size() == threads &&
               std::all_of(next.begin(), next.end(),
                           [](const auto& entry) { return entry.second == perThread; });
    };
    std::vector<std::string> atServer;
    for (const WebSocketMessage& message : server.received())
        atServer.push_back(message.payload);
    const Recorder::Log log = recorder.log();
    EXPECT_TRUE(inOrderPerThread(atServer));
    EXPECT_TRUE(inOrderPerThread(log.payloads(true)));
    EXPECT_TRUE(inOrderPerThread(log.payloads(false)));
    EXPECT_EQ(log.payloads(false), atServer) << "echoes come back in the order the server saw";
}

TEST(TarnWebSocketClient, TextThatIsNoURLLeavesTheOpenConnectionAlone) {
    LoopbackWebSocketServer server;
    TarnWebSocketClient client;
    Recorder recorder(client);
    ASSERT_TRUE(client.connect(server.url()));
    for (const char* notURL : {"", "ws://exa mple.com/", "{{baseURL}}/socket", "ws://host:80/%zz"})
        EXPECT_FALSE(client.connect(notURL)) << notURL;

    client.send("still here");
    ASSERT_TRUE(recorder.waitForIncoming(1));
    EXPECT_EQ(recorder.log().payloads(false), std::vector<std::string>{"still here"});
    EXPECT_TRUE(recorder.log().disconnects.empty());
    EXPECT_EQ(server.upgrades().size(), 1u);
}

TEST(TarnWebSocketClient, DestroyingTheClientMidConversationIsQuiet) {
    LoopbackWebSocketServer server;
    std::atomic<int> callbacks = 0;
    {
        TarnWebSocketClient client;
        client.setOnMessage([&](const WebSocketFrameItem&) { ++callbacks; });
        client.setOnDisconnect([&](const Disconnect&) { ++callbacks; });
        ASSERT_TRUE(client.connect(server.url()));
        for (int i = 0; i < 200; ++i)
            client.send(std::string(1000, 'z'));
    }
    const int afterDestruction = callbacks;
    // The destructor's promise leaves nothing to wait for; a short look
    // afterwards would only catch a callback that broke it.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(callbacks, afterDestruction);
}

// OpenSSL reads SSL_CERT_FILE when the client loads the system's store, so a
// client made inside this scope trusts the test certificate as a system one.
class TrustedCertificateFile {
public:
    explicit TrustedCertificateFile(const ServerCertificate& certificate) {
        const auto path = m_folder.path() / "trusted.pem";
        std::ofstream(path) << certificate.certificatePEM;
        if (const char* previous = std::getenv("SSL_CERT_FILE"))
            m_previous = previous;
        ::setenv("SSL_CERT_FILE", path.c_str(), 1);
    }
    ~TrustedCertificateFile() {
        if (m_previous)
            ::setenv("SSL_CERT_FILE", m_previous->c_str(), 1);
        else
            ::unsetenv("SSL_CERT_FILE");
    }

private:
    tarn::testing::TemporaryFolder m_folder;
    std::optional<std::string> m_previous;
};

TEST(TarnWebSocketClient, SecureConnectionsVerifyTheCertificateAndName) {
    LoopbackWebSocketServer::Options options;
    options.certificate = ServerCertificate::selfSigned({"localhost"}, {});
    LoopbackWebSocketServer server(options);

    struct Case {
        std::string name;
        bool trusted;
        std::string host;
        // Absent: the connection opens and echoes.
        std::optional<std::string> failure;
    };
    const std::vector<Case> cases = {
        {"trusted, name matches", true, "localhost", std::nullopt},
        {"trusted, address not in the certificate", true, "127.0.0.1",
         "The certificate for this server is invalid: IP address mismatch."},
        {"not trusted", false, "localhost",
         "The certificate for this server is invalid: self-signed certificate."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<TrustedCertificateFile> trust;
        if (c.trusted)
            trust.emplace(*options.certificate);
        TarnWebSocketClient client;
        trust.reset();
        Recorder recorder(client);
        const std::size_t upgradesBefore = server.upgrades().size();

        ASSERT_TRUE(client.connect(server.url(c.host)));
        client.send("over TLS");
        if (c.failure) {
            ASSERT_TRUE(recorder.waitForDisconnect());
            EXPECT_EQ(recorder.log().disconnects.front(), c.failure);
            EXPECT_EQ(recorder.log().payloads(false), std::vector<std::string>{});
            EXPECT_EQ(server.upgrades().size(), upgradesBefore);
        } else {
            ASSERT_TRUE(recorder.waitForIncoming(1));
            EXPECT_EQ(recorder.log().payloads(false), std::vector<std::string>{"over TLS"});
            EXPECT_TRUE(recorder.log().disconnects.empty());
            ASSERT_EQ(server.upgrades().size(), upgradesBefore + 1);
            EXPECT_EQ(server.upgrades().back().serverName, "localhost") << "SNI";
        }
    }
}

} // namespace
