#pragma once

// The ports of QuillerViewModel backed by the real services of the core. The
// clipboard, the file panels and the URL opener belong to the desktop session
// and live with the Qt adapters, so the application hands them in.

#include "QuillerApp/ViewModels/QuillerViewModelPorts.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace tarn {
class KeychainBackend;
}

namespace quiller {

class LocalHTTPProxyService;
class RequestHistoryStore;
class TarnWebSocketClient;

// The monotonic and wall clocks of the system.
class SystemClock final : public ClockPort {
public:
    std::chrono::steady_clock::time_point steadyNow() const override;
    std::chrono::system_clock::time_point wallNow() const override;
};

// QuillerWorkspaceStore behind the port.
class WorkspaceStoreAdapter final : public WorkspaceStorePort {
public:
    // Without a folder, the store's default location.
    explicit WorkspaceStoreAdapter(std::optional<std::filesystem::path> directory = std::nullopt);
    // With a keychain of the caller's, which must outlive the adapter.
    WorkspaceStoreAdapter(std::optional<std::filesystem::path> directory,
                          tarn::KeychainBackend& keychain);
    QuillerWorkspacePayload load() override;
    void save(const QuillerWorkspacePayload& payload) override;
    std::optional<std::filesystem::path> setUnreadableFileAside() override;
    std::optional<std::filesystem::path> secretsFallbackFile() override;

private:
    QuillerWorkspaceStore m_store;
};

// RequestHistoryStore (at most 200 entries) behind the port.
class HistoryStoreAdapter final : public HistoryStorePort {
public:
    // Without a folder, the store's default location.
    explicit HistoryStoreAdapter(std::optional<std::filesystem::path> folder = std::nullopt);
    ~HistoryStoreAdapter() override;
    std::vector<RequestHistoryEntry> load() override;
    void save(const std::vector<RequestHistoryEntry>& entries) override;
    void clear() override;
    std::optional<std::filesystem::path> setUnreadableFileAside() override;

private:
    std::unique_ptr<RequestHistoryStore> m_store;
};

// HTTPAndSSEClientService behind the port.
class RequestExecutionAdapter final : public RequestExecutionPort {
public:
    HTTPResponseSnapshot execute(const APIRequestSpec& spec, const VariableMap& variables,
                                 bool logExecution, std::stop_token stop) override;
    GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec& spec,
                                                     const VariableMap& variables,
                                                     std::stop_token stop) override;
    void streamSSE(const std::string& url, const HeaderList& headers,
                   const std::optional<std::string>& body, TarnHTTPMethod method,
                   const SSEEventHandler& onEvent, std::stop_token stop) override;
};

// CollectionRunnerAndBenchmarkEngine behind the port.
class CollectionRunnerAdapter final : public CollectionRunnerPort {
public:
    std::vector<CollectionRunStepResult> runCollection(const APIRequestCollection& collection,
                                                       const VariableMap& initialVariables,
                                                       const ExtractionRules& extractorsByRequestID,
                                                       std::stop_token stop) override;
    LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec& spec, const VariableMap& variables,
                                         int totalRequests, int concurrency,
                                         std::stop_token stop) override;
};

// MCPInspectorService behind the port.
class MCPInspectorAdapter final : public MCPInspectorPort {
public:
    Inspection inspectStdioServer(const std::string& commandLine,
                                  const std::optional<std::string>& callToolName,
                                  const std::string& callArgumentsJSON,
                                  std::stop_token stop) override;
};

// One LocalHTTPProxyService, stopped until the first start.
class MockServerAdapter final : public MockServerPort {
public:
    MockServerAdapter();
    ~MockServerAdapter() override;
    void setExchangeHandler(ExchangeHandler handler) override;
    void updateMockRoutes(const std::vector<MockRouteRule>& routes) override;
    std::uint16_t start(std::uint16_t port) override;
    void stop() override;

private:
    std::unique_ptr<LocalHTTPProxyService> m_service;
};

// One TarnWebSocketClient, made at the first connect. The handlers are
// installed once, before that, as the port says.
class WebSocketAdapter final : public WebSocketPort {
public:
    WebSocketAdapter();
    ~WebSocketAdapter() override;
    void setMessageHandler(MessageHandler handler) override;
    void setDisconnectHandler(DisconnectHandler handler) override;
    bool connect(const std::string& url) override;
    void disconnect() override;
    void send(const std::string& text) override;

private:
    MessageHandler m_onMessage;
    DisconnectHandler m_onDisconnect;
    std::unique_ptr<TarnWebSocketClient> m_client;
};

// The XDG autostart entry of the running executable (TarnLaunchAtLogin).
class LaunchAtLoginAdapter final : public LaunchAtLoginPort {
public:
    bool isEnabled() override;
    // Throws tarn::PlatformError (domain "Quiller", code 1099) when the entry
    // cannot be written or removed.
    void setEnabled(bool enabled) override;
};

// The application's set: the given executors, clipboard, file panels and URL opener, the
// system clock, the stores in their default locations, the shared logger, the
// user's interface language, and the real services.
QuillerViewModelPorts makeRealPorts(std::shared_ptr<tarn::MainExecutor> main,
                                    std::shared_ptr<tarn::BackgroundExecutor> background,
                                    std::shared_ptr<ClipboardPort> clipboard,
                                    std::shared_ptr<FilePanelsPort> filePanels,
                                    std::shared_ptr<URLOpenerPort> urlOpener);

} // namespace quiller
