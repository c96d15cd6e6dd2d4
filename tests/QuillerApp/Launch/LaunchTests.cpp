// The built application on a real X server (the Xvfb display that
// scripts/with-session provides): it shows its studio window, a second launch
// hands over to it and exits, and SIGTERM ends it cleanly.

#include "support/TemporaryFolder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Last: X11 defines macros (None, Bool, Status) that other headers use as names.
// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char* const kStudioTitle = "Quiller — by Corvane";

// One run of the application; killed if the test leaves it running.
class Application {
public:
    explicit Application(const std::map<std::string, std::string>& environment) {
        std::vector<std::string> entries;
        std::map<std::string, std::string> merged;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text(*entry);
            const std::size_t equals = text.find('=');
            if (equals != std::string::npos)
                merged[text.substr(0, equals)] = text.substr(equals + 1);
        }
        for (const auto& [name, value] : environment)
            merged[name] = value;
        entries.reserve(merged.size());
        for (const auto& [name, value] : merged)
            entries.push_back(name + "=" + value);
        std::vector<char*> envp;
        envp.reserve(entries.size() + 1);
        for (std::string& entry : entries)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = QUILLER_EXECUTABLE;
        char* argv[] = {program.data(), nullptr};
        if (::posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
    }
    ~Application() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    pid_t pid() const { return m_pid; }
    bool running() { return m_pid > 0 && !poll(); }
    // The exit status once it has exited within `limit`.
    std::optional<int> waitForExit(std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (!poll() && Clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        return m_status;
    }

private:
    bool poll() {
        if (m_status)
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
            return false;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }

    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// The viewable top-level windows titled like the studio window.
class Display {
public:
    Display() : m_display(::XOpenDisplay(nullptr)) {}
    ~Display() {
        if (m_display != nullptr)
            ::XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display != nullptr; }

    int studioWindowCount() {
        int count = 0;
        walk(DefaultRootWindow(m_display), [&](Window window) {
            XWindowAttributes attributes{};
            if (title(window) == kStudioTitle &&
                ::XGetWindowAttributes(m_display, window, &attributes) != 0 &&
                attributes.map_state == IsViewable)
                ++count;
        });
        return count;
    }

    bool waitForStudioWindows(int count, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            if (studioWindowCount() == count)
                return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

private:
    void walk(Window window, const std::function<void(Window)>& visit) {
        visit(window);
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (::XQueryTree(m_display, window, &root, &parent, &children, &count) == 0)
            return;
        const std::vector<Window> list(children, children + count);
        if (children != nullptr)
            ::XFree(children);
        for (const Window child : list)
            walk(child, visit);
    }

    std::string title(Window window) {
        const Atom netName = ::XInternAtom(m_display, "_NET_WM_NAME", False);
        const Atom utf8 = ::XInternAtom(m_display, "UTF8_STRING", False);
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::string text;
        if (::XGetWindowProperty(m_display, window, netName, 0, 1024, False, utf8, &type, &format,
                                 &items, &after, &data) == Success &&
            data != nullptr) {
            text.assign(reinterpret_cast<const char*>(data), items);
            ::XFree(data);
        }
        return text;
    }

    ::Display* m_display;
};

TEST(Launch, ShowsTheStudioWindowAnswersASecondLaunchAndQuitsOnTerm) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under scripts/with-session";
    Display display;
    ASSERT_TRUE(display.isOpen());
    ASSERT_EQ(display.studioWindowCount(), 0);

    tarn::testing::TemporaryFolder home{"quiller-launch"};
    const std::string root = home.path().string();
    const std::map<std::string, std::string> environment = {
        {"HOME", root},
        {"XDG_DATA_HOME", root + "/data"},
        {"XDG_CONFIG_HOME", root + "/config"},
        {"XDG_CACHE_HOME", root + "/cache"},
        {"XDG_RUNTIME_DIR", root},
        {"TMPDIR", root},
        {"QT_QPA_PLATFORM", "xcb"},
        // Qt and the system libraries it loads keep some memory to the end.
        {"ASAN_OPTIONS", "detect_leaks=0"},
    };

    Application first(environment);
    ASSERT_GT(first.pid(), 0);
    ASSERT_TRUE(display.waitForStudioWindows(1, 60s)) << "the studio window never showed";

    Application second(environment);
    const std::optional<int> secondStatus = second.waitForExit(30s);
    ASSERT_TRUE(secondStatus.has_value()) << "the second launch kept running";
    EXPECT_EQ(*secondStatus, 0);
    EXPECT_TRUE(first.running());
    EXPECT_EQ(display.studioWindowCount(), 1);

    ASSERT_EQ(::kill(first.pid(), SIGTERM), 0);
    const std::optional<int> firstStatus = first.waitForExit(30s);
    ASSERT_TRUE(firstStatus.has_value()) << "SIGTERM did not end the application";
    EXPECT_EQ(*firstStatus, 0);
    EXPECT_TRUE(display.waitForStudioWindows(0, 5s));
}

} // namespace
