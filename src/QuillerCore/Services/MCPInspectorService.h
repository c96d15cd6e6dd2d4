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
// A reply that did not come within its wait.
inline constexpr long noReplyErrorCode = 2002;

// How long each reply may take. An npx launch alone takes most of a second
// and a tool may do real work, so the waits are generous; each one ends at
// once when a stop is requested.
struct ReplyWaits {
    // The reply to "initialize", from the launch on.
    std::chrono::milliseconds startup{15'000};
    // The reply to "tools/list".
    std::chrono::milliseconds listing{15'000};
    // The reply to "tools/call".
    std::chrono::milliseconds call{60'000};
};

// How long a server may take to end after SIGTERM before its process group is
// killed.
inline constexpr std::chrono::milliseconds terminationGrace{2000};
// Output kept per stream; a server that floods its pipes loses the rest.
inline constexpr std::size_t maxStreamBytes = 16 * 1024 * 1024;

// Splits `commandLine` as a shell would (tarn::splitShellWords) and runs
// it: a first word that begins with "/" directly, anything else through
// /usr/bin/env, which looks it up in the search path; the child inherits our
// environment and working folder. The exchange follows the protocol's order,
// one message a line: "initialize" (id 1) and its reply; then the
// "initialized" notification and "tools/list" (id 2) and its reply; then,
// when `callToolName` is given (even empty), "tools/call" (id 3) and its
// reply. Then its standard input is closed, the server's process group is
// asked to end, read for at most terminationGrace more, and killed, and the
// server is reaped: no process of the call outlives it. A server that closes
// its output before a reply is not waited for: what it wrote is the answer.
//
// Blocks the calling thread; call it off the main thread. Throws
// tarn::PlatformError("Quiller", 2001, "Empty MCP server command.") when the
// command line has no words, before anything starts; the launch error of
// tarn::ChildProcess when the program cannot be started (an unknown bare name
// is not one: env's complaint arrives in rawOutput); ("Quiller", 2002) when a
// reply does not come within its wait, naming the request and followed by
// the output so far; and tarn::TarnProcessError::cancelled() when a stop is
// requested on `stop`, which ends the call at once and kills the server.
MCPInspectionResult inspectStdioServer(std::string_view commandLine,
                                       const std::optional<std::string>& callToolName,
                                       std::string_view callArgumentsJSON,
                                       std::stop_token stop = {}, const ReplyWaits& waits = {});

} // namespace MCPInspectorService
} // namespace quiller
