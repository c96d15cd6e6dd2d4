#include "TarnKit/System/TarnProcessRunner.h"

#include "TarnKit/Platform/ChildProcess.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/System/TarnProcessCancellation.h"
#include "TarnKit/System/TarnProcessError.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <stop_token>

extern char** environ;

namespace tarn {
namespace {

using Clock = std::chrono::steady_clock;

// The last `capacity` bytes appended, in a ring that is allocated once and
// never moves bytes on append.
class TailBuffer {
public:
    explicit TailBuffer(std::size_t capacity) : m_capacity(capacity) {}

    void append(std::string_view bytes) {
        if (bytes.size() >= m_capacity) {
            m_bytes.assign(bytes.substr(bytes.size() - m_capacity));
            m_head = 0;
            return;
        }
        if (m_bytes.size() < m_capacity) {
            const std::size_t fill = std::min(m_capacity - m_bytes.size(), bytes.size());
            m_bytes.append(bytes.substr(0, fill));
            bytes.remove_prefix(fill);
        }
        // Full: overwrite the oldest bytes, which start at m_head.
        while (!bytes.empty()) {
            const std::size_t run = std::min(m_capacity - m_head, bytes.size());
            std::memcpy(m_bytes.data() + m_head, bytes.data(), run);
            m_head = (m_head + run) % m_capacity;
            bytes.remove_prefix(run);
        }
    }

    std::string contents() const {
        if (m_head == 0)
            return m_bytes;
        std::string ordered = m_bytes.substr(m_head);
        ordered.append(m_bytes, 0, m_head);
        return ordered;
    }

private:
    std::size_t m_capacity;
    std::string m_bytes;
    std::size_t m_head = 0; // the oldest byte once the ring is full
};

// Standard output kept whole or as a tail.
class OutputBuffer {
public:
    explicit OutputBuffer(bool keepFull) : m_keepFull(keepFull) {}

    void append(std::string_view bytes) {
        if (m_keepFull)
            m_full.append(bytes);
        else
            m_tail.append(bytes);
    }
    std::string contents() const { return m_keepFull ? m_full : m_tail.contents(); }

private:
    bool m_keepFull;
    std::string m_full;
    TailBuffer m_tail{TarnProcessRunner::tailLimit};
};

// Our environment with the given entries replaced or added; new names follow
// in the map's order.
std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> entries;
    std::vector<bool> used(overrides.size(), false);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        const auto found = overrides.find(std::string(name));
        if (found == overrides.end()) {
            entries.emplace_back(text);
            continue;
        }
        const auto index = static_cast<std::size_t>(std::distance(overrides.begin(), found));
        // A name listed twice in our environment is given once.
        if (!used[index])
            entries.push_back(found->first + "=" + found->second);
        used[index] = true;
    }
    std::size_t index = 0;
    for (const auto& [name, value] : overrides) {
        if (!used[index++])
            entries.push_back(name + "=" + value);
    }
    return entries;
}

} // namespace

std::string TarnProcessResult::stdoutString() const {
    return text::repairUTF8(stdout_);
}
std::string TarnProcessResult::stderrString() const {
    return text::repairUTF8(stderr_);
}

namespace TarnProcessRunner {

TarnProcessResult
run(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
    const std::optional<std::filesystem::path>& workingDirectory,
    const std::optional<std::map<std::string, std::string>>& environment, bool captureFullStdout,
    const std::shared_ptr<TarnProcessCancellation>& cancellation, const OutputCallback& onOutput) {
    if (cancellation && cancellation->isCancelled())
        throw TarnProcessError::cancelled();

    ChildProcessOptions options;
    options.executable = executable;
    options.arguments = arguments;
    options.workingDirectory = workingDirectory;
    if (environment)
        options.environment = mergedEnvironment(*environment);
    options.pipeStandardInput = false;

    OutputBuffer out(captureFullStdout);
    TailBuffer err(tailLimit);
    const ChildProcess::OutputHandler collect = [&](OutputStream stream, std::string_view chunk) {
        if (stream == OutputStream::standardOutput)
            out.append(chunk);
        else
            err.append(chunk);
        if (onOutput && text::isValidUTF8(chunk))
            onOutput(chunk);
    };

    const std::shared_ptr<ChildProcess> process = ChildProcess::launch(options);
    // After the launch, so that a cancel which came in meanwhile is acted on
    // here rather than lost.
    std::stop_token stop;
    if (cancellation) {
        cancellation->attach(process);
        stop = cancellation->stopToken();
    }

    auto outcome =
        process->pump(ChildProcess::WaitFor::exit, Clock::time_point::max(), collect, stop);
    if (outcome == ChildProcess::PumpResult::finished)
        outcome = process->pump(ChildProcess::WaitFor::outputEnd, Clock::now() + outputLinger,
                                collect, stop);
    const ChildExitStatus status = outcome == ChildProcess::PumpResult::stopRequested
                                       ? process->terminate(terminationGrace, collect)
                                       : process->reap();

    if (cancellation && cancellation->isCancelled())
        throw TarnProcessError::cancelled();
    return TarnProcessResult{status.code, out.contents(), err.contents()};
}

} // namespace TarnProcessRunner
} // namespace tarn
