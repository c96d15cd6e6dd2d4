#pragma once

// A scriptable HTTP/1.1 server on 127.0.0.1 for tests that need a real peer:
// each answer is a small script of writes and pauses, so a test can hold back
// the first byte, trickle a body, send it chunked or in awkward pieces, answer
// with a redirect, stay silent, or take the connection over for another
// protocol.
//
// The server runs its own thread (one Asio io_context) from construction until
// destruction; routes may be changed and records read from any thread while it
// runs. Handlers run on the server's thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn::testing {

using HeaderPairs = std::vector<std::pair<std::string, std::string>>;

// One request as the server read it.
struct ServedRequest {
    std::string method;
    // The request target as sent ("/path?query").
    std::string target;
    // As received, in order, each name as spelled by the client.
    HeaderPairs headers;
    std::string body;
    // 0 for the first connection the server accepted, 1 for the next, ...
    std::size_t connection = 0;

    // The target without its query.
    std::string path() const;
    // The value of the first field named `name` in any letter case.
    std::optional<std::string> header(std::string_view name) const;
    // How many fields are named `name` in any letter case.
    std::size_t headerCount(std::string_view name) const;
};

// How the server answers one request. Build one with a factory, refine it with
// the chained setters; a reply is a value and may be reused for many requests.
class ScriptedReply {
public:
    using Pause = std::chrono::milliseconds;
    // Gets the connection as a connected, blocking file descriptor right
    // after the request was read, plus any bytes the client sent after it.
    // Runs on a thread of its own, so it may block; the server closes the
    // descriptor when it returns, and shuts it down when the server goes away
    // first, so blocking reads end then.
    using Takeover = std::function<void(int fd, const ServedRequest&, std::string leftover)>;

    // A status line, the headers, a Content-Length and the body (omitted for
    // HEAD), written at once.
    static ScriptedReply status(int code, std::string body = {});
    // A redirect to `location` with an empty body.
    static ScriptedReply redirect(int code, std::string location);
    // The bytes exactly as given, one write per piece with `gap` between
    // them, then the connection closes. Nothing is added: the pieces carry the
    // head as well.
    static ScriptedReply raw(std::vector<std::string> pieces, Pause gap = Pause{0});
    // Reads the request and never answers; the connection stays open until
    // the client or the server goes away.
    static ScriptedReply silence();
    static ScriptedReply takeOver(Takeover takeover);

    ScriptedReply& header(std::string name, std::string value);
    ScriptedReply& body(std::string bytes);
    // Waits this long before the first byte of the answer.
    ScriptedReply& delayHead(Pause pause);
    // Writes the body `bytesPerWrite` at a time with `gap` before each piece.
    ScriptedReply& trickle(std::size_t bytesPerWrite, Pause gap);
    // Sends the body as these chunks (Transfer-Encoding: chunked), with `gap`
    // before each one and before the last, empty chunk.
    ScriptedReply& chunked(std::vector<std::string> chunks, Pause gap = Pause{0});
    // Sends the body as these pieces with no length: the end of the body is
    // the close of the connection (the framing of an event stream).
    ScriptedReply& untilClose(std::vector<std::string> pieces, Pause gap = Pause{0});
    // After the script, keeps the connection open and quiet instead of ending
    // the body or waiting for the next request.
    ScriptedReply& thenHoldOpen();
    // Closes the connection after the answer ("Connection: close").
    ScriptedReply& thenClose();

private:
    friend class LoopbackHTTPServer;

    enum class Framing { length, trickle, chunked, untilClose, raw, silence, takeover };
    enum class Ending { keepAlive, close, holdOpen };

    struct Step {
        Pause pauseBefore{0};
        std::string bytes;
    };

    // The writes that answer `request`, and what happens after them.
    std::vector<Step> script(const ServedRequest& request) const;
    Ending ending() const;

    int m_status = 200;
    HeaderPairs m_headers;
    std::string m_body;
    Pause m_headDelay{0};
    Framing m_framing = Framing::length;
    std::size_t m_bytesPerWrite = 1;
    Pause m_gap{0};
    std::vector<std::string> m_pieces;
    bool m_close = false;
    bool m_holdOpen = false;
    Takeover m_takeover;
};

class LoopbackHTTPServer {
public:
    using Handler = std::function<ScriptedReply(const ServedRequest&)>;

    // Listens on 127.0.0.1 on a port the system picks. Unrouted requests get
    // 404 with an empty body.
    LoopbackHTTPServer();
    // Closes every connection and stops the thread; a takeover thread is
    // joined, so it must end once its peer goes away.
    ~LoopbackHTTPServer();
    LoopbackHTTPServer(const LoopbackHTTPServer&) = delete;
    LoopbackHTTPServer& operator=(const LoopbackHTTPServer&) = delete;

    std::uint16_t port() const;
    // "http://127.0.0.1:<port>" followed by `pathAndQuery`.
    std::string url(std::string_view pathAndQuery = "/") const;

    // Answers requests whose path (target without query) is exactly `path`,
    // whatever the method. A later route for the same path replaces it.
    void route(std::string path, ScriptedReply reply);
    void route(std::string path, Handler handler);
    // Answers requests that no route takes.
    void setFallback(Handler handler);

    // Every request read so far, in order.
    std::vector<ServedRequest> requests() const;
    std::size_t connectionCount() const;
    // Blocks until `count` requests were read or `limit` passed; true when
    // they were.
    bool waitForRequests(std::size_t count,
                         std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A port on 127.0.0.1 on which nothing listens (one the system just handed out
// and took back), for tests of refused connections.
std::uint16_t closedLoopbackPort();

} // namespace tarn::testing
