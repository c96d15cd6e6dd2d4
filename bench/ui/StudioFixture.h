#pragma once

// The workspace the studio benchmarks start from: the large workspace of the
// store benchmarks (1,000 requests in 10 collections; its variables kept out
// of the keychain, which is not what is measured) and a full history of 200
// entries, written where the application finds them under the current
// XDG_DATA_HOME.

#include "LargeWorkspace.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "TarnKit/System/InMemoryKeychain.h"

#include <chrono>
#include <string>
#include <vector>

namespace quiller::bench {

inline std::vector<RequestHistoryEntry> fullStudioHistory() {
    std::vector<RequestHistoryEntry> entries(RequestHistoryEngine::maxEntries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        RequestHistoryEntry& entry = entries[i];
        entry.timestamp =
            std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000 - i * 60));
        entry.requestName = "Request " + std::to_string(i);
        entry.method = i % 3 == 0 ? TarnHTTPMethod::post : TarnHTTPMethod::get;
        entry.sanitizedURL = "https://api.example.test/v1/items/" + std::to_string(i);
        entry.statusCode = i % 10 == 0 ? 404 : 200;
        entry.durationMs = 40.0 + static_cast<double>(i % 50);
        entry.responseBytes = 2'000 + i;
        entry.responseSnippet = "{\"id\": " + std::to_string(i) + ", \"name\": \"item\"}";
        entry.sourceRequestID = tarn::UUID::random();
        entry.requestSnapshot = RedactedRequestSnapshot{
            .url = entry.sanitizedURL,
            .method = entry.method,
            .headers = {KeyValueRow{.key = "Accept", .value = "application/json"}},
            .bodyKind = RequestBodyKind::none,
        };
    }
    return entries;
}

inline void writeStudioFixture() {
    QuillerWorkspacePayload workspace = largeWorkspace();
    for (APIEnvironmentProfile& environment : workspace.environments)
        for (KeyValueRow& variable : environment.variables)
            variable.isSecret = false;
    tarn::InMemoryKeychain keychain;
    WorkspaceStoreAdapter(std::nullopt, keychain).save(workspace);
    HistoryStoreAdapter().save(fullStudioHistory());
}

} // namespace quiller::bench
