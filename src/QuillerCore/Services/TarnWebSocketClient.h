#pragma once

#include "QuillerCore/Models/RuntimeRecords.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quiller {

namespace detail {
struct WebSocketClientCore;
}

// The one WebSocket connection of the stream console (ws and wss). Every frame
// sent or received is reported as a WebSocketFrameItem, received frames as
// text: a binary message that is not UTF-8 reads "<N bytes>". Messages of up to
// 16 MiB are received; a larger one fails the connection.
//
// Threads: connect, disconnect and send may be called from any thread and
// never block on the network. Both callbacks run on the client's own network
// thread, one at a time, never under a lock of the client, so they may call
// back into it; they must not destroy it and must not throw.
//
// Each connection reports only while it is the current one: after connect()
// replaces it, or after disconnect(), nothing it does later - a failure, a
// late frame - reaches the callbacks, so a new connection is never marked
// disconnected by an old one. A disconnect the user asked for is reported with
// no text; every other end of a connection is reported once, with a text for
// the user.
class TarnWebSocketClient final {
public:
    using MessageCallback = std::function<void(const WebSocketFrameItem&)>;
    // No text for a disconnect the user asked for, else what went wrong.
    using DisconnectCallback = std::function<void(const std::optional<std::string>&)>;

    // Starts the network thread; opens nothing.
    TarnWebSocketClient();
    // Drops the current connection without a closing handshake and waits for
    // the network thread; no callback runs once it returns. Not from a callback.
    ~TarnWebSocketClient();
    TarnWebSocketClient(const TarnWebSocketClient&) = delete;
    TarnWebSocketClient& operator=(const TarnWebSocketClient&) = delete;

    // May be replaced at any time; a callback already running finishes first.
    void setOnMessage(MessageCallback callback);
    void setOnDisconnect(DisconnectCallback callback);

    // False, with nothing changed, when the text is no URL. Otherwise drops the
    // current connection silently, starts a new one and returns true at once; a
    // failure to open it (refused, unknown host, untrusted certificate, refused
    // upgrade, a scheme other than ws, wss, http or https) is reported through
    // the disconnect callback.
    [[nodiscard]] bool connect(std::string_view urlString);
    // Closes the current connection with code 1000 (normal closure) and
    // reports it with no text, unless it had already failed and said so. A
    // second call does nothing.
    void disconnect();
    // Reports the text as an outgoing frame, then sends it as one text message
    // after any sent before it (from this thread: in call order). Sends made
    // while the connection opens wait for it. Without a connection nothing
    // happens; on a connection that has failed, the failure is reported again.
    void send(std::string text);

private:
    std::unique_ptr<detail::WebSocketClientCore> m_core;
};

} // namespace quiller
