#include "LoopbackWebSocketServer.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <charconv>
#include <mutex>
#include <thread>
#include <type_traits>

namespace tarn::testing {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
namespace beast = boost::beast;
namespace http = boost::beast::http;
namespace websocket = boost::beast::websocket;
using tcp = boost::asio::ip::tcp;

struct LoopbackWebSocketServer::State {
    explicit State(Options opts) : options(std::move(opts)) {}

    void accept();

    void record(const std::function<void()>& change) {
        std::lock_guard lock(mutex);
        change();
    }

    const Options options;
    // Declared before the io_context: sessions still queued when it goes
    // hold TLS streams made from this context.
    ssl::context tls{ssl::context::tls_server};
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    std::thread thread;

    mutable std::mutex mutex;
    std::vector<Upgrade> upgrades;
    std::vector<WebSocketMessage> received;
    std::vector<std::uint16_t> closeCodes;
};

namespace {

template <bool Secure>
class ServerSession : public std::enable_shared_from_this<ServerSession<Secure>> {
    using Next =
        std::conditional_t<Secure, beast::ssl_stream<beast::tcp_stream>, beast::tcp_stream>;
    using Stream = websocket::stream<Next>;

public:
    ServerSession(LoopbackWebSocketServer::State& server, tcp::socket socket)
        : m_server(server), m_ws(makeStream(server, std::move(socket))) {}

    void run() {
        if constexpr (Secure) {
            m_ws.next_layer().async_handshake(
                ssl::stream_base::server, [self = this->shared_from_this()](beast::error_code ec) {
                    if (!ec)
                        self->readUpgrade();
                });
        } else {
            readUpgrade();
        }
    }

private:
    static Stream makeStream(LoopbackWebSocketServer::State& server, tcp::socket socket) {
        if constexpr (Secure)
            return Stream(std::move(socket), server.tls);
        else
            return Stream(std::move(socket));
    }

    void readUpgrade() {
        http::async_read(m_ws.next_layer(), m_buffer, m_request,
                         [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                             if (!ec)
                                 self->answerUpgrade();
                         });
    }

    void answerUpgrade() {
        const auto& options = m_server.options;
        if (options.refuseUpgradeWithStatus) {
            m_refusal.version(11);
            m_refusal.result(*options.refuseUpgradeWithStatus);
            m_refusal.set(http::field::connection, "close");
            m_refusal.body() = "no upgrade here";
            m_refusal.prepare_payload();
            http::async_write(m_ws.next_layer(), m_refusal,
                              [self = this->shared_from_this()](beast::error_code, std::size_t) {
                                  beast::get_lowest_layer(self->m_ws).close();
                              });
            return;
        }
        LoopbackWebSocketServer::Upgrade upgrade;
        upgrade.target = std::string(m_request.target());
        upgrade.host = std::string(m_request[http::field::host]);
        if constexpr (Secure)
            if (const char* name = SSL_get_servername(m_ws.next_layer().native_handle(),
                                                      TLSEXT_NAMETYPE_host_name))
                upgrade.serverName = name;
        m_ws.read_message_max(64 * 1024 * 1024);
        m_ws.auto_fragment(false);
        m_ws.async_accept(m_request, [self = this->shared_from_this(),
                                      upgrade = std::move(upgrade)](beast::error_code ec) mutable {
            if (ec)
                return;
            self->m_server.record([&] { self->m_server.upgrades.push_back(std::move(upgrade)); });
            self->greet(0);
        });
    }

    void greet(std::size_t index) {
        const auto& options = m_server.options;
        if (index < options.greeting.size()) {
            const WebSocketMessage& message = options.greeting[index];
            m_ws.binary(message.binary);
            m_ws.async_write(net::buffer(message.payload), [self = this->shared_from_this(), index](
                                                               beast::error_code ec, std::size_t) {
                if (!ec)
                    self->greet(index + 1);
            });
        } else if (options.closeWithCode) {
            m_ws.async_close(websocket::close_reason(*options.closeWithCode),
                             [self = this->shared_from_this()](beast::error_code) {});
        } else {
            readNext();
        }
    }

    void readNext() {
        m_buffer.consume(m_buffer.size());
        m_ws.async_read(m_buffer, [self = this->shared_from_this()](
                                      beast::error_code ec, std::size_t) { self->received(ec); });
    }

    void received(beast::error_code ec) {
        if (ec == websocket::error::closed) {
            const std::uint16_t code = m_ws.reason().code;
            m_server.record([&] { m_server.closeCodes.push_back(code); });
        }
        if (ec)
            return;
        m_echo.binary = m_ws.got_binary();
        m_echo.payload = beast::buffers_to_string(m_buffer.data());
        m_server.record([&] { m_server.received.push_back(m_echo); });
        if (!m_server.options.echo)
            return readNext();
        m_ws.binary(m_echo.binary);
        m_ws.async_write(
            net::buffer(m_echo.payload),
            [self = this->shared_from_this()](beast::error_code writeError, std::size_t) {
                if (!writeError)
                    self->readNext();
            });
    }

    LoopbackWebSocketServer::State& m_server;
    Stream m_ws;
    beast::flat_buffer m_buffer;
    http::request<http::string_body> m_request;
    http::response<http::string_body> m_refusal;
    WebSocketMessage m_echo;
};

} // namespace

void LoopbackWebSocketServer::State::accept() {
    acceptor.async_accept(net::make_strand(io), [this](beast::error_code ec, tcp::socket socket) {
        if (ec)
            return;
        if (options.certificate)
            std::make_shared<ServerSession<true>>(*this, std::move(socket))->run();
        else
            std::make_shared<ServerSession<false>>(*this, std::move(socket))->run();
        accept();
    });
}

LoopbackWebSocketServer::LoopbackWebSocketServer(Options options)
    : m_state(std::make_shared<State>(std::move(options))) {
    State& state = *m_state;
    if (state.options.certificate) {
        state.tls.use_certificate_chain(net::buffer(state.options.certificate->certificatePEM));
        state.tls.use_private_key(net::buffer(state.options.certificate->privateKeyPEM),
                                  ssl::context::pem);
    }
    const tcp::endpoint endpoint(net::ip::make_address("127.0.0.1"), 0);
    state.acceptor.open(endpoint.protocol());
    state.acceptor.set_option(net::socket_base::reuse_address(true));
    state.acceptor.bind(endpoint);
    state.acceptor.listen();
    state.accept();
    state.thread = std::thread([&state] { state.io.run(); });
}

LoopbackWebSocketServer::~LoopbackWebSocketServer() {
    m_state->io.stop();
    m_state->thread.join();
}

std::uint16_t LoopbackWebSocketServer::port() const {
    return m_state->acceptor.local_endpoint().port();
}

std::string LoopbackWebSocketServer::url(std::string_view host, std::string_view path) const {
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, port()).ptr;
    return std::string(m_state->options.certificate ? "wss://" : "ws://") + std::string(host) +
           ":" + std::string(digits, end) + std::string(path);
}

std::vector<LoopbackWebSocketServer::Upgrade> LoopbackWebSocketServer::upgrades() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->upgrades;
}

std::vector<WebSocketMessage> LoopbackWebSocketServer::received() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->received;
}

std::vector<std::uint16_t> LoopbackWebSocketServer::closeCodes() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->closeCodes;
}

bool LoopbackWebSocketServer::waitUntil(const std::function<bool()>& condition,
                                        std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::uint16_t refusedLoopbackPort() {
    net::io_context io;
    tcp::acceptor probe(io, tcp::endpoint(net::ip::make_address("127.0.0.1"), 0));
    return probe.local_endpoint().port();
}

} // namespace tarn::testing
