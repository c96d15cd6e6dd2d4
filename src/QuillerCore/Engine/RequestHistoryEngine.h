#pragma once

#include <string>
#include <string_view>

namespace quiller {

// Builds history entries and takes the secrets a request visibly carries out
// of them, and cleans URLs for the history and for log lines. Stateless; every
// function may be called from any thread at the same time.
namespace RequestHistoryEngine {

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

} // namespace RequestHistoryEngine
} // namespace quiller
