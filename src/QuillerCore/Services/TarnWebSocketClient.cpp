#include "QuillerCore/Services/TarnWebSocketClient.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/TLSTrust.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <thread>
#include <type_traits>
#include <utility>

namespace quiller {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
namespace beast = boost::beast;
namespace http = boost::beast::http;
namespace websocket = boost::beast::websocket;
using tcp = boost::asio::ip::tcp;

namespace {

constexpr std::size_t kMaxMessageBytes = 16 * 1024 * 1024;
constexpr std::size_t kKeptBufferBytes = 1024 * 1024;
// Resolving, connecting and both handshakes together.
constexpr auto kOpenTimeout = std::chrono::seconds(30);
// A peer that never answers our close frame, or never takes the messages
// queued before it, loses the socket after this long.
constexpr auto kCloseTimeout = std::chrono::seconds(5);

// What the user reads after "WebSocket: ". Kept together so the wording stays
// consistent.
std::string decimal(unsigned long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

namespace texts {
constexpr const char* unsupportedURL = "unsupported URL";
constexpr const char* refused = "Could not connect to the server.";
constexpr const char* unknownHost = "A server with the specified hostname could not be found.";
constexpr const char* unreachable = "The server cannot be reached from this network.";
constexpr const char* timedOut = "The request timed out.";
constexpr const char* connectionLost = "The network connection was lost.";
constexpr const char* tooBig = "A message from the server is larger than 16 MiB.";
constexpr const char* protocolViolation = "The server broke the WebSocket protocol.";
constexpr const char* badUpgrade = "The server's answer to the WebSocket upgrade is not valid.";
constexpr const char* secureFailed = "A secure connection to the server could not be made.";

std::string serverClosed(const websocket::close_reason& reason) {
    if (reason.code == websocket::close_code::normal && reason.reason.empty())
        return "The server closed the connection.";
    std::string text = "The server closed the connection (code " + decimal(reason.code);
    if (!reason.reason.empty())
        text += ": " + tarn::text::repairUTF8(
                           std::string_view(reason.reason.data(), reason.reason.size()));
    return text + ").";
}

std::string upgradeRefused(unsigned status) {
    return "The server refused the WebSocket connection (HTTP " + decimal(status) + ").";
}

constexpr const char* closedBeforeUpgrade =
    "The server closed the connection without answering the WebSocket upgrade. If it expects a "
    "secure connection, use a wss URL.";

// No library's name or error number reaches the user: a system error is
// worded in English (strerror would follow the process locale), anything
// else gets the plain sentence.
std::string unknown(const beast::error_code& ec) {
    if (ec.category() == boost::system::system_category())
        return "The operation couldn't be completed: " + tarn::posixErrorText(ec.value()) + ".";
    return "The operation couldn't be completed.";
}
} // namespace texts

std::string describe(const beast::error_code& ec) {
    if (ec == net::error::connection_refused)
        return texts::refused;
    if (ec == net::error::host_not_found || ec == net::error::host_not_found_try_again ||
        ec == net::error::no_data || ec == net::error::service_not_found)
        return texts::unknownHost;
    if (ec == net::error::network_unreachable || ec == net::error::host_unreachable ||
        ec == net::error::network_down)
        return texts::unreachable;
    if (ec == net::error::timed_out || ec == beast::error::timeout)
        return texts::timedOut;
    if (ec == websocket::error::message_too_big)
        return texts::tooBig;
    if (ec == net::error::eof || ec == net::error::connection_reset ||
        ec == net::error::connection_aborted || ec == net::error::broken_pipe ||
        ec == net::error::not_connected || ec == net::ssl::error::stream_truncated ||
        ec == websocket::error::closed)
        return texts::connectionLost;
    if (ec == websocket::condition::protocol_violation)
        return texts::protocolViolation;
    return texts::unknown(ec);
}

// Where a URL leads, in the forms the resolver, TLS and the upgrade request
// want.
struct Endpoint {
    bool secure = false;
    // For the resolver, SNI and the certificate check: an IPv6 literal
    // without its brackets.
    std::string host;
    // The Host header: as written, with the port unless it is the default.
    std::string hostField;
    std::string port;
    // Path and query; the fragment never leaves the client.
    std::string target;
};

std::optional<Endpoint> endpointOf(const tarn::URLComponents& url) {
    if (!url.scheme() || !url.host() || url.host()->empty())
        return std::nullopt;
    Endpoint endpoint;
    const std::string scheme = tarn::ascii::lowercased(*url.scheme());
    if (scheme == "wss" || scheme == "https")
        endpoint.secure = true;
    else if (scheme != "ws" && scheme != "http")
        return std::nullopt;
    const std::string defaultPort = endpoint.secure ? "443" : "80";

    const std::string& host = *url.host();
    if (host.front() == '[') {
        // "[fe80::1%25eth0]" names the zone "eth0".
        std::string literal = host.substr(1, host.size() - 2);
        if (const auto zone = literal.find("%25"); zone != std::string::npos)
            literal.erase(zone + 1, 2);
        endpoint.host = std::move(literal);
    } else {
        endpoint.host = host;
    }
    endpoint.hostField = host;
    endpoint.port = defaultPort;
    if (url.port() && !url.port()->empty()) {
        unsigned number = 0;
        const std::string& text = *url.port();
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size() || number == 0 ||
            number > 65535)
            return std::nullopt;
        endpoint.port = decimal(number);
        if (endpoint.port != defaultPort)
            endpoint.hostField += ":" + endpoint.port;
    }
    endpoint.target = url.path().empty() ? "/" : url.path();
    if (url.query())
        endpoint.target += "?" + *url.query();
    return endpoint;
}

bool isIPAddress(const std::string& host) {
    beast::error_code ec;
    net::ip::make_address(host, ec);
    return !ec;
}

} // namespace

namespace detail {

class Connection;

struct WebSocketClientCore {
    using MessageCallback = TarnWebSocketClient::MessageCallback;
    using DisconnectCallback = TarnWebSocketClient::DisconnectCallback;

    WebSocketClientCore() {
        // Without the trust store every wss connection fails its
        // certificate check, which is reported per connection.
        tarn::TLSTrust::prepareClientContext(tls.native_handle(), {});
        tls.set_verify_mode(ssl::verify_peer);
        SSL_CTX_set_min_proto_version(tls.native_handle(), TLS1_2_VERSION);
        thread = std::thread([this] { io.run(); });
    }

    ~WebSocketClientCore() {
        work.reset();
        io.stop();
        thread.join();
        // Connections close their sockets while the io_context still exists.
        std::lock_guard lock(mutex);
        connection.reset();
    }

    // Network thread only. Both drop the report when `generation` is no longer
    // the current one.
    void report(std::uint64_t generation, bool isOutgoing, std::string payload);
    void reportDisconnect(std::uint64_t generation, std::optional<std::string> text);

    ssl::context tls{ssl::context::tls_client};

    std::mutex mutex;
    // Guarded by mutex. Callbacks are held by shared_ptr so a report can take
    // one under the lock and call it outside.
    std::uint64_t currentGeneration = 0;
    std::shared_ptr<Connection> connection;
    std::shared_ptr<const MessageCallback> onMessage;
    std::shared_ptr<const DisconnectCallback> onDisconnect;

    net::io_context io{1};
    net::executor_work_guard<net::io_context::executor_type> work = net::make_work_guard(io);
    std::thread thread;
};

void WebSocketClientCore::report(std::uint64_t generation, bool isOutgoing, std::string payload) {
    std::shared_ptr<const MessageCallback> callback;
    {
        std::lock_guard lock(mutex);
        if (generation != currentGeneration)
            return;
        callback = onMessage;
    }
    if (!callback || !*callback)
        return;
    WebSocketFrameItem frame;
    frame.isOutgoing = isOutgoing;
    frame.payload = std::move(payload);
    frame.timestamp = std::chrono::system_clock::now();
    (*callback)(frame);
}

void WebSocketClientCore::reportDisconnect(std::uint64_t generation,
                                           std::optional<std::string> text) {
    std::shared_ptr<const DisconnectCallback> callback;
    {
        std::lock_guard lock(mutex);
        if (generation != currentGeneration)
            return;
        callback = onDisconnect;
    }
    if (callback && *callback)
        (*callback)(text);
}

// One connection attempt and, once open, the connection itself. The public
// operations may be called from any thread: they post to the connection's
// strand, which runs everything else.
class Connection {
public:
    explicit Connection(WebSocketClientCore& core) : m_core(core) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    virtual ~Connection() = default;

    virtual void start() = 0;
    virtual void send(std::string text) = 0;
    // Ends the connection, flushing messages already queued; reports it with
    // no text when the user asked and the end was not reported already.
    virtual void close(bool userAsked) = 0;

    // Written once before the connection is published, read on its strand.
    std::uint64_t generation = 0;

protected:
    WebSocketClientCore& m_core;
};

namespace {

template <bool Secure>
class BasicConnection final : public Connection,
                              public std::enable_shared_from_this<BasicConnection<Secure>> {
    using Strand = net::strand<net::io_context::executor_type>;
    using Next =
        std::conditional_t<Secure, beast::ssl_stream<beast::tcp_stream>, beast::tcp_stream>;
    using Stream = websocket::stream<Next>;

public:
    // `refusal` makes a connection that fails as soon as it starts: a URL the
    // client cannot open still replaces the connection before it.
    BasicConnection(WebSocketClientCore& core, Endpoint endpoint,
                    std::optional<std::string> refusal = std::nullopt)
        : Connection(core), m_strand(net::make_strand(core.io)), m_endpoint(std::move(endpoint)),
          m_refusal(std::move(refusal)), m_resolver(m_strand), m_ws(makeStream(m_strand, core)),
          m_deadline(m_strand) {}

    void start() override {
        net::post(m_strand, [self = this->shared_from_this()] { self->open(); });
    }

    void send(std::string text) override {
        net::post(m_strand, [self = this->shared_from_this(), text = std::move(text)]() mutable {
            self->enqueue(std::move(text));
        });
    }

    void close(bool userAsked) override {
        net::post(m_strand,
                  [self = this->shared_from_this(), userAsked] { self->shutDown(userAsked); });
    }

private:
    enum class State { connecting, open, failed, closing, closed };

    static Stream makeStream(const Strand& strand, WebSocketClientCore& core) {
        if constexpr (Secure)
            return Stream(strand, core.tls);
        else
            return Stream(strand);
    }

    template <class Member> auto bound(Member member) {
        return beast::bind_front_handler(member, this->shared_from_this());
    }

    void open() {
        if (m_state != State::connecting)
            return;
        if (m_refusal) {
            fail(*m_refusal);
            return;
        }
        armDeadline(kOpenTimeout);
        m_resolver.async_resolve(m_endpoint.host, m_endpoint.port,
                                 bound(&BasicConnection::resolved));
    }

    void resolved(beast::error_code ec, const tcp::resolver::results_type& results) {
        if (m_state != State::connecting)
            return;
        if (ec)
            return fail(describe(ec));
        beast::get_lowest_layer(m_ws).async_connect(results, bound(&BasicConnection::connected));
    }

    void connected(beast::error_code ec, const tcp::endpoint&) {
        if (m_state != State::connecting)
            return;
        if (ec)
            return fail(describe(ec));
        if constexpr (Secure) {
            SSL* handle = m_ws.next_layer().native_handle();
            const bool byAddress = isIPAddress(m_endpoint.host);
            // RFC 6066 allows only names in SNI.
            if (!byAddress && !SSL_set_tlsext_host_name(handle, m_endpoint.host.c_str()))
                return fail(texts::secureFailed);
            m_ws.next_layer().set_verify_callback(
                [check = ssl::host_name_verification(m_endpoint.host),
                 byAddress](bool preverified, ssl::verify_context& context) mutable {
                    const bool accepted = check(preverified, context);
                    // Leave a reason in the verify result, so the user reads
                    // "hostname mismatch" and not an unspecified failure.
                    if (preverified && !accepted)
                        X509_STORE_CTX_set_error(context.native_handle(),
                                                 byAddress ? X509_V_ERR_IP_ADDRESS_MISMATCH
                                                           : X509_V_ERR_HOSTNAME_MISMATCH);
                    return accepted;
                });
            m_ws.next_layer().async_handshake(ssl::stream_base::client,
                                              bound(&BasicConnection::secured));
        } else {
            upgrade();
        }
    }

    void secured(beast::error_code ec) {
        if (m_state != State::connecting)
            return;
        if (ec) {
            if constexpr (Secure) {
                const long verifyResult = SSL_get_verify_result(m_ws.next_layer().native_handle());
                if (verifyResult != X509_V_OK)
                    return fail(tarn::TLSTrust::invalidCertificateDescription(verifyResult));
            }
            if (ec.category() == net::error::get_ssl_category())
                return fail(texts::secureFailed);
            return fail(describe(ec));
        }
        upgrade();
    }

    void upgrade() {
        m_ws.set_option(websocket::stream_base::decorator([](websocket::request_type& request) {
            request.set(http::field::user_agent,
                        std::string(tarn::buildinfo::productName) + "/" + tarn::buildinfo::version);
        }));
        m_ws.read_message_max(kMaxMessageBytes);
        // One frame per message: some servers handle fragments poorly.
        m_ws.auto_fragment(false);
        // Stays "unknown" unless a whole answer arrives.
        m_response.result(http::status::unknown);
        m_ws.async_handshake(m_response, m_endpoint.hostField, m_endpoint.target,
                             bound(&BasicConnection::upgraded));
    }

    void upgraded(beast::error_code ec) {
        if (m_state != State::connecting)
            return;
        if (ec) {
            if (m_response.result() != http::status::unknown &&
                m_response.result() != http::status::switching_protocols)
                return fail(texts::upgradeRefused(m_response.result_int()));
            if (ec == websocket::condition::handshake_failed)
                return fail(texts::badUpgrade);
            // A TLS server hangs up on the plain-text upgrade request, or
            // answers with bytes that are no HTTP.
            if (ec == http::error::end_of_stream || ec == net::error::eof ||
                ec == net::error::connection_reset)
                return fail(texts::closedBeforeUpgrade);
            if (ec.category() == beast::error_code(http::error::end_of_stream).category())
                return fail(texts::badUpgrade);
            return fail(describe(ec));
        }
        m_response = {};
        m_state = State::open;
        cancelDeadline();
        readNext();
        if (!m_outbox.empty())
            writeNext();
    }

    void readNext() { m_ws.async_read(m_inbox, bound(&BasicConnection::received)); }

    void received(beast::error_code ec, std::size_t) {
        if (m_state != State::open)
            return;
        if (ec == websocket::error::closed)
            return fail(texts::serverClosed(m_ws.reason()));
        if (ec)
            return fail(describe(ec));
        std::string payload = beast::buffers_to_string(m_inbox.data());
        m_inbox.consume(m_inbox.size());
        // One large message must not pin its buffer for the connection's life.
        if (m_inbox.capacity() > kKeptBufferBytes)
            m_inbox.shrink_to_fit();
        if (!m_ws.got_text() && !tarn::text::isValidUTF8(payload))
            payload = "<" + decimal(payload.size()) + " bytes>";
        m_core.report(generation, false, std::move(payload));
        readNext();
    }

    void enqueue(std::string text) {
        switch (m_state) {
        case State::closing:
        case State::closed:
            return;
        case State::failed:
            m_core.report(generation, true, std::move(text));
            m_core.reportDisconnect(generation, m_failure);
            return;
        case State::connecting:
        case State::open:
            m_core.report(generation, true, text);
            m_outbox.push_back(std::move(text));
            if (m_state == State::open && !m_writing)
                writeNext();
            return;
        }
    }

    // One write in flight; the message stays at the front of the outbox until
    // its write completes, because the write reads from it until then.
    void writeNext() {
        m_writing = true;
        m_ws.text(true);
        m_ws.async_write(net::buffer(m_outbox.front()), bound(&BasicConnection::wrote));
    }

    void wrote(beast::error_code ec, std::size_t) {
        m_writing = false;
        if (m_state != State::open && m_state != State::closing) {
            m_outbox.clear();
            return;
        }
        if (ec) {
            if (m_state == State::open)
                return fail(describe(ec));
            return tearDown(State::closed);
        }
        m_outbox.pop_front();
        if (!m_outbox.empty())
            writeNext();
        else if (m_state == State::closing)
            closeHandshake();
    }

    void shutDown(bool userAsked) {
        if (userAsked && (m_state == State::connecting || m_state == State::open))
            m_core.reportDisconnect(generation, std::nullopt);
        switch (m_state) {
        case State::connecting:
        case State::failed:
            return tearDown(State::closed);
        case State::open:
            m_state = State::closing;
            armDeadline(kCloseTimeout);
            if (!m_writing)
                closeHandshake();
            return;
        case State::closing:
        case State::closed:
            return;
        }
    }

    void closeHandshake() {
        m_ws.async_close(websocket::close_code::normal, bound(&BasicConnection::closedCleanly));
    }

    void closedCleanly(beast::error_code) {
        if (m_state == State::closing)
            tearDown(State::closed);
    }

    void fail(std::string text) {
        if (m_state != State::connecting && m_state != State::open)
            return;
        m_failure = std::move(text);
        tearDown(State::failed);
        m_core.reportDisconnect(generation, m_failure);
    }

    void tearDown(State next) {
        m_state = next;
        cancelDeadline();
        m_resolver.cancel();
        beast::get_lowest_layer(m_ws).close();
        if (m_writing)
            m_outbox.erase(std::next(m_outbox.begin()), m_outbox.end());
        else
            m_outbox.clear();
    }

    void armDeadline(std::chrono::steady_clock::duration duration) {
        const std::uint64_t serial = ++m_deadlineSerial;
        m_deadline.expires_after(duration);
        m_deadline.async_wait([self = this->shared_from_this(), serial](beast::error_code ec) {
            // A cancelled or re-armed wait may still complete without error.
            if (!ec && serial == self->m_deadlineSerial)
                self->deadlinePassed();
        });
    }

    void cancelDeadline() {
        ++m_deadlineSerial;
        m_deadline.cancel();
    }

    void deadlinePassed() {
        if (m_state == State::connecting)
            fail(texts::timedOut);
        else if (m_state == State::closing)
            tearDown(State::closed);
    }

    Strand m_strand;
    Endpoint m_endpoint;
    std::optional<std::string> m_refusal;
    tcp::resolver m_resolver;
    Stream m_ws;
    net::steady_timer m_deadline;
    std::uint64_t m_deadlineSerial = 0;
    websocket::response_type m_response;
    beast::flat_buffer m_inbox;
    std::deque<std::string> m_outbox;
    bool m_writing = false;
    State m_state = State::connecting;
    // The text the failure was reported with; repeated for sends after it.
    std::string m_failure;
};

std::shared_ptr<Connection> makeConnection(WebSocketClientCore& core,
                                           const tarn::URLComponents& url) {
    std::optional<Endpoint> endpoint = endpointOf(url);
    if (!endpoint)
        return std::make_shared<BasicConnection<false>>(core, Endpoint{}, texts::unsupportedURL);
    if (endpoint->secure)
        return std::make_shared<BasicConnection<true>>(core, std::move(*endpoint));
    return std::make_shared<BasicConnection<false>>(core, std::move(*endpoint));
}

} // namespace
} // namespace detail

TarnWebSocketClient::TarnWebSocketClient()
    : m_core(std::make_unique<detail::WebSocketClientCore>()) {}

TarnWebSocketClient::~TarnWebSocketClient() = default;

void TarnWebSocketClient::setOnMessage(MessageCallback callback) {
    auto shared = std::make_shared<const MessageCallback>(std::move(callback));
    std::lock_guard lock(m_core->mutex);
    m_core->onMessage = std::move(shared);
}

void TarnWebSocketClient::setOnDisconnect(DisconnectCallback callback) {
    auto shared = std::make_shared<const DisconnectCallback>(std::move(callback));
    std::lock_guard lock(m_core->mutex);
    m_core->onDisconnect = std::move(shared);
}

bool TarnWebSocketClient::connect(std::string_view urlString) {
    const std::optional<tarn::URLComponents> url = tarn::URLComponents::parse(urlString);
    if (!url || !url->string())
        return false;
    std::shared_ptr<detail::Connection> next = detail::makeConnection(*m_core, *url);
    std::shared_ptr<detail::Connection> previous;
    {
        std::lock_guard lock(m_core->mutex);
        next->generation = ++m_core->currentGeneration;
        previous = std::exchange(m_core->connection, next);
    }
    if (previous)
        previous->close(false);
    next->start();
    return true;
}

void TarnWebSocketClient::disconnect() {
    std::shared_ptr<detail::Connection> previous;
    {
        std::lock_guard lock(m_core->mutex);
        previous = std::exchange(m_core->connection, nullptr);
    }
    if (previous)
        previous->close(true);
}

void TarnWebSocketClient::send(std::string text) {
    std::shared_ptr<detail::Connection> current;
    {
        std::lock_guard lock(m_core->mutex);
        current = m_core->connection;
    }
    if (current)
        current->send(std::move(text));
}

} // namespace quiller
