// The history tab's side of RequestHistoryEngine: status buckets, filtering
// and replay. Entry building and redaction are in RequestHistoryEngine.cpp.
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"

namespace quiller {
namespace {

constexpr RequestHistoryStatusBucket bucketCases[] = {
    RequestHistoryStatusBucket::all,
    RequestHistoryStatusBucket::success2xx,
    RequestHistoryStatusBucket::clientOrServerError,
    RequestHistoryStatusBucket::networkError,
};

} // namespace

std::string_view rawValue(RequestHistoryStatusBucket bucket) {
    switch (bucket) {
    case RequestHistoryStatusBucket::all:
        return "All";
    case RequestHistoryStatusBucket::success2xx:
        return "2xx";
    case RequestHistoryStatusBucket::clientOrServerError:
        return "4xx-5xx";
    case RequestHistoryStatusBucket::networkError:
        return "Errors";
    }
    return {};
}

template <> std::span<const RequestHistoryStatusBucket> allCases<RequestHistoryStatusBucket>() {
    return bucketCases;
}

void to_json(nlohmann::json& json, RequestHistoryStatusBucket bucket) {
    json = std::string(rawValue(bucket));
}

void from_json(const nlohmann::json& json, RequestHistoryStatusBucket& bucket) {
    bucket = tarn::json::decodeEnum<RequestHistoryStatusBucket>(
        json, [](std::string_view text) { return fromRaw<RequestHistoryStatusBucket>(text); });
}

namespace RequestHistoryEngine {

bool matches(const RequestHistoryEntry& entry, RequestHistoryStatusBucket bucket) {
    switch (bucket) {
    case RequestHistoryStatusBucket::all:
        return true;
    case RequestHistoryStatusBucket::success2xx:
        return entry.isSuccessStatus();
    case RequestHistoryStatusBucket::clientOrServerError:
        // A 5xx entry carries no error message, but an imported or hand-made
        // one might: the status alone decides here.
        return entry.statusCode >= 400 && entry.statusCode <= 599;
    case RequestHistoryStatusBucket::networkError:
        return entry.isNetworkError();
    }
    return false;
}

namespace {

bool containsFolded(std::string_view text, const std::string& foldedQuery) {
    return tarn::text::caseFolded(text).find(foldedQuery) != std::string::npos;
}

bool matchesSearch(const RequestHistoryEntry& entry, std::string_view query,
                   const std::string& foldedQuery) {
    return containsFolded(entry.requestName, foldedQuery) ||
           containsFolded(entry.sanitizedURL, foldedQuery) ||
           containsFolded(rawValue(entry.method), foldedQuery) ||
           tarn::numbers::formatInteger(entry.statusCode).find(query) != std::string::npos ||
           containsFolded(entry.responseSnippet, foldedQuery) ||
           (entry.errorMessage && containsFolded(*entry.errorMessage, foldedQuery));
}

} // namespace

std::vector<RequestHistoryEntry> filter(const std::vector<RequestHistoryEntry>& entries,
                                        const RequestHistoryFilter& criteria) {
    const std::string_view query = tarn::text::trimmingWhitespaceAndNewlines(criteria.searchText);
    // Folded once, not once per entry and field.
    const std::string foldedQuery = tarn::text::caseFolded(query);
    std::vector<RequestHistoryEntry> kept;
    for (const RequestHistoryEntry& entry : entries) {
        if (criteria.method && *criteria.method != entry.method)
            continue;
        if (!matches(entry, criteria.statusBucket))
            continue;
        if (!query.empty() && !matchesSearch(entry, query, foldedQuery))
            continue;
        kept.push_back(entry);
    }
    return kept;
}

APIRequestSpec toReplayRequestSpec(const RequestHistoryEntry& entry) {
    const RedactedRequestSnapshot& snapshot = entry.requestSnapshot;
    APIRequestSpec spec;
    spec.name = entry.requestName;
    spec.method = snapshot.method;
    spec.url = snapshot.url;
    spec.bodyKind = snapshot.bodyKind;
    spec.bodyText = snapshot.bodyText;
    spec.graphQLVariables = snapshot.graphQLVariables;
    // The defaults already hold the rest: no authentication with the API-key
    // header name "X-API-Key", one enabled check for status 200, and the
    // Accept row a snapshot without rows gets.
    if (!snapshot.headers.empty()) {
        spec.headers.clear();
        for (const KeyValueRow& row : snapshot.headers) {
            // The history never held the value: the user fills it in and
            // switches the row on before it is sent.
            if (row.isSecret || row.value == redactedPlaceholder)
                spec.headers.push_back(
                    KeyValueRow{.key = row.key, .value = {}, .isEnabled = false, .isSecret = true});
            else
                spec.headers.push_back(
                    KeyValueRow{.key = row.key, .value = row.value, .isEnabled = row.isEnabled});
        }
    }
    return spec;
}

} // namespace RequestHistoryEngine
} // namespace quiller
