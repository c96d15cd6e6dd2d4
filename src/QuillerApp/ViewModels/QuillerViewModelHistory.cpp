// Sending the active request, and the request history.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>

namespace quiller {

void QuillerViewModel::sendActiveRequest() {
    const auto indices = activeRequestIndices();
    if (!indices)
        return;
    // Copies: edits made while the request is out do not reach this send.
    APIRequestSpec spec = m_collections[indices->col].requests[indices->req];
    const auto environment = activeEnvironment();
    VariableMap variables = EnvironmentTemplateEngine::variableMap(environment);
    SecretValues secrets = RequestHistoryEngine::secretValues(environment);

    beginBusy(BusyKind::sending);
    const auto start = m_ports.clock->steadyNow();
    runJob(
        [execution = m_ports.requestExecution, spec, variables](std::stop_token stop) {
            return execution->execute(spec, variables, true, std::move(stop));
        },
        [this, spec, variables, secrets](HTTPResponseSnapshot snapshot) {
            sendSucceeded(spec, std::move(snapshot), variables, secrets);
        },
        [this, spec, variables, secrets, start](const JobFailure& failure) {
            sendFailed(spec, variables, secrets, start, failure);
        });
}

void QuillerViewModel::sendSucceeded(const APIRequestSpec& spec, HTTPResponseSnapshot snapshot,
                                     const VariableMap& variables, const SecretValues& secrets) {
    setPreviousResponse(m_latestResponse);
    setLatestResponse(snapshot);
    prependRow(m_responseHistory, Field::responseHistory, snapshot, maxResponseHistory);
    recordSuccessEntry(spec, snapshot, variables, secrets);
    endBusy(BusyKind::sending);
}

void QuillerViewModel::sendFailed(const APIRequestSpec& spec, const VariableMap& variables,
                                  const SecretValues& secrets,
                                  std::chrono::steady_clock::time_point start,
                                  const JobFailure& failure) {
    // Includes the wait for the main thread, as the user saw it.
    const double durationMs =
        std::chrono::duration<double, std::milli>(m_ports.clock->steadyNow() - start).count();
    const std::string resolvedURL = EnvironmentTemplateEngine::interpolate(spec.url, variables);
    RequestHistoryEntry entry = RequestHistoryEngine::makeErrorEntry(
        spec, resolvedURL, durationMs, failure.description, variables, secrets);
    prependRow(m_executionHistory, Field::executionHistory, std::move(entry),
               static_cast<std::size_t>(maxExecutionHistory));
    saveHistory();
    endBusy(BusyKind::sending);
    showToast(failure.description, true);
}

void QuillerViewModel::recordHistorySuccess(const APIRequestSpec& spec,
                                            const HTTPResponseSnapshot& snapshot,
                                            const VariableMap& variables) {
    recordSuccessEntry(spec, snapshot, variables,
                       RequestHistoryEngine::secretValues(activeEnvironment()));
}

void QuillerViewModel::recordSuccessEntry(const APIRequestSpec& spec,
                                          const HTTPResponseSnapshot& snapshot,
                                          const VariableMap& variables,
                                          const SecretValues& secrets) {
    RequestHistoryEntry entry = RequestHistoryEngine::makeEntry(spec, snapshot, variables, secrets);
    prependRow(m_executionHistory, Field::executionHistory, std::move(entry),
               static_cast<std::size_t>(maxExecutionHistory));
    saveHistory();
}

void QuillerViewModel::loadHistoryEntry(const RequestHistoryEntry& entry) {
    if (entry.sourceRequestID) {
        for (const APIRequestCollection& collection : m_collections) {
            const bool holdsSource = std::any_of(
                collection.requests.begin(), collection.requests.end(),
                [&](const APIRequestSpec& r) { return r.id == *entry.sourceRequestID; });
            if (!holdsSource)
                continue;
            // The request opens as it is now, not as the entry saw it.
            setSelectedCollectionID(collection.id);
            setSelectedRequestID(entry.sourceRequestID);
            setSelectedTab(QuillerTab::client);
            showToast(text("Loaded '" + entry.requestName + "' in API Studio.",
                           "'" + entry.requestName + "' API Stüdyo'da yüklendi."),
                      false);
            return;
        }
    }

    const auto target = selectedCollectionIndex();
    if (!target)
        return;
    // Entries keep no secret the history knew of; one the user marked secret
    // since then becomes its template here.
    APIRequestSpec request = EnvironmentTemplateEngine::restoringSecretTemplates(
        RequestHistoryEngine::toReplayRequestSpec(entry),
        EnvironmentTemplateEngine::secretVariables(m_environments, m_activeEnvironmentID));
    const std::string name = request.name;
    const tarn::UUID requestID = request.id;
    const tarn::UUID collectionID = m_collections[*target].id;
    insertRow(m_collections[*target].requests, Field::collections, 0, std::move(request),
              collectionID);
    setSelectedCollectionID(collectionID);
    setSelectedRequestID(requestID);
    setSelectedTab(QuillerTab::client);
    persist();
    showToast(text("Loaded snapshot '" + name + "' into collection.",
                   "'" + name + "' geçmişten yüklendi."),
              false);
}

void QuillerViewModel::deleteHistoryEntry(const tarn::UUID& entryID) {
    removeRows(m_executionHistory, Field::executionHistory, entryID);
    // Written also when nothing matched, so the file always follows the list.
    saveHistory();
}

void QuillerViewModel::clearExecutionHistory() {
    const std::size_t count = m_executionHistory.size();
    setExecutionHistory({});
    m_historySaver->submit(HistoryWrite{});
    m_logger.info("Cleared " + tarn::numbers::formatInteger(static_cast<long long>(count)) +
                      " persisted execution history entries",
                  "history");
    showToast(text("Request history cleared.", "İstek geçmişi temizlendi."), false);
}

} // namespace quiller
