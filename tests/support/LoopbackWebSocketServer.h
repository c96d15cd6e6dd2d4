#pragma once

#include "TestCertificates.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::testing {

struct WebSocketMessage {
    bool binary = false;
    std::string payload{};

    friend bool operator==(const WebSocketMessage&, const WebSocketMessage&) = default;
};

// A WebSocket server on 127.0.0.1 and a port of its own, driven by one thread.
// It accepts any number of clients, sends each a scripted greeting, then
// echoes or closes as the options say, and records what it saw. Every
// accessor is safe from any thread.
class LoopbackWebSocketServer {
public:
    struct Options {
        // wss with this certificate; plain ws without.
        std::optional<ServerCertificate> certificate{};
        // Sent to every client as soon as its upgrade is accepted.
        std::vector<WebSocketMessage> greeting{};
        // After the greeting, close the connection with this code.
        std::optional<std::uint16_t> closeWithCode{};
        // Answer every upgrade request with this HTTP status instead.
        std::optional<unsigned> refuseUpgradeWithStatus{};
        // Otherwise every message received is sent back as it came.
        bool echo = true;
    };

    struct Upgrade {
        std::string target;
        std::string host;
        // The TLS server name the client sent (SNI); empty for none or plain ws.
        std::string serverName;
    };

    explicit LoopbackWebSocketServer(Options options);
    LoopbackWebSocketServer() : LoopbackWebSocketServer(Options{}) {}
    ~LoopbackWebSocketServer();
    LoopbackWebSocketServer(const LoopbackWebSocketServer&) = delete;
    LoopbackWebSocketServer& operator=(const LoopbackWebSocketServer&) = delete;

    std::uint16_t port() const;
    // "ws://<host>:<port><path>", or wss with a certificate.
    std::string url(std::string_view host = "127.0.0.1", std::string_view path = "/") const;

    // Upgrade requests accepted, in order.
    std::vector<Upgrade> upgrades() const;
    // Messages from every client, in arrival order.
    std::vector<WebSocketMessage> received() const;
    // The code of every close frame a client sent.
    std::vector<std::uint16_t> closeCodes() const;

    // Polls `condition` until it holds or `timeout` passes; returns whether it held.
    static bool waitUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// A port of 127.0.0.1 where nothing listens.
std::uint16_t refusedLoopbackPort();

} // namespace tarn::testing
