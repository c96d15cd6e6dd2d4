#pragma once

// An HTTPS server on 127.0.0.1 for tests and benchmarks of certificate
// checks and TLS timings: it speaks TLS only, answers every request with the
// same bytes and closes the connection. A client that refuses the
// certificate, or talks to it in plain text, only sees the connection end.
// Needs no GoogleTest.
//
// One thread of its own runs from construction until destruction; every
// accessor is safe from any thread.

#include "TestCertificates.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarn::testing {

class LoopbackTLSServer {
public:
    // Answers every request with "200 OK" and `body`.
    explicit LoopbackTLSServer(const ServerCertificate& certificate, std::string body = "secure");
    ~LoopbackTLSServer();
    LoopbackTLSServer(const LoopbackTLSServer&) = delete;
    LoopbackTLSServer& operator=(const LoopbackTLSServer&) = delete;

    std::uint16_t port() const;
    // "https://<host>:<port><path>".
    std::string url(std::string_view host = "127.0.0.1", std::string_view path = "/") const;
    // Requests answered so far (each after a completed handshake).
    std::size_t answered() const;
    // Handshakes that resumed an earlier TLS session instead of making one.
    std::size_t resumedSessions() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace tarn::testing
