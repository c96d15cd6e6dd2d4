#pragma once

// The ports of QuillerViewModel backed by the real services of the core. The
// clipboard and the file panels are dialogs and live with the Qt adapters, so
// the application hands them in.

#include "QuillerApp/ViewModels/QuillerViewModelPorts.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace tarn {
class KeychainBackend;
}

namespace quiller {

class RequestHistoryStore;

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

private:
    std::unique_ptr<RequestHistoryStore> m_store;
};

// Stand-ins for the services this build does not carry yet. Every call that
// would do work throws tarn::PlatformError (domain "Quiller", code 1099) with
// a description that says which service is missing; the calls the view model
// makes at start-up (installing handlers, handing over routes, reading the
// login state) do nothing.
class UnavailableRequestExecution final : public RequestExecutionPort {
public:
    HTTPResponseSnapshot execute(const APIRequestSpec&, const VariableMap&, bool,
                                 std::stop_token) override;
    GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec&, const VariableMap&,
                                                     std::stop_token) override;
    void streamSSE(const std::string&, const HeaderList&, const std::optional<std::string>&,
                   TarnHTTPMethod, const SSEEventHandler&, std::stop_token) override;
};

class UnavailableCollectionRunner final : public CollectionRunnerPort {
public:
    std::vector<CollectionRunStepResult> runCollection(const APIRequestCollection&,
                                                       const VariableMap&, const ExtractionRules&,
                                                       std::stop_token) override;
    LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec&, const VariableMap&, int, int,
                                         std::stop_token) override;
};

class UnavailableMCPInspector final : public MCPInspectorPort {
public:
    Inspection inspectStdioServer(const std::string&, const std::optional<std::string>&,
                                  const std::string&, std::stop_token) override;
};

class UnavailableMockServer final : public MockServerPort {
public:
    void setExchangeHandler(ExchangeHandler) override {}
    void updateMockRoutes(const std::vector<MockRouteRule>&) override {}
    std::uint16_t start(std::uint16_t) override;
    void stop() override {}
};

class UnavailableWebSocket final : public WebSocketPort {
public:
    void setMessageHandler(MessageHandler) override {}
    void setDisconnectHandler(DisconnectHandler) override {}
    bool connect(const std::string&) override;
    void disconnect() override {}
    void send(const std::string&) override;
};

class UnavailableLaunchAtLogin final : public LaunchAtLoginPort {
public:
    bool isEnabled() override { return false; }
    void setEnabled(bool) override;
};

// The application's set: the given executors, clipboard and file panels, the
// system clock, the stores in their default locations, the shared logger, the
// user's interface language, and the services.
QuillerViewModelPorts makeRealPorts(std::shared_ptr<tarn::MainExecutor> main,
                                    std::shared_ptr<tarn::BackgroundExecutor> background,
                                    std::shared_ptr<ClipboardPort> clipboard,
                                    std::shared_ptr<FilePanelsPort> filePanels);

} // namespace quiller
