#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/System/TarnProcessCancellation.h"
#include "TarnKit/System/TarnProcessError.h"
#include "TarnKit/System/TarnProcessRunner.h"
#include "support/TemporaryFolder.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tarn::TarnProcessCancellation;
using tarn::TarnProcessError;
using tarn::TarnProcessResult;
using tarn::testing::TemporaryFolder;
namespace runner = tarn::TarnProcessRunner;
using Clock = std::chrono::steady_clock;

// The runs of decimal digits in `text`, in order (read with from_chars: the
// tests run under Turkish and German locales too).
std::vector<long> numbersIn(std::string_view text) {
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

TarnProcessResult runShell(const std::string& script,
                           const std::shared_ptr<TarnProcessCancellation>& cancellation = nullptr,
                           bool captureFullStdout = false,
                           const runner::OutputCallback& onOutput = {}) {
    return runner::run("/bin/sh", {"-c", script}, std::nullopt, std::nullopt, captureFullStdout,
                       cancellation, onOutput);
}

// Whether every process of a group has died (gone, or a zombie left for
// whoever adopted it, which is not ours to reap).
bool groupEventuallyEmpty(pid_t group) {
    const auto deadline = Clock::now() + 2s;
    for (;;) {
        bool living = false;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream file(entry.path() / "stat");
            std::string line;
            if (!std::getline(file, line) || line.find(')') == std::string::npos)
                continue;
            const std::string_view rest = std::string_view(line).substr(line.rfind(')') + 2);
            const std::vector<long> numbers = numbersIn(rest.substr(1, 40));
            if (numbers.size() > 1 && numbers[1] == group && rest[0] != 'Z' && rest[0] != 'X')
                living = true;
        }
        if (!living)
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

bool notOurZombie(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) < 0 && errno == ECHILD;
}

std::string randomBytes(std::size_t size) {
    std::mt19937 generator(42);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

TEST(TarnProcessRunner, KeepsTailsOfBothStreams) {
    TemporaryFolder folder;
    const std::string data = randomBytes(100000);
    const auto file = folder.path() / "data.bin";
    std::ofstream(file, std::ios::binary) << data;
    const std::string tail = data.substr(data.size() - runner::tailLimit);
    const std::string both = "cat '" + file.string() + "'; cat '" + file.string() + "' >&2";

    struct Case {
        bool captureFullStdout;
        std::string expectedOut;
    };
    for (const Case& c : {Case{false, tail}, Case{true, data}}) {
        SCOPED_TRACE(c.captureFullStdout);
        const TarnProcessResult result = runShell(both, nullptr, c.captureFullStdout);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.stdout_ == c.expectedOut) << result.stdout_.size();
        EXPECT_TRUE(result.stderr_ == tail) << result.stderr_.size();
    }
    // Short output is kept whole, and many small writes wrap the ring in steps.
    EXPECT_EQ(runShell("printf abc").stdout_, "abc");
    const TarnProcessResult lines = runShell("seq 1 20000");
    std::string expected;
    for (int i = 1; i <= 20000; ++i)
        expected += std::to_string(i) + "\n";
    EXPECT_EQ(lines.stdout_, expected.substr(expected.size() - runner::tailLimit));
}

TEST(TarnProcessRunner, ExitCodesAreResultsNotErrors) {
    struct Case {
        const char* script;
        std::int32_t exitCode;
        const char* stderrText;
    };
    const Case cases[] = {
        {"exit 0", 0, ""},
        {"echo oops >&2; exit 3", 3, "oops\n"},
        {"exit 255", 255, ""},
        {"kill -KILL $$", SIGKILL, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const TarnProcessResult result = runShell(c.script);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.stderr_, c.stderrText);
    }
}

TEST(TarnProcessRunner, StandardInputIsTheNullDevice) {
    const auto start = Clock::now();
    const TarnProcessResult result = runShell("cat; echo eof");
    EXPECT_EQ(result.stdout_, "eof\n");
    EXPECT_LT(Clock::now() - start, 5s);
}

TEST(TarnProcessRunner, EnvironmentIsInheritedAndOverridden) {
    ::setenv("QUILLER_RUNNER_KEPT", "kept", 1);
    ::setenv("QUILLER_RUNNER_REPLACED", "old", 1);
    const std::string script =
        R"(echo "$QUILLER_RUNNER_KEPT|$QUILLER_RUNNER_REPLACED|$QUILLER_RUNNER_ADDED")";
    const auto inherited =
        runner::run("/bin/sh", {"-c", script}, std::nullopt, std::nullopt).stdout_;
    const auto overridden =
        runner::run("/bin/sh", {"-c", script}, std::nullopt,
                    std::map<std::string, std::string>{{"QUILLER_RUNNER_REPLACED", "new"},
                                                       {"QUILLER_RUNNER_ADDED", "a b=c"}})
            .stdout_;
    const auto count =
        runner::run("/bin/sh", {"-c", "env | grep -c '^QUILLER_RUNNER_REPLACED='"}, std::nullopt,
                    std::map<std::string, std::string>{{"QUILLER_RUNNER_REPLACED", "new"}})
            .stdout_;
    ::unsetenv("QUILLER_RUNNER_KEPT");
    ::unsetenv("QUILLER_RUNNER_REPLACED");
    EXPECT_EQ(inherited, "kept|old|\n");
    EXPECT_EQ(overridden, "kept|new|a b=c\n");
    EXPECT_EQ(count, "1\n");
}

TEST(TarnProcessRunner, RunsInTheWorkingFolder) {
    TemporaryFolder folder;
    const auto result = runner::run("/bin/pwd", {"-P"}, folder.path());
    EXPECT_EQ(result.stdout_, std::filesystem::canonical(folder.path()).string() + "\n");
}

TEST(TarnProcessRunner, LaunchFailurePassesThePlatformError) {
    TemporaryFolder folder;
    struct Case {
        std::filesystem::path executable;
        std::optional<std::filesystem::path> workingDirectory;
        int expected;
    };
    const Case cases[] = {
        {folder.path() / "missing", std::nullopt, ENOENT},
        {folder.path(), std::nullopt, EACCES},
        {"/bin/true", folder.path() / "missing", ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable.string());
        try {
            runner::run(c.executable, {}, c.workingDirectory);
            ADD_FAILURE() << "ran";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), "NSPOSIXErrorDomain");
            EXPECT_EQ(error.code(), c.expected);
        }
    }
}

TEST(TarnProcessRunner, LiveOutputPassesOnlyChunksThatAreTextOnTheirOwn) {
    std::mutex lock;
    std::vector<std::string> chunks;
    const auto onOutput = [&](std::string_view text) {
        std::lock_guard guard(lock);
        chunks.emplace_back(text);
    };
    // "é" is written in two halves with a pause between them.
    const TarnProcessResult result =
        runShell("printf 'out\\n'; sleep 0.2; printf 'err\\n' >&2; sleep 0.2; printf '\\303'; "
                 "sleep 0.2; printf '\\251'",
                 nullptr, false, onOutput);
    EXPECT_EQ(result.stdout_, "out\n\xC3\xA9");
    EXPECT_EQ(result.stdoutString(), "out\né");
    EXPECT_EQ(chunks, (std::vector<std::string>{"out\n", "err\n"}));

    TarnProcessResult broken;
    broken.stdout_ = "a\xFF";
    broken.stderr_ = "\xC3";
    EXPECT_EQ(broken.stdoutString(), "a\uFFFD");
    EXPECT_EQ(broken.stderrString(), "\uFFFD");
}

TEST(TarnProcessRunner, ADescendantHoldingThePipesDoesNotHoldTheRun) {
    const auto start = Clock::now();
    const TarnProcessResult result = runShell("sleep 30 & echo $!; echo done");
    EXPECT_LT(Clock::now() - start, 5s);
    const std::vector<long> numbers = numbersIn(result.stdout_);
    ASSERT_EQ(numbers.size(), 1u);
    const auto sleeper = static_cast<pid_t>(numbers[0]);
    EXPECT_EQ(result.stdout_, std::to_string(sleeper) + "\ndone\n");
    ::kill(sleeper, SIGKILL);
}

TEST(TarnProcessRunner, CancelBeforeRunStartsNothing) {
    TemporaryFolder folder;
    const auto marker = folder.path() / "started";
    auto cancellation = std::make_shared<TarnProcessCancellation>();
    cancellation->cancel();
    EXPECT_TRUE(cancellation->isCancelled());
    try {
        runShell("touch '" + marker.string() + "'", cancellation);
        ADD_FAILURE() << "ran";
    } catch (const TarnProcessError& error) {
        EXPECT_EQ(error.kind(), TarnProcessError::Kind::cancelled);
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
}

// Runs `script`, which prints its own pid first, cancels it from another
// thread once that line arrived, and checks that the run ended with
// `cancelled` and no process of it is left.
void expectCancelledDuringRun(const std::string& script, Clock::duration limit) {
    auto cancellation = std::make_shared<TarnProcessCancellation>();
    std::atomic<pid_t> child{0};
    std::atomic<bool> finished{false};
    std::string seen; // only touched on the running thread
    const auto onOutput = [&](std::string_view text) {
        seen += text;
        if (child == 0 && seen.find('\n') != std::string::npos)
            child = static_cast<pid_t>(numbersIn(seen).at(0));
    };
    std::jthread canceller([&] {
        while (child == 0 && !finished)
            std::this_thread::sleep_for(1ms);
        if (child != 0)
            cancellation->cancel();
    });
    const auto start = Clock::now();
    EXPECT_THROW(runShell(script, cancellation, false, onOutput), TarnProcessError);
    EXPECT_LT(Clock::now() - start, limit);
    finished = true;
    canceller.join();
    ASSERT_NE(child.load(), 0);
    EXPECT_TRUE(notOurZombie(child));
    // The child led its own group; nothing of that group may be left.
    EXPECT_TRUE(groupEventuallyEmpty(child));
}

TEST(TarnProcessRunner, CancelDuringRunTerminatesTheProcess) {
    expectCancelledDuringRun("echo $$; exec sleep 100", 2s);
}

TEST(TarnProcessRunner, CancelDuringRunKillsAChildThatIgnoresTermAndItsDescendants) {
    // Killed after the grace; the sleeper it left behind goes with its group.
    expectCancelledDuringRun("trap '' TERM; echo $$; sleep 100 & sleep 100", 5s);
}

TEST(TarnProcessRunner, CancelArrivingAroundTheLaunchStillStopsTheProcess) {
    // The cancel lands at varying points before, during and after the launch;
    // without acting on it at attach time some runs would last 100 s.
    std::mt19937 generator(7);
    std::uniform_int_distribution<int> delayMicroseconds(0, 3000);
    for (int round = 0; round < 30; ++round) {
        auto cancellation = std::make_shared<TarnProcessCancellation>();
        const int delay = delayMicroseconds(generator);
        std::jthread canceller([cancellation, delay] {
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            cancellation->cancel();
        });
        const auto start = Clock::now();
        EXPECT_THROW(
            runner::run("/bin/sleep", {"100"}, std::nullopt, std::nullopt, false, cancellation),
            TarnProcessError);
        EXPECT_LT(Clock::now() - start, 5s) << "delay " << delay;
    }
}

TEST(TarnProcessRunner, CancelAfterTheRunIsHarmless) {
    auto cancellation = std::make_shared<TarnProcessCancellation>();
    EXPECT_EQ(runShell("echo ok", cancellation).stdout_, "ok\n");
    cancellation->cancel();
    EXPECT_TRUE(cancellation->isCancelled());
}

TEST(TarnProcessError, DescribesItselfInTheGivenLanguage) {
    using tarn::TarnLanguage;
    struct Case {
        TarnProcessError error;
        TarnLanguage language;
        const char* expected;
    };
    const Case cases[] = {
        {TarnProcessError::binaryNotFound("ffmpeg"), TarnLanguage::en,
         "Required executable 'ffmpeg' was not found."},
        {TarnProcessError::binaryNotFound("ffmpeg"), TarnLanguage::tr,
         "Gerekli 'ffmpeg' aracı bulunamadı."},
        {TarnProcessError::cancelled(), TarnLanguage::en, "Operation cancelled."},
        {TarnProcessError::cancelled(), TarnLanguage::tr, "İşlem iptal edildi."},
        {TarnProcessError::nonZeroExit(3, ""), TarnLanguage::tr, "Process exited with code 3."},
        {TarnProcessError::nonZeroExit(-2, " \n\t"), TarnLanguage::en,
         "Process exited with code -2."},
        {TarnProcessError::nonZeroExit(1, "\n  fatal: no repo \n"), TarnLanguage::tr,
         "fatal: no repo"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.error.errorDescription(c.language), c.expected);
        EXPECT_EQ(c.error.domain(), "TarnKit.TarnProcessError");
        EXPECT_EQ(c.error.code(), static_cast<long>(c.error.kind()));
    }
}

} // namespace
