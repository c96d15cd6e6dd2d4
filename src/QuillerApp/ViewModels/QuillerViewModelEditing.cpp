// Editing collections and requests, and the mock-server switch.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/Numbers.h"

#include <algorithm>
#include <exception>

namespace quiller {

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
    mutate(m_collections, Field::collections,
           [&](auto& collections) { collections[*target].requests.push_back(std::move(request)); });
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
    mutate(m_collections, Field::collections, [&](auto& collections) {
        std::erase_if(collections[index].requests,
                      [&](const APIRequestSpec& r) { return r.id == requestID; });
    });
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
        showToast(error.what(), true);
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
