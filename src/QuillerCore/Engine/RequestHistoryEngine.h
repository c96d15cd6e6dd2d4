#pragma once

#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Models/Enumeration.h"
#include "QuillerCore/Models/RequestHistoryEntry.h"
#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RuntimeRecords.h"

#include <cstddef>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

// Which statuses the history tab lists; `all` first, as the tab offers them.
enum class RequestHistoryStatusBucket { all, success2xx, clientOrServerError, networkError };

// "All", "2xx", "4xx-5xx", "Errors"; also the bucket's identifier.
std::string_view rawValue(RequestHistoryStatusBucket bucket);
template <> std::span<const RequestHistoryStatusBucket> allCases<RequestHistoryStatusBucket>();
void to_json(nlohmann::json& json, RequestHistoryStatusBucket bucket);
void from_json(const nlohmann::json& json, RequestHistoryStatusBucket& bucket);

// What the history tab narrows its list by; it starts from the defaults.
struct RequestHistoryFilter {
    // Trimmed before use; blank text does not narrow the list.
    std::string searchText{};
    // Absent: any method.
    std::optional<TarnHTTPMethod> method{};
    RequestHistoryStatusBucket statusBucket = RequestHistoryStatusBucket::all;

    friend bool operator==(const RequestHistoryFilter&, const RequestHistoryFilter&) = default;
};

// The values of the active environment's secret variables. The entry
// functions take them so that no such value is ever stored in the history,
// wherever a template or the user put it.
using SecretValues = std::vector<std::string>;

// Builds history entries and takes the secrets a request visibly carries out
// of them, cleans URLs for the history and for log lines, and filters and
// replays entries. Stateless; every function may be called from any thread at
// the same time.
namespace RequestHistoryEngine {

// Entries the application keeps.
inline constexpr int maxEntries = 200;
// Characters (as a reader counts them) kept of the response text or error.
inline constexpr std::size_t maxSnippetLength = 400;
// Characters kept of the request body in the snapshot.
inline constexpr std::size_t maxSnapshotBodyLength = 8192;
inline constexpr std::string_view redactedPlaceholder = "***REDACTED***";

// --- Sensitive names ---------------------------------------------------------

// Whether a query parameter or header name, trimmed and lower-cased, equals or
// contains one of the fixed sensitive names ("token", "api_key", "sig", ...;
// "authorization", "cookie", ...). Substrings count on purpose: oauth_token,
// X-Goog-Api-Key and even design are sensitive. An empty name is not.
bool isSensitiveQueryParameter(std::string_view name);
bool isSensitiveHeaderName(std::string_view name);

// --- URLs ----------------------------------------------------------------------

// The URL without the secrets it visibly carries: the password of its
// user-info and every query parameter with a sensitive name, value and all.
// Everything else stays as written; a query left without parameters loses its
// "?". Text that is not a URL reference (unfilled templates, blanks) is
// cleaned piece by piece as plain text. Blank input gives "".
std::string sanitizeURL(std::string_view url);

// For log lines: host, ":port" when the URL names one, and the path ("/" when
// empty), percent-decoded; no scheme, user, query or fragment. A URL without a
// host gives its path alone; text that is not a URL gives the cleaned text up
// to its first "?".
std::string sanitizedHostAndPath(std::string_view url);

// --- Entries -------------------------------------------------------------------

// The values of the environment's variables marked secret, enabled or not;
// none without an environment.
SecretValues secretValues(const APIEnvironmentProfile* environment);
SecretValues secretValues(const std::optional<APIEnvironmentProfile>& environment);

// Each row with `isSecret` set or a sensitive key gets the placeholder as its
// value and `isSecret` set; every other row, and the order, stay as they are.
std::vector<KeyValueRow> redactHeaders(const std::vector<KeyValueRow>& rows);

// The entry for a request that got a response. `variables` is the active
// environment's map, as sent; `secrets` its secret values (secretValues()):
// wherever one of them would appear in the entry - URL, header rows, body,
// snippet - the placeholder appears instead, and a header row that carried
// one becomes a secret row.
RequestHistoryEntry makeEntry(const APIRequestSpec& spec, const HTTPResponseSnapshot& snapshot,
                              const VariableMap& variables, const SecretValues& secrets);

// The entry for a request that failed: status 0, no response bytes, the
// message (cleaned of secrets) as snippet and error, stamped now.
// `resolvedURL` is the URL the request was going to.
RequestHistoryEntry makeErrorEntry(const APIRequestSpec& spec, std::string_view resolvedURL,
                                   double durationMs, std::string_view errorMessage,
                                   const VariableMap& variables, const SecretValues& secrets);

// `entry` followed by `entries` (newest first), cut to `limit` entries (at
// least 1) by dropping the oldest.
std::vector<RequestHistoryEntry> append(RequestHistoryEntry entry,
                                        const std::vector<RequestHistoryEntry>& entries,
                                        int limit = maxEntries);

// --- Filtering and replay ------------------------------------------------------

bool matches(const RequestHistoryEntry& entry, RequestHistoryStatusBucket bucket);

// The entries that pass the method, the status bucket and the search, in their
// order. The search looks, ignoring case but not accents and independent of
// the process locale, in the name, URL, method, snippet and error, and for a
// plain substring of the status code.
std::vector<RequestHistoryEntry> filter(const std::vector<RequestHistoryEntry>& entries,
                                        const RequestHistoryFilter& criteria);

// A new request with fresh identifiers made from the entry's snapshot, no
// authentication and a status check for 200. Redacted and secret rows come
// back empty, disabled and secret, for the user to fill in.
APIRequestSpec toReplayRequestSpec(const RequestHistoryEntry& entry);

} // namespace RequestHistoryEngine
} // namespace quiller
