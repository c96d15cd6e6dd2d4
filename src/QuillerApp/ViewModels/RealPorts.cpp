#include "QuillerApp/ViewModels/RealPorts.h"

#include "QuillerCore/Engine/RequestHistoryStore.h"
#include "TarnKit/Platform/PlatformError.h"

#include <string>
#include <utility>

namespace quiller {
namespace {

constexpr long unavailableErrorCode = 1099;

[[noreturn]] void unavailable(const std::string& service) {
    throw tarn::PlatformError("Quiller", unavailableErrorCode,
                              service + " is not available in this build.");
}

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
    m_store.save(payload);
}

HistoryStoreAdapter::HistoryStoreAdapter(std::optional<std::filesystem::path> folder)
    : m_store(std::make_unique<RequestHistoryStore>(std::move(folder),
                                                    RequestHistoryEngine::maxEntries)) {}

HistoryStoreAdapter::~HistoryStoreAdapter() = default;

std::vector<RequestHistoryEntry> HistoryStoreAdapter::load() {
    return m_store->load();
}

void HistoryStoreAdapter::save(const std::vector<RequestHistoryEntry>& entries) {
    m_store->save(entries);
}

void HistoryStoreAdapter::clear() {
    m_store->clear();
}

HTTPResponseSnapshot UnavailableRequestExecution::execute(const APIRequestSpec&, const VariableMap&,
                                                          bool, std::stop_token) {
    unavailable("HTTP execution");
}

GraphQLSchemaSummary UnavailableRequestExecution::executeGraphQLIntrospection(const APIRequestSpec&,
                                                                              const VariableMap&,
                                                                              std::stop_token) {
    unavailable("GraphQL introspection");
}

void UnavailableRequestExecution::streamSSE(const std::string&, const HeaderList&,
                                            const std::optional<std::string>&, TarnHTTPMethod,
                                            const SSEEventHandler&, std::stop_token) {
    unavailable("Server-Sent Events streaming");
}

std::vector<CollectionRunStepResult>
UnavailableCollectionRunner::runCollection(const APIRequestCollection&, const VariableMap&,
                                           const ExtractionRules&, std::stop_token) {
    unavailable("The collection runner");
}

LoadBenchmarkReport UnavailableCollectionRunner::runLoadBenchmark(const APIRequestSpec&,
                                                                  const VariableMap&, int, int,
                                                                  std::stop_token) {
    unavailable("The load benchmark");
}

MCPInspectorPort::Inspection
UnavailableMCPInspector::inspectStdioServer(const std::string&, const std::optional<std::string>&,
                                            const std::string&, std::stop_token) {
    unavailable("MCP inspection");
}

std::uint16_t UnavailableMockServer::start(std::uint16_t) {
    unavailable("The local mock server");
}

bool UnavailableWebSocket::connect(const std::string&) {
    unavailable("The WebSocket client");
}

void UnavailableWebSocket::send(const std::string&) {
    unavailable("The WebSocket client");
}

void UnavailableLaunchAtLogin::setEnabled(bool) {
    unavailable("Launch at login");
}

QuillerViewModelPorts makeRealPorts(std::shared_ptr<tarn::MainExecutor> main,
                                    std::shared_ptr<tarn::BackgroundExecutor> background,
                                    std::shared_ptr<ClipboardPort> clipboard,
                                    std::shared_ptr<FilePanelsPort> filePanels) {
    QuillerViewModelPorts ports;
    ports.main = std::move(main);
    ports.background = std::move(background);
    ports.clock = std::make_shared<SystemClock>();
    ports.clipboard = std::move(clipboard);
    ports.filePanels = std::move(filePanels);
    ports.launchAtLogin = std::make_shared<UnavailableLaunchAtLogin>();
    ports.workspaceStore = std::make_shared<WorkspaceStoreAdapter>();
    ports.historyStore = std::make_shared<HistoryStoreAdapter>();
    ports.requestExecution = std::make_shared<UnavailableRequestExecution>();
    ports.collectionRunner = std::make_shared<UnavailableCollectionRunner>();
    ports.mcpInspector = std::make_shared<UnavailableMCPInspector>();
    ports.mockServer = std::make_shared<UnavailableMockServer>();
    ports.webSocket = std::make_shared<UnavailableWebSocket>();
    return ports;
}

} // namespace quiller
