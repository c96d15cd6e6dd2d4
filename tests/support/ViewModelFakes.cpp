#include "support/ViewModelFakes.h"

#include "TarnKit/Platform/PlatformError.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

namespace quiller::testing {

// --- FakeClock ---------------------------------------------------------------------

FakeClock::FakeClock(const tarn::testing::ManualMainExecutor* linked) : m_linked(linked) {}

std::chrono::milliseconds FakeClock::elapsed() const {
    return (m_linked != nullptr ? m_linked->now() : std::chrono::milliseconds(0)) + m_offset;
}

std::chrono::steady_clock::time_point FakeClock::steadyNow() const {
    // Far from the epoch, so differences never depend on where it starts.
    return std::chrono::steady_clock::time_point(std::chrono::hours(1000)) + elapsed();
}

std::chrono::system_clock::time_point FakeClock::wallNow() const {
    // 2026-01-01T00:00:00Z.
    return std::chrono::system_clock::time_point(std::chrono::seconds(1767225600)) + elapsed();
}

// --- FakeFilePanels ----------------------------------------------------------------

void FakeFilePanels::chooseFileToOpen(OpenOptions options, Completion completion) {
    opens.push_back(OpenCall{std::move(options), std::move(completion)});
}

void FakeFilePanels::chooseFileToSave(SaveOptions options, Completion completion) {
    saves.push_back(SaveCall{std::move(options), std::move(completion)});
}

void FakeFilePanels::answerOpen(std::optional<std::filesystem::path> file) {
    if (answeredOpens >= opens.size())
        throw std::logic_error("no open panel is pending");
    const Completion completion = opens[answeredOpens++].completion;
    completion(std::move(file));
}

void FakeFilePanels::answerSave(std::optional<std::filesystem::path> file) {
    if (answeredSaves >= saves.size())
        throw std::logic_error("no save panel is pending");
    const Completion completion = saves[answeredSaves++].completion;
    completion(std::move(file));
}

// --- Launch at login, stores -------------------------------------------------------

void FakeLaunchAtLogin::setEnabled(bool value) {
    requests.push_back(value);
    if (refuses)
        throw tarn::PlatformError("Quiller", 1, "The login item could not be changed.");
    enabled = value;
}

void FakeHistoryStore::save(const std::vector<RequestHistoryEntry>& entries) {
    saves.push_back(entries);
    stored = entries;
}

void FakeHistoryStore::clear() {
    ++clears;
    stored.clear();
}

// --- Services ----------------------------------------------------------------------

HTTPResponseSnapshot FakeRequestExecution::execute(const APIRequestSpec& spec,
                                                   const VariableMap& variables, bool logExecution,
                                                   std::stop_token stop) {
    executeCalls.push_back(ExecuteCall{spec, variables, logExecution});
    if (onExecute)
        return onExecute(executeCalls.back(), std::move(stop));
    return makeSnapshot(spec.name);
}

GraphQLSchemaSummary FakeRequestExecution::executeGraphQLIntrospection(const APIRequestSpec& spec,
                                                                       const VariableMap& variables,
                                                                       std::stop_token stop) {
    introspectionCalls.push_back(IntrospectionCall{spec, variables});
    if (onIntrospect)
        return onIntrospect(introspectionCalls.back(), std::move(stop));
    return GraphQLSchemaSummary{};
}

void FakeRequestExecution::streamSSE(const std::string& url, const HeaderList& headers,
                                     const std::optional<std::string>& body, TarnHTTPMethod method,
                                     const SSEEventHandler& onEvent, std::stop_token stop) {
    streamCalls.push_back(StreamCall{url, headers, body, method});
    if (onStream)
        onStream(streamCalls.back(), onEvent, std::move(stop));
}

std::vector<CollectionRunStepResult>
FakeCollectionRunner::runCollection(const APIRequestCollection& collection,
                                    const VariableMap& initialVariables,
                                    const ExtractionRules& extractors, std::stop_token stop) {
    runCalls.push_back(RunCall{collection, initialVariables, extractors});
    if (onRun)
        return onRun(runCalls.back(), std::move(stop));
    std::vector<CollectionRunStepResult> steps;
    for (const APIRequestSpec& request : collection.requests) {
        steps.push_back(CollectionRunStepResult{.requestName = request.name,
                                                .method = request.method,
                                                .resolvedURL = request.url,
                                                .statusCode = 200,
                                                .durationMs = 10});
    }
    return steps;
}

LoadBenchmarkReport FakeCollectionRunner::runLoadBenchmark(const APIRequestSpec& spec,
                                                           const VariableMap& variables,
                                                           int totalRequests, int concurrency,
                                                           std::stop_token stop) {
    benchmarkCalls.push_back(BenchmarkCall{spec, variables, totalRequests, concurrency});
    if (onBenchmark)
        return onBenchmark(benchmarkCalls.back(), std::move(stop));
    const int total = std::clamp(totalRequests, 1, 200);
    return LoadBenchmarkReport{.totalRequests = total,
                               .concurrency = std::clamp(concurrency, 1, 24),
                               .successCount = total,
                               .totalDurationMs = 100,
                               .requestsPerSecond = total * 10.0,
                               .statusCounts = {{200, total}}};
}

MCPInspectorPort::Inspection
FakeMCPInspector::inspectStdioServer(const std::string& commandLine,
                                     const std::optional<std::string>& callToolName,
                                     const std::string& callArgumentsJSON, std::stop_token stop) {
    calls.push_back(Call{commandLine, callToolName, callArgumentsJSON});
    if (onInspect)
        return onInspect(calls.back(), std::move(stop));
    return Inspection{.tools = {}, .rawOutput = "ok"};
}

std::uint16_t FakeMockServer::start(std::uint16_t port) {
    starts.push_back(port);
    listening = false;
    if (startError)
        throw tarn::PlatformError("NSPOSIXErrorDomain", 98, *startError);
    listening = true;
    return port == 0 ? anyPort : port;
}

void FakeMockServer::stop() {
    ++stops;
    listening = false;
}

void FakeMockServer::capture(const CapturedProxyExchange& exchange) const {
    if (exchangeHandler)
        exchangeHandler(exchange);
}

bool FakeWebSocket::connect(const std::string& url) {
    connects.push_back(url);
    if (connectError)
        throw tarn::PlatformError("Quiller", 1, *connectError);
    return acceptsURL;
}

void FakeWebSocket::send(const std::string& text) {
    if (messageHandler)
        messageHandler(WebSocketFrameItem{.isOutgoing = true, .payload = text});
    sent.push_back(text);
}

void FakeWebSocket::receive(const std::string& payload) const {
    if (messageHandler)
        messageHandler(WebSocketFrameItem{.isOutgoing = false, .payload = payload});
}

void FakeWebSocket::dropConnection(std::optional<std::string> reason) const {
    if (disconnectHandler)
        disconnectHandler(std::move(reason));
}

// --- Fixture -----------------------------------------------------------------------

ViewModelTest::ViewModelTest()
    : main(std::make_shared<tarn::testing::ManualMainExecutor>()),
      background(std::make_shared<tarn::testing::ManualBackgroundExecutor>()),
      clock(std::make_shared<FakeClock>(main.get())), clipboard(std::make_shared<FakeClipboard>()),
      filePanels(std::make_shared<FakeFilePanels>()),
      launchAtLogin(std::make_shared<FakeLaunchAtLogin>()),
      urlOpener(std::make_shared<FakeURLOpener>()),
      workspaceStore(std::make_shared<FakeWorkspaceStore>()),
      historyStore(std::make_shared<FakeHistoryStore>()),
      execution(std::make_shared<FakeRequestExecution>()),
      runner(std::make_shared<FakeCollectionRunner>()), mcp(std::make_shared<FakeMCPInspector>()),
      mockServer(std::make_shared<FakeMockServer>()), webSocket(std::make_shared<FakeWebSocket>()),
      logger(std::make_unique<tarn::TarnAppLogger>("Quiller", logFolder.path(), 1 << 20, 1,
                                                   nullptr)) {}

ViewModelTest::~ViewModelTest() = default;

QuillerViewModelPorts ViewModelTest::ports() {
    QuillerViewModelPorts ports;
    ports.main = main;
    ports.background = background;
    ports.clock = clock;
    ports.clipboard = clipboard;
    ports.filePanels = filePanels;
    ports.launchAtLogin = launchAtLogin;
    ports.urlOpener = urlOpener;
    ports.workspaceStore = workspaceStore;
    ports.historyStore = historyStore;
    ports.requestExecution = execution;
    ports.collectionRunner = runner;
    ports.mcpInspector = mcp;
    ports.mockServer = mockServer;
    ports.webSocket = webSocket;
    ports.logger = logger.get();
    ports.language = language;
    return ports;
}

QuillerViewModel& ViewModelTest::makeViewModel() {
    return makeViewModel(ports());
}

QuillerViewModel& ViewModelTest::makeViewModel(QuillerViewModelPorts withPorts) {
    viewModel.reset();
    viewModel = std::make_unique<QuillerViewModel>(std::move(withPorts));
    notifications.clear();
    changes.clear();
    // The observer goes with the view model, which the fixture owns: its token
    // is never needed.
    (void)viewModel->addObserver([this](const QuillerViewModel::Change& change) {
        notifications.push_back(change.field);
        changes.push_back(change);
    });
    return *viewModel;
}

void ViewModelTest::settle() {
    for (;;) {
        const std::size_t before = background->size();
        background->runAll();
        const std::size_t ran = main->runUntilIdle();
        if (ran == 0 && background->size() == before)
            return;
    }
}

std::vector<QuillerWorkspacePayload>& ViewModelTest::workspaceSaves() {
    if (viewModel)
        viewModel->flushSaves();
    return workspaceStore->saves;
}

std::vector<std::vector<RequestHistoryEntry>>& ViewModelTest::historySaves() {
    if (viewModel)
        viewModel->flushSaves();
    return historyStore->saves;
}

std::vector<RequestHistoryEntry>& ViewModelTest::historyFile() {
    if (viewModel)
        viewModel->flushSaves();
    return historyStore->stored;
}

int ViewModelTest::historyClears() {
    if (viewModel)
        viewModel->flushSaves();
    return historyStore->clears;
}

std::vector<tarn::TarnLogEntry> ViewModelTest::logEntries() const {
    return logger->recentEntries(1000, tarn::TarnLogLevel::debug);
}

std::size_t ViewModelTest::notificationCount(QuillerViewModel::Field field) const {
    return static_cast<std::size_t>(std::count(notifications.begin(), notifications.end(), field));
}

// --- Builders ----------------------------------------------------------------------

APIRequestSpec makeRequest(std::string name, std::string url) {
    return APIRequestSpec{.name = std::move(name), .url = std::move(url)};
}

APIRequestCollection makeCollection(std::string name, std::vector<APIRequestSpec> requests) {
    return APIRequestCollection{.name = std::move(name), .requests = std::move(requests)};
}

APIEnvironmentProfile makeEnvironment(std::string name, std::vector<KeyValueRow> variables) {
    return APIEnvironmentProfile{.name = std::move(name), .variables = std::move(variables)};
}

HTTPResponseSnapshot makeSnapshot(std::string requestName, int statusCode, std::string body) {
    HTTPResponseSnapshot snapshot;
    snapshot.requestName = std::move(requestName);
    snapshot.statusCode = statusCode;
    snapshot.bodyData = body;
    snapshot.bodyText = body;
    snapshot.prettyBodyText = std::move(body);
    return snapshot;
}

} // namespace quiller::testing

namespace quiller {

void PrintTo(const ViewModelChange& change, std::ostream* out) {
    static constexpr std::array kinds = {"none", "reset", "inserted", "removed", "updated"};
    *out << viewModelFields::fieldName(change.field) << ' '
         << kinds[static_cast<std::size_t>(change.kind)];
    if (change.kind != ListChangeKind::none && change.kind != ListChangeKind::reset)
        *out << ' ' << change.first << '+' << change.count;
    if (change.identity)
        *out << " id=" << change.identity->string();
    if (change.parent)
        *out << " parent=" << change.parent->string();
}

} // namespace quiller
