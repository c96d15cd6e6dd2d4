#include "support/LoopbackHTTPServer.h"

#include "TarnKit/Platform/ASCII.h"

#include <algorithm>
#include <array>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <condition_variable>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tarn::testing {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

bool sameName(std::string_view a, std::string_view b) {
    return tarn::ascii::equalsIgnoringCase(a, b);
}

bool hasHeader(const HeaderPairs& headers, std::string_view name) {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& field) { return sameName(field.first, name); });
}

std::string reasonPhrase(int status) {
    const auto reason = http::obsolete_reason(static_cast<http::status>(status));
    const std::string text(reason.data(), reason.size());
    return text.empty() || text == "<unknown-status>" ? "Status" : text;
}

std::string hex(std::size_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

} // namespace

// --- ServedRequest -----------------------------------------------------------------

std::string ServedRequest::path() const {
    return target.substr(0, target.find('?'));
}

std::optional<std::string> ServedRequest::header(std::string_view name) const {
    for (const auto& [fieldName, value] : headers)
        if (sameName(fieldName, name))
            return value;
    return std::nullopt;
}

std::size_t ServedRequest::headerCount(std::string_view name) const {
    return static_cast<std::size_t>(
        std::count_if(headers.begin(), headers.end(),
                      [&](const auto& field) { return sameName(field.first, name); }));
}

// --- ScriptedReply -----------------------------------------------------------------

ScriptedReply ScriptedReply::status(int code, std::string body) {
    ScriptedReply reply;
    reply.m_status = code;
    reply.m_body = std::move(body);
    return reply;
}

ScriptedReply ScriptedReply::redirect(int code, std::string location) {
    return status(code).header("Location", std::move(location));
}

ScriptedReply ScriptedReply::raw(std::vector<std::string> pieces, Pause gap) {
    ScriptedReply reply;
    reply.m_framing = Framing::raw;
    reply.m_pieces = std::move(pieces);
    reply.m_gap = gap;
    return reply;
}

ScriptedReply ScriptedReply::silence() {
    ScriptedReply reply;
    reply.m_framing = Framing::silence;
    return reply;
}

ScriptedReply ScriptedReply::takeOver(Takeover takeover) {
    ScriptedReply reply;
    reply.m_framing = Framing::takeover;
    reply.m_takeover = std::move(takeover);
    return reply;
}

ScriptedReply& ScriptedReply::header(std::string name, std::string value) {
    m_headers.emplace_back(std::move(name), std::move(value));
    return *this;
}

ScriptedReply& ScriptedReply::body(std::string bytes) {
    m_body = std::move(bytes);
    return *this;
}

ScriptedReply& ScriptedReply::delayHead(Pause pause) {
    m_headDelay = pause;
    return *this;
}

ScriptedReply& ScriptedReply::trickle(std::size_t bytesPerWrite, Pause gap) {
    m_framing = Framing::trickle;
    m_bytesPerWrite = std::max<std::size_t>(bytesPerWrite, 1);
    m_gap = gap;
    return *this;
}

ScriptedReply& ScriptedReply::chunked(std::vector<std::string> chunks, Pause gap) {
    m_framing = Framing::chunked;
    m_pieces = std::move(chunks);
    m_gap = gap;
    return *this;
}

ScriptedReply& ScriptedReply::untilClose(std::vector<std::string> pieces, Pause gap) {
    m_framing = Framing::untilClose;
    m_pieces = std::move(pieces);
    m_gap = gap;
    return *this;
}

ScriptedReply& ScriptedReply::thenHoldOpen() {
    m_holdOpen = true;
    return *this;
}

ScriptedReply& ScriptedReply::thenClose() {
    m_close = true;
    return *this;
}

ScriptedReply::Ending ScriptedReply::ending() const {
    if (m_holdOpen || m_framing == Framing::silence)
        return Ending::holdOpen;
    if (m_close || m_framing == Framing::untilClose || m_framing == Framing::raw)
        return Ending::close;
    return Ending::keepAlive;
}

std::vector<ScriptedReply::Step> ScriptedReply::script(const ServedRequest& request) const {
    std::vector<Step> steps;
    if (m_framing == Framing::silence || m_framing == Framing::takeover)
        return steps;
    if (m_framing == Framing::raw) {
        for (const std::string& piece : m_pieces)
            steps.push_back({steps.empty() ? m_headDelay : m_gap, piece});
        return steps;
    }

    const bool headOnly = request.method == "HEAD";
    std::string head =
        "HTTP/1.1 " + std::to_string(m_status) + " " + reasonPhrase(m_status) + "\r\n";
    for (const auto& [name, value] : m_headers)
        head += name + ": " + value + "\r\n";
    if (m_framing == Framing::chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (m_framing != Framing::untilClose && !hasHeader(m_headers, "Content-Length"))
        head += "Content-Length: " + std::to_string(m_body.size()) + "\r\n";
    if (ending() == Ending::close)
        head += "Connection: close\r\n";
    head += "\r\n";

    if (m_framing == Framing::length) {
        steps.push_back({m_headDelay, head + (headOnly ? std::string() : m_body)});
        return steps;
    }
    steps.push_back({m_headDelay, head});
    if (headOnly)
        return steps;
    switch (m_framing) {
    case Framing::trickle:
        for (std::size_t at = 0; at < m_body.size(); at += m_bytesPerWrite)
            steps.push_back({m_gap, m_body.substr(at, m_bytesPerWrite)});
        break;
    case Framing::chunked:
        for (const std::string& chunk : m_pieces)
            if (!chunk.empty())
                steps.push_back({m_gap, hex(chunk.size()) + "\r\n" + chunk + "\r\n"});
        if (!m_holdOpen)
            steps.push_back({m_gap, "0\r\n\r\n"});
        break;
    case Framing::untilClose:
        for (const std::string& piece : m_pieces)
            steps.push_back({m_gap, piece});
        break;
    default:
        break;
    }
    return steps;
}

// --- Server ------------------------------------------------------------------------

struct LoopbackHTTPServer::Impl {
    class Session;

    asio::io_context io;
    tcp::acceptor acceptor{io};
    std::uint16_t port = 0;
    std::thread thread;

    mutable std::mutex mutex;
    mutable std::condition_variable requestArrived;
    std::map<std::string, Handler> routes;
    Handler fallback;
    std::vector<ServedRequest> requests;
    std::size_t connections = 0;
    std::vector<std::thread> takeoverThreads;
    std::set<int> takeoverDescriptors;
    bool stopping = false;

    Handler handlerFor(const std::string& path) const {
        std::lock_guard lock(mutex);
        if (auto found = routes.find(path); found != routes.end())
            return found->second;
        if (fallback)
            return fallback;
        return [](const ServedRequest&) { return ScriptedReply::status(404); };
    }

    std::size_t nextConnection() {
        std::lock_guard lock(mutex);
        return connections++;
    }

    void record(const ServedRequest& request) {
        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
        }
        requestArrived.notify_all();
    }

    void startTakeover(int fd, ServedRequest request, std::string leftover,
                       ScriptedReply::Takeover takeover) {
        std::lock_guard lock(mutex);
        if (stopping) {
            ::close(fd);
            return;
        }
        takeoverDescriptors.insert(fd);
        takeoverThreads.emplace_back([this, fd, request = std::move(request),
                                      leftover = std::move(leftover),
                                      takeover = std::move(takeover)]() mutable {
            takeover(fd, request, std::move(leftover));
            std::lock_guard innerLock(mutex);
            takeoverDescriptors.erase(fd);
            ::close(fd);
        });
    }

    void accept();
};

class LoopbackHTTPServer::Impl::Session : public std::enable_shared_from_this<Session> {
public:
    Session(Impl& server, tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_timer(m_socket.get_executor()),
          m_connection(server.nextConnection()) {}

    void readRequest() {
        m_parser.emplace();
        m_parser->body_limit(256 * 1024 * 1024);
        m_parser->header_limit(1024 * 1024);
        http::async_read(m_socket, m_buffer, *m_parser,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             if (!error)
                                 self->answer();
                         });
    }

private:
    void answer() {
        const auto& message = m_parser->get();
        ServedRequest request;
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        for (const auto& field : message)
            request.headers.emplace_back(std::string(field.name_string()),
                                         std::string(field.value()));
        request.body = message.body();
        request.connection = m_connection;
        m_keepAlive = message.keep_alive();
        m_server.record(request);

        m_reply = m_server.handlerFor(request.path())(request);
        if (m_reply.m_framing == ScriptedReply::Framing::takeover) {
            takeOver(std::move(request));
            return;
        }
        m_steps = m_reply.script(request);
        m_next = 0;
        writeNext();
    }

    void takeOver(ServedRequest request) {
        beast::error_code ignored;
        // The duplicate shares Asio's non-blocking flag; a takeover expects
        // plain blocking calls.
        const int fd = ::dup(m_socket.native_handle());
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        std::string leftover = beast::buffers_to_string(m_buffer.data());
        m_socket.close(ignored);
        if (fd >= 0)
            m_server.startTakeover(fd, std::move(request), std::move(leftover), m_reply.m_takeover);
    }

    void writeNext() {
        if (m_next == m_steps.size()) {
            finish();
            return;
        }
        const auto pause = m_steps[m_next].pauseBefore;
        if (pause.count() <= 0) {
            write();
            return;
        }
        m_timer.expires_after(pause);
        m_timer.async_wait([self = shared_from_this()](beast::error_code error) {
            if (!error)
                self->write();
        });
    }

    void write() {
        asio::async_write(m_socket, asio::buffer(m_steps[m_next].bytes),
                          [self = shared_from_this()](beast::error_code error, std::size_t) {
                              if (error)
                                  return;
                              ++self->m_next;
                              self->writeNext();
                          });
    }

    void finish() {
        beast::error_code ignored;
        switch (m_reply.ending()) {
        case ScriptedReply::Ending::keepAlive:
            if (m_keepAlive) {
                readRequest();
                return;
            }
            [[fallthrough]];
        case ScriptedReply::Ending::close:
            m_socket.shutdown(tcp::socket::shutdown_send, ignored);
            drain();
            return;
        case ScriptedReply::Ending::holdOpen:
            drain();
            return;
        }
    }

    // Keeps the session (and so the connection) alive, discarding whatever
    // arrives, until the peer closes or the server stops.
    void drain() {
        m_socket.async_read_some(asio::buffer(m_scratch),
                                 [self = shared_from_this()](beast::error_code error, std::size_t) {
                                     if (!error)
                                         self->drain();
                                 });
    }

    Impl& m_server;
    tcp::socket m_socket;
    asio::steady_timer m_timer;
    std::size_t m_connection;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    bool m_keepAlive = true;
    ScriptedReply m_reply;
    std::vector<ScriptedReply::Step> m_steps;
    std::size_t m_next = 0;
    std::array<char, 4096> m_scratch{};
};

void LoopbackHTTPServer::Impl::accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error)
            return;
        socket.set_option(tcp::no_delay(true));
        std::make_shared<Session>(*this, std::move(socket))->readRequest();
        accept();
    });
}

LoopbackHTTPServer::LoopbackHTTPServer() : m_impl(std::make_unique<Impl>()) {
    const tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), 0);
    m_impl->acceptor.open(endpoint.protocol());
    m_impl->acceptor.set_option(tcp::acceptor::reuse_address(true));
    m_impl->acceptor.bind(endpoint);
    m_impl->acceptor.listen();
    m_impl->port = m_impl->acceptor.local_endpoint().port();
    m_impl->accept();
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->io.run(); });
}

LoopbackHTTPServer::~LoopbackHTTPServer() {
    m_impl->io.stop();
    m_impl->thread.join();
    std::vector<std::thread> takeovers;
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
        for (int fd : m_impl->takeoverDescriptors)
            ::shutdown(fd, SHUT_RDWR);
        takeovers.swap(m_impl->takeoverThreads);
    }
    for (std::thread& thread : takeovers)
        thread.join();
    // Destroying the io_context destroys the sessions its queue still holds,
    // which closes their connections.
}

std::uint16_t LoopbackHTTPServer::port() const {
    return m_impl->port;
}

std::string LoopbackHTTPServer::url(std::string_view pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(m_impl->port) + std::string(pathAndQuery);
}

void LoopbackHTTPServer::route(std::string path, ScriptedReply reply) {
    route(std::move(path), [reply = std::move(reply)](const ServedRequest&) { return reply; });
}

void LoopbackHTTPServer::route(std::string path, Handler handler) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->routes[std::move(path)] = std::move(handler);
}

void LoopbackHTTPServer::setFallback(Handler handler) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->fallback = std::move(handler);
}

std::vector<ServedRequest> LoopbackHTTPServer::requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

std::size_t LoopbackHTTPServer::connectionCount() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->connections;
}

bool LoopbackHTTPServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->requestArrived.wait_for(lock, limit,
                                           [&] { return m_impl->requests.size() >= count; });
}

std::uint16_t closedLoopbackPort() {
    asio::io_context io;
    tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
    return acceptor.local_endpoint().port();
}

} // namespace tarn::testing
