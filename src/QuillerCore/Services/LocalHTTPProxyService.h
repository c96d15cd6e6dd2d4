#pragma once

#include "QuillerCore/Models/RuntimeRecords.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quiller {

// The local HTTP/1.1 mock and capture server. It listens on a TCP port on the
// loopback addresses only, 127.0.0.1 and (where the system has it) ::1, and
// answers each request itself, from the first matching mock route or with a
// JSON echo of what it received; nothing is ever forwarded. One request per connection: the server
// reads the request whole, answers, and closes. Every answered request is logged in the category
// "proxy" and reported to the capture callback.
//
// Threads: every public function may be called from any thread, the capture
// callback included. The server runs its listener, its connections and the
// callback on one private thread, so requests are processed one at a time in
// arrival order. Routes and the port are guarded by a lock that is never held
// while logging, waiting or calling out.
//
// Limits that keep a misbehaving client from holding the server: a request is
// at most 131,072 bytes (more is cut), it must keep arriving (2 s without a
// byte) and be complete within 5 s, and at most 256 connections are open at
// once (further clients wait in the listen queue). When a client stops early
// or runs out of time, what it sent is answered; one that sent nothing is
// closed without an answer, a log line or a capture. After answering, the
// server closes its sending side and reads what the client still sends for a
// moment, so the client gets the answer rather than a reset.
class LocalHTTPProxyService final {
public:
    using ExchangeCapturedCallback = std::function<void(const CapturedProxyExchange&)>;

    static constexpr std::size_t kMaximumRequestBytes = 131072;
    static constexpr std::size_t kMaximumConnections = 256;
    static constexpr std::chrono::milliseconds kIdleTimeout{2000};
    static constexpr std::chrono::milliseconds kRequestTimeout{5000};

    // A stopped server: nothing is opened and no thread is started yet.
    LocalHTTPProxyService();
    // Closes the listener and every connection without a log line, and joins
    // the server's thread. Must not be called from the capture callback.
    ~LocalHTTPProxyService();
    LocalHTTPProxyService(const LocalHTTPProxyService&) = delete;
    LocalHTTPProxyService& operator=(const LocalHTTPProxyService&) = delete;

    // The capture callback, called on the server's thread after each answer.
    // Survives stop and start. An exception it throws is dropped. It may call
    // any function here but the destructor; it must not wait for a thread
    // that is inside start() or stop(), which wait for the server's thread.
    void setOnExchangeCaptured(ExchangeCapturedCallback callback);
    ExchangeCapturedCallback onExchangeCaptured() const;

    // Whether a listener is installed.
    bool isRunning() const;
    // The port in use; 0 when stopped.
    std::uint16_t listeningPort() const;

    // Replaces the rules (kept in the user's order); they apply from the next
    // request on. Allowed at any time, running or not.
    void updateMockRoutes(std::vector<MockRouteRule> routes);

    // Stops a running listener first (with its stop line), then listens on
    // `port` (0: a free port the system chooses) and returns the port in use,
    // logging "Local mock proxy listening on 127.0.0.1:<port>". A port that
    // cannot be bound (in use, not permitted) logs "Local mock proxy failed to
    // bind port <port>: <description>" and throws tarn::PlatformError in the
    // domain "NSPOSIXErrorDomain" with the system's error code; the server is
    // then stopped. When no socket can be made at all the error is thrown
    // without a log line.
    std::uint16_t start(std::uint16_t port);

    // Closes the listener and logs "Local mock proxy stopped (port <port>)";
    // connections already accepted are still answered. Does nothing when
    // stopped. The port is free again when this returns.
    void stop();

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
};

} // namespace quiller
