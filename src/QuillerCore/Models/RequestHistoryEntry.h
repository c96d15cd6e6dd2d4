#pragma once

// One record of the request history: what was sent, what came back, and a
// redacted copy of the request from which it can be sent again.
//
// Plain values with no locks: copy them freely between threads. Entries are
// made by RequestHistoryEngine, which takes secrets out before an entry exists.

#include "QuillerCore/Models/RequestModel.h"
#include "TarnKit/Platform/UUID.h"

#include <chrono>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

namespace quiller {

struct RedactedRequestSnapshot {
    // The cleaned URL, the same text as the entry's sanitizedURL.
    std::string url{};
    TarnHTTPMethod method = TarnHTTPMethod::get;
    // Enabled rows only, filled in, with secret and sensitive values replaced
    // by the placeholder.
    std::vector<KeyValueRow> headers{};
    RequestBodyKind bodyKind = RequestBodyKind::none;
    // As saved in the request (templates not filled in), cut to its limit.
    std::string bodyText{};
    std::string graphQLVariables = "{}";

    friend bool operator==(const RedactedRequestSnapshot&,
                           const RedactedRequestSnapshot&) = default;
};

struct RequestHistoryEntry {
    tarn::UUID id = tarn::UUID::random();
    // When the response arrived, or when the error entry was made. The history
    // file keeps whole seconds.
    std::chrono::system_clock::time_point timestamp{};
    std::string requestName{};
    TarnHTTPMethod method = TarnHTTPMethod::get;
    std::string sanitizedURL{};
    // 0 for an error entry.
    int statusCode = 0;
    double durationMs = 0;
    std::int64_t responseBytes = 0;
    // The start of the response text, or of the error message.
    std::string responseSnippet{};
    std::optional<std::string> errorMessage{};
    std::optional<tarn::UUID> sourceRequestID{};
    RedactedRequestSnapshot requestSnapshot{};

    bool isNetworkError() const { return statusCode == 0 || errorMessage.has_value(); }
    bool isSuccessStatus() const {
        return statusCode >= 200 && statusCode <= 299 && !errorMessage.has_value();
    }

    friend bool operator==(const RequestHistoryEntry&, const RequestHistoryEntry&) = default;
};

// JSON form of the history file. Writing: every field under its name, the
// optional ones only when present, the timestamp as ISO 8601 in whole seconds.
// Reading is lenient about absence and strict about content: a missing or null
// member takes its default, but a member of the wrong JSON type, an unknown
// method or body kind, a malformed UUID, a date that is not an internet
// date-time in whole seconds, or a header row that fails the row's strict
// decoding throws tarn::json::DecodingError.
void to_json(nlohmann::json& json, const RedactedRequestSnapshot& snapshot);
void from_json(const nlohmann::json& json, RedactedRequestSnapshot& snapshot);
void to_json(nlohmann::json& json, const RequestHistoryEntry& entry);
void from_json(const nlohmann::json& json, RequestHistoryEntry& entry);

} // namespace quiller
