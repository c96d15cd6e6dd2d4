#pragma once

// Temporary folders, environment and umask scopes, and a workspace with fixed
// identifiers for the workspace store's tests.

#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "support/EnvironmentScope.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace workspacetest {

using tarn::testing::modeOf;
using tarn::testing::TemporaryFolder;
using tarn::testing::UmaskScope;

using tarn::testing::EnvironmentScope;

inline tarn::UUID id(const char* text) {
    const std::optional<tarn::UUID> parsed = tarn::UUID::fromString(text);
    if (!parsed)
        throw std::logic_error("malformed test identifier");
    return *parsed;
}

inline quiller::KeyValueRow row(const char* rowID, std::string key, std::string value,
                                bool isSecret) {
    return quiller::KeyValueRow{
        .id = id(rowID), .key = std::move(key), .value = std::move(value), .isSecret = isSecret};
}

// One collection with one request, one environment with a plain and a secret
// variable, one mock route; every identifier fixed.
inline quiller::QuillerWorkspacePayload samplePayload() {
    using namespace quiller;
    APIRequestSpec request{
        .id = id("11111111-1111-4111-8111-111111111111"),
        .name = "Créer un élément",
        .method = TarnHTTPMethod::post,
        .url = "{{baseUrl}}/v1/items",
        .headers = {row("11111111-1111-4111-8111-111111111112", "Accept", "application/json",
                        false)},
        .bodyKind = RequestBodyKind::json,
        .bodyText = "{\"a\":1}",
        .assertions = {ResponseAssertionRule{.id = id("11111111-1111-4111-8111-111111111113"),
                                             .expectedValue = "201"}},
    };
    return QuillerWorkspacePayload{
        .collections = {APIRequestCollection{.id = id("22222222-2222-4222-8222-222222222221"),
                                             .name = "Samples",
                                             .requests = {request}}},
        .environments = {APIEnvironmentProfile{
            .id = id("44444444-4444-4444-8444-444444444402"),
            .name = "Local",
            .variables = {row("55555555-5555-4555-8555-555555555551", "baseUrl",
                              "http://127.0.0.1:8787", false),
                          row("55555555-5555-4555-8555-555555555552", "apiToken", "s3cr3t/token",
                              true)}}},
        .activeEnvironmentID = id("44444444-4444-4444-8444-444444444402"),
        .mockRoutes = {quiller::MockRouteRule{.id = id("66666666-6666-4666-8666-666666666661"),
                                              .method = "GET",
                                              .path = "/health",
                                              .statusCode = 200,
                                              .contentType = "application/json",
                                              .responseBody = "{}",
                                              .isEnabled = true}},
        .proxyPort = 9090,
    };
}

inline std::vector<std::filesystem::path> filesSetAside(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind("workspace.json.unreadable-", 0) == 0)
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace workspacetest
