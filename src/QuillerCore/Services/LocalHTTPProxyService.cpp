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
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <cerrno>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>

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
// Deadlines of the waiting set that fall this close together are handled by
// one wake-up: under a steady stream of clients each has its own, a few
// microseconds apart, and waking for each would cost two timer system calls
// per request. A client may so be closed this much after its deadline.
constexpr auto kDeadlineGrouping = std::chrono::milliseconds(50);
// Ready connections of the waiting set handled per wake-up.
constexpr int kWaitingBurst = 64;
// Out of descriptors, the pending client stays queued; accepting is retried
// after this pause instead of spinning on a socket that stays readable.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(100);
// Connections accepted per wake-up before other work gets its turn.
constexpr int kAcceptBurst = 64;
// Small: every open connection holds one. Larger requests take a few more reads.
constexpr std::size_t kReadChunkBytes = 4096;

void log(tarn::TarnLogLevel level, const std::string& message) {
    // Looked up once: every answered request logs.
    static tarn::TarnAppLogger& logger =
        tarn::TarnAppLogger::shared(std::string(tarn::buildinfo::productName));
    logger.log(level, kLogCategory, message);
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

class Connection;

// Reads what is waiting on a non-blocking socket into `buffer`: the count, 0
// at the end of input, or -1 with errno set (EAGAIN when nothing is waiting).
ssize_t receiveWaiting(int descriptor, std::span<char> buffer) {
    ssize_t count = 0;
    do {
        count = ::recv(descriptor, buffer.data(), buffer.size(), 0);
    } while (count < 0 && errno == EINTR);
    return count;
}

// Sends as much of `bytes` as the socket takes now; how much that was, or
// nullopt when the connection failed.
std::optional<std::size_t> sendWhatFits(int descriptor, std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count =
            ::send(descriptor, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            return std::nullopt;
        }
    }
    return sent;
}

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
    // What to answer to the request `reader` holds.
    struct PreparedAnswer {
        MockHTTPRequest request;
        MockHTTPResponder::Answer reply;
        std::string bytes;
    };
    PreparedAnswer prepareAnswer(const MockHTTPRequestReader& reader) const;
    // The log line and the capture of an answer whose sending has started.
    void report(const PreparedAnswer& answer) const;

private:
    void ensureThread();
    // Runs `job` on the server's thread and waits for it; runs it at once when
    // called there or when the thread has not started (nothing runs then).
    void runOnServerThread(const std::function<void()>& job);
    void closeListener(const std::shared_ptr<Listener>& listener);
    void waitForConnections(const std::shared_ptr<Listener>& listener);
    void acceptPending(const std::shared_ptr<Listener>& listener);
    void retryAcceptLater(const std::shared_ptr<Listener>& listener);
    // Serves a freshly accepted client: at once when its whole request is
    // already waiting, else through a Connection.
    void serve(int descriptor, tcp protocol);
    // A Connection for `descriptor`, or null (the descriptor closed) when the
    // reactor cannot take it.
    std::shared_ptr<Connection> adopt(int descriptor, tcp protocol);
    void closeServed(int descriptor);

    // The waiting set: accepted clients whose request has not arrived yet, and
    // answered ones being drained. They wait on an epoll instance of the
    // server's own, itself one descriptor in the reactor, so that a client
    // costs one registration and nothing to leave (closing its descriptor
    // takes it out), where a Connection costs three system calls more.
    void startWaiting();
    // Adds `descriptor` to the set; false when it cannot be added.
    bool waitFor(int descriptor, tcp protocol, Clock::time_point arrival);
    void waitUntilReady();
    void onWaitingReady(int descriptor);
    // Answers a request that is whole: at once when the socket takes the answer,
    // then drains in the waiting set (`waiting`: already in it); through a
    // Connection otherwise.
    void answerAtOnce(int descriptor, tcp protocol, const MockHTTPRequestReader& reader,
                      bool waiting);
    // Reads and drops what a drained client sends; false once it should close.
    bool drainWaiting(int descriptor, std::size_t& drained);
    void leaveWaitingAndClose(int descriptor);
    void scheduleDeadline(Clock::time_point deadline, int descriptor, std::uint64_t serial);
    void armDeadlineTimer(Clock::time_point expiry);
    void onDeadlines();

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
    std::array<char, kReadChunkBytes> m_scratch;

    // The waiting set (server thread only once running).
    struct Waiting {
        tcp protocol = tcp::v4();
        bool draining = false;
        std::uint64_t serial = 0; // tells a current deadline from a stale one
        Clock::time_point arrival{};
        std::size_t drained = 0;
    };
    struct Deadline {
        Clock::time_point when;
        int descriptor;
        std::uint64_t serial;
    };
    std::optional<asio::posix::stream_descriptor> m_waitSet;
    std::unordered_map<int, Waiting> m_waiting;
    // Each kind of wait has one length, so each queue is in deadline order.
    std::deque<Deadline> m_requestDeadlines;
    std::deque<Deadline> m_drainDeadlines;
    std::optional<asio::steady_timer> m_deadlineTimer;
    Clock::time_point m_timerExpiry = Clock::time_point::max();
    std::uint64_t m_nextSerial = 0;
};

// One accepted client, from its first byte to the close. Every member is used
// on the server's thread only; handlers hold the connection alive.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(ProxyServer& engine, tcp::socket socket)
        : m_engine(engine), m_socket(std::move(socket)), m_timer(engine.io()),
          m_reader(LocalHTTPProxyService::kMaximumRequestBytes) {}

    // Waits for the rest of a request whose first bytes (if any) `reader`
    // holds; `arrival` is when the client was accepted.
    void continueReading(MockHTTPRequestReader reader, Clock::time_point arrival) {
        m_reader = std::move(reader);
        m_requestDeadline = arrival + LocalHTTPProxyService::kRequestTimeout;
        setDeadline(
            std::min(Clock::now() + LocalHTTPProxyService::kIdleTimeout, m_requestDeadline));
        awaitMore();
    }

    // Sends the rest of an answer the socket did not take at once.
    void finishSending(std::string outgoing, std::size_t alreadySent) {
        m_phase = Phase::answering;
        m_outgoing = std::move(outgoing);
        send(alreadySent);
    }

    // Reads and drops what the client still sends after the answer, until it
    // closes or `deadline`.
    void keepDraining(Clock::time_point deadline, std::size_t drainedBytes) {
        m_phase = Phase::draining;
        m_drainedBytes = drainedBytes;
        setDeadline(deadline);
        drain();
    }

private:
    enum class Phase { reading, answering, draining, closed };

    void awaitMore() {
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
        awaitMore();
    }

    void answer() {
        m_phase = Phase::answering;
        ProxyServer::PreparedAnswer prepared = m_engine.prepareAnswer(m_reader);
        m_outgoing = std::move(prepared.bytes);
        send(0);
        m_engine.report(prepared);
    }

    void send(std::size_t from) {
        setDeadline(Clock::now() + kWriteTimeout);
        asio::async_write(m_socket, asio::buffer(m_outgoing) + from,
                          [self = shared_from_this()](const error_code& error, std::size_t) {
                              self->onAnswerSent(error);
                          });
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
    m_deadlineTimer.emplace(*m_io);
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
    for (const auto& [descriptor, waiting] : m_waiting)
        ::close(descriptor);
    m_waiting.clear();
    m_waitSet.reset();
    m_deadlineTimer.reset();
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
        ++m_openConnections;
        serve(descriptor, listener->protocol);
    }
    waitForConnections(listener);
}

std::shared_ptr<Connection> ProxyServer::adopt(int descriptor, tcp protocol) {
    tcp::socket socket(*m_io);
    error_code error;
    socket.assign(protocol, descriptor, error);
    if (error) {
        closeServed(descriptor);
        return nullptr;
    }
    return std::make_shared<Connection>(*this, std::move(socket));
}

void ProxyServer::closeServed(int descriptor) {
    ::close(descriptor);
    connectionClosed();
}

// A client's whole request is often waiting by the time it is accepted: it is
// answered here and then. Otherwise the client waits in the waiting set for
// its first bytes, and a Connection takes over whatever needs more (a request
// in several pieces, an answer the socket does not take at once). The
// answer, the order of sending, logging and capturing, the closing and every
// deadline are a Connection's.
void ProxyServer::serve(int descriptor, tcp protocol) {
    const Clock::time_point arrival = Clock::now();
    MockHTTPRequestReader reader(LocalHTTPProxyService::kMaximumRequestBytes);
    const ssize_t count = receiveWaiting(
        descriptor,
        std::span(m_scratch.data(), std::min(m_scratch.size(), reader.remainingCapacity())));
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
        closeServed(descriptor); // gone (or failed) without a word: no answer
        return;
    }
    if (count < 0) {
        if (!waitFor(descriptor, protocol, arrival)) {
            if (const auto connection = adopt(descriptor, protocol))
                connection->continueReading(std::move(reader), arrival);
        }
        return;
    }
    if (!reader.append(std::string_view(m_scratch.data(), static_cast<std::size_t>(count)))) {
        if (const auto connection = adopt(descriptor, protocol))
            connection->continueReading(std::move(reader), arrival);
        return;
    }
    answerAtOnce(descriptor, protocol, reader, false);
}

void ProxyServer::answerAtOnce(int descriptor, tcp protocol, const MockHTTPRequestReader& reader,
                               bool waiting) {
    PreparedAnswer prepared = prepareAnswer(reader);
    const std::optional<std::size_t> sent = sendWhatFits(descriptor, prepared.bytes);
    if (sent && *sent < prepared.bytes.size()) {
        // A large answer: the rest goes out as the client reads.
        if (waiting) {
            m_waiting.erase(descriptor);
            ::epoll_ctl(m_waitSet->native_handle(), EPOLL_CTL_DEL, descriptor, nullptr);
        }
        std::string bytes = std::move(prepared.bytes);
        if (const auto connection = adopt(descriptor, protocol))
            connection->finishSending(std::move(bytes), *sent);
        report(prepared);
        return;
    }
    report(prepared);
    if (!sent) {
        if (waiting)
            leaveWaitingAndClose(descriptor);
        else
            closeServed(descriptor);
        return;
    }
    ::shutdown(descriptor, SHUT_WR);
    const auto now = Clock::now();
    if (!waiting && !waitFor(descriptor, protocol, now)) {
        if (const auto connection = adopt(descriptor, protocol))
            connection->keepDraining(now + kDrainTimeout, 0);
        return;
    }
    Waiting& entry = m_waiting.at(descriptor);
    entry.draining = true;
    entry.serial = ++m_nextSerial;
    scheduleDeadline(now + kDrainTimeout, descriptor, entry.serial);
}

void ProxyServer::startWaiting() {
    const int set = ::epoll_create1(EPOLL_CLOEXEC);
    if (set < 0)
        return;
    m_waitSet.emplace(*m_io, set);
    waitUntilReady();
}

bool ProxyServer::waitFor(int descriptor, tcp protocol, Clock::time_point arrival) {
    if (!m_waitSet)
        startWaiting();
    if (!m_waitSet)
        return false;
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.fd = descriptor;
    if (::epoll_ctl(m_waitSet->native_handle(), EPOLL_CTL_ADD, descriptor, &event) != 0)
        return false;
    const std::uint64_t serial = ++m_nextSerial;
    m_waiting[descriptor] = Waiting{protocol, false, serial, arrival, 0};
    // Nothing has come yet: the idle limit ends the wait before the overall one.
    scheduleDeadline(arrival + std::min(LocalHTTPProxyService::kIdleTimeout,
                                        LocalHTTPProxyService::kRequestTimeout),
                     descriptor, serial);
    return true;
}

void ProxyServer::waitUntilReady() {
    m_waitSet->async_wait(
        asio::posix::stream_descriptor::wait_read, [this](const error_code& error) {
            if (error || !m_waitSet)
                return;
            std::array<epoll_event, kWaitingBurst> events{};
            const int count = ::epoll_wait(m_waitSet->native_handle(), events.data(),
                                           static_cast<int>(events.size()), 0);
            for (int i = 0; i < count; ++i)
                onWaitingReady(events[static_cast<std::size_t>(i)].data.fd);
            waitUntilReady();
        });
}

void ProxyServer::onWaitingReady(int descriptor) {
    const auto found = m_waiting.find(descriptor);
    if (found == m_waiting.end())
        return;
    Waiting& waiting = found->second;
    if (waiting.draining) {
        if (!drainWaiting(descriptor, waiting.drained))
            leaveWaitingAndClose(descriptor);
        return;
    }
    MockHTTPRequestReader reader(LocalHTTPProxyService::kMaximumRequestBytes);
    const ssize_t count = receiveWaiting(
        descriptor,
        std::span(m_scratch.data(), std::min(m_scratch.size(), reader.remainingCapacity())));
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    if (count <= 0) {
        leaveWaitingAndClose(descriptor); // gone (or failed) without a word: no answer
        return;
    }
    if (reader.append(std::string_view(m_scratch.data(), static_cast<std::size_t>(count)))) {
        answerAtOnce(descriptor, waiting.protocol, reader, true);
        return;
    }
    const Waiting moved = waiting;
    m_waiting.erase(found);
    ::epoll_ctl(m_waitSet->native_handle(), EPOLL_CTL_DEL, descriptor, nullptr);
    if (const auto connection = adopt(descriptor, moved.protocol))
        connection->continueReading(std::move(reader), moved.arrival);
}

bool ProxyServer::drainWaiting(int descriptor, std::size_t& drained) {
    for (;;) {
        const ssize_t received = receiveWaiting(descriptor, m_scratch);
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (received <= 0)
            return false; // the client closed, or failed
        drained += static_cast<std::size_t>(received);
        if (drained > kMaximumDrainBytes)
            return false;
    }
}

void ProxyServer::leaveWaitingAndClose(int descriptor) {
    m_waiting.erase(descriptor);
    closeServed(descriptor); // closing also takes it out of the epoll set
}

void ProxyServer::scheduleDeadline(Clock::time_point deadline, int descriptor,
                                   std::uint64_t serial) {
    const auto found = m_waiting.find(descriptor);
    const bool draining = found != m_waiting.end() && found->second.draining;
    (draining ? m_drainDeadlines : m_requestDeadlines).push_back({deadline, descriptor, serial});
    if (deadline < m_timerExpiry)
        armDeadlineTimer(deadline);
}

void ProxyServer::armDeadlineTimer(Clock::time_point expiry) {
    m_timerExpiry = expiry;
    m_deadlineTimer->expires_at(expiry);
    m_deadlineTimer->async_wait([this](const error_code& error) {
        if (!error)
            onDeadlines();
    });
}

// A client still waiting at its deadline: one that sent nothing is closed
// without an answer; a drained one is closed.
void ProxyServer::onDeadlines() {
    const auto now = Clock::now();
    m_timerExpiry = Clock::time_point::max();
    for (auto* queue : {&m_requestDeadlines, &m_drainDeadlines}) {
        while (!queue->empty() && queue->front().when <= now) {
            const Deadline due = queue->front();
            queue->pop_front();
            const auto found = m_waiting.find(due.descriptor);
            if (found != m_waiting.end() && found->second.serial == due.serial)
                leaveWaitingAndClose(due.descriptor);
        }
    }
    auto next = Clock::time_point::max();
    for (const auto* queue : {&m_requestDeadlines, &m_drainDeadlines})
        if (!queue->empty())
            next = std::min(next, queue->front().when);
    if (next != Clock::time_point::max())
        armDeadlineTimer(std::max(next, now + kDeadlineGrouping));
}

ProxyServer::PreparedAnswer ProxyServer::prepareAnswer(const MockHTTPRequestReader& reader) const {
    PreparedAnswer prepared;
    prepared.request = parseMockHTTPRequest(reader.request());
    const auto routes = routesSnapshot();
    prepared.reply = MockHTTPResponder::answer(prepared.request, *routes);
    prepared.bytes = MockHTTPResponder::message(prepared.reply);
    return prepared;
}

void ProxyServer::report(const PreparedAnswer& answer) const {
    log(tarn::TarnLogLevel::info, MockHTTPResponder::logMessage(answer.request, answer.reply));
    if (const auto callback = callbackSnapshot()) {
        try {
            (*callback)(MockHTTPResponder::capture(answer.request, answer.reply));
        } catch (...) {
            // The owner's failure must not take the server's thread down.
        }
    }
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
