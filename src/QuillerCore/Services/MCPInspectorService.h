#pragma once

// Runs a Model Context Protocol server given as a command line for one short
// exchange over its standard input and output, and reports the tools it lists
// and everything it printed. Every call starts a fresh process and ends it;
// nothing is kept between calls, so concurrent calls are independent.

#include "QuillerCore/Models/RuntimeRecords.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

struct MCPInspectionResult {
    // The tools of the last output line that lists at least one; may be empty.
    std::vector<MCPToolDescriptor> tools{};
    // Standard output, then "\n--- stderr ---\n" and standard error when there
    // is any, trimmed of white space at both ends. A stream that is not valid
    // UTF-8 counts as empty.
    std::string rawOutput{};

    friend bool operator==(const MCPInspectionResult&, const MCPInspectionResult&) = default;
};

namespace MCPInspectorService {

inline constexpr long emptyCommandErrorCode = 2001;
// What the server has written this long after it got its input is the answer.
inline constexpr std::chrono::milliseconds replyWait{900};
// How long a server may take to end after SIGTERM before its process group is
// killed.
inline constexpr std::chrono::milliseconds terminationGrace{2000};
// Output kept per stream; a server that floods its pipes loses the rest.
inline constexpr std::size_t maxStreamBytes = 16 * 1024 * 1024;

// Splits `commandLine` as a shell would (CurlCodecEngine::shellSplit) and runs
// it: a first word that begins with "/" directly, anything else through
// /usr/bin/env, which looks it up in the search path; the child inherits our
// environment and working folder. It is sent "initialize" (id 1), the
// "initialized" notification and "tools/list" (id 2), plus "tools/call" (id 3)
// when `callToolName` is given (even empty), one message a line, after which
// its standard input is closed. Standard output and error are read as they
// come for replyWait; then the server's process group is asked to end, read
// for at most terminationGrace more, and killed, and the server is reaped:
// no process of the call outlives it. A call takes at most about three
// seconds.
//
// Blocks the calling thread; call it off the main thread. Throws
// tarn::PlatformError("Quiller", 2001, "Empty MCP server command.") when the
// command line has no words, before anything starts; the launch error of
// tarn::ChildProcess when the program cannot be started (an unknown bare name
// is not one: env's complaint arrives in rawOutput); and
// tarn::TarnProcessError::cancelled() when a stop is requested on `stop`,
// which ends the call at once and kills the server.
MCPInspectionResult inspectStdioServer(std::string_view commandLine,
                                       const std::optional<std::string>& callToolName,
                                       std::string_view callArgumentsJSON,
                                       std::stop_token stop = {});

} // namespace MCPInspectorService
} // namespace quiller
