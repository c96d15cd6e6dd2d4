// Mock routes, replaying captured exchanges, the active environment's variables
// and launch at login.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <exception>
#include <string>

namespace quiller {

namespace {

// The login item on this system is the user's autostart entry.
constexpr std::string_view launchAtLoginRefusedEN =
    "Launch at Login requires a writable autostart entry.";
constexpr std::string_view launchAtLoginRefusedTR =
    "Açılışta Başlat için yazılabilir bir autostart girdisi gerekir.";

// Captured methods arrive as the client sent them, in any case; the request
// editor only knows the seven standard ones.
TarnHTTPMethod methodFromCaptured(const std::string& captured) {
    const std::string upper = tarn::ascii::uppercased(captured);
    for (const auto method : allCases<TarnHTTPMethod>()) {
        if (rawValue(method) == upper)
            return method;
    }
    return TarnHTTPMethod::get;
}

} // namespace

void QuillerViewModel::removeMockRoute(const MockRouteRule& route) {
    removeRows(m_mockRoutes, Field::mockRoutes, route.id);
    m_ports.mockServer->updateMockRoutes(m_mockRoutes);
    persist();
}

void QuillerViewModel::replayExchangeInClient(const CapturedProxyExchange& exchange) {
    const auto target = selectedCollectionIndex();
    // Start-up always leaves a collection; without one there is nowhere to put it.
    if (!target)
        return;
    const std::uint16_t port = m_activeProxyPort != 0 ? m_activeProxyPort : portFromText();

    APIRequestSpec request;
    request.name = "Replay " + exchange.method + " " + exchange.path;
    request.method = methodFromCaptured(exchange.method);
    request.url = "http://127.0.0.1:" + std::to_string(port) + exchange.path;
    request.queryParams.clear();
    request.headers.clear();
    for (const auto& [name, value] : exchange.requestHeaders)
        request.headers.push_back(KeyValueRow{.key = name, .value = value});
    request.auth = RequestAuthConfig{};
    request.bodyKind = exchange.requestBody.empty() ? RequestBodyKind::none : RequestBodyKind::json;
    request.bodyText = exchange.requestBody;
    request.graphQLVariables = "{}";
    request.assertions = {
        ResponseAssertionRule{.kind = AssertionKind::statusEquals, .expectedValue = "200"}};

    // The capture holds what was sent, secrets filled in: they go back to
    // being templates before the request reaches the workspace file.
    request = EnvironmentTemplateEngine::restoringSecretTemplates(
        std::move(request),
        EnvironmentTemplateEngine::secretVariables(m_environments, m_activeEnvironmentID));
    const auto newID = request.id;
    insertRow(m_collections[*target].requests, Field::collections, 0, std::move(request),
              m_collections[*target].id);
    setSelectedRequestID(newID);
    setSelectedTab(QuillerTab::client);
    persist();
}

void QuillerViewModel::addVariableToActiveEnvironment(const std::string& key,
                                                      const std::string& value, bool isSecret) {
    const auto index = activeEnvironmentIndex();
    if (!index)
        return;
    const std::string trimmedKey{tarn::text::trimmingWhitespaceAndNewlines(key)};
    if (trimmedKey.empty())
        return;
    auto& variables = m_environments[*index].variables;
    insertRow(
        variables, Field::environments, variables.size(),
        KeyValueRow{.key = trimmedKey, .value = value, .isEnabled = true, .isSecret = isSecret},
        m_environments[*index].id);
    persist();
}

void QuillerViewModel::removeVariable(const tarn::UUID& variableID) {
    const auto index = activeEnvironmentIndex();
    if (!index)
        return;
    removeRows(m_environments[*index].variables, Field::environments, variableID,
               m_environments[*index].id);
    persist();
}

void QuillerViewModel::toggleLaunchAtLogin(bool enabled) {
    bool failed = false;
    try {
        m_ports.launchAtLogin->setEnabled(enabled);
    } catch (const std::exception&) {
        failed = true;
    }
    setLaunchAtLogin(m_ports.launchAtLogin->isEnabled());
    if (failed)
        showToast(text(launchAtLoginRefusedEN, launchAtLoginRefusedTR), true);
}

} // namespace quiller
