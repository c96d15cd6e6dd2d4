#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class TarnProcessCancellation;

// What a finished process left behind.
struct TarnProcessResult {
    // The exit status, or the number of the signal that ended the process.
    std::int32_t exitCode = 0;
    // Standard output: all of it, or its last TarnProcessRunner::tailLimit
    // bytes. (Named with an underscore: stdout and stderr are C macros.)
    std::string stdout_{};
    // The last TarnProcessRunner::tailLimit bytes of standard error.
    std::string stderr_{};

    // The bytes as UTF-8, every invalid sequence replaced by U+FFFD.
    std::string stdoutString() const;
    std::string stderrString() const;

    friend bool operator==(const TarnProcessResult&, const TarnProcessResult&) = default;
};

// Runs a command-line tool as a child process and blocks the calling thread
// until it ends: call it off the main thread.
namespace TarnProcessRunner {

inline constexpr std::size_t tailLimit = 32768;
// How long a cancelled process may take to end after SIGTERM before SIGKILL.
inline constexpr std::chrono::milliseconds terminationGrace{2000};
// How long output is still read after the process has exited.
inline constexpr std::chrono::milliseconds outputLinger{250};

// Receives live output of both streams as text; a chunk that is not valid
// UTF-8 on its own (a character split between two reads, binary output) is
// kept in the result but not passed on. Called on the running thread.
using OutputCallback = std::function<void(std::string_view text)>;

// Runs `executable` (no search-path lookup; see TarnBinaryLocator) with
// `arguments`, in `workingDirectory` when given. `environment`, when given,
// overrides or adds to this process's environment; otherwise the child
// inherits it unchanged. Standard input is /dev/null. The child runs in a
// process group of its own (see ChildProcess).
//
// A non-zero exit is a result, not an error. Throws TarnProcessError::cancelled
// when `cancellation` is cancelled before the start (nothing is started) or by
// the time the run ends; a cancel during the run sends the process group
// SIGTERM and, after terminationGrace, SIGKILL. A launch failure (missing or
// non-executable file, a folder, a bad working folder) throws the
// tarn::PlatformError of ChildProcess::launch.
//
// Once the child has exited the run waits at most outputLinger for the end of
// its output, so a descendant that keeps the pipes open (a daemon it started)
// cannot hold it; such descendants are left running.
TarnProcessResult
run(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
    const std::optional<std::filesystem::path>& workingDirectory = std::nullopt,
    const std::optional<std::map<std::string, std::string>>& environment = std::nullopt,
    bool captureFullStdout = false,
    const std::shared_ptr<TarnProcessCancellation>& cancellation = nullptr,
    const OutputCallback& onOutput = {});

} // namespace TarnProcessRunner
} // namespace tarn
