// These tests drive a real X display: scripts/with-session starts Xvfb and sets
// DISPLAY. Key presses are synthesised with XTest on a connection of the
// test's own, which also plays the other application holding a shortcut.
#include "TarnKit/System/TarnGlobalHotkeyManager.h"
#include "support/ManualExecutors.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// X11 last: its macros (None, True, Status, ...) must not meet other headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace tarn {
namespace {

using namespace std::chrono_literals;
using testing::ManualMainExecutor;

constexpr std::uint32_t spaceKey = 0x31;
constexpr std::uint32_t aKey = 0x00;
constexpr std::uint32_t returnKey = 0x24;
constexpr std::uint32_t f1Key = 0x7A;
constexpr std::uint32_t escapeKey = 0x35;
constexpr std::uint32_t leftArrowKey = 0x7B;

const TarnHotkeyDescriptor ctrlShiftSpace{.keyCode = spaceKey,
                                          .carbonModifiers = TarnHotkeyDescriptor::cmdShiftFlag};
const TarnHotkeyDescriptor ctrlShiftReturn{.keyCode = returnKey,
                                           .carbonModifiers = TarnHotkeyDescriptor::cmdShiftFlag};

// Protocol errors of the test's own connection, recorded instead of ending
// the process.
bool clientErrorSeen = false;
int recordClientError(Display*, XErrorEvent*) {
    clientErrorSeen = true;
    return 0;
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_saved = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        if (m_saved)
            ::setenv(m_name.c_str(), m_saved->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

class TarnGlobalHotkeyManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        ASSERT_TRUE(display != nullptr && *display != '\0')
            << "The global hot-key tests need an X display with XTest: run them under "
               "scripts/with-session, which starts Xvfb and sets DISPLAY.";
        m_displayName = display;
        // An X server resets when its last client leaves, as the previous
        // test's did, and turns connections away while it does.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while ((m_client = XOpenDisplay(display)) == nullptr &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        ASSERT_NE(m_client, nullptr) << "cannot open the X display " << display;
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(m_client, &eventBase, &errorBase, &major, &minor))
            << "the X display " << display << " has no XTest extension";
        m_previousHandler = XSetErrorHandler(recordClientError);
    }

    void TearDown() override {
        if (m_client == nullptr)
            return;
        XSetErrorHandler(m_previousHandler);
        XCloseDisplay(m_client);
    }

    std::unique_ptr<TarnGlobalHotkeyManager> makeManager() {
        return std::make_unique<TarnGlobalHotkeyManager>(m_executor, m_displayName);
    }

    // Presses the keys in order and releases them in reverse, like a person
    // typing a shortcut, and waits until the server has taken it all.
    void type(std::initializer_list<KeySym> keys) {
        for (const KeySym key : keys)
            XTestFakeKeyEvent(m_client, keyCode(key), True, CurrentTime);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
            XTestFakeKeyEvent(m_client, keyCode(*key), False, CurrentTime);
        XSync(m_client, False);
    }

    KeyCode keyCode(KeySym key) {
        const KeyCode code = XKeysymToKeycode(m_client, key);
        EXPECT_NE(code, 0) << "no key for " << XKeysymToString(key);
        return code;
    }

    // Whether the manager's thread has posted `count` jobs within a generous
    // time; jobs are only posted, never run, until the test drains them.
    bool waitForPosted(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (m_executor.pendingCount() < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    // Whether another X client may grab the combination now; releases it again.
    bool otherClientCanGrab(KeySym key, unsigned int modifiers) {
        clientErrorSeen = false;
        const Window root = DefaultRootWindow(m_client);
        XGrabKey(m_client, keyCode(key), modifiers, root, False, GrabModeAsync, GrabModeAsync);
        XSync(m_client, False);
        const bool granted = !clientErrorSeen;
        XUngrabKey(m_client, keyCode(key), modifiers, root);
        XSync(m_client, False);
        return granted;
    }

    std::string m_displayName;
    Display* m_client = nullptr;
    XErrorHandler m_previousHandler = nullptr;
    ManualMainExecutor m_executor;
};

TEST_F(TarnGlobalHotkeyManagerTest, RunsTheActionOnTheMainExecutorOncePerPress) {
    auto manager = makeManager();
    int presses = 0;
    std::thread::id ranOn;
    const auto id = manager->register_(ctrlShiftSpace, [&] {
        ++presses;
        ranOn = std::this_thread::get_id();
    });
    ASSERT_EQ(id, 1u);

    type({XK_Control_L, XK_Shift_L, XK_space});
    ASSERT_TRUE(waitForPosted(1)) << "the press was not reported";
    EXPECT_EQ(presses, 0) << "the action ran before the main executor ran it";
    m_executor.runUntilIdle();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // A second press after the release counts again; other modifier states do
    // not match.
    type({XK_Control_L, XK_space});
    type({XK_Shift_L, XK_space});
    type({XK_Control_L, XK_Shift_L, XK_Alt_L, XK_space});
    type({XK_Control_L, XK_Shift_L, XK_space});
    ASSERT_TRUE(waitForPosted(1));
    m_executor.runUntilIdle();
    EXPECT_EQ(presses, 2);
}

TEST_F(TarnGlobalHotkeyManagerTest, FiresWhateverTheStateOfCapsLockAndNumLock) {
    auto manager = makeManager();
    int presses = 0;
    ASSERT_TRUE(manager->register_(ctrlShiftSpace, [&] { ++presses; }));

    const std::vector<std::vector<KeySym>> locks = {
        {XK_Caps_Lock}, {XK_Num_Lock}, {XK_Caps_Lock, XK_Num_Lock}};
    for (const std::vector<KeySym>& lockKeys : locks) {
        SCOPED_TRACE(XKeysymToString(lockKeys.front()) +
                     std::string(lockKeys.size() > 1 ? " and more" : ""));
        for (const KeySym lock : lockKeys)
            type({lock}); // toggles it on
        type({XK_Control_L, XK_Shift_L, XK_space});
        const bool posted = waitForPosted(1);
        for (const KeySym lock : lockKeys)
            type({lock}); // and off again
        ASSERT_TRUE(posted) << "the press was not reported";
        m_executor.runUntilIdle();
    }
    EXPECT_EQ(presses, 3);
}

TEST_F(TarnGlobalHotkeyManagerTest, MapsKeyCodesAndModifiers) {
    const struct {
        TarnHotkeyDescriptor descriptor;
        std::initializer_list<KeySym> keys;
    } cases[] = {
        {{aKey, TarnHotkeyDescriptor::cmdOptionFlag}, {XK_Control_L, XK_Alt_L, XK_a}},
        {{returnKey, TarnHotkeyDescriptor::shiftFlag}, {XK_Shift_L, XK_Return}},
        {{f1Key, TarnHotkeyDescriptor::controlFlag}, {XK_Super_L, XK_F1}},
        {{escapeKey, 0}, {XK_Escape}},
        {{leftArrowKey, TarnHotkeyDescriptor::cmdShiftFlag}, {XK_Control_L, XK_Shift_L, XK_Left}},
    };
    auto manager = makeManager();
    std::vector<std::size_t> fired;
    for (std::size_t index = 0; index < std::size(cases); ++index)
        ASSERT_TRUE(manager->register_(cases[index].descriptor,
                                       [&fired, index] { fired.push_back(index); }))
            << "case " << index;

    for (std::size_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(index);
        fired.clear();
        type(cases[index].keys);
        ASSERT_TRUE(waitForPosted(1)) << "the press was not reported";
        m_executor.runUntilIdle();
        EXPECT_EQ(fired, std::vector<std::size_t>{index});
    }
}

TEST_F(TarnGlobalHotkeyManagerTest, HandsOutIdentifiersOnceEvenForRefusals) {
    auto manager = makeManager();
    const auto nothing = [] {};
    EXPECT_EQ(manager->register_(ctrlShiftSpace, nothing), 1u);
    // No key of the keyboard has this code.
    EXPECT_EQ(manager->register_({.keyCode = 0xFFFF, .carbonModifiers = 0}, nothing), std::nullopt);
    // The manager holds the combination already.
    EXPECT_EQ(manager->register_(ctrlShiftSpace, nothing), std::nullopt);
    EXPECT_EQ(manager->register_(ctrlShiftReturn, nothing), 4u);

    manager->unregister(99); // never registered: nothing changes
    EXPECT_FALSE(otherClientCanGrab(XK_space, ControlMask | ShiftMask));

    manager->unregisterAll();
    EXPECT_TRUE(otherClientCanGrab(XK_space, ControlMask | ShiftMask));
    EXPECT_TRUE(otherClientCanGrab(XK_Return, ControlMask | ShiftMask));
    EXPECT_EQ(manager->register_(ctrlShiftSpace, nothing), 5u);
    manager->unregister(5);
    EXPECT_TRUE(otherClientCanGrab(XK_space, ControlMask | ShiftMask));
}

TEST_F(TarnGlobalHotkeyManagerTest, RefusesACombinationAnotherClientHolds) {
    const Window root = DefaultRootWindow(m_client);
    const KeyCode space = keyCode(XK_space);
    clientErrorSeen = false;
    XGrabKey(m_client, space, ControlMask | ShiftMask, root, False, GrabModeAsync, GrabModeAsync);
    XSync(m_client, False);
    ASSERT_FALSE(clientErrorSeen);

    auto manager = makeManager();
    int presses = 0;
    EXPECT_EQ(manager->register_(ctrlShiftSpace, [&] { ++presses; }), std::nullopt);
    // The lock variants granted before the refusal were given back.
    EXPECT_TRUE(otherClientCanGrab(XK_space, ControlMask | ShiftMask | LockMask));

    // Another manager is another client too.
    auto other = makeManager();
    EXPECT_EQ(other->register_(ctrlShiftReturn, [] {}), 1u);
    EXPECT_EQ(manager->register_(ctrlShiftReturn, [] {}), std::nullopt);

    XUngrabKey(m_client, space, ControlMask | ShiftMask, root);
    XSync(m_client, False);
    EXPECT_EQ(manager->register_(ctrlShiftSpace, [&] { ++presses; }), 3u);
    type({XK_Control_L, XK_Shift_L, XK_space});
    ASSERT_TRUE(waitForPosted(1));
    m_executor.runUntilIdle();
    EXPECT_EQ(presses, 1);
}

TEST_F(TarnGlobalHotkeyManagerTest, PressesOfReleasedShortcutsRunNothing) {
    auto manager = makeManager();
    std::vector<std::string> ran;
    const auto space = manager->register_(ctrlShiftSpace, [&] { ran.emplace_back("space"); });
    ASSERT_TRUE(manager->register_(ctrlShiftReturn, [&] { ran.emplace_back("return"); }));
    ASSERT_TRUE(space);

    // Posted before the shortcut went, run after.
    type({XK_Control_L, XK_Shift_L, XK_space});
    ASSERT_TRUE(waitForPosted(1));
    manager->unregister(*space);
    m_executor.runUntilIdle();
    EXPECT_TRUE(ran.empty());

    // Pressed after it went: not even posted. The other shortcut's press,
    // read after it, shows the first one was read and dropped.
    type({XK_Control_L, XK_Shift_L, XK_space});
    type({XK_Control_L, XK_Shift_L, XK_Return});
    ASSERT_TRUE(waitForPosted(1));
    m_executor.runUntilIdle();
    EXPECT_EQ(ran, std::vector<std::string>{"return"});
    EXPECT_EQ(m_executor.pendingCount(), 0u);

    // A manager destroyed with a press on its way runs nothing and lets go of
    // its grabs.
    type({XK_Control_L, XK_Shift_L, XK_Return});
    ASSERT_TRUE(waitForPosted(1));
    manager.reset();
    m_executor.runUntilIdle();
    EXPECT_EQ(ran, std::vector<std::string>{"return"});
    EXPECT_TRUE(otherClientCanGrab(XK_Return, ControlMask | ShiftMask));
}

TEST_F(TarnGlobalHotkeyManagerTest, AnActionMayUnregisterItself) {
    auto manager = makeManager();
    int presses = 0;
    std::optional<std::uint32_t> id;
    id = manager->register_(ctrlShiftSpace, [&, padding = std::string(64, 'x')] {
        manager->unregister(*id);
        ++presses; // touches the closure's captures after it was removed
        EXPECT_EQ(padding.size(), 64u);
    });
    ASSERT_TRUE(id);
    type({XK_Control_L, XK_Shift_L, XK_space});
    ASSERT_TRUE(waitForPosted(1));
    m_executor.runUntilIdle();
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(otherClientCanGrab(XK_space, ControlMask | ShiftMask));
}

TEST_F(TarnGlobalHotkeyManagerTest, WithoutAnXDisplayEveryRegistrationFails) {
    const struct {
        const char* label;
        std::function<std::unique_ptr<TarnGlobalHotkeyManager>(ManualMainExecutor&)> make;
    } cases[] = {
        {"empty display name",
         [](ManualMainExecutor& executor) {
             return std::make_unique<TarnGlobalHotkeyManager>(executor, "");
         }},
        {"display that does not answer",
         [](ManualMainExecutor& executor) {
             return std::make_unique<TarnGlobalHotkeyManager>(executor, ":9876");
         }},
        {"session without DISPLAY",
         [](ManualMainExecutor& executor) {
             const ScopedEnvironment display("DISPLAY", nullptr);
             const ScopedEnvironment wayland("WAYLAND_DISPLAY", nullptr);
             return std::make_unique<TarnGlobalHotkeyManager>(executor);
         }},
        {"Wayland session with an X server beside it",
         [](ManualMainExecutor& executor) {
             const ScopedEnvironment wayland("WAYLAND_DISPLAY", "wayland-0");
             return std::make_unique<TarnGlobalHotkeyManager>(executor);
         }},
        {"session typed Wayland",
         [](ManualMainExecutor& executor) {
             const ScopedEnvironment wayland("WAYLAND_DISPLAY", nullptr);
             const ScopedEnvironment type("XDG_SESSION_TYPE", "wayland");
             return std::make_unique<TarnGlobalHotkeyManager>(executor);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto manager = c.make(m_executor);
        EXPECT_EQ(manager->register_(ctrlShiftSpace, [] {}), std::nullopt);
        EXPECT_EQ(manager->register_(ctrlShiftReturn, [] {}), std::nullopt);
        manager->unregister(1);
        manager->unregisterAll();
        // Nothing was grabbed behind the refusals.
        EXPECT_TRUE(otherClientCanGrab(XK_space, ControlMask | ShiftMask));
    }

    // The same session read as X: the default constructor finds the display.
    const ScopedEnvironment wayland("WAYLAND_DISPLAY", nullptr);
    const ScopedEnvironment type("XDG_SESSION_TYPE", "x11");
    TarnGlobalHotkeyManager manager(m_executor);
    EXPECT_EQ(manager.register_(ctrlShiftSpace, [] {}), 1u);
}

} // namespace
} // namespace tarn
