// Global hot keys as passive key grabs on an X display. This is the one source
// file that sees X11 headers.
#include "TarnKit/System/TarnGlobalHotkeyManager.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <poll.h>
#include <stop_token>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

// X11 last: its macros (None, True, Status, ...) must not meet other headers.
#include <X11/XF86keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace tarn {
namespace {

// --- Keys ----------------------------------------------------------------------

struct KeyMapping {
    std::uint32_t virtualKeyCode;
    KeySym keySym;
};

// The virtual key codes of the stored descriptors are positions on the
// keyboard; each maps to the X key symbol a US layout puts there. "Delete"
// (0x33) erases backwards, so it is BackSpace, and "help" (0x72) sits where PC
// keyboards have Insert. Modifier keys on their own and keys without a
// counterpart on PC keyboards are absent.
// clang-format off
constexpr KeyMapping keyMappings[] = {
    {0x00, XK_a}, {0x01, XK_s}, {0x02, XK_d}, {0x03, XK_f},
    {0x04, XK_h}, {0x05, XK_g}, {0x06, XK_z}, {0x07, XK_x},
    {0x08, XK_c}, {0x09, XK_v}, {0x0B, XK_b}, {0x0C, XK_q},
    {0x0D, XK_w}, {0x0E, XK_e}, {0x0F, XK_r}, {0x10, XK_y},
    {0x11, XK_t}, {0x12, XK_1}, {0x13, XK_2}, {0x14, XK_3},
    {0x15, XK_4}, {0x16, XK_6}, {0x17, XK_5}, {0x18, XK_equal},
    {0x19, XK_9}, {0x1A, XK_7}, {0x1B, XK_minus}, {0x1C, XK_8},
    {0x1D, XK_0}, {0x1E, XK_bracketright}, {0x1F, XK_o}, {0x20, XK_u},
    {0x21, XK_bracketleft}, {0x22, XK_i}, {0x23, XK_p}, {0x24, XK_Return},
    {0x25, XK_l}, {0x26, XK_j}, {0x27, XK_apostrophe}, {0x28, XK_k},
    {0x29, XK_semicolon}, {0x2A, XK_backslash}, {0x2B, XK_comma}, {0x2C, XK_slash},
    {0x2D, XK_n}, {0x2E, XK_m}, {0x2F, XK_period}, {0x30, XK_Tab},
    {0x31, XK_space}, {0x32, XK_grave}, {0x33, XK_BackSpace}, {0x35, XK_Escape},
    {0x40, XK_F17}, {0x41, XK_KP_Decimal}, {0x43, XK_KP_Multiply}, {0x45, XK_KP_Add},
    {0x48, XF86XK_AudioRaiseVolume}, {0x49, XF86XK_AudioLowerVolume},
    {0x4A, XF86XK_AudioMute}, {0x4B, XK_KP_Divide},
    {0x4C, XK_KP_Enter}, {0x4E, XK_KP_Subtract}, {0x4F, XK_F18}, {0x50, XK_F19},
    {0x51, XK_KP_Equal}, {0x52, XK_KP_0}, {0x53, XK_KP_1}, {0x54, XK_KP_2},
    {0x55, XK_KP_3}, {0x56, XK_KP_4}, {0x57, XK_KP_5}, {0x58, XK_KP_6},
    {0x59, XK_KP_7}, {0x5A, XK_F20}, {0x5B, XK_KP_8}, {0x5C, XK_KP_9},
    {0x60, XK_F5}, {0x61, XK_F6}, {0x62, XK_F7}, {0x63, XK_F3},
    {0x64, XK_F8}, {0x65, XK_F9}, {0x67, XK_F11}, {0x69, XK_F13},
    {0x6A, XK_F16}, {0x6B, XK_F14}, {0x6D, XK_F10}, {0x6F, XK_F12},
    {0x71, XK_F15}, {0x72, XK_Insert}, {0x73, XK_Home}, {0x74, XK_Page_Up},
    {0x75, XK_Delete}, {0x76, XK_F4}, {0x77, XK_End}, {0x78, XK_F2},
    {0x79, XK_Page_Down}, {0x7A, XK_F1}, {0x7B, XK_Left}, {0x7C, XK_Right},
    {0x7D, XK_Down}, {0x7E, XK_Up},
};
// clang-format on

std::optional<KeySym> keySymFor(std::uint32_t virtualKeyCode) {
    for (const KeyMapping& mapping : keyMappings) {
        if (mapping.virtualKeyCode == virtualKeyCode)
            return mapping.keySym;
    }
    return std::nullopt;
}

// Bits of the stored mask without a counterpart (caps lock, the right-hand
// variants) are ignored.
unsigned int modifierMaskFor(std::uint32_t carbonModifiers) {
    unsigned int mask = 0;
    if (carbonModifiers & TarnHotkeyDescriptor::commandFlag)
        mask |= ControlMask;
    if (carbonModifiers & TarnHotkeyDescriptor::shiftFlag)
        mask |= ShiftMask;
    if (carbonModifiers & TarnHotkeyDescriptor::optionFlag)
        mask |= Mod1Mask;
    if (carbonModifiers & TarnHotkeyDescriptor::controlFlag)
        mask |= Mod4Mask;
    return mask;
}

// The modifier bits a key event's state may carry that decide a shortcut;
// mouse buttons and the keyboard group are not among them.
constexpr unsigned int modifierBits =
    ShiftMask | LockMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

// --- Error trap ----------------------------------------------------------------
// Xlib reports protocol errors (a BadAccess for a key another client has
// grabbed) to one process-wide handler, whose default ends the process. While
// a trap is set, errors on its display are recorded instead; errors on any
// other connection go on to the handler that was there before. Traps are
// taken one at a time, so two managers cannot restore each other's handler.

std::mutex trapMutex;
std::atomic<Display*> trappedDisplay{nullptr};
std::atomic<bool> trappedError{false};
std::atomic<XErrorHandler> handlerBeforeTrap{nullptr};

int recordTrappedError(Display* display, XErrorEvent* event) {
    if (display == trappedDisplay.load()) {
        trappedError = true;
        return 0;
    }
    const XErrorHandler previous = handlerBeforeTrap.load();
    return previous != nullptr ? previous(display, event) : 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : m_lock(trapMutex) {
        trappedError = false;
        trappedDisplay = display;
        handlerBeforeTrap = XSetErrorHandler(recordTrappedError);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    ~ErrorTrap() {
        XSetErrorHandler(handlerBeforeTrap.load());
        trappedDisplay = nullptr;
    }

    // Whether the server refused anything sent so far; waits for its answers.
    bool failedAfterSync(Display* display) {
        XSync(display, False);
        return trappedError.load();
    }

private:
    std::unique_lock<std::mutex> m_lock;
};

// --- File descriptors ----------------------------------------------------------

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    ~FileDescriptor() { reset(); }

    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

std::optional<std::string> sessionDisplayName() {
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value != nullptr ? value : "");
    };
    if (!variable("WAYLAND_DISPLAY").empty() || variable("XDG_SESSION_TYPE") == "wayland")
        return std::nullopt;
    const std::string_view display = variable("DISPLAY");
    if (display.empty())
        return std::nullopt;
    return std::string(display);
}

} // namespace

// --- Connection ------------------------------------------------------------------
// Owns the Display and the thread that alone uses it once started. The main
// thread hands it commands through a queue and wakes it through a pipe.

class TarnGlobalHotkeyManager::Connection {
public:
    static std::unique_ptr<Connection> open(const std::string& displayName,
                                            MainExecutor& mainExecutor,
                                            std::weak_ptr<Handlers> handlers);

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Main thread; each waits until the connection's thread has done it.
    bool grab(const TarnHotkeyDescriptor& descriptor, std::uint32_t id);
    void ungrab(std::uint32_t id);

private:
    struct Combination {
        KeyCode keyCode;
        unsigned int modifiers;

        // clang-tidy 14 takes the 0 its defaulted <=> compares against for a null
        // pointer.
        // NOLINTNEXTLINE(modernize-use-nullptr)
        friend auto operator<=>(const Combination&, const Combination&) = default;
    };

    struct Command {
        bool isGrab = false;
        TarnHotkeyDescriptor descriptor{};
        std::uint32_t id = 0;
        std::promise<bool> done{};
    };

    Connection(Display* display, FileDescriptor wakeRead, FileDescriptor wakeWrite,
               MainExecutor& mainExecutor, std::weak_ptr<Handlers> handlers);

    bool submit(Command command);
    void wake();

    // The connection's thread.
    void run(std::stop_token stop);
    void runCommands();
    bool grabOnThread(const TarnHotkeyDescriptor& descriptor, std::uint32_t id);
    void ungrabOnThread(std::uint32_t id);
    void handle(XEvent& event);
    void readNumLockMask();
    std::vector<unsigned int> lockVariants(unsigned int modifiers) const;
    void sendGrabs(const Combination& combination, bool grab);

    Display* m_display;
    FileDescriptor m_wakeRead;
    FileDescriptor m_wakeWrite;
    MainExecutor& m_mainExecutor;
    std::weak_ptr<Handlers> m_handlers;

    std::mutex m_mutex;
    std::deque<Command> m_commands; // guarded by m_mutex
    bool m_stopped = false;         // guarded by m_mutex: nothing takes commands any more

    // The connection's thread only.
    unsigned int m_numLockMask = 0;
    std::map<Combination, std::uint32_t> m_idByCombination;
    std::map<std::uint32_t, Combination> m_combinationByID;
    std::set<KeyCode> m_keysDown;

    std::jthread m_thread; // last: stops and joins before the members above go
};

std::unique_ptr<TarnGlobalHotkeyManager::Connection> TarnGlobalHotkeyManager::Connection::open(
    const std::string& displayName, MainExecutor& mainExecutor, std::weak_ptr<Handlers> handlers) {
    if (displayName.empty())
        return nullptr;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    FileDescriptor wakeRead(fds[0]);
    FileDescriptor wakeWrite(fds[1]);
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr)
        return nullptr;
    return std::unique_ptr<Connection>(new Connection(
        display, std::move(wakeRead), std::move(wakeWrite), mainExecutor, std::move(handlers)));
}

TarnGlobalHotkeyManager::Connection::Connection(Display* display, FileDescriptor wakeRead,
                                                FileDescriptor wakeWrite,
                                                MainExecutor& mainExecutor,
                                                std::weak_ptr<Handlers> handlers)
    : m_display(display), m_wakeRead(std::move(wakeRead)), m_wakeWrite(std::move(wakeWrite)),
      m_mainExecutor(mainExecutor), m_handlers(std::move(handlers)) {
    // Without this, a held key arrives as release-and-press pairs that no
    // one can tell from real presses.
    XkbSetDetectableAutoRepeat(m_display, True, nullptr);
    readNumLockMask();
    m_thread = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
}

TarnGlobalHotkeyManager::Connection::~Connection() {
    m_thread.request_stop();
    wake();
    m_thread.join();
    // Closing the connection releases every grab it holds.
    XCloseDisplay(m_display);
}

bool TarnGlobalHotkeyManager::Connection::grab(const TarnHotkeyDescriptor& descriptor,
                                               std::uint32_t id) {
    return submit(Command{.isGrab = true, .descriptor = descriptor, .id = id, .done = {}});
}

void TarnGlobalHotkeyManager::Connection::ungrab(std::uint32_t id) {
    submit(Command{.isGrab = false, .descriptor = {}, .id = id, .done = {}});
}

bool TarnGlobalHotkeyManager::Connection::submit(Command command) {
    std::future<bool> done = command.done.get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return false;
        m_commands.push_back(std::move(command));
    }
    wake();
    return done.get();
}

void TarnGlobalHotkeyManager::Connection::wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost when this fails.
    while (::write(m_wakeWrite.get(), &byte, 1) < 0 && errno == EINTR) {
    }
}

void TarnGlobalHotkeyManager::Connection::run(std::stop_token stop) {
    while (true) {
        runCommands();
        if (stop.stop_requested())
            break;
        // XPending also sends what is buffered, and reads what has arrived.
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            handle(event);
        }
        std::array<pollfd, 2> watched = {{
            {.fd = ConnectionNumber(m_display), .events = POLLIN, .revents = 0},
            {.fd = m_wakeRead.get(), .events = POLLIN, .revents = 0},
        }};
        if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR)
            break;
        if (watched[1].revents != 0) {
            char bytes[64];
            while (::read(m_wakeRead.get(), bytes, sizeof bytes) > 0) {
            }
        }
    }
    // Answer whatever arrived while stopping, so no caller waits for ever.
    std::lock_guard lock(m_mutex);
    m_stopped = true;
    for (Command& command : m_commands)
        command.done.set_value(false);
    m_commands.clear();
}

void TarnGlobalHotkeyManager::Connection::runCommands() {
    while (true) {
        Command command;
        {
            std::lock_guard lock(m_mutex);
            if (m_commands.empty())
                return;
            command = std::move(m_commands.front());
            m_commands.pop_front();
        }
        if (command.isGrab) {
            command.done.set_value(grabOnThread(command.descriptor, command.id));
        } else {
            ungrabOnThread(command.id);
            command.done.set_value(true);
        }
    }
}

bool TarnGlobalHotkeyManager::Connection::grabOnThread(const TarnHotkeyDescriptor& descriptor,
                                                       std::uint32_t id) {
    const std::optional<KeySym> keySym = keySymFor(descriptor.keyCode);
    if (!keySym)
        return false;
    const KeyCode keyCode = XKeysymToKeycode(m_display, *keySym);
    if (keyCode == 0)
        return false;
    const Combination combination{keyCode, modifierMaskFor(descriptor.carbonModifiers)};
    // The server lets a client grab a combination twice; the second
    // registration would then steal the first one's presses.
    if (m_idByCombination.contains(combination))
        return false;

    ErrorTrap trap(m_display);
    sendGrabs(combination, true);
    if (trap.failedAfterSync(m_display)) {
        // Some lock variants may have been granted before one was refused.
        sendGrabs(combination, false);
        XSync(m_display, False);
        return false;
    }
    m_idByCombination.emplace(combination, id);
    m_combinationByID.emplace(id, combination);
    return true;
}

void TarnGlobalHotkeyManager::Connection::ungrabOnThread(std::uint32_t id) {
    const auto found = m_combinationByID.find(id);
    if (found == m_combinationByID.end())
        return;
    const Combination combination = found->second;
    m_combinationByID.erase(found);
    m_idByCombination.erase(combination);
    ErrorTrap trap(m_display);
    sendGrabs(combination, false);
    (void)trap.failedAfterSync(m_display);
}

void TarnGlobalHotkeyManager::Connection::sendGrabs(const Combination& combination, bool grab) {
    for (int screen = 0; screen < ScreenCount(m_display); ++screen) {
        const Window root = RootWindow(m_display, screen);
        for (const unsigned int modifiers : lockVariants(combination.modifiers)) {
            if (grab)
                XGrabKey(m_display, combination.keyCode, modifiers, root, False, GrabModeAsync,
                         GrabModeAsync);
            else
                XUngrabKey(m_display, combination.keyCode, modifiers, root);
        }
    }
}

// A grab matches the modifier state exactly, so the combination is grabbed
// once for each state of Caps Lock and Num Lock.
std::vector<unsigned int>
TarnGlobalHotkeyManager::Connection::lockVariants(unsigned int modifiers) const {
    std::vector<unsigned int> variants = {modifiers, modifiers | LockMask};
    if (m_numLockMask != 0 && (modifiers & m_numLockMask) == 0) {
        variants.push_back(modifiers | m_numLockMask);
        variants.push_back(modifiers | LockMask | m_numLockMask);
    }
    return variants;
}

// Num Lock is whichever of Mod1..Mod5 the keyboard map gives it, usually Mod2.
void TarnGlobalHotkeyManager::Connection::readNumLockMask() {
    m_numLockMask = 0;
    const KeyCode numLock = XKeysymToKeycode(m_display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(m_display);
    if (map == nullptr)
        return;
    if (numLock != 0) {
        for (int modifier = Mod1MapIndex; modifier <= Mod5MapIndex; ++modifier) {
            for (int key = 0; key < map->max_keypermod; ++key) {
                if (map->modifiermap[modifier * map->max_keypermod + key] == numLock)
                    m_numLockMask = 1u << modifier;
            }
        }
    }
    XFreeModifiermap(map);
}

void TarnGlobalHotkeyManager::Connection::handle(XEvent& event) {
    switch (event.type) {
    case KeyPress: {
        const auto keyCode = static_cast<KeyCode>(event.xkey.keycode);
        const unsigned int modifiers = event.xkey.state & modifierBits & ~LockMask & ~m_numLockMask;
        const auto found = m_idByCombination.find(Combination{keyCode, modifiers});
        // With detectable auto-repeat a held key sends presses without
        // releases: only the first one counts.
        if (found == m_idByCombination.end() || !m_keysDown.insert(keyCode).second)
            return;
        m_mainExecutor.post([handlers = m_handlers, id = found->second] {
            const std::shared_ptr<Handlers> live = handlers.lock();
            if (!live)
                return;
            const auto handler = live->find(id);
            if (handler == live->end() || !handler->second)
                return;
            // A copy: the action may unregister itself while it runs.
            const Action action = handler->second;
            action();
        });
        return;
    }
    case KeyRelease:
        m_keysDown.erase(static_cast<KeyCode>(event.xkey.keycode));
        return;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        if (event.xmapping.request == MappingModifier)
            readNumLockMask();
        return;
    default:
        return;
    }
}

// --- Manager ---------------------------------------------------------------------

TarnGlobalHotkeyManager::TarnGlobalHotkeyManager(MainExecutor& mainExecutor)
    : m_mainExecutor(mainExecutor) {
    if (const std::optional<std::string> displayName = sessionDisplayName())
        open(*displayName);
}

TarnGlobalHotkeyManager::TarnGlobalHotkeyManager(MainExecutor& mainExecutor,
                                                 const std::string& displayName)
    : m_mainExecutor(mainExecutor) {
    open(displayName);
}

TarnGlobalHotkeyManager::~TarnGlobalHotkeyManager() {
    m_connection.reset();
    m_handlers.reset();
}

void TarnGlobalHotkeyManager::open(const std::string& displayName) {
    m_connection = Connection::open(displayName, m_mainExecutor, m_handlers);
}

std::optional<std::uint32_t>
TarnGlobalHotkeyManager::register_(const TarnHotkeyDescriptor& descriptor, Action action) {
    const std::uint32_t id = m_nextID++;
    if (!m_connection || !m_connection->grab(descriptor, id))
        return std::nullopt;
    m_hotKeyRefs.insert(id);
    (*m_handlers)[id] = std::move(action);
    return id;
}

void TarnGlobalHotkeyManager::unregister(std::uint32_t id) {
    if (m_hotKeyRefs.erase(id) > 0 && m_connection)
        m_connection->ungrab(id);
    m_handlers->erase(id);
}

void TarnGlobalHotkeyManager::unregisterAll() {
    if (m_connection) {
        for (const std::uint32_t id : m_hotKeyRefs)
            m_connection->ungrab(id);
    }
    m_hotKeyRefs.clear();
    m_handlers->clear();
}

} // namespace tarn
