#include "QuillerCore/Services/LocalHTTPProxyService.h"

#include "QuillerCore/Services/MockHTTPRequestReader.h"
#include "QuillerCore/Services/MockHTTPResponder.h"
#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <array>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <cerrno>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace quiller {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::string_view kLogCategory = "proxy";
constexpr std::string_view kContinueAnswer = "HTTP/1.1 100 Continue\r\n\r\n";
// A client has this long to take the answer.
constexpr auto kWriteTimeout = std::chrono::milliseconds(5000);
// After answering, what the client still sends is read and dropped for a
// short while, so that closing does not reset the connection and make the
// client lose an answer it has not read yet.
constexpr auto kDrainTimeout = std::chrono::milliseconds(1000);
constexpr std::size_t kMaximumDrainBytes = 1 << 20;
// Out of descriptors, the pending client stays queued; accepting is retried
// after this pause instead of spinning on a socket that stays readable.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(100);
// Connections accepted per wake-up before other work gets its turn.
constexpr int kAcceptBurst = 64;
// Small: every open connection holds one. Larger requests take a few more reads.
constexpr std::size_t kReadChunkBytes = 4096;

void log(tarn::TarnLogLevel level, const std::string& message) {
    tarn::TarnAppLogger::shared(tarn::buildinfo::productName).log(level, kLogCategory, message);
}

[[noreturn]] void throwSystemError(int code) {
    tarn::throwPOSIXError(code);
}

std::string portText(std::uint16_t port) {
    return tarn::numbers::formatInteger(port);
}

// One listening socket and its accept loop; the handlers of the loop keep it
// alive. `closed` and the sockets are touched on the server's thread only once
// the loop runs.
struct Listener {
    explicit Listener(asio::io_context& io) : acceptor(io), retryTimer(io) {}

    tcp::acceptor acceptor;
    tcp protocol = tcp::v6();
    asio::steady_timer retryTimer;
    bool closed = false;
};

using ExchangeCapturedCallback = LocalHTTPProxyService::ExchangeCapturedCallback;
constexpr std::size_t kMaximumConnections = LocalHTTPProxyService::kMaximumConnections;

// The server behind LocalHTTPProxyService. Public functions may be called from
// any thread; the ones marked are the server thread's.
class ProxyServer {
public:
    ProxyServer();
    ~ProxyServer();
    ProxyServer(const ProxyServer&) = delete;
    ProxyServer& operator=(const ProxyServer&) = delete;

    void setCallback(ExchangeCapturedCallback callback);
    ExchangeCapturedCallback callback() const;
    bool isRunning() const;
    std::uint16_t listeningPort() const;
    void updateRoutes(std::vector<MockRouteRule> routes);
    std::uint16_t start(std::uint16_t port);
    void stop();

    // Server thread only.
    asio::io_context& io() { return *m_io; }
    std::shared_ptr<const std::vector<MockRouteRule>> routesSnapshot() const;
    std::shared_ptr<const ExchangeCapturedCallback> callbackSnapshot() const;
    void connectionClosed();

private:
    void ensureThread();
    // Runs `job` on the server's thread and waits for it; runs it at once when
    // called there or when the thread has not started (nothing runs then).
    void runOnServerThread(const std::function<void()>& job);
    void closeListener(const std::shared_ptr<Listener>& listener);
    void waitForConnections(const std::shared_ptr<Listener>& listener);
    void acceptPending(const std::shared_ptr<Listener>& listener);
    void retryAcceptLater(const std::shared_ptr<Listener>& listener);

    // Binds `listener` to `address`:`port` and listens; false with `error`
    // set when that fails.
    static bool listenOn(Listener& listener, const asio::ip::address& address, std::uint16_t port,
                         error_code& error);
    void closeListeners(const std::vector<std::shared_ptr<Listener>>& listeners);

    // Guards m_listeners, m_routes and m_activePort; held for loads and stores
    // only.
    mutable std::mutex m_lock;
    // 127.0.0.1 first, then ::1 where the system has it.
    std::vector<std::shared_ptr<Listener>> m_listeners;
    std::shared_ptr<const std::vector<MockRouteRule>> m_routes;
    std::uint16_t m_activePort = 0;

    mutable std::mutex m_callbackLock;
    std::shared_ptr<const ExchangeCapturedCallback> m_callback;

    std::mutex m_threadLock;
    std::unique_ptr<asio::io_context> m_io;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> m_work;
    std::thread m_thread;

    // Server thread only.
    std::size_t m_openConnections = 0;
    std::vector<std::shared_ptr<Listener>> m_pausedListeners;
};

// One accepted client, from its first byte to the close. Every member is used
// on the server's thread only; handlers hold the connection alive.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(ProxyServer& engine, tcp::socket socket)
        : m_engine(engine), m_socket(std::move(socket)), m_timer(engine.io()),
          m_reader(LocalHTTPProxyService::kMaximumRequestBytes) {}

    void start() {
        const auto now = Clock::now();
        m_requestDeadline = now + LocalHTTPProxyService::kRequestTimeout;
        setDeadline(std::min(now + LocalHTTPProxyService::kIdleTimeout, m_requestDeadline));
        read();
    }

private:
    enum class Phase { reading, answering, draining, closed };

    void read() {
        const std::size_t room = std::min(m_buffer.size(), m_reader.remainingCapacity());
        m_socket.async_read_some(
            asio::buffer(m_buffer.data(), room),
            [self = shared_from_this()](const error_code& error, std::size_t count) {
                self->onRead(error, count);
            });
    }

    void onRead(const error_code& error, std::size_t count) {
        if (m_phase != Phase::reading)
            return;
        if (count > 0) {
            if (m_reader.append(std::string_view(m_buffer.data(), count))) {
                answer();
                return;
            }
            // Also re-arms a timer that fired while this read was completing.
            setDeadline(
                std::min(Clock::now() + LocalHTTPProxyService::kIdleTimeout, m_requestDeadline));
        }
        if (error) {
            // End of input, a failure, or the deadline: whatever has come is
            // the request; nothing at all gets no answer.
            if (m_reader.hasData())
                answer();
            else
                close();
            return;
        }
        if (m_reader.expectsContinue()) {
            m_reader.markContinueSent();
            asio::async_write(
                m_socket, asio::buffer(kContinueAnswer.data(), kContinueAnswer.size()),
                [self = shared_from_this()](const error_code& writeError, std::size_t) {
                    if (self->m_phase != Phase::reading)
                        return;
                    if (writeError)
                        self->close();
                    else
                        self->read();
                });
            return;
        }
        read();
    }

    void answer() {
        m_phase = Phase::answering;
        const MockHTTPRequest request = parseMockHTTPRequest(m_reader.request());
        const auto routes = m_engine.routesSnapshot();
        const MockHTTPResponder::Answer reply = MockHTTPResponder::answer(request, *routes);
        m_outgoing = MockHTTPResponder::message(reply);

        setDeadline(Clock::now() + kWriteTimeout);
        asio::async_write(m_socket, asio::buffer(m_outgoing),
                          [self = shared_from_this()](const error_code& error, std::size_t) {
                              self->onAnswerSent(error);
                          });

        log(tarn::TarnLogLevel::info, MockHTTPResponder::logMessage(request, reply));
        if (const auto callback = m_engine.callbackSnapshot()) {
            try {
                (*callback)(MockHTTPResponder::capture(request, reply));
            } catch (...) {
                // The owner's failure must not take the server's thread down.
            }
        }
    }

    void onAnswerSent(const error_code& error) {
        if (m_phase != Phase::answering)
            return;
        if (error) {
            close();
            return;
        }
        error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_send, ignored);
        m_phase = Phase::draining;
        setDeadline(Clock::now() + kDrainTimeout);
        drain();
    }

    void drain() {
        m_socket.async_read_some(
            asio::buffer(m_buffer),
            [self = shared_from_this()](const error_code& error, std::size_t count) {
                if (self->m_phase != Phase::draining)
                    return;
                self->m_drainedBytes += count;
                if (error || self->m_drainedBytes > kMaximumDrainBytes)
                    self->close();
                else
                    self->drain();
            });
    }

    void close() {
        if (m_phase == Phase::closed)
            return;
        m_phase = Phase::closed;
        error_code ignored;
        m_timer.cancel();
        m_socket.close(ignored);
        m_engine.connectionClosed();
    }

    // One timer serves every deadline. Deadlines that move later only update
    // m_deadline (the timer re-checks it when it fires); an earlier one, or
    // one set while no wait is pending, re-arms the timer.
    void setDeadline(Clock::time_point deadline) {
        m_deadline = deadline;
        if (!m_timerArmed || deadline < m_timer.expiry()) {
            m_timer.expires_at(deadline);
            armTimer();
        }
    }

    void armTimer() {
        m_timerArmed = true;
        m_timer.async_wait(
            [self = shared_from_this(), generation = ++m_timerGeneration](const error_code& error) {
                if (generation != self->m_timerGeneration)
                    return; // replaced by a later wait
                self->m_timerArmed = false;
                if (error || self->m_phase == Phase::closed)
                    return;
                if (Clock::now() < self->m_deadline) {
                    self->m_timer.expires_at(self->m_deadline);
                    self->armTimer();
                    return;
                }
                self->onDeadline();
            });
    }

    void onDeadline() {
        if (m_phase == Phase::reading) {
            // The pending read ends with an error and answers what has come.
            error_code ignored;
            m_socket.cancel(ignored);
            return;
        }
        close();
    }

    ProxyServer& m_engine;
    tcp::socket m_socket;
    asio::steady_timer m_timer;
    MockHTTPRequestReader m_reader;
    // Not zeroed: only what a read delivered is ever looked at.
    std::array<char, kReadChunkBytes> m_buffer;
    std::string m_outgoing;
    Phase m_phase = Phase::reading;
    Clock::time_point m_requestDeadline{};
    Clock::time_point m_deadline{};
    bool m_timerArmed = false;
    unsigned m_timerGeneration = 0;
    std::size_t m_drainedBytes = 0;
};

// --- ProxyServer ----------------------------------------------------------------

ProxyServer::ProxyServer()
    : m_routes(std::make_shared<const std::vector<MockRouteRule>>()),
      m_io(std::make_unique<asio::io_context>(1)) {
    m_work.emplace(m_io->get_executor());
}

ProxyServer::~ProxyServer() {
    std::vector<std::shared_ptr<Listener>> listeners;
    {
        const std::lock_guard lock(m_lock);
        listeners = std::move(m_listeners);
        m_activePort = 0;
    }
    m_work.reset();
    m_io->stop();
    {
        const std::lock_guard lock(m_threadLock);
        if (m_thread.joinable())
            m_thread.join();
    }
    listeners.clear();
    m_pausedListeners.clear();
    // Destroys the handlers that are still waiting, and with them every
    // connection and listener they hold; their sockets close.
    m_io.reset();
}

void ProxyServer::setCallback(ExchangeCapturedCallback callback) {
    auto stored =
        callback ? std::make_shared<const ExchangeCapturedCallback>(std::move(callback)) : nullptr;
    const std::lock_guard lock(m_callbackLock);
    m_callback = std::move(stored);
}

ExchangeCapturedCallback ProxyServer::callback() const {
    const auto snapshot = callbackSnapshot();
    return snapshot ? *snapshot : ExchangeCapturedCallback();
}

std::shared_ptr<const ExchangeCapturedCallback> ProxyServer::callbackSnapshot() const {
    const std::lock_guard lock(m_callbackLock);
    return m_callback;
}

bool ProxyServer::isRunning() const {
    const std::lock_guard lock(m_lock);
    return !m_listeners.empty();
}

std::uint16_t ProxyServer::listeningPort() const {
    const std::lock_guard lock(m_lock);
    return m_activePort;
}

void ProxyServer::updateRoutes(std::vector<MockRouteRule> routes) {
    auto snapshot = std::make_shared<const std::vector<MockRouteRule>>(std::move(routes));
    const std::lock_guard lock(m_lock);
    m_routes = std::move(snapshot);
}

// The rules never change in place: a request works on the list that was
// current when it was answered, however the owner edits it meanwhile.
std::shared_ptr<const std::vector<MockRouteRule>> ProxyServer::routesSnapshot() const {
    const std::lock_guard lock(m_lock);
    return m_routes;
}

void ProxyServer::ensureThread() {
    const std::lock_guard lock(m_threadLock);
    if (m_thread.joinable())
        return;
    try {
        m_thread = std::thread([io = m_io.get()] { io->run(); });
    } catch (const std::system_error& error) {
        throw tarn::PlatformError(tarn::kPOSIXErrorDomain, error.code().value(),
                                  std::string("Could not start the server thread: ") +
                                      error.what());
    }
}

void ProxyServer::runOnServerThread(const std::function<void()>& job) {
    bool started = false;
    {
        const std::lock_guard lock(m_threadLock);
        started = m_thread.joinable();
    }
    if (!started || m_io->get_executor().running_in_this_thread()) {
        job();
        return;
    }
    std::promise<void> done;
    asio::post(*m_io, [&job, &done] {
        job();
        done.set_value();
    });
    done.get_future().wait();
}

void ProxyServer::closeListener(const std::shared_ptr<Listener>& listener) {
    runOnServerThread([this, &listener] {
        listener->closed = true;
        error_code ignored;
        listener->acceptor.close(ignored);
        listener->retryTimer.cancel();
        std::erase(m_pausedListeners, listener);
    });
}

void ProxyServer::closeListeners(const std::vector<std::shared_ptr<Listener>>& listeners) {
    for (const auto& listener : listeners)
        closeListener(listener);
}

// A listening socket of `protocol`, or null with errno set when the system
// cannot make one.
std::shared_ptr<Listener> makeListener(asio::io_context& io, tcp protocol) {
    const int descriptor =
        ::socket(protocol.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return nullptr;
    auto listener = std::make_shared<Listener>(io);
    listener->protocol = protocol;
    error_code error;
    listener->acceptor.assign(protocol, descriptor, error);
    if (error) {
        ::close(descriptor);
        errno = error.value();
        return nullptr;
    }
    if (protocol == tcp::v6())
        listener->acceptor.set_option(asio::ip::v6_only(true), error);
    // Lets a restart bind the port while connections of the last run linger.
    listener->acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    return listener;
}

bool ProxyServer::listenOn(Listener& listener, const asio::ip::address& address, std::uint16_t port,
                           error_code& error) {
    error.clear();
    listener.acceptor.bind(tcp::endpoint(address, port), error);
    if (!error)
        listener.acceptor.listen(asio::socket_base::max_listen_connections, error);
    return !error;
}

std::uint16_t ProxyServer::start(std::uint16_t port) {
    stop();
    ensureThread();

    // Loopback only: 127.0.0.1, and ::1 on the same port so that "localhost"
    // reaches the server whichever address a client tries first. Nothing on
    // the network can reach the echo route or take the connection slots.
    // Making the sockets: a failure here leaves the server stopped, unlogged.
    const auto loopbackV4 = asio::ip::make_address_v4("127.0.0.1");
    const auto loopbackV6 = asio::ip::address_v6::loopback();
    // A port the system picked for 127.0.0.1 may be taken on ::1; another pick
    // is tried then.
    constexpr int kAttempts = 8;
    for (int attempt = 1;; ++attempt) {
        auto listener = makeListener(*m_io, tcp::v4());
        if (!listener)
            throwSystemError(errno);
        {
            const std::lock_guard lock(m_lock);
            m_listeners = {listener};
        }
        error_code error;
        if (!listenOn(*listener, loopbackV4, port, error)) {
            stop();
            log(tarn::TarnLogLevel::error, "Local mock proxy failed to bind port " +
                                               portText(port) + ": " +
                                               tarn::posixErrorText(error.value()));
            throwSystemError(error.value());
        }
        const tcp::endpoint bound = listener->acceptor.local_endpoint(error);
        const std::uint16_t boundPort = error ? port : bound.port();

        std::vector<std::shared_ptr<Listener>> listeners{listener};
        if (auto listenerV6 = makeListener(*m_io, tcp::v6())) {
            if (listenOn(*listenerV6, loopbackV6, boundPort, error)) {
                listeners.push_back(std::move(listenerV6));
            } else if (error == asio::error::address_in_use) {
                closeListeners(listeners);
                closeListener(listenerV6);
                if (port == 0 && attempt < kAttempts)
                    continue;
                stop();
                log(tarn::TarnLogLevel::error, "Local mock proxy failed to bind port " +
                                                   portText(port) + ": " +
                                                   tarn::posixErrorText(error.value()));
                throwSystemError(error.value());
            } else {
                // No IPv6 loopback on this system: 127.0.0.1 alone.
                closeListener(listenerV6);
            }
        }

        std::uint16_t activePort = 0;
        {
            const std::lock_guard lock(m_lock);
            // A stop() from another thread meanwhile wins.
            if (!m_listeners.empty() && m_listeners.front() == listener) {
                m_listeners = listeners;
                m_activePort = boundPort;
            }
            activePort = m_activePort;
        }
        for (const auto& each : listeners)
            asio::post(*m_io, [this, each] { waitForConnections(each); });

        log(tarn::TarnLogLevel::info,
            "Local mock proxy listening on 127.0.0.1:" + portText(activePort));
        return activePort;
    }
}

void ProxyServer::stop() {
    std::vector<std::shared_ptr<Listener>> listeners;
    std::uint16_t port = 0;
    {
        const std::lock_guard lock(m_lock);
        listeners = std::move(m_listeners);
        m_listeners.clear();
        port = m_activePort;
        m_activePort = 0;
    }
    if (listeners.empty())
        return;
    closeListeners(listeners);
    log(tarn::TarnLogLevel::info, "Local mock proxy stopped (port " + portText(port) + ")");
}

void ProxyServer::waitForConnections(const std::shared_ptr<Listener>& listener) {
    if (listener->closed)
        return;
    listener->acceptor.async_wait(
        tcp::acceptor::wait_read, [this, listener](const error_code& error) {
            if (listener->closed || error == asio::error::operation_aborted)
                return;
            if (error)
                retryAcceptLater(listener);
            else
                acceptPending(listener);
        });
}

// accept4 rather than the acceptor's own accept: the client socket is made
// close-on-exec atomically, so a child process started meanwhile (the MCP
// inspector) cannot inherit it and keep the connection or port alive.
void ProxyServer::acceptPending(const std::shared_ptr<Listener>& listener) {
    for (int accepted = 0; accepted < kAcceptBurst; ++accepted) {
        if (m_openConnections >= kMaximumConnections) {
            // Further clients wait in the listen queue until a connection ends.
            m_pausedListeners.push_back(listener);
            return;
        }
        const int descriptor = ::accept4(listener->acceptor.native_handle(), nullptr, nullptr,
                                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            retryAcceptLater(listener);
            return;
        }
        tcp::socket socket(*m_io);
        error_code error;
        socket.assign(listener->protocol, descriptor, error);
        if (error) {
            ::close(descriptor);
            continue;
        }
        ++m_openConnections;
        std::make_shared<Connection>(*this, std::move(socket))->start();
    }
    waitForConnections(listener);
}

void ProxyServer::retryAcceptLater(const std::shared_ptr<Listener>& listener) {
    listener->retryTimer.expires_after(kAcceptRetryDelay);
    listener->retryTimer.async_wait([this, listener](const error_code& error) {
        if (!error)
            waitForConnections(listener);
    });
}

void ProxyServer::connectionClosed() {
    --m_openConnections;
    if (m_pausedListeners.empty() || m_openConnections >= kMaximumConnections)
        return;
    const auto paused = std::move(m_pausedListeners);
    m_pausedListeners.clear();
    for (const auto& listener : paused)
        waitForConnections(listener);
}

} // namespace

// --- LocalHTTPProxyService ----------------------------------------------------------

class LocalHTTPProxyService::Engine {
public:
    ProxyServer server;
};

LocalHTTPProxyService::LocalHTTPProxyService() : m_engine(std::make_unique<Engine>()) {}

LocalHTTPProxyService::~LocalHTTPProxyService() = default;

void LocalHTTPProxyService::setOnExchangeCaptured(ExchangeCapturedCallback callback) {
    m_engine->server.setCallback(std::move(callback));
}

LocalHTTPProxyService::ExchangeCapturedCallback LocalHTTPProxyService::onExchangeCaptured() const {
    return m_engine->server.callback();
}

bool LocalHTTPProxyService::isRunning() const {
    return m_engine->server.isRunning();
}

std::uint16_t LocalHTTPProxyService::listeningPort() const {
    return m_engine->server.listeningPort();
}

void LocalHTTPProxyService::updateMockRoutes(std::vector<MockRouteRule> routes) {
    m_engine->server.updateRoutes(std::move(routes));
}

std::uint16_t LocalHTTPProxyService::start(std::uint16_t port) {
    return m_engine->server.start(port);
}

void LocalHTTPProxyService::stop() {
    m_engine->server.stop();
}

} // namespace quiller
