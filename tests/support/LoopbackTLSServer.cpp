#include "LoopbackTLSServer.h"

#include <atomic>
#include <boost/asio/buffer.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>
#include <thread>

namespace tarn::testing {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
using tcp = boost::asio::ip::tcp;
using boost::system::error_code;

// Handlers hold the state by plain pointer: they are destroyed with the
// io_context, which the state owns.
struct LoopbackTLSServer::State {
    void accept();

    std::string response;
    // Declared before the io_context: streams still queued when it goes are
    // made from this context.
    ssl::context tls{ssl::context::tls_server};
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    std::thread thread;
    std::atomic<std::size_t> answered = 0;
    std::atomic<std::size_t> resumed = 0;
};

namespace {

// One connection: handshake, read the request head, answer, close.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(LoopbackTLSServer::State& state, tcp::socket socket)
        : m_state(state), m_stream(std::move(socket), state.tls) {}

    void start() {
        m_stream.async_handshake(ssl::stream_base::server,
                                 [self = shared_from_this()](const error_code& ec) {
                                     if (ec)
                                         return;
                                     if (SSL_session_reused(self->m_stream.native_handle()))
                                         ++self->m_state.resumed;
                                     self->readHead();
                                 });
    }

private:
    void readHead() {
        net::async_read_until(m_stream, m_request, "\r\n\r\n",
                              [self = shared_from_this()](const error_code& ec, std::size_t) {
                                  if (!ec)
                                      self->answer();
                              });
    }

    // Counted before the answer goes out: a client may read it, and its test
    // look at the count, before the write's completion runs here.
    void answer() {
        ++m_state.answered;
        net::async_write(m_stream, net::buffer(m_state.response),
                         [self = shared_from_this()](const error_code& ec, std::size_t) {
                             if (!ec)
                                 self->m_stream.async_shutdown([self](const error_code&) {});
                         });
    }

    LoopbackTLSServer::State& m_state;
    ssl::stream<tcp::socket> m_stream;
    net::streambuf m_request{64 * 1024};
};

} // namespace

void LoopbackTLSServer::State::accept() {
    acceptor.async_accept([this](const error_code& ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted)
            return;
        if (!ec)
            std::make_shared<Session>(*this, std::move(socket))->start();
        accept();
    });
}

LoopbackTLSServer::LoopbackTLSServer(const ServerCertificate& certificate, std::string body)
    : m_state(std::make_shared<State>()) {
    m_state->response = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    m_state->tls.use_certificate_chain(net::buffer(certificate.certificatePEM));
    m_state->tls.use_private_key(net::buffer(certificate.privateKeyPEM), ssl::context::pem);
    const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), 0);
    m_state->acceptor.open(endpoint.protocol());
    m_state->acceptor.bind(endpoint);
    m_state->acceptor.listen();
    m_state->accept();
    m_state->thread = std::thread([state = m_state.get()] { state->io.run(); });
}

LoopbackTLSServer::~LoopbackTLSServer() {
    m_state->io.stop();
    m_state->thread.join();
}

std::uint16_t LoopbackTLSServer::port() const {
    return m_state->acceptor.local_endpoint().port();
}

std::string LoopbackTLSServer::url(std::string_view host, std::string_view path) const {
    return "https://" + std::string(host) + ":" + std::to_string(port()) + std::string(path);
}

std::size_t LoopbackTLSServer::answered() const {
    return m_state->answered;
}

std::size_t LoopbackTLSServer::resumedSessions() const {
    return m_state->resumed;
}

} // namespace tarn::testing
