#include "TarnKit/Platform/ChildProcess.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/ProcessInspection.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tarn::ChildExitStatus;
using tarn::ChildProcess;
using tarn::ChildProcessOptions;
using tarn::OutputStream;
using tarn::testing::groupEventuallyEmpty;
using tarn::testing::numbersIn;
using tarn::testing::processInfo;
using tarn::testing::reaped;
using tarn::testing::TemporaryFolder;
using Clock = std::chrono::steady_clock;

ChildProcessOptions shell(std::string script) {
    ChildProcessOptions options;
    options.executable = "/bin/sh";
    options.arguments = {"-c", std::move(script)};
    return options;
}

struct Captured {
    std::string out;
    std::string err;
    ChildProcess::OutputHandler handler() {
        return [this](OutputStream stream, std::string_view chunk) {
            (stream == OutputStream::standardOutput ? out : err).append(chunk);
        };
    }
};

// Runs the child to its end and returns how it ended.
ChildExitStatus runToEnd(ChildProcess& process, Captured& captured) {
    const auto handler = captured.handler();
    EXPECT_EQ(process.pump(ChildProcess::WaitFor::outputEnd, Clock::now() + 20s, handler),
              ChildProcess::PumpResult::finished);
    return process.reap();
}

TEST(ChildProcess, ReportsExitStatusOrSignal) {
    struct Case {
        const char* script;
        ChildExitStatus expected;
    };
    const Case cases[] = {
        {"exit 0", {ChildExitStatus::Kind::exited, 0}},
        {"exit 3", {ChildExitStatus::Kind::exited, 3}},
        {"exit 255", {ChildExitStatus::Kind::exited, 255}},
        {"kill -TERM $$", {ChildExitStatus::Kind::signalled, SIGTERM}},
        {"kill -KILL $$", {ChildExitStatus::Kind::signalled, SIGKILL}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        auto process = ChildProcess::launch(shell(c.script));
        Captured captured;
        EXPECT_EQ(runToEnd(*process, captured), c.expected);
        EXPECT_TRUE(reaped(process->pid()));
    }
}

TEST(ChildProcess, PassesArgumentsWorkingFolderAndEnvironment) {
    TemporaryFolder folder;
    ChildProcessOptions options = shell(R"(printf '[%s]' "$0" "$@"; echo; pwd; echo "$ONLY"; env)");
    options.arguments.insert(options.arguments.end(), {"zero", "two words", "", "ü"});
    options.workingDirectory = folder.path();
    options.environment = std::vector<std::string>{"ONLY=value with blanks"};
    auto process = ChildProcess::launch(options);
    Captured captured;
    runToEnd(*process, captured);

    std::istringstream lines(captured.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "[zero][two words][][ü]");
    std::getline(lines, line);
    EXPECT_EQ(std::filesystem::canonical(line), std::filesystem::canonical(folder.path()));
    std::getline(lines, line);
    EXPECT_EQ(line, "value with blanks");
    // Only what we gave, plus what the shell sets for itself.
    std::vector<std::string> names;
    while (std::getline(lines, line))
        names.push_back(line.substr(0, line.find('=')));
    for (const auto& name : names)
        EXPECT_TRUE(name == "ONLY" || name == "PWD" || name == "OLDPWD") << name;
}

TEST(ChildProcess, RelativeExecutableIsResolvedAgainstOurFolderNotTheChilds) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder.path() / "elsewhere");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path("/bin");
    ChildProcessOptions options;
    options.executable = "sh";
    options.arguments = {"-c", "echo ran"};
    options.workingDirectory = folder.path() / "elsewhere";
    std::unique_ptr<ChildProcess> process;
    EXPECT_NO_THROW(process = ChildProcess::launch(options));
    std::filesystem::current_path(previous);
    ASSERT_TRUE(process);
    Captured captured;
    runToEnd(*process, captured);
    EXPECT_EQ(captured.out, "ran\n");
}

TEST(ChildProcess, LaunchFailuresAreThrownWithTheirErrno) {
    TemporaryFolder folder;
    const auto plain = folder.path() / "plain.txt";
    std::ofstream(plain) << "echo hi\n";
    ::chmod(plain.c_str(), 0644);
    struct Case {
        const char* label;
        std::filesystem::path executable;
        std::optional<std::filesystem::path> workingDirectory;
        int expected;
    };
    const Case cases[] = {
        {"missing file", folder.path() / "missing", std::nullopt, ENOENT},
        {"a folder", folder.path(), std::nullopt, EACCES},
        {"not executable", plain, std::nullopt, EACCES},
        {"missing working folder", "/bin/sh", folder.path() / "gone", ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ChildProcessOptions options;
        options.executable = c.executable;
        options.workingDirectory = c.workingDirectory;
        try {
            (void)ChildProcess::launch(options);
            ADD_FAILURE() << "launched";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), "NSPOSIXErrorDomain");
            EXPECT_EQ(error.code(), c.expected);
            EXPECT_NE(error.description().find(c.executable.string()), std::string::npos)
                << error.description();
        }
    }
}

// A descriptor of ours that other code opened without O_CLOEXEC.
class LeakyDescriptor {
public:
    LeakyDescriptor() : m_fd(::open("/dev/null", O_RDONLY)) {}
    ~LeakyDescriptor() { ::close(m_fd); }
    int get() const { return m_fd; }

private:
    int m_fd;
};

TEST(ChildProcess, ChildGetsOnlyItsThreeStandardDescriptors) {
    LeakyDescriptor leaky;
    ASSERT_GE(leaky.get(), 3);
    // `ls` lists the descriptors of the shell, which opens none of its own.
    auto process = ChildProcess::launch(shell("ls /proc/$$/fd"));
    Captured captured;
    runToEnd(*process, captured);
    EXPECT_EQ(captured.out, "0\n1\n2\n");
}

TEST(ChildProcess, StandardInputIsNullDeviceUnlessPiped) {
    {
        auto process = ChildProcess::launch(shell("cat; echo end"));
        Captured captured;
        runToEnd(*process, captured);
        EXPECT_EQ(captured.out, "end\n");
    }
    {
        ChildProcessOptions options = shell("cat");
        options.pipeStandardInput = true;
        auto process = ChildProcess::launch(options);
        // More than a pipe holds, so writing and reading must interleave.
        std::string input;
        for (int i = 0; input.size() < 300000; ++i)
            input += "line " + std::to_string(i) + "\n";
        process->writeInputAndClose(input);
        Captured captured;
        runToEnd(*process, captured);
        EXPECT_EQ(captured.out, input);
    }
}

TEST(ChildProcess, InputToAChildThatStoppedReadingIsDroppedWithoutSigpipe) {
    ChildProcessOptions options = shell("exec 0<&-; echo closed; sleep 0.2; echo still here");
    options.pipeStandardInput = true;
    auto process = ChildProcess::launch(options);
    Captured captured;
    const auto handler = captured.handler();
    // Wait until the child has closed its input, so the write hits EPIPE.
    while (captured.out.empty())
        process->pump(ChildProcess::WaitFor::outputEnd, Clock::now() + 50ms, handler);
    process->writeInputAndClose(std::string(200000, 'x'));
    EXPECT_EQ(runToEnd(*process, captured), (ChildExitStatus{ChildExitStatus::Kind::exited, 0}));
    EXPECT_EQ(captured.out, "closed\nstill here\n");
}

TEST(ChildProcess, ConversesOverInputThatStaysOpenUntilClosed) {
    // Answers each line it reads; ends only at the end of its input.
    ChildProcessOptions options = shell("while read line; do echo \"got $line\"; done; echo bye");
    options.pipeStandardInput = true;
    const auto process = ChildProcess::launch(options);
    Captured captured;
    const auto handler = captured.handler();
    const auto answered = [&](const std::string& text) {
        return std::function<bool()>(
            [&captured, text] { return captured.out.find(text) != std::string::npos; });
    };

    process->writeInput("one\n");
    EXPECT_EQ(process->pumpUntil(answered("got one\n"), Clock::now() + 10s, handler),
              ChildProcess::PumpResult::finished);
    // The child is still there, waiting for more.
    EXPECT_FALSE(process->hasExited());
    // A line larger than a pipe holds is written as the child reads it.
    const std::string big(300'000, 'x');
    process->writeInput(big + "\n");
    EXPECT_EQ(process->pumpUntil(answered("got " + big + "\n"), Clock::now() + 10s, handler),
              ChildProcess::PumpResult::finished);
    // Nothing else comes while the input stays open.
    EXPECT_EQ(process->pumpUntil(answered("bye"), Clock::now() + 200ms, handler),
              ChildProcess::PumpResult::deadlineReached);
    process->writeInput("two\n");
    process->closeInput();
    EXPECT_EQ(process->pumpUntil(answered("bye"), Clock::now() + 10s, handler),
              ChildProcess::PumpResult::finished);
    EXPECT_EQ(runToEnd(*process, captured), (ChildExitStatus{ChildExitStatus::Kind::exited, 0}));
    EXPECT_EQ(captured.out, "got one\ngot " + big + "\ngot two\nbye\n");
}

TEST(ChildProcess, ReadsBothStreamsConcurrently) {
    // A reader that waited for standard output first would never see it: the
    // child blocks on a full standard-error pipe long before.
    auto process = ChildProcess::launch(
        shell("head -c 1000000 /dev/zero >&2; head -c 700000 /dev/zero; echo done >&2"));
    Captured captured;
    EXPECT_EQ(runToEnd(*process, captured), (ChildExitStatus{ChildExitStatus::Kind::exited, 0}));
    EXPECT_EQ(captured.out.size(), 700000u);
    EXPECT_EQ(captured.err.size(), 1000000u + 5);
}

TEST(ChildProcess, RunsInItsOwnProcessGroupWithDefaultSignals) {
    // Ignored and blocked here, yet the child must start with neither.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction {};
    ::sigaction(SIGUSR1, &ignore, &previousAction);
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);

    // The reader replaces the shell: a shell that forks it blocks every signal
    // around the fork, and the reader could then see the shell's mask.
    auto process = ChildProcess::launch(shell("exec grep -E '^Sig(Blk|Ign)' /proc/self/status"));
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGUSR1, &previousAction, nullptr);

    EXPECT_EQ(::getpgid(process->pid()), process->pid());
    EXPECT_NE(::getpgid(process->pid()), ::getpgrp());
    Captured captured;
    runToEnd(*process, captured);
    // Masks in hexadecimal, bit n-1 for signal n. The C library's own
    // real-time signals (32 and 33) are its business; no other may be set.
    std::istringstream lines(captured.out);
    std::string blockedLine, ignoredLine;
    std::getline(lines, blockedLine);
    std::getline(lines, ignoredLine);
    ASSERT_EQ(blockedLine.rfind("SigBlk:\t", 0), 0u) << captured.out;
    ASSERT_EQ(ignoredLine.rfind("SigIgn:\t", 0), 0u) << captured.out;
    const auto mask = [](const std::string& line) {
        unsigned long long value = ~0ull;
        const char* digits = line.c_str() + line.find('\t') + 1;
        std::from_chars(digits, line.c_str() + line.size(), value, 16);
        return value;
    };
    constexpr unsigned long long kLibraryInternal = (1ull << 31) | (1ull << 32);
    EXPECT_EQ(mask(blockedLine) & ~kLibraryInternal, 0u) << captured.out;
    EXPECT_EQ(mask(ignoredLine) & ~kLibraryInternal, 0u) << captured.out;
}

TEST(ChildProcess, ExitWaitEndsWhileADescendantStillHoldsThePipes) {
    auto process = ChildProcess::launch(shell("sleep 100 & echo started"));
    Captured captured;
    const auto handler = captured.handler();
    const auto start = Clock::now();
    EXPECT_EQ(process->pump(ChildProcess::WaitFor::exit, Clock::now() + 20s, handler),
              ChildProcess::PumpResult::finished);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(captured.out, "started\n");
    EXPECT_FALSE(process->outputEnded());
    // The output cannot end while the sleeper lives.
    EXPECT_EQ(process->pump(ChildProcess::WaitFor::outputEnd, Clock::now() + 100ms, handler),
              ChildProcess::PumpResult::deadlineReached);
    const pid_t group = process->pid();
    process->terminate(2s, handler);
    EXPECT_TRUE(groupEventuallyEmpty(group));
}

TEST(ChildProcess, TerminateEscalatesToKillForTheWholeGroup) {
    // The shell and its background sleeper ignore SIGTERM and hold our pipes.
    auto process =
        ChildProcess::launch(shell("trap '' TERM; sleep 100 & echo $!; while :; do sleep 1; done"));
    Captured captured;
    const auto handler = captured.handler();
    while (captured.out.find('\n') == std::string::npos)
        process->pump(ChildProcess::WaitFor::outputEnd, Clock::now() + 50ms, handler);
    const pid_t sleeper = static_cast<pid_t>(numbersIn(captured.out).at(0));
    const pid_t group = process->pid();

    const auto start = Clock::now();
    const ChildExitStatus status = process->terminate(500ms, handler);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 500ms);
    EXPECT_LT(elapsed, 3s);
    EXPECT_EQ(status, (ChildExitStatus{ChildExitStatus::Kind::signalled, SIGKILL}));
    EXPECT_TRUE(reaped(group));
    EXPECT_TRUE(groupEventuallyEmpty(group));
    EXPECT_NE(processInfo(sleeper).state, 'S');
    // Reaped: further signals and ends are harmless no-ops.
    process->signalGroup(SIGKILL);
    EXPECT_EQ(process->reap(), status);
}

TEST(ChildProcess, TerminateOfACooperativeChildReturnsPromptly) {
    auto process = ChildProcess::launch(shell("trap 'echo bye; exit 7' TERM; echo up; "
                                              "while :; do sleep 0.05; done"));
    Captured captured;
    const auto handler = captured.handler();
    while (captured.out.empty())
        process->pump(ChildProcess::WaitFor::outputEnd, Clock::now() + 50ms, handler);
    const auto start = Clock::now();
    EXPECT_EQ(process->terminate(5s, handler), (ChildExitStatus{ChildExitStatus::Kind::exited, 7}));
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(captured.out, "up\nbye\n");
}

TEST(ChildProcess, StopRequestWakesThePumpAtOnce) {
    auto process = ChildProcess::launch(shell("sleep 100"));
    std::stop_source source;
    std::jthread canceller([&] {
        std::this_thread::sleep_for(100ms);
        source.request_stop();
    });
    const auto start = Clock::now();
    EXPECT_EQ(process->pump(ChildProcess::WaitFor::exit, Clock::time_point::max(), {},
                            source.get_token()),
              ChildProcess::PumpResult::stopRequested);
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST(ChildProcess, DestructorKillsGroupAndReaps) {
    pid_t group = 0;
    {
        auto process = ChildProcess::launch(shell("trap '' TERM; sleep 100 & sleep 100"));
        group = process->pid();
    }
    EXPECT_TRUE(reaped(group));
    EXPECT_TRUE(groupEventuallyEmpty(group));
}

TEST(ChildProcess, SignalFromAnotherThreadDuringTheWait) {
    auto process = ChildProcess::launch(shell("sleep 100"));
    std::jthread signaller([&] {
        std::this_thread::sleep_for(50ms);
        process->signalGroup(SIGTERM);
    });
    EXPECT_EQ(process->pump(ChildProcess::WaitFor::exit, Clock::now() + 20s, {}),
              ChildProcess::PumpResult::finished);
    EXPECT_EQ(process->reap(), (ChildExitStatus{ChildExitStatus::Kind::signalled, SIGTERM}));
}

} // namespace
