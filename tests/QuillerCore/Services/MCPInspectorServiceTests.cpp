#include "QuillerCore/Engine/MCPProtocolCodec.h"
#include "QuillerCore/Services/MCPInspectorService.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/System/TarnProcessError.h"
#include "support/ProcessInspection.h"
#include "support/ShellCommand.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quiller::MCPInspectionResult;
using quiller::MCPToolDescriptor;
using quiller::MCPInspectorService::inspectStdioServer;
using tarn::testing::groupEventuallyEmpty;
using tarn::testing::livingMembers;
using tarn::testing::numbersIn;
using tarn::testing::reaped;
using tarn::testing::TemporaryFolder;
namespace fs = std::filesystem;
namespace codec = quiller::MCPProtocolCodec;
using Clock = std::chrono::steady_clock;

// Fake MCP servers: shell scripts written into a temporary folder, started
// through a command line that quotes their path.
class FakeServers {
public:
    // A folder name with a blank, so that the quoting is exercised too.
    FakeServers() { fs::create_directory(m_folder.path() / "mcp servers"); }

    fs::path folder() const { return m_folder.path() / "mcp servers"; }

    fs::path write(const std::string& name, const std::string& body) const {
        fs::path path = folder() / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ::chmod(path.c_str(), 0755);
        return path;
    }

    // The command line that starts `name` with `arguments` (already quoted).
    std::string command(const std::string& name, const std::string& arguments = "") const {
        std::string line = "'" + (folder() / name).string() + "'";
        if (!arguments.empty())
            line += " " + arguments;
        return line;
    }

private:
    TemporaryFolder m_folder;
};

std::string readFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// Reads the initialize request and answers it.
const std::string kAnswerInitialize =
    "read l; echo '{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{}}'\n";

const std::string kToolsReply =
    R"({"jsonrpc":"2.0","id":2,"result":{"tools":[{"name":"echo","description":"Echoes",)"
    R"("inputSchema":{"type":"object"}},{"name":"add"}]}})";

TEST(MCPInspectorService, BlankCommandLinesAreRefusedBeforeAnythingStarts) {
    for (const char* line : {"", "   ", " \t\n ", "''", "\"\" ''", "\\\n"}) {
        SCOPED_TRACE(line);
        try {
            inspectStdioServer(line, std::nullopt, "{}");
            ADD_FAILURE() << "no error";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), "Quiller");
            EXPECT_EQ(error.code(), 2001);
            EXPECT_EQ(error.description(), "Empty MCP server command.");
        }
    }
}

// A server that speaks the protocol in order, answering after the delays it
// is given. It logs every line it receives, every reply it sends and the end
// of its input (which it may not reach: it is asked to end right after the
// last reply); a reply sent while more input was already waiting is marked
// "early", which proves that the client did not wait for the previous reply.
const char* const kOrderlyServer = R"PY(
import json, os, select, sys, time
options = dict(zip(sys.argv[1::2], sys.argv[2::2]))
log = open(options["--log"], "a", encoding="utf-8")
def note(text):
    log.write(text + "\n")
    log.flush()
def reply(message_id, result, delay):
    time.sleep(delay)
    waiting = bool(pending) or bool(select.select([0], [], [], 0)[0])
    # Noted before it goes: the client ends the server as soon as the last
    # reply arrives, which may be before a note written after it.
    note("send %d%s" % (message_id, " early" if waiting else ""))
    sys.stdout.write(json.dumps({"jsonrpc": "2.0", "id": message_id, "result": result}) + "\n")
    sys.stdout.flush()
sys.stderr.write("starting\n")
sys.stderr.flush()
pending = b""
while True:
    while b"\n" not in pending:
        chunk = os.read(0, 65536)
        if not chunk:
            note("end of input")
            sys.exit(0)
        pending += chunk
    line, pending = pending.split(b"\n", 1)
    note("recv " + line.decode("utf-8"))
    message = json.loads(line)
    method = message.get("method")
    if options.get("--silent-after", "none") == method:
        while os.read(0, 65536):
            pass
        note("end of input")
        time.sleep(100)
    if method == "initialize":
        reply(1, {"protocolVersion": "2024-11-05", "capabilities": {"tools": {}},
                  "serverInfo": {"name": "orderly", "version": "1"}},
              float(options.get("--initialize-delay", "0")))
    elif method == "tools/list":
        reply(2, {"tools": [{"name": "slow", "description": "Takes its time"}]}, 0)
    elif method == "tools/call":
        text = "called %s with %s" % (message["params"]["name"],
                                      json.dumps(message["params"]["arguments"]))
        reply(3, {"content": [{"type": "text", "text": text}]},
              float(options.get("--call-delay", "0")))
)PY";

// The command line that runs the orderly server with `arguments`.
std::string orderlyCommand(const FakeServers& servers, const std::string& arguments) {
    const fs::path script = servers.folder() / "orderly.py";
    std::ofstream(script) << kOrderlyServer;
    return tarn::testing::pythonCommand() + " '" + script.string() + "' " + arguments;
}

TEST(MCPInspectorService, SpeaksInOrderAndWaitsForEachReply) {
    FakeServers servers;
    const fs::path log = servers.folder() / "log.txt";
    const std::string initialize =
        R"({"id":1,"jsonrpc":"2.0","method":"initialize","params":{"capabilities":{},)"
        R"("clientInfo":{"name":"Quiller","version":"1.0.0"},"protocolVersion":"2024-11-05"}})";
    ASSERT_EQ(codec::encodeInitialize(1), initialize);
    const std::string discovery = "recv " + initialize + "\nsend 1\nrecv " +
                                  codec::encodeInitializedNotification() + "\nrecv " +
                                  codec::encodeListTools(2) + "\nsend 2\n";

    struct Case {
        const char* label;
        std::string delays;
        std::optional<std::string> toolName;
        std::string arguments;
        std::string expectedLog;
        std::string expectedReply; // the last reply in the output
    };
    // An npx launch needs most of a second, and tools do real work: both
    // delays lie far beyond what a fixed wait would allow.
    const Case cases[] = {
        {"discovery after a slow start", "--initialize-delay 1.5", std::nullopt, "{}", discovery,
         R"("id": 2)"},
        {"a slow tool", "--call-delay 2", "slow", R"({"text":"hi \"there\""})",
         discovery + "recv " + codec::encodeCallTool(3, "slow", R"({"text":"hi \"there\""})") +
             "\nsend 3\n",
         R"(called slow with {\"text\": \"hi \\\"there\\\"\"})"},
        // An empty name is still a call; arguments that are not JSON become {}.
        {"an empty name", "", "", "not json",
         discovery + "recv " + codec::encodeCallTool(3, "", "{}") + "\nsend 3\n",
         "called  with {}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(log);
        const MCPInspectionResult result =
            inspectStdioServer(orderlyCommand(servers, "--log '" + log.string() + "' " + c.delays),
                               c.toolName, c.arguments);
        // The end of input may or may not be seen before the server is asked
        // to end.
        std::string received = readFile(log);
        if (received.ends_with("end of input\n"))
            received.resize(received.size() - 13);
        EXPECT_EQ(received, c.expectedLog);
        ASSERT_EQ(result.tools.size(), 1u);
        EXPECT_EQ(result.tools[0].name, "slow");
        EXPECT_NE(result.rawOutput.find(c.expectedReply), std::string::npos) << result.rawOutput;
        EXPECT_NE(result.rawOutput.find("\n--- stderr ---\nstarting"), std::string::npos);
    }
}

TEST(MCPInspectorService, AReplyThatNeverComesIsABoundedError) {
    FakeServers servers;
    const fs::path log = servers.folder() / "log.txt";
    // Long enough for the interpreter to start on a busy machine.
    const quiller::MCPInspectorService::ReplyWaits waits{.startup = 1500ms, .call = 1000ms};
    const struct {
        std::string silentAfter;
        std::string message;
    } cases[] = {
        {"initialize", R"(The MCP server did not answer "initialize" within 1.5 seconds.)"},
        {"tools/call", R"(The MCP server did not answer "tools/call" within 1 second.)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.silentAfter);
        const auto start = Clock::now();
        try {
            inspectStdioServer(orderlyCommand(servers, "--log '" + log.string() +
                                                           "' --silent-after " + c.silentAfter),
                               std::string("slow"), "{}", {}, waits);
            ADD_FAILURE() << "no error";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), "Quiller");
            EXPECT_EQ(error.code(), 2002);
            // The message, then the output so far.
            EXPECT_EQ(error.description().substr(0, c.message.size() + 2), c.message + "\n\n");
            EXPECT_NE(error.description().find("--- stderr ---\nstarting"), std::string::npos)
                << error.description();
        }
        EXPECT_LT(Clock::now() - start, 4s);
    }
}

TEST(MCPInspectorService, ReturnsToolsAndEverythingPrinted) {
    FakeServers servers;
    servers.write("server",
                  "read line; echo 'server starting'\n"
                  "echo '" +
                      kToolsReply +
                      "'\n"
                      "echo 'log: listed tools'\n"
                      "echo '{\"jsonrpc\":\"2.0\",\"id\":3,\"result\":{\"content\":[]}}'\n"
                      "echo 'warning: demo mode' >&2");
    const MCPInspectionResult result =
        inspectStdioServer(servers.command("server"), std::string("echo"), "{}");
    const std::vector<MCPToolDescriptor> expectedTools = {
        {"echo", "Echoes", "{\n  \"type\" : \"object\"\n}"}, {"add", "", "{}"}};
    EXPECT_EQ(result.tools, expectedTools);
    EXPECT_EQ(result.rawOutput, "server starting\n" + kToolsReply +
                                    "\nlog: listed tools\n"
                                    "{\"jsonrpc\":\"2.0\",\"id\":3,\"result\":{\"content\":[]}}\n"
                                    "\n--- stderr ---\nwarning: demo mode");
}

TEST(MCPInspectorService, OutputRules) {
    const std::string otherTools = R"({"id":2,"result":{"tools":[{"name":"other"}]}})";
    struct Case {
        const char* label;
        std::string script;
        std::optional<std::string> rawOutput; // nullopt: not checked
        std::vector<std::string> toolNames;
    };
    const std::vector<Case> cases = {
        {"nothing at all", "exit 0", "", {}},
        {"white space only", "printf '  \\n\\t \\n'; printf ' \\n' >&2", "--- stderr ---", {}},
        {"standard error only", "echo '  oops' >&2", "--- stderr ---\n  oops", {}},
        {"no standard error, no marker", "printf '\\n out \\n\\n'", "out", {}},
        {"invalid UTF-8 output counts as empty",
         "printf 'a\\377\\n'; echo e >&2",
         "--- stderr ---\ne",
         {}},
        {"invalid UTF-8 on standard error", "echo o; printf '\\300' >&2", "o", {}},
        {"last listing with tools wins",
         "echo '" + kToolsReply + "'; echo '" + otherTools +
             R"('; echo '{"id":2,"result":{"tools":[]}}'; )" +
             R"(echo '{"id":2,"error":{"code":-32601,"message":"no"}}')",
         std::nullopt,
         {"other"}},
        {"carriage returns and other line breaks split lines",
         "printf '%s\\r\\n%s\\342\\200\\250x\\n' '" + kToolsReply + "' '" + otherTools + "'",
         std::nullopt,
         {"other"}},
        {"two replies on one line list nothing",
         "echo '" + kToolsReply + " " + otherTools + "'",
         std::nullopt,
         {}},
        {"a child that closed its input early",
         "exec 0<&-; sleep 0.1; echo '" + otherTools + "'",
         otherTools,
         {"other"}},
    };
    FakeServers servers;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        servers.write("server", c.script);
        const MCPInspectionResult result =
            inspectStdioServer(servers.command("server"), std::nullopt, "{}");
        if (c.rawOutput) {
            EXPECT_EQ(result.rawOutput, *c.rawOutput);
        }
        std::vector<std::string> names;
        for (const auto& tool : result.tools)
            names.push_back(tool.name);
        EXPECT_EQ(names, c.toolNames);
    }
}

TEST(MCPInspectorService, QuotedArgumentWithBlanksArrivesWhole) {
    FakeServers servers;
    servers.write("args", R"(for a in "$@"; do printf '<%s>\n' "$a"; done)");
    const MCPInspectionResult result = inspectStdioServer(
        servers.command("args", R"('two words' "x  y" plain\ text last)"), std::nullopt, "{}");
    EXPECT_EQ(result.rawOutput, "<two words>\n<x  y>\n<plain text>\n<last>");
}

TEST(MCPInspectorService, BareNameIsLookedUpThroughEnv) {
    FakeServers servers;
    servers.write("quiller-fake-mcp-server", R"(echo "found $1")");
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    ::setenv("PATH", (servers.folder().string() + ":" + savedPath).c_str(), 1);
    const MCPInspectionResult found =
        inspectStdioServer("quiller-fake-mcp-server 'an argument'", std::nullopt, "{}");
    // env also takes NAME=value words, as a shell would.
    const MCPInspectionResult withVariable = inspectStdioServer(
        "QUILLER_GREETING=hello sh -c 'echo $QUILLER_GREETING'", std::nullopt, "{}");
    ::setenv("PATH", savedPath.c_str(), 1);
    EXPECT_EQ(found.rawOutput, "found an argument");
    EXPECT_EQ(withVariable.rawOutput, "hello");
}

TEST(MCPInspectorService, UnknownBareNameReportsEnvsMessageInTheOutput) {
    const MCPInspectionResult result =
        inspectStdioServer("quiller-no-such-mcp-server --stdio", std::nullopt, "{}");
    EXPECT_TRUE(result.tools.empty());
    EXPECT_EQ(result.rawOutput.rfind("--- stderr ---\n", 0), 0u) << result.rawOutput;
    EXPECT_NE(result.rawOutput.find("quiller-no-such-mcp-server"), std::string::npos)
        << result.rawOutput;
}

TEST(MCPInspectorService, MissingAbsolutePathIsALaunchError) {
    TemporaryFolder folder;
    const std::string missing = (folder.path() / "no-server").string();
    try {
        inspectStdioServer(missing + " --stdio", std::nullopt, "{}");
        ADD_FAILURE() << "no error";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), "NSPOSIXErrorDomain");
        EXPECT_EQ(error.code(), ENOENT);
        EXPECT_NE(error.description().find(missing), std::string::npos);
    }
}

TEST(MCPInspectorService, AServerThatIgnoresTermAndLeavesAChildIsEndedWithinFourSeconds) {
    FakeServers servers;
    servers.write("stubborn", "trap '' TERM\n"
                              "sleep 100 &\n"
                              "echo \"$$ $!\"\n" +
                                  kAnswerInitialize + "read l; read l; echo '" + kToolsReply +
                                  "'\n"
                                  "while :; do sleep 1; done");
    const auto start = Clock::now();
    const MCPInspectionResult result =
        inspectStdioServer(servers.command("stubborn"), std::nullopt, "{}");
    EXPECT_LT(Clock::now() - start, 4s);
    EXPECT_EQ(result.tools.size(), 2u);

    const std::vector<long> pids =
        numbersIn(result.rawOutput.substr(0, result.rawOutput.find('{')));
    ASSERT_EQ(pids.size(), 2u) << result.rawOutput;
    const auto server = static_cast<pid_t>(pids[0]);
    EXPECT_TRUE(reaped(server));
    EXPECT_TRUE(groupEventuallyEmpty(server)) << "left: " << livingMembers(server).size();
}

TEST(MCPInspectorService, AChattyServerNeverBlocksOnAFullPipe) {
    FakeServers servers;
    // Far more than a pipe holds, on standard error, before the reply.
    servers.write("chatty",
                  "head -c 1000000 /dev/zero | tr '\\0' x >&2; echo '" + kToolsReply + "'");
    const auto start = Clock::now();
    const MCPInspectionResult result =
        inspectStdioServer(servers.command("chatty"), std::nullopt, "{}");
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_EQ(result.tools.size(), 2u);
    // The reply's line break, the marker line and the flood.
    EXPECT_EQ(result.rawOutput.size(), kToolsReply.size() + 1 + 16 + 1000000);
}

TEST(MCPInspectorService, AFloodIsCutAtTheCapWithoutVoidingTheText) {
    using quiller::MCPInspectorService::maxStreamBytes;
    FakeServers servers;
    // "abc", then "é\n" over and over: the cap falls right after the first
    // byte of an "é", which must not make the whole stream invalid.
    static_assert((maxStreamBytes - 3) % 3 == 1);
    // It ignores SIGTERM, so that a slow machine still reads up to the cap
    // during the grace after the wait.
    servers.write("flood", "trap '' TERM; printf abc; yes é | head -c 20000000");
    const MCPInspectionResult result =
        inspectStdioServer(servers.command("flood"), std::nullopt, "{}");
    // The half character goes, then the trailing line break is trimmed.
    EXPECT_EQ(result.rawOutput.size(), maxStreamBytes - 2);
    EXPECT_EQ(result.rawOutput.substr(0, 9), "abcé\né\n");
    EXPECT_EQ(result.rawOutput.substr(result.rawOutput.size() - 3), "\né");
}

TEST(MCPInspectorService, ConcurrentCallsAreIndependent) {
    FakeServers servers;
    servers.write("named", R"(echo "server $1")");
    std::vector<std::future<MCPInspectionResult>> calls;
    calls.reserve(4);
    for (int i = 0; i < 4; ++i)
        calls.push_back(std::async(std::launch::async, [&servers, i] {
            return inspectStdioServer(servers.command("named", std::to_string(i)), std::nullopt,
                                      "{}");
        }));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(calls[i].get().rawOutput, "server " + std::to_string(i));
}

TEST(MCPInspectorService, StopEndsTheCallPromptlyAndKillsTheServer) {
    FakeServers servers;
    const fs::path pidFile = servers.folder() / "pid";
    servers.write("slow", "echo $$ > '" + pidFile.string() + "'; exec sleep 100");
    std::stop_source source;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(300ms);
        source.request_stop();
    });
    const auto start = Clock::now();
    try {
        inspectStdioServer(servers.command("slow"), std::nullopt, "{}", source.get_token());
        ADD_FAILURE() << "no error";
    } catch (const tarn::TarnProcessError& error) {
        EXPECT_EQ(error.kind(), tarn::TarnProcessError::Kind::cancelled);
    }
    EXPECT_LT(Clock::now() - start, 800ms);
    const auto server = static_cast<pid_t>(numbersIn(readFile(pidFile)).at(0));
    EXPECT_TRUE(reaped(server));
    EXPECT_TRUE(groupEventuallyEmpty(server));
}

} // namespace
