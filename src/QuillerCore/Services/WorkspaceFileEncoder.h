#pragma once

#include "QuillerCore/Models/RequestModel.h"
#include "TarnKit/Platform/UUID.h"

#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

namespace quiller {
struct QuillerWorkspacePayload;
}

namespace quiller::detail {

// Writes the workspace file's text: exactly the bytes of the suite's pretty
// writer over the payload's JSON form, but fast enough to run after every
// edit. Requests, the bulk of a workspace, are encoded once and their text is
// reused while they stay equal; the rest is small and encoded each time.
//
// One encoder per store; not shared between threads.
class WorkspaceFileEncoder {
public:
    // `payload` with `environments` in place of its own (the store passes them
    // with secret values blanked), into `out` in place of what it held. The
    // caller hands in the same string each time: allocating and first
    // touching a buffer the size of the file on every save would cost more
    // than the encoding itself.
    void encode(const QuillerWorkspacePayload& payload,
                const std::vector<APIEnvironmentProfile>& environments, std::string& out);

private:
    struct CachedRequest {
        APIRequestSpec request;
        std::string text; // pretty, indented as inside a collection
    };

    const std::string& requestText(const APIRequestSpec& request);

    // Texts of the last encode, by request id, and those reused or made by
    // the current one; a request whose id another request of the workspace
    // already uses gets its text from m_scratch (a deque keeps references).
    std::unordered_map<tarn::UUID, CachedRequest> m_cache;
    std::unordered_map<tarn::UUID, CachedRequest> m_used;
    std::deque<std::string> m_scratch;
    std::size_t m_lastSize = 0;
};

} // namespace quiller::detail
