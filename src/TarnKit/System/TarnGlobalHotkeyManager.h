#pragma once

#include "TarnKit/Platform/Executors.h"
#include "TarnKit/System/TarnHotkeyDescriptor.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace tarn {

// System-wide keyboard shortcuts that reach the application even when it is
// not frontmost. Each press of a registered shortcut runs its action on the
// main thread, posted through the main executor after the press was read.
//
// The shortcuts are passive key grabs on the root windows of an X display,
// made and watched on a connection and a thread of the manager's own. Keys
// map from the virtual key codes of TarnHotkeyDescriptor to X key symbols
// (letters, digits, punctuation, Return, Tab, Space, Delete, Escape, F1 to
// F20, the keypad, the navigation keys and the volume keys); modifiers map
// command to Control, shift to Shift, option to Alt (Mod1) and control to
// Super (Mod4). A shortcut fires whatever the state of Caps Lock and Num Lock,
// and once per press: holding the keys down does not repeat it.
//
// Without an X display, and in a Wayland session (where X clients cannot
// watch the keyboard globally), every registration fails.
//
// Threads: construct, call and destroy the manager on the main thread, the
// one that runs the main executor's jobs; the executor must outlive it.
class TarnGlobalHotkeyManager {
public:
    using Action = std::function<void()>;

    // Watches the X display named by $DISPLAY, unless the session is a
    // Wayland one ($WAYLAND_DISPLAY set or $XDG_SESSION_TYPE "wayland").
    explicit TarnGlobalHotkeyManager(MainExecutor& mainExecutor);
    // Watches the X display `displayName` (":1", "host:0.0"); an empty name or
    // a display that cannot be opened leaves the manager without one.
    TarnGlobalHotkeyManager(MainExecutor& mainExecutor, const std::string& displayName);

    TarnGlobalHotkeyManager(const TarnGlobalHotkeyManager&) = delete;
    TarnGlobalHotkeyManager& operator=(const TarnGlobalHotkeyManager&) = delete;

    // Releases every grab and stops the thread before anything else goes;
    // presses already posted to the main executor then run nothing.
    ~TarnGlobalHotkeyManager();

    // Grabs the shortcut and returns its identifier: 1 for the first
    // registration, then one more each time. The identifier is used up even
    // when the registration fails, so identifiers are never reused. nullopt
    // when there is no display, the key code has no key on the keyboard, the
    // shortcut is already held (by another X client or by this manager), or
    // the X server refuses the grab. Blocks for one round trip to the server.
    std::optional<std::uint32_t> register_(const TarnHotkeyDescriptor& descriptor, Action action);

    // Releases one shortcut; an identifier not registered is ignored. A press
    // of it already posted to the main executor then runs nothing.
    void unregister(std::uint32_t id);

    // Releases every shortcut. Identifiers continue where they were.
    void unregisterAll();

private:
    class Connection;
    using Handlers = std::map<std::uint32_t, Action>;

    void open(const std::string& displayName);

    MainExecutor& m_mainExecutor;
    std::uint32_t m_nextID = 1;
    // Identifiers whose grab is live on the connection.
    std::set<std::uint32_t> m_hotKeyRefs;
    // Read and written on the main thread only; the connection's thread holds
    // a weak reference that it passes, unopened, to the jobs it posts.
    std::shared_ptr<Handlers> m_handlers = std::make_shared<Handlers>();
    std::unique_ptr<Connection> m_connection; // null without an X display
};

} // namespace tarn
