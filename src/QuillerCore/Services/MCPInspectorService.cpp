#include "QuillerCore/Services/MCPInspectorService.h"

#include "QuillerCore/Engine/MCPProtocolCodec.h"
#include "TarnKit/Platform/ChildProcess.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/ShellWords.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/System/TarnProcessError.h"

#include <cstdint>
#include <functional>

namespace quiller::MCPInspectorService {
namespace {

using Clock = std::chrono::steady_clock;

// One output stream as read, up to maxStreamBytes.
class StreamCapture {
public:
    void append(std::string_view chunk) {
        const std::size_t room = maxStreamBytes - std::min(maxStreamBytes, m_bytes.size());
        if (chunk.size() > room) {
            chunk = chunk.substr(0, room);
            m_truncated = true;
        }
        m_bytes.append(chunk);
    }

    std::string_view bytes() const { return m_bytes; }

    // The UTF-8 text, or empty when the stream is not valid UTF-8.
    std::string text() {
        if (m_truncated)
            dropCutCharacter();
        return tarn::text::isValidUTF8(m_bytes) ? m_bytes : std::string();
    }

private:
    // The cap may cut the last character in two; that alone must not void the
    // whole stream.
    void dropCutCharacter() {
        std::size_t lead = m_bytes.size();
        for (int back = 0; back < 4 && lead > 0; ++back) {
            --lead;
            if ((static_cast<unsigned char>(m_bytes[lead]) & 0xC0) != 0x80)
                break;
        }
        if (lead >= m_bytes.size())
            return;
        const auto first = static_cast<unsigned char>(m_bytes[lead]);
        const std::size_t length = first < 0x80             ? 1
                                   : (first & 0xE0) == 0xC0 ? 2
                                   : (first & 0xF0) == 0xE0 ? 3
                                   : (first & 0xF8) == 0xF0 ? 4
                                                            : 1;
        if (m_bytes.size() - lead < length)
            m_bytes.resize(lead);
    }

    std::string m_bytes;
    bool m_truncated = false;
};

// The length of the line break that starts at `i`, or 0: line feed, vertical
// tab, form feed, carriage return, NEL and the Unicode line and paragraph
// separators. Byte patterns suffice: in valid UTF-8 the lead bytes 0xC2 and
// 0xE2 never occur inside another character.
std::size_t lineBreakAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t at) {
        return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u;
    };
    const unsigned first = byte(i);
    if (first >= 0x0A && first <= 0x0D)
        return 1;
    if (first == 0xC2 && byte(i + 1) == 0x85)
        return 2;
    if (first == 0xE2 && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9))
        return 3;
    return 0;
}

// The last non-empty tool listing among the lines of `output` (valid UTF-8).
std::vector<MCPToolDescriptor> lastToolListing(std::string_view output) {
    std::vector<MCPToolDescriptor> tools;
    std::size_t lineStart = 0;
    auto takeLine = [&](std::size_t end) {
        // Only a JSON object can list tools; skipping every other line up
        // front keeps a server's chatter (millions of log lines, possibly)
        // from costing a parse each.
        const std::size_t start = output.find_first_not_of(" \t", lineStart);
        if (start >= end || output[start] != '{')
            return;
        auto listed = MCPProtocolCodec::decodeToolsList(output.substr(lineStart, end - lineStart));
        if (!listed.empty())
            tools = std::move(listed);
    };
    std::size_t i = 0;
    while (i < output.size()) {
        if (const std::size_t length = lineBreakAt(output, i)) {
            takeLine(i);
            i += length;
            lineStart = i;
        } else {
            ++i;
        }
    }
    takeLine(output.size());
    return tools;
}

// Watches standard output for replies, one complete line at a time, so that
// each arrival costs a look at the new lines only.
class ReplyWatcher {
public:
    explicit ReplyWatcher(const StreamCapture& output) : m_output(output) {}

    bool hasReply(std::int64_t id) {
        const std::string_view bytes = m_output.bytes();
        std::size_t i = m_scanned;
        std::size_t lineStart = m_scanned;
        while (i < bytes.size()) {
            if (const std::size_t length = lineBreakAt(bytes, i)) {
                if (const auto replied =
                        MCPProtocolCodec::replyID(bytes.substr(lineStart, i - lineStart));
                    replied && *replied >= 1 && *replied <= 3)
                    m_replied[static_cast<std::size_t>(*replied)] = true;
                i += length;
                lineStart = i;
            } else {
                ++i;
            }
        }
        // A line still being written is looked at again when it is complete.
        m_scanned = lineStart;
        return m_replied[static_cast<std::size_t>(id)];
    }

private:
    const StreamCapture& m_output;
    std::size_t m_scanned = 0;
    bool m_replied[4] = {};
};

std::string line(std::string message) {
    message += '\n';
    return message;
}

std::string waitText(std::chrono::milliseconds wait) {
    const double seconds = static_cast<double>(wait.count()) / 1000.0;
    return tarn::numbers::formatDouble(seconds) + (wait.count() == 1000 ? " second" : " seconds");
}

std::string rawOutputOf(StreamCapture& out, StreamCapture& err) {
    std::string raw = out.text();
    const std::string standardError = err.text();
    if (!standardError.empty()) {
        raw += "\n--- stderr ---\n";
        raw += standardError;
    }
    return std::string(tarn::text::trimmingWhitespaceAndNewlines(raw));
}

} // namespace

MCPInspectionResult inspectStdioServer(std::string_view commandLine,
                                       const std::optional<std::string>& callToolName,
                                       std::string_view callArgumentsJSON, std::stop_token stop,
                                       const ReplyWaits& waits) {
    std::vector<std::string> words = tarn::splitShellWords(commandLine);
    // '' names no program either.
    if (words.empty() || words.front().empty())
        throw tarn::PlatformError("Quiller", emptyCommandErrorCode, "Empty MCP server command.");

    tarn::ChildProcessOptions options;
    if (words.front().starts_with('/')) {
        options.executable = words.front();
        options.arguments.assign(std::make_move_iterator(words.begin() + 1),
                                 std::make_move_iterator(words.end()));
    } else {
        options.executable = "/usr/bin/env";
        options.arguments = std::move(words);
    }
    options.pipeStandardInput = true;
    if (stop.stop_requested())
        throw tarn::TarnProcessError::cancelled();

    // A launch failure propagates; the process object then never existed.
    const auto process = tarn::ChildProcess::launch(options);

    StreamCapture out;
    StreamCapture err;
    const tarn::ChildProcess::OutputHandler collect = [&](tarn::OutputStream stream,
                                                          std::string_view chunk) {
        (stream == tarn::OutputStream::standardOutput ? out : err).append(chunk);
    };
    ReplyWatcher replies(out);

    // Sends `messages`, then reads until the reply with `id` arrives. A server
    // that closed its output has said all it will: the exchange ends there,
    // as it does for one that answers.
    bool serverEnded = false;
    const auto exchange = [&](const std::string& messages, std::int64_t id, std::string_view method,
                              std::chrono::milliseconds wait) {
        if (serverEnded)
            return;
        const auto deadline = Clock::now() + wait;
        process->writeInput(messages);
        const std::function<bool()> replied = [&] { return replies.hasReply(id); };
        switch (process->pumpUntil(replied, deadline, collect, stop)) {
        case tarn::ChildProcess::PumpResult::finished:
            serverEnded = !replied();
            return;
        case tarn::ChildProcess::PumpResult::stopRequested:
            throw tarn::TarnProcessError::cancelled(); // the process's destructor kills it
        case tarn::ChildProcess::PumpResult::deadlineReached:
            break;
        }
        std::string description = "The MCP server did not answer \"" + std::string(method) +
                                  "\" within " + waitText(wait) + ".";
        if (const std::string raw = rawOutputOf(out, err); !raw.empty())
            description += "\n\n" + raw;
        throw tarn::PlatformError("Quiller", noReplyErrorCode, description);
    };

    exchange(line(MCPProtocolCodec::encodeInitialize(1)), 1, "initialize", waits.startup);
    exchange(line(MCPProtocolCodec::encodeInitializedNotification()) +
                 line(MCPProtocolCodec::encodeListTools(2)),
             2, "tools/list", waits.listing);
    if (callToolName)
        exchange(line(MCPProtocolCodec::encodeCallTool(3, *callToolName, callArgumentsJSON)), 3,
                 "tools/call", waits.call);

    process->closeInput();
    process->terminate(terminationGrace, collect, stop);
    if (stop.stop_requested())
        throw tarn::TarnProcessError::cancelled();

    MCPInspectionResult result;
    result.rawOutput = rawOutputOf(out, err);
    result.tools = lastToolListing(out.text());
    return result;
}

} // namespace quiller::MCPInspectorService
