#pragma once

// The application's single state object: the workspace in memory, the request
// history, the latest responses, the state of every console, the interface
// language of the texts it makes and the toast banner, and every user action.
//
// Threads: everything here belongs to the main thread (the thread that runs
// the main executor's jobs), construction and destruction included. Work that
// blocks runs on the background executor and its result comes back through
// the main executor; a result that arrives after the view model is gone is
// dropped.

#include "QuillerApp/ViewModels/LatestSnapshotSaver.h"
#include "QuillerApp/ViewModels/QuillerTab.h"
#include "QuillerApp/ViewModels/QuillerViewModelChange.h"
#include "QuillerApp/ViewModels/QuillerViewModelPorts.h"
#include "QuillerCore/Engine/CurlCodecEngine.h"
#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"
#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "QuillerCore/Models/RequestHistoryEntry.h"
#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RunnerRecords.h"
#include "QuillerCore/Models/RuntimeRecords.h"
#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/Platform/UUID.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarn {
class TarnAppLogger;
}

namespace quiller {

class QuillerViewModel {
public:
    // The published fields and the change records: see QuillerViewModelChange.h.
    using Field = QuillerViewModelField;
    using Change = ViewModelChange;
    static constexpr std::size_t fieldCount = viewModelFields::fieldCount;

    using Observer = std::function<void(const Change&)>;
    using ObserverToken = std::uint64_t;

    // Positions into collections() and that collection's requests.
    struct RequestIndices {
        std::size_t col = 0;
        std::size_t req = 0;

        friend bool operator==(const RequestIndices&, const RequestIndices&) = default;
    };

    // What a .env import did: entries parsed, and how many of them looked secret.
    struct DotEnvImportCount {
        int imported = 0;
        int secrets = 0;

        friend bool operator==(const DotEnvImportCount&, const DotEnvImportCount&) = default;
    };

    // Limits of the kept lists.
    static constexpr std::size_t maxResponseHistory = 40;
    static constexpr int maxExecutionHistory = 200;
    static constexpr std::size_t maxCapturedExchanges = 100;
    // How long a toast stays.
    static constexpr std::chrono::milliseconds toastDuration{2800};
    // The port used when the port text is not a port number.
    static constexpr std::uint16_t defaultProxyPort = 8787;

    // Loads the workspace and the history, hands the mock routes to the mock
    // server and installs the service callbacks. Starts nothing and cannot
    // fail. A stored file that could not be read is set aside, and a toast
    // naming the kept copy follows once the main executor runs.
    explicit QuillerViewModel(QuillerViewModelPorts ports);
    ~QuillerViewModel();
    QuillerViewModel(const QuillerViewModel&) = delete;
    QuillerViewModel& operator=(const QuillerViewModel&) = delete;

    // --- Observation ------------------------------------------------------------

    // Every setter (and every operation, for each step it takes) calls the
    // observers with a change record after storing the new value, also when
    // the value did not change. A setter of a list field announces a reset;
    // the operations announce rows inserted, removed or updated (the record
    // and its positions are described in QuillerViewModelChange.h). An
    // observer may add or remove observers; one added during a notification
    // hears from the next one on. Observers are called on the main thread.
    [[nodiscard]] ObserverToken addObserver(Observer observer);
    void removeObserver(ObserverToken token);

    // --- Edits keyed by identity ------------------------------------------------
    // Each applies `edit` to one row in place, found by its identifier (in
    // any collection, in any environment), announces it as one row
    // `updated` with the row's identity - and, for a request or a variable,
    // the collection or environment as parent - and returns true. Returns
    // false and announces nothing when no row has the identifier. The row
    // keeps its identifier whatever the edit does. An edit of an environment
    // may change its variables: a list of that environment's variables
    // treats the update as a reset. Nothing is saved: call persist().

    bool updateRequest(const tarn::UUID& requestID,
                       const std::function<void(APIRequestSpec&)>& edit);
    bool updateEnvironment(const tarn::UUID& environmentID,
                           const std::function<void(APIEnvironmentProfile&)>& edit);
    bool updateVariable(const tarn::UUID& variableID,
                        const std::function<void(KeyValueRow&)>& edit);

    // --- Published fields -------------------------------------------------------
    // Assigning a field only stores it and notifies: screens that edit the
    // workspace through these setters call persist() afterwards.

    QuillerTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(QuillerTab value) { assign(m_selectedTab, value, Field::selectedTab); }
    const std::vector<APIRequestCollection>& collections() const { return m_collections; }
    void setCollections(std::vector<APIRequestCollection> value) {
        assign(m_collections, std::move(value), Field::collections);
    }
    const std::optional<tarn::UUID>& selectedCollectionID() const { return m_selectedCollectionID; }
    void setSelectedCollectionID(std::optional<tarn::UUID> value) {
        assign(m_selectedCollectionID, value, Field::selectedCollectionID);
    }
    const std::optional<tarn::UUID>& selectedRequestID() const { return m_selectedRequestID; }
    void setSelectedRequestID(std::optional<tarn::UUID> value) {
        assign(m_selectedRequestID, value, Field::selectedRequestID);
    }
    const std::vector<APIEnvironmentProfile>& environments() const { return m_environments; }
    void setEnvironments(std::vector<APIEnvironmentProfile> value) {
        assign(m_environments, std::move(value), Field::environments);
    }
    const std::optional<tarn::UUID>& activeEnvironmentID() const { return m_activeEnvironmentID; }
    void setActiveEnvironmentID(std::optional<tarn::UUID> value) {
        assign(m_activeEnvironmentID, value, Field::activeEnvironmentID);
    }
    bool isSending() const { return m_isSending; }
    void setIsSending(bool value) { assign(m_isSending, value, Field::isSending); }
    const std::optional<HTTPResponseSnapshot>& latestResponse() const { return m_latestResponse; }
    void setLatestResponse(std::optional<HTTPResponseSnapshot> value) {
        assign(m_latestResponse, std::move(value), Field::latestResponse);
    }
    const std::optional<HTTPResponseSnapshot>& previousResponse() const {
        return m_previousResponse;
    }
    void setPreviousResponse(std::optional<HTTPResponseSnapshot> value) {
        assign(m_previousResponse, std::move(value), Field::previousResponse);
    }
    const std::deque<HTTPResponseSnapshot>& responseHistory() const { return m_responseHistory; }
    void setResponseHistory(std::deque<HTTPResponseSnapshot> value) {
        assign(m_responseHistory, std::move(value), Field::responseHistory);
    }
    const std::vector<RequestHistoryEntry>& executionHistory() const { return m_executionHistory; }
    void setExecutionHistory(std::vector<RequestHistoryEntry> value) {
        assign(m_executionHistory, std::move(value), Field::executionHistory);
    }
    const std::string& jsonPathQuery() const { return m_jsonPathQuery; }
    void setJsonPathQuery(std::string value) {
        assign(m_jsonPathQuery, std::move(value), Field::jsonPathQuery);
    }
    CodeSnippetLanguage snippetLanguage() const { return m_snippetLanguage; }
    void setSnippetLanguage(CodeSnippetLanguage value) {
        assign(m_snippetLanguage, value, Field::snippetLanguage);
    }
    const std::optional<GraphQLSchemaSummary>& graphQLSchema() const { return m_graphQLSchema; }
    void setGraphQLSchema(std::optional<GraphQLSchemaSummary> value) {
        assign(m_graphQLSchema, std::move(value), Field::graphQLSchema);
    }
    bool isIntrospectingGraphQL() const { return m_isIntrospectingGraphQL; }
    void setIsIntrospectingGraphQL(bool value) {
        assign(m_isIntrospectingGraphQL, value, Field::isIntrospectingGraphQL);
    }
    const std::optional<std::string>& graphQLIntrospectionError() const {
        return m_graphQLIntrospectionError;
    }
    void setGraphQLIntrospectionError(std::optional<std::string> value) {
        assign(m_graphQLIntrospectionError, std::move(value), Field::graphQLIntrospectionError);
    }
    bool showGraphQLSchemaExplorer() const { return m_showGraphQLSchemaExplorer; }
    void setShowGraphQLSchemaExplorer(bool value) {
        assign(m_showGraphQLSchemaExplorer, value, Field::showGraphQLSchemaExplorer);
    }
    bool isRunningCollection() const { return m_isRunningCollection; }
    void setIsRunningCollection(bool value) {
        assign(m_isRunningCollection, value, Field::isRunningCollection);
    }
    const std::vector<CollectionRunStepResult>& collectionRunResults() const {
        return m_collectionRunResults;
    }
    void setCollectionRunResults(std::vector<CollectionRunStepResult> value) {
        assign(m_collectionRunResults, std::move(value), Field::collectionRunResults);
    }
    bool isBenchmarking() const { return m_isBenchmarking; }
    void setIsBenchmarking(bool value) { assign(m_isBenchmarking, value, Field::isBenchmarking); }
    const std::optional<LoadBenchmarkReport>& latestBenchmark() const { return m_latestBenchmark; }
    void setLatestBenchmark(std::optional<LoadBenchmarkReport> value) {
        assign(m_latestBenchmark, std::move(value), Field::latestBenchmark);
    }
    const std::string& sseURL() const { return m_sseURL; }
    void setSseURL(std::string value) { assign(m_sseURL, std::move(value), Field::sseURL); }
    bool isSSEStreaming() const { return m_isSSEStreaming; }
    void setIsSSEStreaming(bool value) { assign(m_isSSEStreaming, value, Field::isSSEStreaming); }
    const std::deque<SSEStreamEvent>& sseEvents() const { return m_sseEvents; }
    void setSseEvents(std::deque<SSEStreamEvent> value) {
        assign(m_sseEvents, std::move(value), Field::sseEvents);
    }
    const std::string& wsURL() const { return m_wsURL; }
    void setWsURL(std::string value) { assign(m_wsURL, std::move(value), Field::wsURL); }
    const std::string& wsDraftMessage() const { return m_wsDraftMessage; }
    void setWsDraftMessage(std::string value) {
        assign(m_wsDraftMessage, std::move(value), Field::wsDraftMessage);
    }
    bool isWSConnected() const { return m_isWSConnected; }
    void setIsWSConnected(bool value) { assign(m_isWSConnected, value, Field::isWSConnected); }
    const std::deque<WebSocketFrameItem>& wsFrames() const { return m_wsFrames; }
    void setWsFrames(std::deque<WebSocketFrameItem> value) {
        assign(m_wsFrames, std::move(value), Field::wsFrames);
    }
    const std::string& mcpCommandLine() const { return m_mcpCommandLine; }
    void setMcpCommandLine(std::string value) {
        assign(m_mcpCommandLine, std::move(value), Field::mcpCommandLine);
    }
    bool isInspectingMCP() const { return m_isInspectingMCP; }
    void setIsInspectingMCP(bool value) {
        assign(m_isInspectingMCP, value, Field::isInspectingMCP);
    }
    const std::vector<MCPToolDescriptor>& mcpTools() const { return m_mcpTools; }
    void setMcpTools(std::vector<MCPToolDescriptor> value) {
        assign(m_mcpTools, std::move(value), Field::mcpTools);
    }
    const std::string& selectedMCPToolName() const { return m_selectedMCPToolName; }
    void setSelectedMCPToolName(std::string value) {
        assign(m_selectedMCPToolName, std::move(value), Field::selectedMCPToolName);
    }
    const std::string& mcpArgumentsJSON() const { return m_mcpArgumentsJSON; }
    void setMcpArgumentsJSON(std::string value) {
        assign(m_mcpArgumentsJSON, std::move(value), Field::mcpArgumentsJSON);
    }
    const std::string& mcpRawLog() const { return m_mcpRawLog; }
    void setMcpRawLog(std::string value) {
        assign(m_mcpRawLog, std::move(value), Field::mcpRawLog);
    }
    const std::string& proxyPortText() const { return m_proxyPortText; }
    void setProxyPortText(std::string value) {
        assign(m_proxyPortText, std::move(value), Field::proxyPortText);
    }
    bool isProxyRunning() const { return m_isProxyRunning; }
    void setIsProxyRunning(bool value) { assign(m_isProxyRunning, value, Field::isProxyRunning); }
    std::uint16_t activeProxyPort() const { return m_activeProxyPort; }
    void setActiveProxyPort(std::uint16_t value) {
        assign(m_activeProxyPort, value, Field::activeProxyPort);
    }
    const std::vector<MockRouteRule>& mockRoutes() const { return m_mockRoutes; }
    void setMockRoutes(std::vector<MockRouteRule> value) {
        assign(m_mockRoutes, std::move(value), Field::mockRoutes);
    }
    const std::deque<CapturedProxyExchange>& capturedExchanges() const {
        return m_capturedExchanges;
    }
    void setCapturedExchanges(std::deque<CapturedProxyExchange> value) {
        assign(m_capturedExchanges, std::move(value), Field::capturedExchanges);
    }
    tarn::TarnLanguage language() const { return m_language; }
    void setLanguage(tarn::TarnLanguage value) { assign(m_language, value, Field::language); }
    bool launchAtLogin() const { return m_launchAtLogin; }
    void setLaunchAtLogin(bool value) { assign(m_launchAtLogin, value, Field::launchAtLogin); }
    const std::optional<std::string>& toastMessage() const { return m_toastMessage; }
    void setToastMessage(std::optional<std::string> value) {
        assign(m_toastMessage, std::move(value), Field::toastMessage);
    }
    bool toastIsError() const { return m_toastIsError; }
    void setToastIsError(bool value) { assign(m_toastIsError, value, Field::toastIsError); }

    // --- State and start-up -----------------------------------------------------

    // Saves collections, environments, the active environment, mock routes and
    // the port read from proxyPortText() (8787 when it is not a port number).
    // Returns at once and never waits for the disk or the keychain: the
    // snapshot is taken at the end of the main-executor turn, once however
    // often persist() was called in it, and handed to the workspace saver,
    // which writes it on the background executor. While a write is under way
    // no snapshot is taken; the next one follows the write and holds every
    // edit made meanwhile. The history file is saved by its own saver.
    void persist();
    // Hands what persist() announced in this turn to the workspace saver now
    // rather than at the end of the turn, so that the file is written while
    // the window refreshes. Does nothing when nothing is due or a write is
    // under way (the snapshot then follows the write, as for persist()).
    void startDueSave() { takeWorkspaceSnapshot(false); }
    // Takes any snapshot still due and returns once every save handed to the
    // savers (workspace and history) is written. Blocks: call it when the
    // application quits; the destructor calls it too.
    void flushSaves();
    // Shows the banner for toastDuration; a new toast replaces the current one
    // and gets its own full time.
    void showToast(const std::string& message, bool isError);

    // The request whose id is selectedRequestID() in any collection, else the
    // first request of the first collection; nothing when there is none.
    std::optional<RequestIndices> activeRequestIndices() const;
    std::optional<APIRequestSpec> activeRequest() const;
    // The environment whose id is activeEnvironmentID(), else the first one.
    std::optional<APIEnvironmentProfile> activeEnvironment() const;

    // An unsigned 16-bit decimal number with an optional "+" ("-" only for
    // zero), nothing else; nothing for any other text.
    [[nodiscard]] static std::optional<std::uint16_t> parsePort(std::string_view text);

    // --- Sending and the execution history --------------------------------------

    void sendActiveRequest();
    void recordHistorySuccess(const APIRequestSpec& spec, const HTTPResponseSnapshot& snapshot,
                              const VariableMap& variables);
    void loadHistoryEntry(const RequestHistoryEntry& entry);
    void deleteHistoryEntry(const tarn::UUID& entryID);
    void clearExecutionHistory();

    // --- Editing and the mock-server switch -------------------------------------

    void addRequestToActiveCollection();
    void deleteRequest(const tarn::UUID& requestID, const tarn::UUID& collectionID);
    void toggleProxyServer();

    // --- Imports, exports and the clipboard -------------------------------------

    void importCurl(const std::string& text);
    void importOpenAPIOrPostman(const std::string& text);
    DotEnvImportCount importDotEnv(const std::string& text, const std::string& sourceLabel);
    void importDotEnvFromFile();
    void importDotEnvFromClipboard();
    void exportDotEnvToClipboard(bool maskSecrets);
    void exportDotEnvToFile(bool maskSecrets);
    void copyText(const std::string& text, const std::string& label);
    std::string generatedCodeSnippet() const;
    // jsonPathQuery() applied to the latest response's body; nothing without
    // a response or with a blank query. Computed once per query and response
    // and kept until either is assigned again.
    std::optional<std::string> jsonPathResult() const;
    // The line diff of the previous response's pretty body against the latest
    // one's; empty unless both responses are present. Computed once per pair
    // and kept until either is assigned again; the reference is valid until
    // then.
    const std::vector<DiffLineItem>& responseDiff() const;

    // Opens `url` with the user's browser (or the application for its
    // scheme); shows an error toast when nothing can open it.
    void openURL(const std::string& url);

    // --- GraphQL schema and operation templates ---------------------------------

    // Introspects `spec`, else the active request.
    void fetchGraphQLSchema(const std::optional<APIRequestSpec>& spec = std::nullopt);
    void applyGraphQLTemplate(const GraphQLOperationField& field);

    // --- Collection run and load benchmark --------------------------------------

    void runActiveCollectionSuite();
    void runLoadBenchmark(int totalRequests, int concurrency);

    // --- Event streams: Server-Sent Events and WebSocket ------------------------

    void toggleSSEStream();
    void toggleWebSocket();
    void sendWebSocketMessage();

    // --- MCP server inspection --------------------------------------------------

    void discoverMCPTools();
    void invokeSelectedMCPTool();

    // --- Mock routes, replay, environment variables, launch at login ------------

    void removeMockRoute(const MockRouteRule& route);
    // The mock server itself: a screen that changes mockRoutes() hands it the
    // whole new list.
    MockServerPort& proxyService() const { return *m_ports.mockServer; }
    void replayExchangeInClient(const CapturedProxyExchange& exchange);
    void addVariableToActiveEnvironment(const std::string& key, const std::string& value,
                                        bool isSecret);
    void removeVariable(const tarn::UUID& variableID);
    void toggleLaunchAtLogin(bool enabled);

private:
    // Why a background job failed: what() of what it threw, and whether a
    // stop had been requested by then (a cancelled job, not an error to show).
    struct JobFailure {
        std::string description{};
        bool stopRequested = false;
    };

    // One write of the history file: the entries, or nothing to remove it.
    struct HistoryWrite {
        std::optional<std::vector<RequestHistoryEntry>> entries{};
    };

    // The busy flags, each counting the jobs of its kind in flight.
    enum class BusyKind { sending, introspecting, runningCollection, benchmarking, inspectingMCP };

    template <class T, class V> void assign(T& member, V&& value, Field field) {
        member = std::forward<V>(value);
        notify(Change{.field = field,
                      .kind = viewModelFields::isListField(field) ? ListChangeKind::reset
                                                                  : ListChangeKind::none});
    }
    void notify(const Change& change);

    // The list steps every operation is made of; each announces itself.
    // `parent` names the collection or environment owning a nested list.
    template <class List, class Row>
    void insertRow(List& list, Field field, std::size_t position, Row row,
                   std::optional<tarn::UUID> parent = std::nullopt) {
        const tarn::UUID identity = row.id;
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), std::move(row));
        notify(Change{field, ListChangeKind::inserted, position, 1, identity, parent});
    }
    // Inserts `row` in front and drops the rows past `limit` from the end.
    template <class List, class Row>
    void prependRow(List& list, Field field, Row row, std::size_t limit) {
        insertRow(list, field, 0, std::move(row));
        if (list.size() > limit) {
            const std::size_t dropped = list.size() - limit;
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(limit), list.end());
            notify(
                Change{field, ListChangeKind::removed, limit, dropped, std::nullopt, std::nullopt});
        }
    }
    // Removes every row with the identifier, one notification per run of
    // adjacent rows, from the back so each record's positions hold as given.
    template <class List>
    void removeRows(List& list, Field field, const tarn::UUID& identity,
                    std::optional<tarn::UUID> parent = std::nullopt) {
        std::size_t end = list.size();
        while (end > 0) {
            if (list[end - 1].id != identity) {
                --end;
                continue;
            }
            std::size_t first = end - 1;
            while (first > 0 && list[first - 1].id == identity)
                --first;
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(first),
                       list.begin() + static_cast<std::ptrdiff_t>(end));
            notify(Change{field, ListChangeKind::removed, first, end - first, identity, parent});
            end = first;
        }
    }
    // The keyed edit of a row in a nested list (the requests of every
    // collection, the variables of every environment).
    template <class Owner, class Row>
    bool updateNestedRow(std::vector<Owner>& owners, std::vector<Row> Owner::*rows, Field field,
                         const tarn::UUID& rowID, const std::function<void(Row&)>& edit);
    void announceUpdate(Field field, std::size_t position, const tarn::UUID& identity,
                        std::optional<tarn::UUID> parent = std::nullopt) {
        notify(Change{field, ListChangeKind::updated, position, 1, identity, parent});
    }

    // The text for the view model's language.
    std::string text(std::string_view en, std::string_view tr) const;

    // Raises the kind's flag; the flag falls when the last job of its kind ends.
    void beginBusy(BusyKind kind);
    void endBusy(BusyKind kind);

    // Hands the workspace as it is now to the saver, when persist() asked for
    // it - while the saver is busy only with `evenWhileWriting`.
    void takeWorkspaceSnapshot(bool evenWhileWriting);
    // Hands the history as it is now to its saver.
    void saveHistory();

    // The files the savers write.
    enum class SavedFile { workspace, history };
    // How a save of `file` went (on the main thread): nothing when it was
    // written, else the failure's description. The first failure of a streak
    // is logged and shown as an error toast; the saver keeps the data and
    // the next save writes it, which ends the streak.
    void saveFinished(SavedFile file, const std::optional<std::string>& failure);
    // The outcome handler of a saver, for its own thread.
    std::function<void(std::exception_ptr)> saveOutcomeHandler(SavedFile file);
    // What start-up found and the user should know: stored files that could
    // not be read and were set aside.
    void announceFilesSetAside(const std::optional<std::filesystem::path>& workspaceCopy,
                               const std::optional<std::filesystem::path>& historyCopy);
    // Once per run: secrets went to the private fallback file.
    void announceSecretsFallback(const std::filesystem::path& file);
    // The text a toast shows for what a job threw: a tarn::PlatformError's
    // own description, never the standard library's texts.
    static std::string failureDescription(const std::exception& error);

    // proxyPortText() as a port, 8787 when it is not one.
    std::uint16_t portFromText() const;
    // Position of the collection whose id is selectedCollectionID(), else 0;
    // nothing when there is no collection.
    std::optional<std::size_t> selectedCollectionIndex() const;
    // Position of the environment whose id is activeEnvironmentID(); nothing
    // without one (no fallback to the first).
    std::optional<std::size_t> activeEnvironmentIndex() const;
    // The active environment's variable map (empty without one).
    VariableMap activeVariables() const;

    // Posts jobs to the main thread from any thread, dropping each one that
    // runs after the view model is gone. Make it on the main thread; the copy
    // may then travel anywhere.
    std::function<void(tarn::Job)> mainThreadPoster() const;

    // Runs `work(stop)` on the background executor, then on the main thread
    // exactly one of `onSuccess(result)` (`onSuccess()` for void work) or
    // `onFailure(JobFailure)` - neither once the view model is gone. `work`
    // runs on another thread: it must not touch the view model, only what it
    // captured by value (copies of fields, shared_ptr copies of ports).
    template <class Work, class OnSuccess, class OnFailure>
    tarn::BackgroundTask runJob(Work work, OnSuccess onSuccess, OnFailure onFailure);
    // Runs `work` on the background executor and the job it returns on the
    // main thread (dropped once the view model is gone). `work` must not throw.
    [[nodiscard]] tarn::BackgroundTask
    startBackground(std::function<tarn::Job(std::stop_token)> work);
    // Reports a failure to start a job the way runJob reports a failed job.
    void postFailure(std::function<void(JobFailure)> onFailure, JobFailure failure);

    // The two ends of a send. `secrets` are the secret values of the
    // environment the request went out with, kept out of the history entry.
    void sendSucceeded(const APIRequestSpec& spec, HTTPResponseSnapshot snapshot,
                       const VariableMap& variables, const SecretValues& secrets);
    void sendFailed(const APIRequestSpec& spec, const VariableMap& variables,
                    const SecretValues& secrets, std::chrono::steady_clock::time_point start,
                    const JobFailure& failure);
    void recordSuccessEntry(const APIRequestSpec& spec, const HTTPResponseSnapshot& snapshot,
                            const VariableMap& variables, const SecretValues& secrets);

    // Service callbacks, on the main thread.
    void exchangeCaptured(CapturedProxyExchange exchange);
    void webSocketMessage(WebSocketFrameItem frame);
    void webSocketDisconnected(const std::optional<std::string>& reason);

    // --- Published fields, in declaration order -----------------------------------

    QuillerTab m_selectedTab = QuillerTab::client;
    std::vector<APIRequestCollection> m_collections{};
    std::optional<tarn::UUID> m_selectedCollectionID{};
    std::optional<tarn::UUID> m_selectedRequestID{};
    std::vector<APIEnvironmentProfile> m_environments{};
    std::optional<tarn::UUID> m_activeEnvironmentID{};
    bool m_isSending = false;
    std::optional<HTTPResponseSnapshot> m_latestResponse{};
    std::optional<HTTPResponseSnapshot> m_previousResponse{};
    std::deque<HTTPResponseSnapshot> m_responseHistory{};
    std::vector<RequestHistoryEntry> m_executionHistory{};
    std::string m_jsonPathQuery{};
    CodeSnippetLanguage m_snippetLanguage = CodeSnippetLanguage::curl;
    std::optional<GraphQLSchemaSummary> m_graphQLSchema{};
    bool m_isIntrospectingGraphQL = false;
    std::optional<std::string> m_graphQLIntrospectionError{};
    bool m_showGraphQLSchemaExplorer = false;
    bool m_isRunningCollection = false;
    std::vector<CollectionRunStepResult> m_collectionRunResults{};
    bool m_isBenchmarking = false;
    std::optional<LoadBenchmarkReport> m_latestBenchmark{};
    std::string m_sseURL = "https://sse.dev/test";
    bool m_isSSEStreaming = false;
    std::deque<SSEStreamEvent> m_sseEvents{};
    std::string m_wsURL = "wss://echo.websocket.org";
    std::string m_wsDraftMessage = R"({"ping":"quiller"})";
    bool m_isWSConnected = false;
    std::deque<WebSocketFrameItem> m_wsFrames{};
    std::string m_mcpCommandLine = "npx -y @modelcontextprotocol/server-everything";
    bool m_isInspectingMCP = false;
    std::vector<MCPToolDescriptor> m_mcpTools{};
    std::string m_selectedMCPToolName{};
    std::string m_mcpArgumentsJSON = "{}";
    std::string m_mcpRawLog{};
    std::string m_proxyPortText = "8787";
    bool m_isProxyRunning = false;
    std::uint16_t m_activeProxyPort = 0;
    std::vector<MockRouteRule> m_mockRoutes{};
    std::deque<CapturedProxyExchange> m_capturedExchanges{};
    tarn::TarnLanguage m_language = tarn::TarnLanguage::en;
    bool m_launchAtLogin = false;
    std::optional<std::string> m_toastMessage{};
    bool m_toastIsError = false;

    // --- Private state ------------------------------------------------------------

    QuillerViewModelPorts m_ports;
    tarn::TarnAppLogger& m_logger;
    // Watched through weak_ptrs by every job posted back to the main thread.
    std::shared_ptr<void> m_alive = std::make_shared<char>();

    struct ObserverEntry {
        ObserverToken token = 0;
        Observer observer{};
    };
    std::vector<ObserverEntry> m_observers;
    ObserverToken m_nextObserverToken = 0;
    int m_notifyDepth = 0;
    bool m_observersNeedCompaction = false;

    std::array<int, 5> m_busyCounts{};

    // The running SSE stream and the number of the latest start: events and
    // the end of an older stream never touch a newer one.
    std::optional<tarn::BackgroundTask> m_sseTask;
    std::uint64_t m_sseGeneration = 0;

    // Hides the current toast.
    std::optional<tarn::TimerToken> m_toastTimer;

    // A failure streak of each saved file is under way (SavedFile order).
    std::array<bool, 2> m_saveFailing{};
    bool m_announcedSecretsFallback = false;

    // persist() was called since the last snapshot, and the job that takes
    // the next one is posted.
    bool m_workspaceSnapshotDue = false;
    bool m_workspaceSnapshotPosted = false;
    std::unique_ptr<LatestSnapshotSaver<QuillerWorkspacePayload>> m_workspaceSaver;
    std::unique_ptr<LatestSnapshotSaver<HistoryWrite>> m_historySaver;

    // Derived values kept until a field they come from is assigned.
    mutable std::optional<std::optional<std::string>> m_jsonPathResult;
    mutable std::optional<std::vector<DiffLineItem>> m_responseDiff;
};

template <class Work, class OnSuccess, class OnFailure>
tarn::BackgroundTask QuillerViewModel::runJob(Work work, OnSuccess onSuccess, OnFailure onFailure) {
    using Result = std::invoke_result_t<Work&, std::stop_token>;
    try {
        return startBackground([work = std::move(work), onSuccess,
                                onFailure](std::stop_token stop) mutable -> tarn::Job {
            try {
                if constexpr (std::is_void_v<Result>) {
                    work(stop);
                    return [onSuccess]() mutable { onSuccess(); };
                } else {
                    return [onSuccess, result = work(stop)]() mutable {
                        onSuccess(std::move(result));
                    };
                }
            } catch (const std::exception& error) {
                return [onFailure, failure = JobFailure{failureDescription(error),
                                                        stop.stop_requested()}]() mutable {
                    onFailure(std::move(failure));
                };
            } catch (...) {
                return [onFailure,
                        failure = JobFailure{"Unknown error.", stop.stop_requested()}]() mutable {
                    onFailure(std::move(failure));
                };
            }
        });
    } catch (const std::exception& error) {
        postFailure(onFailure, JobFailure{failureDescription(error), false});
        return {};
    }
}

} // namespace quiller
