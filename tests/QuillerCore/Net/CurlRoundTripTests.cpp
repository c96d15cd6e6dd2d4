// Imported commands and generated snippets against the real programs: what
// the workbench sends must be what curl, Python's requests and Node's fetch
// send for the same command or snippet, as a loopback server receives it.

#include "QuillerCore/Engine/CurlCodecEngine.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "TarnKit/Platform/ASCII.h"
#include "support/LoopbackHTTPServer.h"
#include "support/ShellCommand.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quiller {
namespace {

using tarn::testing::haveTool;
using tarn::testing::LoopbackHTTPServer;
using tarn::testing::runShell;
using tarn::testing::ScriptedReply;
using tarn::testing::ServedRequest;
using tarn::testing::ShellResult;
namespace fs = std::filesystem;

// What a request carries that matters to a server: the method, the target,
// the body and the headers, by lower-cased name. Headers every client words
// its own way are left out: the connection's own (Host, Content-Length,
// Connection, Accept-Encoding, Expect) and a client's defaults (its
// User-Agent, "Accept: */*").
struct SentRequest {
    std::string method;
    std::string target;
    std::map<std::string, std::string> headers;
    std::string body;

    friend bool operator==(const SentRequest&, const SentRequest&) = default;
};

std::ostream& operator<<(std::ostream& out, const SentRequest& request) {
    out << request.method << " " << request.target << " {";
    for (const auto& [name, value] : request.headers)
        out << " " << name << ": " << value << ";";
    return out << " } " << request.body;
}

// The target with the hex digits of its escapes in upper case: curl writes
// some in lower case, which means the same (RFC 3986, section 6.2.2.1).
std::string normalizedTarget(std::string target) {
    for (std::size_t i = 0; i + 2 < target.size(); ++i) {
        if (target[i] != '%')
            continue;
        for (std::size_t k = i + 1; k <= i + 2; ++k) {
            if (target[k] >= 'a' && target[k] <= 'f')
                target[k] = static_cast<char>(target[k] - 'a' + 'A');
        }
    }
    return target;
}

SentRequest whatMatters(const ServedRequest& served) {
    SentRequest request{served.method, normalizedTarget(served.target), {}, served.body};
    for (const auto& [name, value] : served.headers) {
        const std::string key = tarn::ascii::lowercased(name);
        if (key == "host" || key == "content-length" || key == "connection" ||
            key == "accept-encoding" || key == "expect" || key == "accept-language" ||
            key.starts_with("sec-fetch-"))
            continue;
        if (key == "user-agent" &&
            (value.starts_with("curl/") || value.starts_with("python-requests/") ||
             value == "node" || value.starts_with("Quiller")))
            continue;
        if (key == "accept" && value == "*/*")
            continue;
        request.headers[key] = value;
    }
    return request;
}

class RealClients : public ::testing::Test {
protected:
    RealClients() {
        m_server.setFallback([](const ServedRequest&) {
            return ScriptedReply::status(200, "{}").header("Content-Type", "application/json");
        });
    }

    // The requests the server reads while `send` runs.
    template <class Send> std::vector<ServedRequest> received(Send&& send) {
        const std::size_t before = m_server.requests().size();
        send();
        std::vector<ServedRequest> all = m_server.requests();
        return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
    }

    std::optional<ServedRequest> sentByWorkbench(const APIRequestSpec& request) {
        const auto served =
            received([&] { HTTPAndSSEClientService::execute(request, {}, false, {}); });
        if (served.size() != 1)
            return std::nullopt;
        return served.front();
    }

    // The text with every "URL" replaced by the server's base URL.
    std::string withServer(std::string text) const {
        const std::string base = m_server.url("");
        for (std::size_t at = text.find("URL"); at != std::string::npos;
             at = text.find("URL", at + base.size()))
            text.replace(at, 3, base);
        return text;
    }

    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = m_folder.path() / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    LoopbackHTTPServer m_server;
    tarn::testing::TemporaryFolder m_folder{"quiller-real-clients"};
};

TEST_F(RealClients, AnImportedCommandSendsWhatCurlSends) {
    if (!haveTool("curl"))
        GTEST_SKIP() << "no curl";
    const std::string port = std::to_string(m_server.port());
    // Commands as they are copied from API documentation and browsers.
    const std::vector<std::string> commands = {
        "curl 'URL/items?page=2&sort=name'",
        "curl -X POST -d 'name=a b' -d 'tag=x+y' URL/form",
        "curl -H 'Content-Type: application/json' -d '{\"a\": [1, 2]}' URL/json",
        "curl --json '{\"a\":1}' URL/json",
        "curl -XPUT -H'X-Trace: 7' -d'{\"a\":1}' URL/put",
        "curl -X DELETE URL/items/7",
        "curl -sSL -A 'agent/1.0' -e 'https://docs.test/page' -b 'a=b' -b 'c=d' URL/meta",
        "curl -u alice:s3cret URL/basic",
        "curl --oauth2-bearer t0k.en URL/bearer",
        "curl -H 'Authorization: Bearer abc' -H 'Accept: text/plain' URL/bearer",
        "curl -I URL/head",
        "curl -G -d a=1 --data-urlencode 'q=a b/\u00e9' 'URL/search?z=0'",
        "curl --data-urlencode 'q=a b+c' --data-urlencode '=x y' --data-raw '@not-a-file' URL/enc",
        "curl -o out.txt -w '%{http_code}' -m 5 --connect-timeout 3 -k --compressed -v URL/quiet",
        "curl -r 0-99 URL/range",
        "curl --url-query 'q=a b' URL/query",
        "curl -H 'Accept:' -H 'X-Empty:' URL/removed",
        "curl 127.0.0.1:" + port + "/bare?x=1",
    };
    for (const std::string& command : commands) {
        const std::string line = withServer(command);
        SCOPED_TRACE(line);
        const auto byCurl = received([&] {
            runShell("cd '" + m_folder.path().string() + "' && " + line +
                     " -s -o /dev/null 2>/dev/null");
        });
        ASSERT_EQ(byCurl.size(), 1u);
        const std::optional<APIRequestSpec> imported = CurlCodecEngine::parseCurl(line);
        ASSERT_TRUE(imported);
        const std::optional<ServedRequest> byWorkbench = sentByWorkbench(*imported);
        ASSERT_TRUE(byWorkbench);
        SentRequest workbench = whatMatters(*byWorkbench);
        const SentRequest curl = whatMatters(byCurl.front());
        // The import's row for "no Accept given", where curl says "*/*".
        if (const auto accept = workbench.headers.find("accept");
            !curl.headers.contains("accept") && accept != workbench.headers.end() &&
            accept->second == "application/json")
            workbench.headers.erase(accept);
        EXPECT_EQ(workbench, curl);
    }
}

// Requests of every body kind the snippets must get right, each with the
// headers a server looks at.
std::vector<APIRequestSpec> snippetRequests() {
    const std::vector<KeyValueRow> headers = {{.key = "Accept", .value = "application/json"},
                                              {.key = "X-Client", .value = "{{client}}"}};
    return {
        APIRequestSpec{.method = TarnHTTPMethod::post,
                       .url = "{{base}}/json?x=1",
                       .headers = headers,
                       .auth = {.kind = RequestAuthKind::bearer, .bearerToken = "t0k"},
                       .bodyKind = RequestBodyKind::json,
                       .bodyText = R"({"name":"O'Brien","tags":["a","b"],"n":1.5,"ok":true})"},
        APIRequestSpec{.method = TarnHTTPMethod::put,
                       .url = "{{base}}/form",
                       .headers = headers,
                       .bodyKind = RequestBodyKind::formURLEncoded,
                       .bodyText = "a=1&b=x+y&c=%26"},
        APIRequestSpec{.method = TarnHTTPMethod::post,
                       .url = "{{base}}/graphql",
                       .headers = headers,
                       .auth = {.kind = RequestAuthKind::basic,
                                .basicUsername = "alice",
                                .basicPassword = "pw"},
                       .bodyKind = RequestBodyKind::graphql,
                       .bodyText = "query {\n  me { id name }\n}",
                       .graphQLVariables = R"({"first": 2})"},
        APIRequestSpec{.method = TarnHTTPMethod::head, .url = "{{base}}/head", .headers = headers},
    };
}

class SnippetsAgainstTheServer : public RealClients {
protected:
    // Runs every snippet of `language` with `run` and compares what arrived
    // with what the workbench sends for the same request.
    template <class Run> void expectSameRequests(CodeSnippetLanguage language, Run&& run) {
        const VariableMap variables = {{"base", m_server.url("")}, {"client", "snippet-test"}};
        std::vector<std::string> snippets;
        std::vector<ServedRequest> byWorkbench;
        for (const APIRequestSpec& request : snippetRequests()) {
            snippets.push_back(CurlCodecEngine::generateSnippet(request, language, variables));
            const auto served =
                received([&] { HTTPAndSSEClientService::execute(request, variables, false, {}); });
            ASSERT_EQ(served.size(), 1u);
            byWorkbench.push_back(served.front());
        }
        std::vector<ServedRequest> bySnippets;
        const ShellResult result = [&] {
            ShellResult ran;
            bySnippets = received([&] { ran = run(snippets); });
            return ran;
        }();
        ASSERT_EQ(result.exitCode, 0) << result.output;
        ASSERT_EQ(bySnippets.size(), byWorkbench.size()) << result.output;
        for (std::size_t i = 0; i < byWorkbench.size(); ++i)
            EXPECT_EQ(whatMatters(bySnippets[i]), whatMatters(byWorkbench[i])) << snippets[i];
    }
};

TEST_F(SnippetsAgainstTheServer, CurlSnippetsSendWhatTheWorkbenchSends) {
    if (!haveTool("curl"))
        GTEST_SKIP() << "no curl";
    expectSameRequests(CodeSnippetLanguage::curl, [&](const std::vector<std::string>& snippets) {
        std::string script = "set -e\n";
        for (const std::string& snippet : snippets)
            script += snippet + " -s -o /dev/null\n";
        return runShell("sh " + write("snippets.sh", script) + " 2>&1");
    });
}

TEST_F(SnippetsAgainstTheServer, PythonSnippetsSendWhatTheWorkbenchSends) {
    const std::string python = tarn::testing::pythonCommand();
    if (runShell(python + " -c 'import requests' 2>/dev/null").exitCode != 0)
        GTEST_SKIP() << "no Python with requests";
    expectSameRequests(CodeSnippetLanguage::python, [&](const std::vector<std::string>& snippets) {
        // One interpreter runs them all, in order; their prints are silenced.
        std::string runner = "import sys\nfor path in sys.argv[1:]:\n"
                             "    with open(path, encoding='utf-8') as f:\n"
                             "        exec(compile(f.read(), path, 'exec'), "
                             "{'print': lambda *a: None})\n";
        std::string command = python + " " + write("runner.py", runner);
        for (std::size_t i = 0; i < snippets.size(); ++i)
            command += " " + write("snippet" + std::to_string(i) + ".py", snippets[i]);
        return runShell(command + " 2>&1");
    });
}

TEST_F(SnippetsAgainstTheServer, TypeScriptSnippetsSendWhatTheWorkbenchSends) {
    if (!haveTool("node"))
        GTEST_SKIP() << "no node";
    expectSameRequests(CodeSnippetLanguage::typescript,
                       [&](const std::vector<std::string>& snippets) {
                           // The snippets are plain JavaScript modules with top-level await.
                           std::string runner;
                           for (std::size_t i = 0; i < snippets.size(); ++i) {
                               const std::string name = "snippet" + std::to_string(i) + ".mjs";
                               write(name, snippets[i] + "\n");
                               runner += "await import(\"./" + name + "\");\n";
                           }
                           return runShell("node " + write("runner.mjs", runner) + " 2>&1");
                       });
}

} // namespace
} // namespace quiller
