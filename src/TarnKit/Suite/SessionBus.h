#pragma once

// The D-Bus session bus through GDBus: a private connection and a thread of
// our own that runs a private GMainContext for incoming signals. GLib types
// stay inside the source file.
//
// Every member may be called from any thread. Calls that wait for an answer
// (names, process ids, owning a name) are bounded by a short time-out.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class SessionBus {
public:
    // Receives each suite notification as it arrives, on the bus thread.
    using SignalHandler =
        std::function<void(const std::string& name, const std::optional<std::string>& object)>;

    // A connection of our own to the session bus, with `onSignal` receiving
    // the suite's notifications; nothing when there is no session bus.
    static std::unique_ptr<SessionBus> connect(SignalHandler onSignal);

    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    // Stops the thread; no handler call is running or starts afterwards.
    ~SessionBus();

    // Broadcasts a suite notification to every connection of the session
    // (this one included). False for text that is not UTF-8 or a send failure.
    bool emitNotification(std::string_view name, std::optional<std::string_view> object);

    // Owns `name` (without queueing behind another owner) for as long as
    // this connection lives, so that siblings see this application running.
    bool ownName(std::string_view name);
    // Owns this application's bundle identifier: what a running suite
    // application does, so that its siblings find it in the running list.
    bool ownBundleIdentifier();
    std::vector<std::string> listNames();
    std::optional<std::int32_t> processIdOf(std::string_view name);
    // Sends org.freedesktop.Application.Activate to the owner of `name` at
    // the object path derived from it; does not wait for an answer.
    bool activateApplication(std::string_view name);

    // "/com/example/App" for "com.example.App" ('-' becomes '_').
    static std::string objectPathFor(std::string_view busName);

private:
    struct State;
    explicit SessionBus(std::unique_ptr<State> state);

    std::unique_ptr<State> m_state;
};

} // namespace tarn
