#pragma once

// Fakes for every port of QuillerViewModel, and a test fixture that builds a
// view model over them with the manual executors, so a test decides when
// background work runs, in which order jobs finish and when time passes.
//
// Everything here belongs to the test thread: the manual background executor
// runs its jobs on the thread that calls run(), so the fakes need no locks.
// Each fake records what it was asked and answers through a handler the test
// may replace; the defaults answer like a healthy service.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/QuillerViewModelPorts.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "support/ManualExecutors.h"
#include "support/TemporaryFolder.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace quiller::testing {

// Time that moves with the main executor's virtual clock (when linked to one)
// plus whatever the test adds with advance().
class FakeClock final : public ClockPort {
public:
    explicit FakeClock(const tarn::testing::ManualMainExecutor* linked = nullptr);

    std::chrono::steady_clock::time_point steadyNow() const override;
    std::chrono::system_clock::time_point wallNow() const override;

    void advance(std::chrono::milliseconds duration) { m_offset += duration; }

private:
    std::chrono::milliseconds elapsed() const;

    const tarn::testing::ManualMainExecutor* m_linked;
    std::chrono::milliseconds m_offset{0};
};

class FakeClipboard final : public ClipboardPort {
public:
    std::optional<std::string> text() override { return contents; }
    void setText(const std::string& text) override {
        contents = text;
        ++writes;
    }

    std::optional<std::string> contents{};
    int writes = 0;
};

// Keeps every panel request pending until the test answers it.
class FakeFilePanels final : public FilePanelsPort {
public:
    struct OpenCall {
        OpenOptions options;
        Completion completion;
    };
    struct SaveCall {
        SaveOptions options;
        Completion completion;
    };

    void chooseFileToOpen(OpenOptions options, Completion completion) override;
    void chooseFileToSave(SaveOptions options, Completion completion) override;

    // Answers the oldest open (save) panel still pending, with a file or
    // (nothing) a cancel, by calling its completion on the test thread.
    // Throws std::logic_error when none is pending.
    void answerOpen(std::optional<std::filesystem::path> file);
    void answerSave(std::optional<std::filesystem::path> file);

    std::vector<OpenCall> opens;
    std::vector<SaveCall> saves;
    std::size_t answeredOpens = 0;
    std::size_t answeredSaves = 0;
};

class FakeLaunchAtLogin final : public LaunchAtLoginPort {
public:
    bool isEnabled() override { return enabled; }
    // Records the request; throws tarn::PlatformError while `refuses` is set.
    void setEnabled(bool value) override;

    bool enabled = false;
    bool refuses = false;
    std::vector<bool> requests;
};

// Opens every address it is given unless told to refuse.
class FakeURLOpener final : public URLOpenerPort {
public:
    bool open(const std::string& url) override {
        opened.push_back(url);
        return !refuses;
    }

    bool refuses = false;
    std::vector<std::string> opened;
};

class FakeWorkspaceStore final : public WorkspaceStorePort {
public:
    QuillerWorkspacePayload load() override {
        ++loads;
        return payload;
    }
    void save(const QuillerWorkspacePayload& saved) override { saves.push_back(saved); }

    // What load() returns.
    QuillerWorkspacePayload payload = QuillerWorkspacePayload::defaults();
    int loads = 0;
    std::vector<QuillerWorkspacePayload> saves;
};

class FakeHistoryStore final : public HistoryStorePort {
public:
    std::vector<RequestHistoryEntry> load() override {
        ++loads;
        return stored;
    }
    // Records the list and keeps it as what the file would hold.
    void save(const std::vector<RequestHistoryEntry>& entries) override;
    void clear() override;

    // The file's content: what load() returns and save()/clear() replace.
    std::vector<RequestHistoryEntry> stored;
    int loads = 0;
    int clears = 0;
    std::vector<std::vector<RequestHistoryEntry>> saves;
};

class FakeRequestExecution final : public RequestExecutionPort {
public:
    struct ExecuteCall {
        APIRequestSpec spec;
        VariableMap variables;
        bool logExecution = false;
    };
    struct IntrospectionCall {
        APIRequestSpec spec;
        VariableMap variables;
    };
    struct StreamCall {
        std::string url;
        HeaderList headers;
        std::optional<std::string> body;
        TarnHTTPMethod method = TarnHTTPMethod::get;
    };

    HTTPResponseSnapshot execute(const APIRequestSpec& spec, const VariableMap& variables,
                                 bool logExecution, std::stop_token stop) override;
    GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec& spec,
                                                     const VariableMap& variables,
                                                     std::stop_token stop) override;
    void streamSSE(const std::string& url, const HeaderList& headers,
                   const std::optional<std::string>& body, TarnHTTPMethod method,
                   const SSEEventHandler& onEvent, std::stop_token stop) override;

    // Default: status 200 named after the request, body "{}".
    std::function<HTTPResponseSnapshot(const ExecuteCall&, std::stop_token)> onExecute;
    // Default: an empty schema.
    std::function<GraphQLSchemaSummary(const IntrospectionCall&, std::stop_token)> onIntrospect;
    // Default: the stream ends at once without events.
    std::function<void(const StreamCall&, const SSEEventHandler&, std::stop_token)> onStream;

    std::vector<ExecuteCall> executeCalls;
    std::vector<IntrospectionCall> introspectionCalls;
    std::vector<StreamCall> streamCalls;
};

class FakeCollectionRunner final : public CollectionRunnerPort {
public:
    struct RunCall {
        APIRequestCollection collection;
        VariableMap initialVariables;
        ExtractionRules extractors;
    };
    struct BenchmarkCall {
        APIRequestSpec spec;
        VariableMap variables;
        int totalRequests = 0;
        int concurrency = 0;
    };

    std::vector<CollectionRunStepResult> runCollection(const APIRequestCollection& collection,
                                                       const VariableMap& initialVariables,
                                                       const ExtractionRules& extractors,
                                                       std::stop_token stop) override;
    LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec& spec, const VariableMap& variables,
                                         int totalRequests, int concurrency,
                                         std::stop_token stop) override;

    // Default: one passing 200 step per request.
    std::function<std::vector<CollectionRunStepResult>(const RunCall&, std::stop_token)> onRun;
    // Default: every request of the bounded total succeeds.
    std::function<LoadBenchmarkReport(const BenchmarkCall&, std::stop_token)> onBenchmark;

    std::vector<RunCall> runCalls;
    std::vector<BenchmarkCall> benchmarkCalls;
};

class FakeMCPInspector final : public MCPInspectorPort {
public:
    struct Call {
        std::string commandLine;
        std::optional<std::string> toolName;
        std::string argumentsJSON;
    };

    Inspection inspectStdioServer(const std::string& commandLine,
                                  const std::optional<std::string>& callToolName,
                                  const std::string& callArgumentsJSON,
                                  std::stop_token stop) override;

    // Default: no tools, raw output "ok".
    std::function<Inspection(const Call&, std::stop_token)> onInspect;
    std::vector<Call> calls;
};

class FakeMockServer final : public MockServerPort {
public:
    void setExchangeHandler(ExchangeHandler handler) override { exchangeHandler = handler; }
    void updateMockRoutes(const std::vector<MockRouteRule>& routes) override {
        routeUpdates.push_back(routes);
    }
    // Records the port; throws tarn::PlatformError with `startError` when set,
    // else listens and returns the port (port 0 gives `anyPort`).
    std::uint16_t start(std::uint16_t port) override;
    void stop() override;

    // What the server's thread would report for one answered request.
    void capture(const CapturedProxyExchange& exchange) const;

    ExchangeHandler exchangeHandler;
    std::vector<std::vector<MockRouteRule>> routeUpdates;
    std::vector<std::uint16_t> starts;
    int stops = 0;
    bool listening = false;
    std::optional<std::string> startError;
    std::uint16_t anyPort = 49152;
};

class FakeWebSocket final : public WebSocketPort {
public:
    void setMessageHandler(MessageHandler handler) override { messageHandler = handler; }
    void setDisconnectHandler(DisconnectHandler handler) override { disconnectHandler = handler; }
    // Records the URL; throws tarn::PlatformError with `connectError` when
    // set, else returns `acceptsURL`.
    bool connect(const std::string& url) override;
    void disconnect() override { ++disconnects; }
    // Reports the outgoing frame through the message handler before it
    // "sends", as the real client does.
    void send(const std::string& text) override;

    // What the client's thread would report.
    void receive(const std::string& payload) const;
    void dropConnection(std::optional<std::string> reason) const;

    MessageHandler messageHandler;
    DisconnectHandler disconnectHandler;
    bool acceptsURL = true;
    std::optional<std::string> connectError;
    std::vector<std::string> connects;
    int disconnects = 0;
    std::vector<std::string> sent;
};

// An observer for one scope: removed when the guard goes, so that it never
// outlives the locals it captures, whatever the view model announces later.
class ScopedObserver {
public:
    ScopedObserver(QuillerViewModel& model, QuillerViewModel::Observer observer)
        : m_model(model), m_token(model.addObserver(std::move(observer))) {}
    ScopedObserver(const ScopedObserver&) = delete;
    ScopedObserver& operator=(const ScopedObserver&) = delete;
    ~ScopedObserver() { m_model.removeObserver(m_token); }

private:
    QuillerViewModel& m_model;
    QuillerViewModel::ObserverToken m_token;
};

// Builds a view model over fakes: main and background work runs only when
// the test says so. The log goes to a temporary folder.
class ViewModelTest : public ::testing::Test {
protected:
    ViewModelTest();
    ~ViewModelTest() override;

    // The ports as the fixture's fields are now.
    QuillerViewModelPorts ports();
    // Creates (or re-creates) the view model over ports(); `notifications`
    // starts recording from there.
    QuillerViewModel& makeViewModel();
    // The same over ports of the test's choosing.
    QuillerViewModel& makeViewModel(QuillerViewModelPorts withPorts);
    QuillerViewModel& vm() { return *viewModel; }

    // Runs background jobs and main-thread jobs until neither has work left.
    // Timers wait for advance().
    void settle();
    // Moves the virtual clock (and the fake clock with it).
    void advance(std::chrono::milliseconds duration) { main->advance(duration); }

    // What the stores received, once the view model's savers have written
    // every save handed to them (the savers run when the test says so).
    std::vector<QuillerWorkspacePayload>& workspaceSaves();
    std::vector<std::vector<RequestHistoryEntry>>& historySaves();
    std::vector<RequestHistoryEntry>& historyFile();
    int historyClears();

    // The log's newest entries first.
    std::vector<tarn::TarnLogEntry> logEntries() const;
    // How often the field was announced since the view model was made (or
    // since notifications was last cleared).
    std::size_t notificationCount(QuillerViewModel::Field field) const;

    std::shared_ptr<tarn::testing::ManualMainExecutor> main;
    std::shared_ptr<tarn::testing::ManualBackgroundExecutor> background;
    std::shared_ptr<FakeClock> clock;
    std::shared_ptr<FakeClipboard> clipboard;
    std::shared_ptr<FakeFilePanels> filePanels;
    std::shared_ptr<FakeLaunchAtLogin> launchAtLogin;
    std::shared_ptr<FakeURLOpener> urlOpener;
    std::shared_ptr<FakeWorkspaceStore> workspaceStore;
    std::shared_ptr<FakeHistoryStore> historyStore;
    std::shared_ptr<FakeRequestExecution> execution;
    std::shared_ptr<FakeCollectionRunner> runner;
    std::shared_ptr<FakeMCPInspector> mcp;
    std::shared_ptr<FakeMockServer> mockServer;
    std::shared_ptr<FakeWebSocket> webSocket;
    tarn::TarnLanguage language = tarn::TarnLanguage::en;

    tarn::testing::TemporaryFolder logFolder{"quiller-vm-log"};
    std::unique_ptr<tarn::TarnAppLogger> logger;
    std::unique_ptr<QuillerViewModel> viewModel;
    std::vector<QuillerViewModel::Field> notifications;
    // The same notifications with their change records.
    std::vector<QuillerViewModel::Change> changes;
};

// A request, collection and environment with readable names for fixtures.
APIRequestSpec makeRequest(std::string name, std::string url = "https://example.test/");
APIRequestCollection makeCollection(std::string name, std::vector<APIRequestSpec> requests);
APIEnvironmentProfile makeEnvironment(std::string name, std::vector<KeyValueRow> variables);
// A successful response as the execution service would return it.
HTTPResponseSnapshot makeSnapshot(std::string requestName, int statusCode = 200,
                                  std::string body = "{}");

} // namespace quiller::testing

namespace quiller {
// Change records in test failures: "collections inserted 0+1 id=... parent=...".
void PrintTo(const ViewModelChange& change, std::ostream* out);
} // namespace quiller
