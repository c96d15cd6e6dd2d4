#pragma once

// The workspace the store and view-model benchmarks work on: 10 collections of
// 100 requests each, and 5 environments of 10 variables of which 4 are secret
// (20 in all).

#include "QuillerCore/Services/QuillerWorkspaceStore.h"

#include <string>
#include <utility>

namespace quiller::bench {

inline quiller::QuillerWorkspacePayload largeWorkspace() {
    quiller::QuillerWorkspacePayload payload = quiller::QuillerWorkspacePayload::defaults();
    payload.collections.clear();
    for (int c = 0; c < 10; ++c) {
        quiller::APIRequestCollection collection{.name = "Collection " + std::to_string(c)};
        for (int r = 0; r < 100; ++r) {
            const std::string n = std::to_string(c * 100 + r);
            collection.requests.push_back(quiller::APIRequestSpec{
                .name = "Request " + n,
                .method = r % 2 == 0 ? quiller::TarnHTTPMethod::get : quiller::TarnHTTPMethod::post,
                .url = "{{baseUrl}}/v1/items/" + n + "?expand=owner",
                .queryParams = {quiller::KeyValueRow{.key = "page", .value = n}},
                .bodyKind =
                    r % 2 == 0 ? quiller::RequestBodyKind::none : quiller::RequestBodyKind::json,
                .bodyText = r % 2 == 0 ? "" : "{\n  \"id\": " + n + ",\n  \"name\": \"item\"\n}",
            });
        }
        payload.collections.push_back(std::move(collection));
    }
    payload.environments.clear();
    for (int e = 0; e < 5; ++e) {
        quiller::APIEnvironmentProfile environment{.name = "Environment " + std::to_string(e)};
        for (int v = 0; v < 10; ++v) {
            const bool isSecret = v < 4; // 4 per environment, 20 in all
            environment.variables.push_back(quiller::KeyValueRow{
                .key = "variable" + std::to_string(v),
                .value = isSecret ? "secret-" + std::to_string(e) + "-" + std::to_string(v)
                                  : "https://api.example.com/" + std::to_string(v),
                .isSecret = isSecret,
            });
        }
        payload.environments.push_back(std::move(environment));
    }
    return payload;
}

} // namespace quiller::bench
