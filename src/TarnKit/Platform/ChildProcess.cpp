#include "TarnKit/Platform/ChildProcess.h"

#include "TarnKit/Platform/PlatformError.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace tarn {

namespace detail {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

void UniqueFd::reset(int fd) {
    // On Linux close releases the descriptor even when it reports EINTR, so it
    // is never retried.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

} // namespace detail

namespace {

using detail::UniqueFd;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunkSize = 64 * 1024;
// What one drain after the child's exit reads per stream at most: more than a
// pipe holds, so everything the child wrote is kept, yet bounded when a
// descendant keeps writing.
constexpr std::size_t kExitDrainLimit = 1024 * 1024;
// How often the exit is checked where no pidfd is available.
constexpr int kExitPollFallbackMs = 10;

[[noreturn]] void failLaunch(int code, const std::filesystem::path& executable) {
    throwPOSIXError(code, "Could not launch \"" + executable.string() + "\"");
}

[[noreturn]] void failSystem(int code, std::string_view what) {
    throwPOSIXError(code, what);
}

// Keeps a descriptor clear of 0..2, which the file actions are about to fill:
// a pipe end that happened to get one of those numbers (our own standard
// streams were closed) would be overwritten before it is duplicated.
UniqueFd aboveStandardStreams(UniqueFd fd) {
    if (fd.get() > 2)
        return fd;
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3);
    if (moved < 0)
        failSystem(errno, "Could not create a pipe");
    return UniqueFd(moved);
}

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

// A close-on-exec pipe; the end we keep is made non-blocking by the caller.
Pipe makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        failSystem(errno, "Could not create a pipe");
    Pipe pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
    pipe.read = aboveStandardStreams(std::move(pipe.read));
    pipe.write = aboveStandardStreams(std::move(pipe.write));
    return pipe;
}

void makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        failSystem(errno, "Could not configure a pipe");
}

class FileActions {
public:
    FileActions() {
        if (const int rc = ::posix_spawn_file_actions_init(&m_actions); rc != 0)
            failSystem(rc, "Could not prepare a child process");
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    ~FileActions() { ::posix_spawn_file_actions_destroy(&m_actions); }
    posix_spawn_file_actions_t* get() { return &m_actions; }

    void check(int rc) {
        if (rc != 0)
            failSystem(rc, "Could not prepare a child process");
    }

private:
    posix_spawn_file_actions_t m_actions{};
};

class SpawnAttributes {
public:
    SpawnAttributes() {
        if (const int rc = ::posix_spawnattr_init(&m_attributes); rc != 0)
            failSystem(rc, "Could not prepare a child process");
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&m_attributes); }
    posix_spawnattr_t* get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes{};
};

// Writes to a pipe whose reader may be gone without letting SIGPIPE kill the
// process: the signal is blocked on this thread for the write, and one it
// raised is taken off the thread before the mask is restored. (SIGPIPE for a
// pipe write goes to the writing thread, so no other thread sees it.)
ssize_t writeWithoutSigpipe(int fd, const char* data, std::size_t size) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;

    ssize_t written;
    do {
        written = ::write(fd, data, size);
    } while (written < 0 && errno == EINTR);
    const int savedErrno = errno;

    if (written < 0 && savedErrno == EPIPE && !wasPending) {
        const timespec noWait{};
        while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = savedErrno;
    return written;
}

ChildExitStatus statusFromWait(int status) {
    if (WIFSIGNALED(status))
        return {ChildExitStatus::Kind::signalled, WTERMSIG(status)};
    return {ChildExitStatus::Kind::exited, WEXITSTATUS(status)};
}

int pollTimeout(Clock::time_point deadline, Clock::time_point now) {
    if (deadline == Clock::time_point::max())
        return -1;
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::clamp<std::int64_t>(remaining, 0, INT_MAX));
}

// A descriptor that becomes readable when the child ends, or -1. Called
// through syscall(2): the header of glibc 2.36 declares pidfd_open without C
// linkage.
int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Run by a stop request on the requesting thread: wakes the waiting poll.
struct Waker {
    int fd;
    void operator()() const noexcept {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(fd, &one, sizeof one);
    }
};

} // namespace

std::unique_ptr<ChildProcess> ChildProcess::launch(const ChildProcessOptions& options) {
    // Resolved here, because the child changes folder before it executes.
    std::filesystem::path executable = options.executable;
    if (executable.is_relative()) {
        std::error_code error;
        auto absolute = std::filesystem::absolute(executable, error);
        if (!error)
            executable = std::move(absolute);
    }

    Pipe output = makePipe();
    Pipe errors = makePipe();
    std::optional<Pipe> input;
    if (options.pipeStandardInput)
        input = makePipe();

    FileActions actions;
    if (input)
        actions.check(::posix_spawn_file_actions_adddup2(actions.get(), input->read.get(), 0));
    else
        actions.check(
            ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0));
    actions.check(::posix_spawn_file_actions_adddup2(actions.get(), output.write.get(), 1));
    actions.check(::posix_spawn_file_actions_adddup2(actions.get(), errors.write.get(), 2));
    if (options.workingDirectory)
        actions.check(::posix_spawn_file_actions_addchdir_np(actions.get(),
                                                             options.workingDirectory->c_str()));
    // Descriptors other code opened without O_CLOEXEC stay ours too.
    actions.check(::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3));

    SpawnAttributes attributes;
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t allSignals;
    sigfillset(&allSignals);
    if (::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETPGROUP |
                                                         POSIX_SPAWN_SETSIGMASK |
                                                         POSIX_SPAWN_SETSIGDEF) != 0 ||
        ::posix_spawnattr_setpgroup(attributes.get(), 0) != 0 ||
        ::posix_spawnattr_setsigmask(attributes.get(), &noSignals) != 0 ||
        ::posix_spawnattr_setsigdefault(attributes.get(), &allSignals) != 0)
        failSystem(EINVAL, "Could not prepare a child process");

    std::vector<std::string> argumentStrings;
    argumentStrings.reserve(options.arguments.size() + 1);
    argumentStrings.push_back(executable.string());
    argumentStrings.insert(argumentStrings.end(), options.arguments.begin(),
                           options.arguments.end());
    std::vector<char*> argv;
    argv.reserve(argumentStrings.size() + 1);
    for (auto& argument : argumentStrings)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<std::string> environmentStrings;
    std::vector<char*> envp;
    char** childEnvironment = environ;
    if (options.environment) {
        environmentStrings = *options.environment;
        envp.reserve(environmentStrings.size() + 1);
        for (auto& entry : environmentStrings)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        childEnvironment = envp.data();
    }

    std::unique_ptr<ChildProcess> process(new ChildProcess());
    // glibc reports a failed exec (ENOENT, EACCES, a failed chdir) as the
    // result of posix_spawn itself, so a returned pid always ran our program.
    if (const int rc = ::posix_spawn(&process->m_pid, executable.c_str(), actions.get(),
                                     attributes.get(), argv.data(), childEnvironment);
        rc != 0) {
        process->m_reaped = true;
        failLaunch(rc, executable);
    }

    // From here on the destructor cleans up, whatever throws.
    process->m_stdout = std::move(output.read);
    process->m_stderr = std::move(errors.read);
    if (input)
        process->m_stdin = std::move(input->write);
    process->m_pidfd.reset(openPidfd(process->m_pid));
    makeNonBlocking(process->m_stdout.get());
    makeNonBlocking(process->m_stderr.get());
    if (process->m_stdin.valid())
        makeNonBlocking(process->m_stdin.get());
    // The child's ends close as the pipes go out of scope, so that end of file
    // arrives once the child and its descendants close theirs.
    return process;
}

ChildProcess::~ChildProcess() {
    bool reaped;
    {
        std::lock_guard lock(m_reapLock);
        reaped = m_reaped;
    }
    if (!reaped) {
        signalGroup(SIGKILL);
        closePipes();
        reap();
    }
}

void ChildProcess::closePipes() {
    m_stdin.reset();
    m_stdout.reset();
    m_stderr.reset();
    m_input.clear();
    m_inputWritten = 0;
}

void ChildProcess::writeInput(std::string_view bytes) {
    if (!m_stdin.valid())
        return;
    // What was written already goes first, so the buffer never grows with the
    // history of a long exchange.
    m_input.erase(0, m_inputWritten);
    m_inputWritten = 0;
    m_input.append(bytes);
    writePendingInput();
}

void ChildProcess::closeInput() {
    m_closeInputWhenWritten = true;
    writePendingInput();
}

void ChildProcess::closeInputNow() {
    m_stdin.reset();
    m_input.clear();
    m_inputWritten = 0;
}

void ChildProcess::writePendingInput() {
    while (m_stdin.valid()) {
        if (m_inputWritten >= m_input.size()) {
            m_input.clear();
            m_inputWritten = 0;
            if (m_closeInputWhenWritten)
                closeInputNow();
            return;
        }
        const ssize_t written = writeWithoutSigpipe(m_stdin.get(), m_input.data() + m_inputWritten,
                                                    m_input.size() - m_inputWritten);
        if (written < 0) {
            if (errno == EAGAIN)
                return;
            // EPIPE and the like: the child stopped reading; the rest is moot.
            closeInputNow();
            return;
        }
        m_inputWritten += static_cast<std::size_t>(written);
    }
}

void ChildProcess::readAvailable(UniqueFd& fd, OutputStream stream, const OutputHandler& onOutput,
                                 std::size_t limit) {
    std::array<char, kChunkSize> buffer;
    std::size_t total = 0;
    while (fd.valid() && total < limit) {
        const ssize_t count = ::read(fd.get(), buffer.data(), buffer.size());
        if (count > 0) {
            total += static_cast<std::size_t>(count);
            if (onOutput)
                onOutput(stream, std::string_view(buffer.data(), static_cast<std::size_t>(count)));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        // End of file, or a read error that no retry will cure.
        fd.reset();
    }
}

bool ChildProcess::checkExited() {
    if (m_exited)
        return true;
    {
        std::lock_guard lock(m_reapLock);
        if (m_reaped)
            return m_exited = true;
    }
    siginfo_t info{};
    int rc;
    do {
        rc = ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (rc < 0 && errno == EINTR);
    // ECHILD: someone else reaped it; it has ended either way.
    if ((rc == 0 && info.si_pid == m_pid) || (rc < 0 && errno == ECHILD))
        m_exited = true;
    return m_exited;
}

bool ChildProcess::hasExited() {
    return checkExited();
}

ChildProcess::PumpResult ChildProcess::pump(WaitFor condition, Clock::time_point deadline,
                                            const OutputHandler& onOutput, std::stop_token stop) {
    return pumpLoop(condition, nullptr, deadline, onOutput, std::move(stop));
}

ChildProcess::PumpResult ChildProcess::pumpUntil(const std::function<bool()>& done,
                                                 Clock::time_point deadline,
                                                 const OutputHandler& onOutput,
                                                 std::stop_token stop) {
    return pumpLoop(WaitFor::outputEnd, &done, deadline, onOutput, std::move(stop));
}

ChildProcess::PumpResult ChildProcess::pumpLoop(WaitFor condition,
                                                const std::function<bool()>* done,
                                                Clock::time_point deadline,
                                                const OutputHandler& onOutput,
                                                std::stop_token stop) {
    std::optional<std::stop_callback<Waker>> wakeOnStop;
    if (stop.stop_possible()) {
        if (!m_wake.valid()) {
            m_wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
            if (!m_wake.valid())
                failSystem(errno, "Could not wait for a child process");
        }
        wakeOnStop.emplace(stop, Waker{m_wake.get()});
    }

    for (;;) {
        if (condition == WaitFor::exit && checkExited()) {
            // What the child wrote before it ended is in the pipes by now.
            readAvailable(m_stdout, OutputStream::standardOutput, onOutput, kExitDrainLimit);
            readAvailable(m_stderr, OutputStream::standardError, onOutput, kExitDrainLimit);
            return PumpResult::finished;
        }
        if (condition == WaitFor::outputEnd && outputEnded())
            return PumpResult::finished;
        if (done != nullptr && (*done)())
            return PumpResult::finished;
        if (stop.stop_requested())
            return PumpResult::stopRequested;
        const auto now = Clock::now();
        if (now >= deadline)
            return PumpResult::deadlineReached;

        std::array<pollfd, 5> fds{};
        nfds_t count = 0;
        int stdoutSlot = -1, stderrSlot = -1, stdinSlot = -1, pidSlot = -1, wakeSlot = -1;
        auto add = [&](int fd, short events, int& slot) {
            slot = static_cast<int>(count);
            fds[count++] = pollfd{fd, events, 0};
        };
        if (m_stdout.valid())
            add(m_stdout.get(), POLLIN, stdoutSlot);
        if (m_stderr.valid())
            add(m_stderr.get(), POLLIN, stderrSlot);
        // Only while something waits to be written: an idle, writable pipe
        // would wake the poll at once, over and over.
        if (m_stdin.valid() && m_inputWritten < m_input.size())
            add(m_stdin.get(), POLLOUT, stdinSlot);
        if (m_pidfd.valid() && !m_exited)
            add(m_pidfd.get(), POLLIN, pidSlot);
        if (wakeOnStop)
            add(m_wake.get(), POLLIN, wakeSlot);

        int timeout = pollTimeout(deadline, now);
        if (!m_exited && !m_pidfd.valid() && (timeout < 0 || timeout > kExitPollFallbackMs))
            timeout = kExitPollFallbackMs;

        const int ready = ::poll(fds.data(), count, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            failSystem(errno, "Could not wait for a child process");
        }
        if (ready == 0)
            continue;

        constexpr short kReadable = POLLIN | POLLHUP | POLLERR;
        if (stdoutSlot >= 0 && (fds[stdoutSlot].revents & (kReadable | POLLNVAL)))
            readAvailable(m_stdout, OutputStream::standardOutput, onOutput, kChunkSize);
        if (stderrSlot >= 0 && (fds[stderrSlot].revents & (kReadable | POLLNVAL)))
            readAvailable(m_stderr, OutputStream::standardError, onOutput, kChunkSize);
        if (stdinSlot >= 0 && (fds[stdinSlot].revents & (POLLOUT | POLLERR | POLLHUP)))
            writePendingInput();
        if (pidSlot >= 0 && fds[pidSlot].revents != 0)
            checkExited();
        if (wakeSlot >= 0 && (fds[wakeSlot].revents & POLLIN)) {
            std::uint64_t value = 0;
            [[maybe_unused]] const ssize_t ignored = ::read(m_wake.get(), &value, sizeof value);
        }
    }
}

void ChildProcess::signalGroup(int signal) {
    std::lock_guard lock(m_reapLock);
    if (m_reaped || m_pid <= 0)
        return;
    if (signal == SIGTERM)
        m_terminationRequested = true;
    // While the child is un-reaped its pid, and so the group id, cannot be
    // handed to another process.
    const bool groupReached = ::kill(-m_pid, signal) == 0;
    // A child that moved to a group of its own is still ours to signal.
    if (!groupReached || ::getpgid(m_pid) != m_pid)
        ::kill(m_pid, signal);
}

ChildExitStatus ChildProcess::terminate(std::chrono::milliseconds grace,
                                        const OutputHandler& onOutput, std::stop_token stop) {
    {
        std::lock_guard lock(m_reapLock);
        if (m_reaped)
            return m_status;
    }
    if (!(checkExited() && outputEnded())) {
        bool alreadyAsked;
        {
            std::lock_guard lock(m_reapLock);
            alreadyAsked = m_terminationRequested;
        }
        // Once is enough: a second SIGTERM would run a child's handler twice.
        if (!alreadyAsked)
            signalGroup(SIGTERM);
        // Input no longer matters; its end of file helps a child that waits
        // for it before it exits.
        closeInputNow();
        const auto deadline = Clock::now() + grace;
        if (pump(WaitFor::exit, deadline, onOutput, stop) == PumpResult::finished)
            pump(WaitFor::outputEnd, deadline, onOutput, stop);
    }
    // Also ends descendants that ignored SIGTERM or still hold our pipes.
    signalGroup(SIGKILL);
    closePipes();
    return reap();
}

ChildExitStatus ChildProcess::reap() {
    closePipes();
    {
        std::lock_guard lock(m_reapLock);
        if (m_reaped)
            return m_status;
    }
    // Wait without reaping, so that signalGroup() from another thread never
    // blocks on the lock while the child runs.
    if (!m_exited) {
        siginfo_t info{};
        while (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT) < 0 &&
               errno == EINTR) {
        }
        m_exited = true;
    }
    std::lock_guard lock(m_reapLock);
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(m_pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    // ECHILD: reaped by someone else, so its status is unknown.
    m_status = result == m_pid ? statusFromWait(status)
                               : ChildExitStatus{ChildExitStatus::Kind::exited, -1};
    m_reaped = true;
    return m_status;
}

} // namespace tarn
