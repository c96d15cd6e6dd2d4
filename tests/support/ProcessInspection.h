#pragma once

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <dirent.h>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <vector>

// Looks at processes from the outside, through /proc and waitpid, so tests can
// tell whether what they started is really gone. Linux only.
namespace tarn::testing {

// The runs of decimal digits in `text`, in order (read with from_chars: the
// tests run under Turkish and German locales too).
inline std::vector<long> numbersIn(std::string_view text) {
    std::vector<long> numbers;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        long value = 0;
        const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
        numbers.push_back(value);
        i = static_cast<std::size_t>(result.ptr - text.data());
    }
    return numbers;
}

// State letter and process group of a process, from /proc; state 0 when it
// does not exist.
struct ProcessInfo {
    char state = 0;
    pid_t group = 0;
};

inline ProcessInfo processInfo(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line))
        return {};
    // The command name may hold blanks and parentheses; the fields after the
    // last ")" are plain: state, parent, group, ...
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size())
        return {};
    const std::string_view rest = std::string_view(line).substr(close + 2);
    const std::vector<long> numbers = numbersIn(rest.substr(1, 40));
    return {rest[0], numbers.size() > 1 ? static_cast<pid_t>(numbers[1]) : 0};
}

// Live (non-zombie) processes of a process group. An orphan that died is a
// zombie until whoever adopted it reaps it, which is no business of ours.
inline std::vector<pid_t> livingMembers(pid_t group) {
    std::vector<pid_t> members;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return members;
    while (dirent* entry = ::readdir(proc)) {
        pid_t pid = 0;
        const std::string_view name(entry->d_name);
        if (std::from_chars(name.data(), name.data() + name.size(), pid).ec != std::errc{})
            continue;
        const ProcessInfo info = processInfo(pid);
        if (info.group == group && info.state != 'Z' && info.state != 'X' && info.state != 0)
            members.push_back(pid);
    }
    ::closedir(proc);
    return members;
}

// Whether every process of `group` dies within two seconds. Killing a group
// is asynchronous, so an immediate look would race the signal.
inline bool groupEventuallyEmpty(pid_t group) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!livingMembers(group).empty()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Whether `pid` is no longer a child of ours that awaits reaping: it was
// reaped (or never was ours). A child still running, or a zombie nobody waited
// for, gives false; the look reaps such a zombie, so ask once.
inline bool reaped(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) < 0 && errno == ECHILD;
}

// The most memory this process has held resident (VmHWM), in bytes, since
// it started or since the last resetResidentPeak().
inline std::size_t residentPeakBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:")) {
            const std::vector<long> numbers = numbersIn(line);
            return numbers.empty() ? 0 : static_cast<std::size_t>(numbers.front()) * 1024;
        }
    return 0;
}

// Starts the peak over at what is resident now.
inline void resetResidentPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace tarn::testing
