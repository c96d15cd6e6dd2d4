#include "QuillerCore/Engine/MCPProtocolCodec.h"
#include "QuillerCore/Services/MCPInspectorService.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/System/TarnProcessError.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quiller::MCPInspectionResult;
using quiller::MCPToolDescriptor;
using quiller::MCPInspectorService::inspectStdioServer;
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
        const fs::path path = folder() / name;
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

// Live (non-zombie) processes of a process group; an orphan that died stays a
// zombie until whoever adopted it reaps it, which is not ours to do.
std::vector<pid_t> livingMembers(pid_t group) {
    std::vector<pid_t> members;
    DIR* proc = ::opendir("/proc");
    while (dirent* entry = ::readdir(proc)) {
        pid_t pid = 0;
        const std::string_view name(entry->d_name);
        if (std::from_chars(name.data(), name.data() + name.size(), pid).ec != std::errc{})
            continue;
        std::ifstream file("/proc/" + std::string(name) + "/stat");
        std::string line;
        if (!std::getline(file, line))
            continue;
        const std::string_view rest = std::string_view(line).substr(line.rfind(')') + 2);
        const std::vector<long> numbers = numbersIn(rest.substr(1, 40));
        if (numbers.size() > 1 && numbers[1] == group && rest[0] != 'Z' && rest[0] != 'X')
            members.push_back(pid);
    }
    ::closedir(proc);
    return members;
}

bool groupEventuallyEmpty(pid_t group) {
    const auto deadline = Clock::now() + 2s;
    while (!livingMembers(group).empty()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool notOurZombie(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) < 0 && errno == ECHILD;
}

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

TEST(MCPInspectorService, SendsTheExactLinesThenEndOfFile) {
    FakeServers servers;
    // `cat` finishes only at end of file, so the file holds everything sent.
    servers.write("recorder", R"(cat > "$1")");
    const fs::path received = servers.folder() / "received.txt";
    const std::string initialize =
        R"({"id":1,"jsonrpc":"2.0","method":"initialize","params":{"capabilities":{},)"
        R"("clientInfo":{"name":"Quiller","version":"1.0.0"},"protocolVersion":"2024-11-05"}})";
    const std::string discovery = initialize + "\n" + codec::encodeInitializedNotification() +
                                  "\n" + codec::encodeListTools(2) + "\n";
    ASSERT_EQ(codec::encodeInitialize(1), initialize);

    struct Case {
        std::optional<std::string> toolName;
        std::string arguments;
        std::string expected;
    };
    const Case cases[] = {
        {std::nullopt, "{}", discovery},
        {"echo", R"({"text":"hi \"there\""})",
         discovery + codec::encodeCallTool(3, "echo", R"({"text":"hi \"there\""})") + "\n"},
        // An empty name is still a call; arguments that are not JSON become {}.
        {"", "not json", discovery + codec::encodeCallTool(3, "", "{}") + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        fs::remove(received);
        const MCPInspectionResult result = inspectStdioServer(
            servers.command("recorder", "'" + received.string() + "'"), c.toolName, c.arguments);
        EXPECT_EQ(result, MCPInspectionResult{});
        EXPECT_EQ(readFile(received), c.expected);
    }
    const std::string invocation = cases[1].expected;
    EXPECT_NE(invocation.rfind(R"({"arguments":{"text":"hi \"there\""},"name":"echo"})"),
              std::string::npos);
    EXPECT_EQ(invocation.substr(invocation.rfind("\n{") + 1, 7), R"({"id":3)");
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
                              "echo \"$$ $!\"\n"
                              "echo '" +
                                  kToolsReply +
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
    EXPECT_TRUE(notOurZombie(server));
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
    servers.write("named", R"(cat > /dev/null; echo "server $1")");
    std::vector<std::future<MCPInspectionResult>> calls;
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
    EXPECT_TRUE(notOurZombie(server));
    EXPECT_TRUE(groupEventuallyEmpty(server));
}

} // namespace
