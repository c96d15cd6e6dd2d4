#pragma once

// The outside world as QuillerViewModel sees it: small interfaces ("ports")
// that the application fills with the real services and the Qt adapters, and
// the tests with fakes.
//
// Threads. Unless a port says otherwise, the view model calls it on the main
// thread. The blocking service calls (execution, runner, MCP) run on the
// background executor: they take a std::stop_token, may block for as long as
// the work takes, end promptly once a stop is requested, and report failure by
// throwing (tarn::PlatformError normally); the view model shows what() of the
// error as the error's description.

#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"
#include "QuillerCore/Models/RequestHistoryEntry.h"
#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RunnerRecords.h"
#include "QuillerCore/Models/RuntimeRecords.h"
#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/DesktopPorts.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/Platform/UUID.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace tarn {
class TarnAppLogger;
}

namespace quiller {

// --- Platform --------------------------------------------------------------------

class ClockPort {
public:
    virtual ~ClockPort() = default;
    // For elapsed times: never goes backwards.
    virtual std::chrono::steady_clock::time_point steadyNow() const = 0;
    // For dates shown to the user or stored.
    virtual std::chrono::system_clock::time_point wallNow() const = 0;
};

// The clipboard and the file dialogs are the suite's desktop ports.
using ClipboardPort = tarn::ClipboardPort;
using FilePanelsPort = tarn::FilePanelsPort;

// Whether the application starts when the user logs in.
class LaunchAtLoginPort {
public:
    virtual ~LaunchAtLoginPort() = default;
    virtual bool isEnabled() = 0;
    // Throws tarn::PlatformError when the system refuses the change.
    virtual void setEnabled(bool enabled) = 0;
};

// Hands an address to the application the desktop chooses for it (the web
// browser for http and https): the suite's desktop port.
using URLOpenerPort = tarn::URLOpenerPort;

// --- Stores ----------------------------------------------------------------------

// The workspace file (QuillerWorkspaceStore). load() and
// setUnreadableFileAside() run on the main thread at start-up; save() and
// secretsFallbackFile() on the view model's saver thread, one call at a time,
// never at the same time as another call of the port.
class WorkspaceStorePort {
public:
    virtual ~WorkspaceStorePort() = default;
    // The stored workspace, or the built-in defaults when there is none or it
    // cannot be read.
    virtual QuillerWorkspacePayload load() = 0;
    // Synchronous. Throws (tarn::PlatformError) when the workspace could not
    // be written; the view model keeps it and saves it again.
    virtual void save(const QuillerWorkspacePayload& payload) = 0;
    // Right after load(): where a stored file that could not be read was
    // moved aside, when it was.
    virtual std::optional<std::filesystem::path> setUnreadableFileAside() { return std::nullopt; }
    // Right after a save: the private file that holds secrets in clear, once
    // a save has put one there because no keyring answered.
    virtual std::optional<std::filesystem::path> secretsFallbackFile() { return std::nullopt; }
};

// The request history file (RequestHistoryStore). load() and
// setUnreadableFileAside() run on the main thread at start-up; save() and
// clear() on the view model's saver thread, one call at a time, never at the
// same time as another call of the port.
class HistoryStorePort {
public:
    virtual ~HistoryStorePort() = default;
    // Newest first; empty when the file is missing or unreadable.
    virtual std::vector<RequestHistoryEntry> load() = 0;
    // Both throw (tarn::PlatformError) when the file could not be written or
    // removed; the view model keeps the history and saves it again.
    virtual void save(const std::vector<RequestHistoryEntry>& entries) = 0;
    // Removes the file.
    virtual void clear() = 0;
    // Right after load(): where a stored file that could not be read was
    // moved aside, when it was.
    virtual std::optional<std::filesystem::path> setUnreadableFileAside() { return std::nullopt; }
};

// --- Network and processes (blocking, background executor) ---------------------

// HTTP execution, GraphQL introspection and Server-Sent Events.
class RequestExecutionPort {
public:
    // Header name and value.
    using HeaderList = std::vector<std::pair<std::string, std::string>>;
    // Called off the main thread, once per event, in arrival order.
    using SSEEventHandler = std::function<void(SSEStreamEvent)>;

    virtual ~RequestExecutionPort() = default;

    // Composes the request from `spec` and `variables`, sends it and returns
    // the response with timings and evaluated assertions; any HTTP status is a
    // result. With `logExecution` one sanitised log line is written. Throws
    // composition and transport errors (a stop gives a cancellation error).
    virtual HTTPResponseSnapshot execute(const APIRequestSpec& spec, const VariableMap& variables,
                                         bool logExecution, std::stop_token stop) = 0;

    // Sends the introspection query to the request's URL and returns the
    // parsed schema. Throws composition, transport, HTTP-status and parse
    // errors.
    virtual GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec& spec,
                                                             const VariableMap& variables,
                                                             std::stop_token stop) = 0;

    // Streams events from `url` (used as given) until the server ends the
    // stream (returns) or a stop is requested (returns or throws a
    // cancellation error). Throws "Invalid SSE URL." for an unusable URL and
    // transport errors otherwise.
    virtual void streamSSE(const std::string& url, const HeaderList& headers,
                           const std::optional<std::string>& body, TarnHTTPMethod method,
                           const SSEEventHandler& onEvent, std::stop_token stop) = 0;
};

// The collection runner and the load benchmark. Neither throws for a failed
// request: failures are reported inside the results.
class CollectionRunnerPort {
public:
    using ExtractionRules = std::map<tarn::UUID, std::vector<VariableExtractionRule>>;

    virtual ~CollectionRunnerPort() = default;

    // One step per request of the collection, in its order.
    virtual std::vector<CollectionRunStepResult>
    runCollection(const APIRequestCollection& collection, const VariableMap& initialVariables,
                  const ExtractionRules& extractorsByRequestID, std::stop_token stop) = 0;

    // Bounds the total to 1...200 and the concurrency to 1...24.
    virtual LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec& spec,
                                                 const VariableMap& variables, int totalRequests,
                                                 int concurrency, std::stop_token stop) = 0;
};

// Starts an MCP server as a child process for one stdio exchange.
class MCPInspectorPort {
public:
    struct Inspection {
        std::vector<MCPToolDescriptor> tools{};
        // Standard output + "\n--- stderr ---\n" + standard error.
        std::string rawOutput{};
    };

    virtual ~MCPInspectorPort() = default;

    // Lists the tools and, with a tool name, calls that tool with the
    // arguments text. Throws "Empty MCP server command." for an empty command
    // line and the process's start error otherwise.
    virtual Inspection inspectStdioServer(const std::string& commandLine,
                                          const std::optional<std::string>& callToolName,
                                          const std::string& callArgumentsJSON,
                                          std::stop_token stop) = 0;
};

// --- Long-lived services ---------------------------------------------------------

// The local mock and capture server on 127.0.0.1.
class MockServerPort {
public:
    // Called on the server's own thread once per request it answers.
    using ExchangeHandler = std::function<void(CapturedProxyExchange)>;

    virtual ~MockServerPort() = default;
    // Installed once, at start-up, before any start.
    virtual void setExchangeHandler(ExchangeHandler handler) = 0;
    // Applies from the next request on, running or not.
    virtual void updateMockRoutes(const std::vector<MockRouteRule>& routes) = 0;
    // Stops any running listener and listens on `port` (0: any free port);
    // returns the port it listens on once it does (the bound one for 0).
    // Blocks up to 2 s. Throws the listener's error (port in use, ...).
    virtual std::uint16_t start(std::uint16_t port) = 0;
    // Does nothing when not listening.
    virtual void stop() = 0;
};

// The one WebSocket client of the console.
class WebSocketPort {
public:
    // Both called on the client's own thread. Every frame sent (right before
    // it goes out) and received is reported as a message.
    using MessageHandler = std::function<void(WebSocketFrameItem)>;
    // With the error's description when a send or the receive loop fails;
    // with nothing when the connection ended without an error to show.
    using DisconnectHandler = std::function<void(std::optional<std::string>)>;

    virtual ~WebSocketPort() = default;
    // Installed once each, at start-up, before any connect.
    virtual void setMessageHandler(MessageHandler handler) = 0;
    virtual void setDisconnectHandler(DisconnectHandler handler) = 0;
    // False, doing nothing, when `url` is not a URL; otherwise drops any
    // previous connection, starts opening this one in the background and
    // returns true (later failures arrive through the disconnect handler).
    // Throws tarn::PlatformError only when the client cannot work at all.
    virtual bool connect(const std::string& url) = 0;
    virtual void disconnect() = 0;
    virtual void send(const std::string& text) = 0;
};

// --- The set ---------------------------------------------------------------------

// Everything a QuillerViewModel is made with. Every pointer must be set. The
// view model shares ownership, so background jobs may keep using a port after
// the view model is gone.
struct QuillerViewModelPorts {
    std::shared_ptr<tarn::MainExecutor> main{};
    std::shared_ptr<tarn::BackgroundExecutor> background{};
    std::shared_ptr<ClockPort> clock{};
    std::shared_ptr<ClipboardPort> clipboard{};
    std::shared_ptr<FilePanelsPort> filePanels{};
    std::shared_ptr<LaunchAtLoginPort> launchAtLogin{};
    std::shared_ptr<URLOpenerPort> urlOpener{};
    std::shared_ptr<WorkspaceStorePort> workspaceStore{};
    std::shared_ptr<HistoryStorePort> historyStore{};
    std::shared_ptr<RequestExecutionPort> requestExecution{};
    std::shared_ptr<CollectionRunnerPort> collectionRunner{};
    std::shared_ptr<MCPInspectorPort> mcpInspector{};
    std::shared_ptr<MockServerPort> mockServer{};
    std::shared_ptr<WebSocketPort> webSocket{};

    // The application's log; the shared logger for "Quiller" when null. Must
    // outlive the view model.
    tarn::TarnAppLogger* logger = nullptr;
    // The language the view model starts with; the user's interface language
    // (tarn::language::current()) when absent.
    std::optional<tarn::TarnLanguage> language{};
};

} // namespace quiller
