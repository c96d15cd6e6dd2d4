#include "QuillerApp/ViewModels/RealPorts.h"

#include "QuillerCore/Engine/CollectionRunnerAndBenchmarkEngine.h"
#include "QuillerCore/Engine/RequestHistoryStore.h"
#include "QuillerCore/Services/CollectionRunnerService.h"
#include "QuillerCore/Services/HTTPAndSSEClientService.h"
#include "QuillerCore/Services/LocalHTTPProxyService.h"
#include "QuillerCore/Services/MCPInspectorService.h"
#include "QuillerCore/Services/TarnWebSocketClient.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/System/TarnLaunchAtLogin.h"

#include <string>
#include <utility>

namespace quiller {
namespace {

constexpr long launchAtLoginErrorCode = 1099;

} // namespace

std::chrono::steady_clock::time_point SystemClock::steadyNow() const {
    return std::chrono::steady_clock::now();
}

std::chrono::system_clock::time_point SystemClock::wallNow() const {
    return std::chrono::system_clock::now();
}

WorkspaceStoreAdapter::WorkspaceStoreAdapter(std::optional<std::filesystem::path> directory)
    : m_store(std::move(directory)) {}

WorkspaceStoreAdapter::WorkspaceStoreAdapter(std::optional<std::filesystem::path> directory,
                                             tarn::KeychainBackend& keychain)
    : m_store(std::move(directory), keychain) {}

QuillerWorkspacePayload WorkspaceStoreAdapter::load() {
    return m_store.load();
}

void WorkspaceStoreAdapter::save(const QuillerWorkspacePayload& payload) {
    if (std::optional<tarn::PlatformError> failure = m_store.save(payload))
        throw std::move(*failure);
}

std::optional<std::filesystem::path> WorkspaceStoreAdapter::setUnreadableFileAside() {
    return m_store.setUnreadableFileAside();
}

std::optional<std::filesystem::path> WorkspaceStoreAdapter::secretsFallbackFile() {
    return m_store.secretsFallbackFile();
}

HistoryStoreAdapter::HistoryStoreAdapter(std::optional<std::filesystem::path> folder)
    : m_store(std::make_unique<RequestHistoryStore>(std::move(folder),
                                                    RequestHistoryEngine::maxEntries)) {}

HistoryStoreAdapter::~HistoryStoreAdapter() = default;

std::vector<RequestHistoryEntry> HistoryStoreAdapter::load() {
    return m_store->load();
}

void HistoryStoreAdapter::save(const std::vector<RequestHistoryEntry>& entries) {
    if (std::optional<tarn::PlatformError> failure = m_store->save(entries))
        throw std::move(*failure);
}

void HistoryStoreAdapter::clear() {
    if (std::optional<tarn::PlatformError> failure = m_store->clear())
        throw std::move(*failure);
}

std::optional<std::filesystem::path> HistoryStoreAdapter::setUnreadableFileAside() {
    return m_store->setUnreadableFileAside();
}

HTTPResponseSnapshot RequestExecutionAdapter::execute(const APIRequestSpec& spec,
                                                      const VariableMap& variables,
                                                      bool logExecution, std::stop_token stop) {
    return HTTPAndSSEClientService::execute(spec, variables, logExecution, std::move(stop));
}

GraphQLSchemaSummary RequestExecutionAdapter::executeGraphQLIntrospection(
    const APIRequestSpec& spec, const VariableMap& variables, std::stop_token stop) {
    return HTTPAndSSEClientService::executeGraphQLIntrospection(spec, variables, std::move(stop));
}

void RequestExecutionAdapter::streamSSE(const std::string& url, const HeaderList& headers,
                                        const std::optional<std::string>& body,
                                        TarnHTTPMethod method, const SSEEventHandler& onEvent,
                                        std::stop_token stop) {
    HTTPAndSSEClientService::streamSSE(
        url, headers, body, method, [&onEvent](const SSEStreamEvent& event) { onEvent(event); },
        std::move(stop));
}

std::vector<CollectionRunStepResult> CollectionRunnerAdapter::runCollection(
    const APIRequestCollection& collection, const VariableMap& initialVariables,
    const ExtractionRules& extractorsByRequestID, std::stop_token stop) {
    return CollectionRunnerService::runCollection(collection, initialVariables,
                                                  extractorsByRequestID, std::move(stop));
}

LoadBenchmarkReport CollectionRunnerAdapter::runLoadBenchmark(const APIRequestSpec& spec,
                                                              const VariableMap& variables,
                                                              int totalRequests, int concurrency,
                                                              std::stop_token stop) {
    return CollectionRunnerService::runLoadBenchmark(spec, variables, totalRequests, concurrency,
                                                     std::move(stop));
}

MCPInspectorPort::Inspection MCPInspectorAdapter::inspectStdioServer(
    const std::string& commandLine, const std::optional<std::string>& callToolName,
    const std::string& callArgumentsJSON, std::stop_token stop) {
    auto result = MCPInspectorService::inspectStdioServer(commandLine, callToolName,
                                                          callArgumentsJSON, std::move(stop));
    return Inspection{.tools = std::move(result.tools), .rawOutput = std::move(result.rawOutput)};
}

MockServerAdapter::MockServerAdapter() : m_service(std::make_unique<LocalHTTPProxyService>()) {}

MockServerAdapter::~MockServerAdapter() = default;

void MockServerAdapter::setExchangeHandler(ExchangeHandler handler) {
    m_service->setOnExchangeCaptured(
        [handler = std::move(handler)](const CapturedProxyExchange& exchange) {
            if (handler)
                handler(exchange);
        });
}

void MockServerAdapter::updateMockRoutes(const std::vector<MockRouteRule>& routes) {
    m_service->updateMockRoutes(routes);
}

std::uint16_t MockServerAdapter::start(std::uint16_t port) {
    return m_service->start(port);
}

void MockServerAdapter::stop() {
    m_service->stop();
}

WebSocketAdapter::WebSocketAdapter() = default;

WebSocketAdapter::~WebSocketAdapter() = default;

void WebSocketAdapter::setMessageHandler(MessageHandler handler) {
    m_onMessage = std::move(handler);
}

void WebSocketAdapter::setDisconnectHandler(DisconnectHandler handler) {
    m_onDisconnect = std::move(handler);
}

bool WebSocketAdapter::connect(const std::string& url) {
    // Made on first use: the client loads the system's certificates, which
    // start-up should not wait for.
    if (!m_client) {
        m_client = std::make_unique<TarnWebSocketClient>();
        m_client->setOnMessage([handler = m_onMessage](const WebSocketFrameItem& frame) {
            if (handler)
                handler(frame);
        });
        m_client->setOnDisconnect(
            [handler = m_onDisconnect](const std::optional<std::string>& description) {
                if (handler)
                    handler(description);
            });
    }
    return m_client->connect(url);
}

void WebSocketAdapter::disconnect() {
    if (m_client)
        m_client->disconnect();
}

void WebSocketAdapter::send(const std::string& text) {
    if (m_client)
        m_client->send(text);
}

bool LaunchAtLoginAdapter::isEnabled() {
    return tarn::TarnLaunchAtLogin::isEnabled();
}

void LaunchAtLoginAdapter::setEnabled(bool enabled) {
    if (!tarn::TarnLaunchAtLogin::setEnabled(enabled))
        throw tarn::PlatformError("Quiller", launchAtLoginErrorCode,
                                  enabled ? "The autostart entry could not be written."
                                          : "The autostart entry could not be removed.");
}

QuillerViewModelPorts makeRealPorts(std::shared_ptr<tarn::MainExecutor> main,
                                    std::shared_ptr<tarn::BackgroundExecutor> background,
                                    std::shared_ptr<ClipboardPort> clipboard,
                                    std::shared_ptr<FilePanelsPort> filePanels,
                                    std::shared_ptr<URLOpenerPort> urlOpener) {
    QuillerViewModelPorts ports;
    ports.main = std::move(main);
    ports.background = std::move(background);
    ports.clock = std::make_shared<SystemClock>();
    ports.clipboard = std::move(clipboard);
    ports.filePanels = std::move(filePanels);
    ports.urlOpener = std::move(urlOpener);
    ports.launchAtLogin = std::make_shared<LaunchAtLoginAdapter>();
    ports.workspaceStore = std::make_shared<WorkspaceStoreAdapter>();
    ports.historyStore = std::make_shared<HistoryStoreAdapter>();
    ports.requestExecution = std::make_shared<RequestExecutionAdapter>();
    ports.collectionRunner = std::make_shared<CollectionRunnerAdapter>();
    ports.mcpInspector = std::make_shared<MCPInspectorAdapter>();
    ports.mockServer = std::make_shared<MockServerAdapter>();
    ports.webSocket = std::make_shared<WebSocketAdapter>();
    return ports;
}

} // namespace quiller
