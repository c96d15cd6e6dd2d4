// Editing collections and requests, and the mock-server switch.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/Numbers.h"

#include <algorithm>
#include <exception>
#include <optional>

namespace quiller {

namespace {

// Runs the edit on the row and gives the row its identifier back, so a list
// that follows rows by identity cannot lose one to an edit.
template <class Row, class Edit> void editKeepingIdentity(Row& row, const Edit& edit) {
    const tarn::UUID identity = row.id;
    edit(row);
    row.id = identity;
}

} // namespace

template <class Owner, class Row>
bool QuillerViewModel::updateNestedRow(std::vector<Owner>& owners, std::vector<Row> Owner::*rows,
                                       Field field, const tarn::UUID& rowID,
                                       const std::function<void(Row&)>& edit) {
    for (Owner& owner : owners) {
        auto& list = owner.*rows;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].id != rowID)
                continue;
            editKeepingIdentity(list[i], edit);
            announceUpdate(field, i, rowID, owner.id);
            return true;
        }
    }
    return false;
}

bool QuillerViewModel::updateRequest(const tarn::UUID& requestID,
                                     const std::function<void(APIRequestSpec&)>& edit) {
    return updateNestedRow(m_collections, &APIRequestCollection::requests, Field::collections,
                           requestID, edit);
}

bool QuillerViewModel::updateEnvironment(const tarn::UUID& environmentID,
                                         const std::function<void(APIEnvironmentProfile&)>& edit) {
    for (std::size_t i = 0; i < m_environments.size(); ++i) {
        if (m_environments[i].id != environmentID)
            continue;
        editKeepingIdentity(m_environments[i], edit);
        announceUpdate(Field::environments, i, environmentID);
        return true;
    }
    return false;
}

bool QuillerViewModel::updateVariable(const tarn::UUID& variableID,
                                      const std::function<void(KeyValueRow&)>& edit) {
    return updateNestedRow(m_environments, &APIEnvironmentProfile::variables, Field::environments,
                           variableID, edit);
}

void QuillerViewModel::addRequestToActiveCollection() {
    const auto target = selectedCollectionIndex();
    if (!target)
        return;
    // The model's creation defaults are the new request's: an Accept row, no
    // authentication (API-key header "X-API-Key"), GraphQL variables "{}"
    // and a status check for 200, each row and rule with a fresh identifier.
    APIRequestSpec request;
    // Stored as text: a later language change does not rename it.
    request.name = text("New Request", "Yeni İstek");
    request.method = TarnHTTPMethod::get;
    request.url = "{{baseUrl}}/";
    const tarn::UUID requestID = request.id;
    const tarn::UUID collectionID = m_collections[*target].id;
    auto& requests = m_collections[*target].requests;
    insertRow(requests, Field::collections, requests.size(), std::move(request), collectionID);
    setSelectedCollectionID(collectionID);
    setSelectedRequestID(requestID);
    persist();
}

void QuillerViewModel::deleteRequest(const tarn::UUID& requestID, const tarn::UUID& collectionID) {
    const auto found =
        std::find_if(m_collections.begin(), m_collections.end(),
                     [&](const APIRequestCollection& c) { return c.id == collectionID; });
    // The last request of a collection stays.
    if (found == m_collections.end() || found->requests.size() < 2)
        return;
    const auto index = static_cast<std::size_t>(found - m_collections.begin());
    removeRows(m_collections[index].requests, Field::collections, requestID, collectionID);
    if (m_selectedRequestID == requestID) {
        const auto& remaining = m_collections[index].requests;
        setSelectedRequestID(remaining.empty() ? std::nullopt
                                               : std::optional<tarn::UUID>(remaining.front().id));
    }
    persist();
}

void QuillerViewModel::toggleProxyServer() {
    if (m_isProxyRunning) {
        m_ports.mockServer->stop();
        setIsProxyRunning(false);
        setActiveProxyPort(0);
        showToast(text("Stopped local HTTP mock/capture server.",
                       "Yerel HTTP mock/yakalama sunucusu durduruldu."),
                  false);
        return;
    }

    const std::uint16_t port = portFromText();
    m_ports.mockServer->updateMockRoutes(m_mockRoutes);
    std::uint16_t listening = 0;
    try {
        listening = m_ports.mockServer->start(port);
    } catch (const std::exception& error) {
        showToast(failureDescription(error), true);
        return;
    }
    setActiveProxyPort(listening);
    setIsProxyRunning(true);
    persist();
    const std::string digits = tarn::numbers::formatInteger(listening);
    showToast(
        text("Listening on http://127.0.0.1:" + digits, "Dinleniyor: http://127.0.0.1:" + digits),
        false);
}

} // namespace quiller
