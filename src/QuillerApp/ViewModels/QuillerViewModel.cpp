// State, start-up, observation, saving, toasts and the selection lookups.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <stdexcept>

namespace quiller {
namespace {

tarn::TarnAppLogger& loggerOf(const QuillerViewModelPorts& ports) {
    return ports.logger != nullptr ? *ports.logger : tarn::TarnAppLogger::shared("Quiller");
}

// Every environment's secret values, not only the active one's: a value is no
// less secret for its environment being switched off.
void shareSecretValues(tarn::TarnAppLogger& logger,
                       const std::vector<APIEnvironmentProfile>& environments) {
    std::vector<std::string> values;
    for (const APIEnvironmentProfile& environment : environments)
        for (std::string& value : RequestHistoryEngine::secretValues(&environment))
            values.push_back(std::move(value));
    logger.setSecretValues(std::move(values));
}

void requirePorts(const QuillerViewModelPorts& ports) {
    if (!ports.main || !ports.background || !ports.clock || !ports.clipboard || !ports.filePanels ||
        !ports.launchAtLogin || !ports.urlOpener || !ports.workspaceStore || !ports.historyStore ||
        !ports.requestExecution || !ports.collectionRunner || !ports.mcpInspector ||
        !ports.mockServer || !ports.webSocket)
        throw std::invalid_argument("QuillerViewModel needs every port");
}

} // namespace

QuillerViewModel::QuillerViewModel(QuillerViewModelPorts ports)
    : m_ports((requirePorts(ports), std::move(ports))), m_logger(loggerOf(m_ports)) {
    m_language = m_ports.language ? *m_ports.language : tarn::language::current();
    m_launchAtLogin = m_ports.launchAtLogin->isEnabled();

    m_workspaceSaver = std::make_unique<LatestSnapshotSaver<QuillerWorkspacePayload>>(
        m_ports.background,
        [store = m_ports.workspaceStore](const QuillerWorkspacePayload& p) { store->save(p); },
        // From the saver's thread: the snapshot that waited for the write.
        [this, post = mainThreadPoster()] { post([this] { takeWorkspaceSnapshot(false); }); },
        saveOutcomeHandler(SavedFile::workspace));
    m_historySaver = std::make_unique<LatestSnapshotSaver<HistoryWrite>>(
        m_ports.background,
        [store = m_ports.historyStore](const HistoryWrite& write) {
            if (write.entries)
                store->save(*write.entries);
            else
                store->clear();
        },
        nullptr, saveOutcomeHandler(SavedFile::history));

    QuillerWorkspacePayload payload = m_ports.workspaceStore->load();
    const std::optional<std::filesystem::path> workspaceCopy =
        m_ports.workspaceStore->setUnreadableFileAside();

    m_collections = payload.collections.empty() ? APIRequestCollection::starterCollections()
                                                : std::move(payload.collections);
    if (!m_collections.empty()) {
        m_selectedCollectionID = m_collections.front().id;
        if (!m_collections.front().requests.empty())
            m_selectedRequestID = m_collections.front().requests.front().id;
    }

    m_environments = payload.environments.empty() ? APIEnvironmentProfile::defaultEnvironments()
                                                  : std::move(payload.environments);
    // A saved identifier is kept even when no environment has it any more;
    // activeEnvironment() falls back to the first one.
    if (payload.activeEnvironmentID)
        m_activeEnvironmentID = payload.activeEnvironmentID;
    else if (!m_environments.empty())
        m_activeEnvironmentID = m_environments.front().id;
    shareSecretValues(m_logger, m_environments);

    m_mockRoutes = std::move(payload.mockRoutes);
    m_proxyPortText = tarn::numbers::formatInteger(payload.proxyPort);
    m_executionHistory = m_ports.historyStore->load();
    const std::optional<std::filesystem::path> historyCopy =
        m_ports.historyStore->setUnreadableFileAside();
    // After construction, so that whoever observes the view model by then
    // sees the toast appear.
    if (workspaceCopy || historyCopy)
        mainThreadPoster()([this, workspaceCopy, historyCopy] {
            announceFilesSetAside(workspaceCopy, historyCopy);
        });

    m_ports.mockServer->updateMockRoutes(m_mockRoutes);

    // The services call back on their own threads; each callback hops to the
    // main thread and is dropped there once the view model is gone.
    const auto post = mainThreadPoster();
    m_ports.mockServer->setExchangeHandler([this, post](CapturedProxyExchange exchange) {
        post([this, exchange = std::move(exchange)]() mutable {
            exchangeCaptured(std::move(exchange));
        });
    });
    m_ports.webSocket->setMessageHandler([this, post](WebSocketFrameItem frame) {
        post([this, frame = std::move(frame)]() mutable { webSocketMessage(std::move(frame)); });
    });
    m_ports.webSocket->setDisconnectHandler([this, post](std::optional<std::string> reason) {
        post([this, reason = std::move(reason)] { webSocketDisconnected(reason); });
    });
}

QuillerViewModel::~QuillerViewModel() {
    // Nothing is stopped: the services live on with the process. A hide timer
    // still pending would only find the view model gone.
    if (m_toastTimer)
        m_ports.main->cancel(*m_toastTimer);
    // The last edits reach the files before the state that holds them goes.
    flushSaves();
}

// --- Observation ---------------------------------------------------------------------

QuillerViewModel::ObserverToken QuillerViewModel::addObserver(Observer observer) {
    const ObserverToken token = ++m_nextObserverToken;
    m_observers.push_back(ObserverEntry{token, std::move(observer)});
    return token;
}

void QuillerViewModel::removeObserver(ObserverToken token) {
    const auto found = std::find_if(m_observers.begin(), m_observers.end(),
                                    [token](const ObserverEntry& e) { return e.token == token; });
    if (found == m_observers.end())
        return;
    if (m_notifyDepth > 0) {
        // The list is being walked: leave a hole and close it afterwards.
        found->observer = nullptr;
        m_observersNeedCompaction = true;
    } else {
        m_observers.erase(found);
    }
}

void QuillerViewModel::notify(const Change& change) {
    // Before the observers run: they may read the derived values at once.
    if (change.field == Field::latestResponse || change.field == Field::jsonPathQuery)
        m_jsonPathResult.reset();
    if (change.field == Field::latestResponse || change.field == Field::previousResponse)
        m_responseDiff.reset();
    ++m_notifyDepth;
    // By index and up to the size at the start: observers added meanwhile
    // wait for the next change, and the vector may grow under us.
    const std::size_t count = m_observers.size();
    try {
        for (std::size_t i = 0; i < count; ++i) {
            if (m_observers[i].observer) {
                // A copy, so an observer that removes itself stays alive
                // until it returns.
                const Observer observer = m_observers[i].observer;
                observer(change);
            }
        }
    } catch (...) {
        --m_notifyDepth;
        throw;
    }
    if (--m_notifyDepth == 0 && m_observersNeedCompaction) {
        std::erase_if(m_observers, [](const ObserverEntry& e) { return !e.observer; });
        m_observersNeedCompaction = false;
    }
}

// --- Saving, toasts, lookups ---------------------------------------------------------

std::optional<std::uint16_t> QuillerViewModel::parsePort(std::string_view text) {
    const auto value = tarn::numbers::parseInteger(text);
    if (!value || *value < 0 || *value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::uint16_t QuillerViewModel::portFromText() const {
    return parsePort(m_proxyPortText).value_or(defaultProxyPort);
}

void QuillerViewModel::persist() {
    // Screens call this after every edit, a secret variable's included.
    shareSecretValues(m_logger, m_environments);
    // Screens call this on every keystroke: copying the workspace here would
    // cost the keystroke, so the copy waits for the end of the turn and is
    // made once for every persist() of it.
    m_workspaceSnapshotDue = true;
    if (m_workspaceSnapshotPosted)
        return;
    m_workspaceSnapshotPosted = true;
    m_ports.main->post(tarn::guarded(m_alive, [this] {
        m_workspaceSnapshotPosted = false;
        takeWorkspaceSnapshot(false);
    }));
}

void QuillerViewModel::takeWorkspaceSnapshot(bool evenWhileWriting) {
    if (!m_workspaceSnapshotDue)
        return;
    // A snapshot taken now would only wait behind the write and be replaced:
    // the saver calls back when it is done, and the snapshot is taken then.
    if (!evenWhileWriting && m_workspaceSaver->isBusy())
        return;
    m_workspaceSnapshotDue = false;
    m_workspaceSaver->submit(QuillerWorkspacePayload{.collections = m_collections,
                                                     .environments = m_environments,
                                                     .activeEnvironmentID = m_activeEnvironmentID,
                                                     .mockRoutes = m_mockRoutes,
                                                     .proxyPort = portFromText()});
}

void QuillerViewModel::saveHistory() {
    m_historySaver->submit(HistoryWrite{m_executionHistory});
}

void QuillerViewModel::flushSaves() {
    takeWorkspaceSnapshot(true);
    m_workspaceSaver->flush();
    m_historySaver->flush();
}

void QuillerViewModel::showToast(const std::string& message, bool isError) {
    setToastMessage(message);
    setToastIsError(isError);
    if (m_toastTimer)
        m_ports.main->cancel(*m_toastTimer);
    m_toastTimer = m_ports.main->postAfter(toastDuration, tarn::guarded(m_alive, [this] {
                                               m_toastTimer.reset();
                                               setToastMessage(std::nullopt);
                                           }));
}

std::string QuillerViewModel::text(std::string_view en, std::string_view tr) const {
    return tarn::tarnText(en, tr, m_language);
}

std::optional<QuillerViewModel::RequestIndices> QuillerViewModel::activeRequestIndices() const {
    if (m_selectedRequestID) {
        for (std::size_t col = 0; col < m_collections.size(); ++col) {
            const auto& requests = m_collections[col].requests;
            for (std::size_t req = 0; req < requests.size(); ++req) {
                if (requests[req].id == *m_selectedRequestID)
                    return RequestIndices{col, req};
            }
        }
    }
    if (!m_collections.empty() && !m_collections.front().requests.empty())
        return RequestIndices{0, 0};
    return std::nullopt;
}

std::optional<APIRequestSpec> QuillerViewModel::activeRequest() const {
    const auto indices = activeRequestIndices();
    if (!indices)
        return std::nullopt;
    return m_collections[indices->col].requests[indices->req];
}

std::optional<APIEnvironmentProfile> QuillerViewModel::activeEnvironment() const {
    if (const auto index = activeEnvironmentIndex())
        return m_environments[*index];
    if (m_environments.empty())
        return std::nullopt;
    return m_environments.front();
}

VariableMap QuillerViewModel::activeVariables() const {
    return EnvironmentTemplateEngine::variableMap(activeEnvironment());
}

std::optional<std::size_t> QuillerViewModel::selectedCollectionIndex() const {
    if (m_collections.empty())
        return std::nullopt;
    if (m_selectedCollectionID) {
        for (std::size_t i = 0; i < m_collections.size(); ++i) {
            if (m_collections[i].id == *m_selectedCollectionID)
                return i;
        }
    }
    return 0;
}

std::optional<std::size_t> QuillerViewModel::activeEnvironmentIndex() const {
    if (m_activeEnvironmentID) {
        for (std::size_t i = 0; i < m_environments.size(); ++i) {
            if (m_environments[i].id == *m_activeEnvironmentID)
                return i;
        }
    }
    return std::nullopt;
}

// --- Busy flags ----------------------------------------------------------------------

void QuillerViewModel::beginBusy(BusyKind kind) {
    ++m_busyCounts[static_cast<std::size_t>(kind)];
    switch (kind) {
    case BusyKind::sending:
        setIsSending(true);
        break;
    case BusyKind::introspecting:
        setIsIntrospectingGraphQL(true);
        break;
    case BusyKind::runningCollection:
        setIsRunningCollection(true);
        break;
    case BusyKind::benchmarking:
        setIsBenchmarking(true);
        break;
    case BusyKind::inspectingMCP:
        setIsInspectingMCP(true);
        break;
    }
}

void QuillerViewModel::endBusy(BusyKind kind) {
    int& count = m_busyCounts[static_cast<std::size_t>(kind)];
    if (count > 0)
        --count;
    if (count > 0)
        return;
    switch (kind) {
    case BusyKind::sending:
        setIsSending(false);
        break;
    case BusyKind::introspecting:
        setIsIntrospectingGraphQL(false);
        break;
    case BusyKind::runningCollection:
        setIsRunningCollection(false);
        break;
    case BusyKind::benchmarking:
        setIsBenchmarking(false);
        break;
    case BusyKind::inspectingMCP:
        setIsInspectingMCP(false);
        break;
    }
}

// --- Jobs ----------------------------------------------------------------------------

std::function<void(tarn::Job)> QuillerViewModel::mainThreadPoster() const {
    return [main = m_ports.main, alive = std::weak_ptr<void>(m_alive)](tarn::Job job) {
        main->post(tarn::guarded(alive, std::move(job)));
    };
}

tarn::BackgroundTask
QuillerViewModel::startBackground(std::function<tarn::Job(std::stop_token)> work) {
    return m_ports.background->start(
        [work = std::move(work), post = mainThreadPoster()](std::stop_token stop) {
            tarn::Job then;
            try {
                then = work(std::move(stop));
            } catch (...) {
                // runJob never lets an exception out; should a result fail to
                // copy, there is nothing left to report it to.
                return;
            }
            post(std::move(then));
        });
}

void QuillerViewModel::postFailure(std::function<void(JobFailure)> onFailure, JobFailure failure) {
    mainThreadPoster()(
        [onFailure = std::move(onFailure), failure = std::move(failure)] { onFailure(failure); });
}

// --- Service callbacks ---------------------------------------------------------------

void QuillerViewModel::exchangeCaptured(CapturedProxyExchange exchange) {
    prependRow(m_capturedExchanges, Field::capturedExchanges, std::move(exchange),
               maxCapturedExchanges);
}

void QuillerViewModel::webSocketMessage(WebSocketFrameItem frame) {
    // Kept without limit: the user clears the console by reconnecting.
    insertRow(m_wsFrames, Field::wsFrames, 0, std::move(frame));
}

void QuillerViewModel::webSocketDisconnected(const std::optional<std::string>& reason) {
    setIsWSConnected(false);
    // Names the facility itself, so it is the same in every language.
    if (reason && !reason->empty())
        showToast("WebSocket: " + *reason, true);
}

} // namespace quiller
