#pragma once

// Child processes on posix_spawn, for the services that drive other programs
// (the MCP inspector, the process runner).
//
// What every child gets:
// - Its own process group (its id is the child's pid), so that the whole tree
//   it starts - shell pipelines, npx launchers, "cmd &" - can be signalled at
//   once and is not hit by a terminal's Ctrl+C meant for us.
// - Exactly three descriptors: standard input from a pipe or /dev/null, and
//   standard output and error on pipes. Nothing else of ours is inherited: our
//   pipes are close-on-exec and every descriptor from 3 up is closed in the
//   child, including ones other libraries opened without O_CLOEXEC.
// - Default signal dispositions and an empty signal mask, whatever this
//   process ignores or blocks.
//
// Reading is concurrent: pump() polls standard output, standard error and the
// input pipe together, so a child that fills one pipe while we wait on the
// other never stalls, and every wait is bounded by a deadline or a stop token.
//
// Lifetime. A ChildProcess signals its group only while the child has not been
// reaped: an un-reaped child holds its pid, and with it the group id, so a
// signal can never reach an unrelated process that got the number later.
// Reaping happens once, in terminate() or reap(), or in the destructor, which
// kills the group, closes the pipes and reaps: no zombie is left behind and no
// caller can forget the cleanup.
//
// Threads. One thread owns the object and calls everything except
// signalGroup(), which is safe from any thread at any time (a cancel button).
// Output handlers run on the owning thread, inside pump() and terminate().

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tarn {

namespace detail {

// Owns one file descriptor; closes it when destroyed or reset.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

} // namespace detail

enum class OutputStream { standardOutput, standardError };

// How a child ended.
struct ChildExitStatus {
    enum class Kind { exited, signalled };
    Kind kind = Kind::exited;
    // The exit status (0..255) or the number of the signal that ended it.
    int code = 0;

    friend bool operator==(const ChildExitStatus&, const ChildExitStatus&) = default;
};

struct ChildProcessOptions {
    // Run as given, without a search-path lookup. A relative path is taken
    // relative to our working folder, not the child's.
    std::filesystem::path executable{};
    // argv[1...]; argv[0] is the executable path.
    std::vector<std::string> arguments{};
    // nullopt: our working folder.
    std::optional<std::filesystem::path> workingDirectory{};
    // The child's whole environment as "NAME=value" entries; nullopt: ours.
    std::optional<std::vector<std::string>> environment{};
    // true: a pipe that writeInputAndClose() feeds; false: /dev/null.
    bool pipeStandardInput = false;
};

class ChildProcess {
public:
    // Receives each chunk as read, in order per stream.
    using OutputHandler = std::function<void(OutputStream, std::string_view)>;

    enum class WaitFor {
        outputEnd, // both standard output and standard error reached end of file
        exit,      // the child ended (it is not reaped yet)
    };
    enum class PumpResult { finished, deadlineReached, stopRequested };

    // Starts the child. A failure to start - no such file, not executable, a
    // directory, a missing working folder - throws tarn::PlatformError in the
    // domain "NSPOSIXErrorDomain" with the errno as code and a description that
    // names the executable (English); nothing is left open then.
    [[nodiscard]] static std::unique_ptr<ChildProcess> launch(const ChildProcessOptions& options);

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills the group unless the child was reaped, closes the pipes and reaps.
    ~ChildProcess();

    pid_t pid() const { return m_pid; }

    // Queues `bytes` for the child's standard input, after what is queued
    // already; pump() and terminate() do the writing, interleaved with the
    // reading. A child that closes its input early just loses the rest (no
    // SIGPIPE reaches us). Ignored without an input pipe or once it is closed.
    void writeInput(std::string_view bytes);
    // Closes the child's standard input once everything queued is written.
    void closeInput();
    void writeInputAndClose(std::string_view bytes) {
        writeInput(bytes);
        closeInput();
    }

    // Writes queued input and hands output to `onOutput` until the condition
    // holds, `deadline` passes or a stop is requested on `stop` (which wakes
    // the wait at once). When the child's exit ends the wait, output already in
    // the pipes is read first. Returns at once when the condition already holds.
    PumpResult pump(WaitFor condition, std::chrono::steady_clock::time_point deadline,
                    const OutputHandler& onOutput, std::stop_token stop = {});
    // The same, until `done` holds (asked after every read, so a handler can
    // watch for an answer) or both outputs reached end of file; `finished`
    // then says which by asking `done` and outputEnded() again.
    PumpResult pumpUntil(const std::function<bool()>& done,
                         std::chrono::steady_clock::time_point deadline,
                         const OutputHandler& onOutput, std::stop_token stop = {});

    // Whether the child has ended (observed without reaping it).
    bool hasExited();
    // Whether both output pipes have reached end of file or been closed.
    bool outputEnded() const { return !m_stdout.valid() && !m_stderr.valid(); }

    // Sends `signal` to the child's process group; does nothing once the child
    // is reaped. Safe from any thread.
    void signalGroup(int signal);

    // The orderly end: unless the child has ended and its output is complete,
    // SIGTERM to the group (unless signalGroup() sent one) and output read for at most `grace`
    // while it winds down (less when `stop` is requested); then SIGKILL to the group, which also
    // ends any descendant still holding our pipes, the pipes closed, and the child reaped. Returns
    // how the child ended.
    ChildExitStatus terminate(std::chrono::milliseconds grace, const OutputHandler& onOutput,
                              std::stop_token stop = {});

    // Closes the pipes and reaps the child, waiting for it to end when it has
    // not. Descendants in the group are left alone: a tool may start a daemon
    // on purpose. Returns how the child ended; later calls return the same.
    ChildExitStatus reap();

private:
    ChildProcess() = default;

    void closePipes();
    void readAvailable(detail::UniqueFd& fd, OutputStream stream, const OutputHandler& onOutput,
                       std::size_t limit);
    void writePendingInput();
    void closeInputNow();
    PumpResult pumpLoop(WaitFor condition, const std::function<bool()>* done,
                        std::chrono::steady_clock::time_point deadline,
                        const OutputHandler& onOutput, std::stop_token stop);
    bool checkExited();

    pid_t m_pid = -1;
    detail::UniqueFd m_stdin;
    detail::UniqueFd m_stdout;
    detail::UniqueFd m_stderr;
    // Becomes readable when the child ends; absent where pidfd_open is not
    // available, and the wait then checks every few milliseconds.
    detail::UniqueFd m_pidfd;
    // Wakes a pump() when a stop is requested.
    detail::UniqueFd m_wake;

    std::string m_input;
    std::size_t m_inputWritten = 0;
    bool m_closeInputWhenWritten = false;
    bool m_exited = false;

    // Guards the reaping against signalGroup() from other threads.
    std::mutex m_reapLock;
    bool m_reaped = false;
    bool m_terminationRequested = false; // SIGTERM sent
    ChildExitStatus m_status{};
};

} // namespace tarn
