#include "QuillerCore/Engine/RequestHistoryEngine.h"

#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace quiller::RequestHistoryEngine {
namespace {

constexpr std::array<std::string_view, 18> kSensitiveQueryParameters = {
    "api_key",  "apikey", "api-key",       "token",    "access_token", "refresh_token",
    "id_token", "secret", "client_secret", "password", "passwd",       "pwd",
    "auth",     "bearer", "signature",     "sig",      "credential",   "private_key",
};

constexpr std::array<std::string_view, 15> kSensitiveHeaderNames = {
    "authorization", "proxy-authorization", "x-api-key", "api-key", "apikey",   "x-auth-token",
    "cookie",        "set-cookie",          "secret",    "token",   "password", "passwd",
    "credential",    "private-key",         "bearer",
};

template <std::size_t N>
bool containsSensitiveName(std::string_view name, const std::array<std::string_view, N>& list) {
    const std::string normalised =
        tarn::text::lowercased(tarn::text::trimmingWhitespaceAndNewlines(name));
    if (normalised.empty())
        return false;
    for (const std::string_view entry : list) {
        // Containment covers equality.
        if (normalised.find(entry) != std::string::npos)
            return true;
    }
    return false;
}

// A name is tested both as written and percent-decoded, so that "api%5Fkey"
// is caught whether or not the URL around it parses: both ways of cleaning a
// URL then drop the same parameters.
bool isSensitiveQueryName(std::string_view name) {
    if (isSensitiveQueryParameter(name))
        return true;
    if (name.find('%') == std::string_view::npos)
        return false;
    return isSensitiveQueryParameter(tarn::percentDecoded(name));
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    while (true) {
        const std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return pieces;
        text.remove_prefix(at + 1);
    }
}

std::string join(const std::vector<std::string_view>& pieces, char separator) {
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            joined.push_back(separator);
        joined.append(pieces[i]);
    }
    return joined;
}

// The query of a parsed URL without its sensitive items; nothing when no item
// is left. Kept items stay byte for byte as written, so their encoding is
// exactly what was sent.
std::optional<std::string> cleanedParsedQuery(std::string_view query) {
    std::vector<std::string_view> kept;
    for (const std::string_view item : split(query, '&')) {
        if (item.empty())
            continue;
        if (!isSensitiveQueryName(item.substr(0, item.find('='))))
            kept.push_back(item);
    }
    if (kept.empty())
        return std::nullopt;
    return join(kept, '&');
}

// Serialised as URLComponents::string() does it, with the password left out of
// the user-info and the query cleaned. Nothing when the URL makes no text.
std::optional<std::string> sanitizeParsed(const tarn::URLComponents& url) {
    std::string text;
    if (url.scheme())
        text.append(*url.scheme()).push_back(':');
    if (url.host()) {
        text.append("//");
        if (url.userInfo()) {
            const std::string_view userInfo = *url.userInfo();
            text.append(userInfo.substr(0, userInfo.find(':'))).push_back('@');
        }
        text.append(*url.host());
        if (url.port())
            text.append(":").append(*url.port());
    }
    text.append(url.path());
    if (url.query()) {
        if (std::optional<std::string> query = cleanedParsedQuery(*url.query()))
            text.append("?").append(*query);
    }
    if (url.fragment())
        text.append("#").append(*url.fragment());
    if (text.empty())
        return std::nullopt;
    return text;
}

// The name of a plain-text query piece: its first non-empty run between "="
// signs, so "=token=1" is named "token" and "==" has no name.
std::string_view plainPieceName(std::string_view piece) {
    for (const std::string_view run : split(piece, '=')) {
        if (!run.empty())
            return run;
    }
    return {};
}

std::string sanitizePlainText(std::string_view text) {
    const std::size_t question = text.find('?');
    if (question == std::string_view::npos)
        return std::string(text);
    const std::string_view base = text.substr(0, question);
    const std::string_view rest = text.substr(question + 1);
    const std::size_t hash = rest.find('#');
    const std::string_view query = rest.substr(0, hash);
    const std::string_view fragment =
        hash == std::string_view::npos ? std::string_view() : rest.substr(hash);

    // Blank pieces go with the empty ones: kept last, the trimming of the
    // cleaned text would leave a bare "&" for the next cleaning to drop.
    std::vector<std::string_view> kept;
    for (const std::string_view piece : split(query, '&')) {
        if (!tarn::text::trimmingWhitespaceAndNewlines(piece).empty() &&
            !isSensitiveQueryName(plainPieceName(piece)))
            kept.push_back(piece);
    }
    if (kept.empty()) {
        // Without its query the text's first "?" may be one of the fragment:
        // what follows it would be read as a query by the next cleaning, so it
        // is cleaned now and one pass gives the final text.
        std::string unqueried(base);
        unqueried.append(fragment);
        return sanitizePlainText(unqueried);
    }
    std::string result(base);
    result.append("?").append(join(kept, '&'));
    result.append(fragment);
    return result;
}

// The decimal text of a port: its digits without leading zeros, so that
// "08443" reads 8443 as the number it is, however large.
std::string_view decimalPort(std::string_view digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? digits.substr(digits.size() - 1)
                                           : digits.substr(first);
}

// Replaces the secret values of the active environment wherever they occur.
// Each value is looked for as written and as a query component encodes it,
// because that is how a query row filled from it reaches the URL. At every
// place the longest value that starts there wins, so a secret containing
// another is replaced whole; the output never holds a value that was in the
// input, as every piece between two replacements is a piece of the input
// free of values.
class SecretRedactor {
public:
    explicit SecretRedactor(const SecretValues& secrets) {
        for (const std::string& secret : secrets) {
            // An empty value would "occur" everywhere.
            if (secret.empty())
                continue;
            m_needles.push_back(secret);
            std::string encoded = tarn::percentEncodedQueryComponent(secret);
            if (encoded != secret)
                m_needles.push_back(std::move(encoded));
        }
        std::sort(m_needles.begin(), m_needles.end(), [](const auto& a, const auto& b) {
            return a.size() != b.size() ? a.size() > b.size() : a < b;
        });
        m_needles.erase(std::unique(m_needles.begin(), m_needles.end()), m_needles.end());
    }

    bool occursIn(std::string_view text) const {
        return std::any_of(m_needles.begin(), m_needles.end(), [&](const std::string& needle) {
            return text.find(needle) != std::string_view::npos;
        });
    }

    // The text up to byte `stopAt`, each secret that starts before it replaced
    // whole even when it reaches past it, so that a cut never leaves the start
    // of a secret behind.
    std::string redacted(std::string_view text, std::size_t stopAt = std::string_view::npos) const {
        const std::size_t stop = std::min(stopAt, text.size());
        if (m_needles.empty())
            return std::string(text.substr(0, stop));
        // A match starting before `stop` ends before stop + longest needle.
        const std::string_view searched = text.substr(0, stop + m_needles.front().size());
        std::vector<std::size_t> next(m_needles.size());
        for (std::size_t i = 0; i < m_needles.size(); ++i)
            next[i] = searched.find(m_needles[i]);

        std::string result;
        std::size_t position = 0;
        while (position < stop) {
            std::size_t best = m_needles.size();
            for (std::size_t i = 0; i < m_needles.size(); ++i) {
                if (next[i] != std::string_view::npos && next[i] < position)
                    next[i] = searched.find(m_needles[i], position);
                // Longest first, so only a strictly earlier start wins.
                if (next[i] < stop && (best == m_needles.size() || next[i] < next[best]))
                    best = i;
            }
            if (best == m_needles.size()) {
                result.append(text.substr(position, stop - position));
                break;
            }
            result.append(text.substr(position, next[best] - position));
            result.append(redactedPlaceholder);
            position = next[best] + m_needles[best].size();
        }
        return result;
    }

    // The first `count` characters of the text without its secrets, reading
    // no further into the text than that takes.
    std::string redactedPrefix(std::string_view text, std::size_t count) const {
        std::size_t characters = count;
        while (true) {
            const std::size_t stop = tarn::text::prefixCharacters(text, characters).size();
            std::string result = redacted(text, stop);
            const std::size_t produced = tarn::text::characterCount(result);
            if (produced >= count || stop >= text.size())
                return std::string(tarn::text::prefixCharacters(result, count));
            // Secrets longer than the placeholder shrank the text: read on,
            // at least twice as far, so that a huge secret costs few rounds.
            characters = std::max(characters + (count - produced), 2 * characters);
        }
    }

private:
    std::vector<std::string> m_needles; // longest first
};

} // namespace

bool isSensitiveQueryParameter(std::string_view name) {
    return containsSensitiveName(name, kSensitiveQueryParameters);
}

bool isSensitiveHeaderName(std::string_view name) {
    return containsSensitiveName(name, kSensitiveHeaderNames);
}

std::string sanitizeURL(std::string_view url) {
    const std::string_view trimmed = tarn::text::trimmingWhitespaceAndNewlines(url);
    if (trimmed.empty())
        return {};
    if (const std::optional<tarn::URLComponents> parsed = tarn::URLComponents::parse(trimmed)) {
        if (std::optional<std::string> sanitized = sanitizeParsed(*parsed))
            return std::move(*sanitized);
    }
    // Dropping a piece may leave blanks at the end, or remove what kept the
    // text from being a URL; cleaning again must find nothing left to do.
    std::string plain(tarn::text::trimmingWhitespaceAndNewlines(sanitizePlainText(trimmed)));
    if (const std::optional<tarn::URLComponents> parsed = tarn::URLComponents::parse(plain)) {
        if (std::optional<std::string> sanitized = sanitizeParsed(*parsed))
            return std::move(*sanitized);
    }
    return plain;
}

std::string sanitizedHostAndPath(std::string_view url) {
    const std::string sanitized = sanitizeURL(url);
    const std::optional<tarn::URLComponents> parsed = tarn::URLComponents::parse(sanitized);
    if (!parsed)
        return sanitized.substr(0, sanitized.find('?'));

    std::string result = parsed->host() ? tarn::percentDecoded(*parsed->host()) : std::string();
    if (result.empty()) {
        // Without a host there is nothing for a port or a "/" to attach to.
        result = tarn::percentDecoded(parsed->path());
    } else {
        if (parsed->port() && !parsed->port()->empty())
            result.append(":").append(decimalPort(*parsed->port()));
        result.append(parsed->path().empty() ? std::string("/")
                                             : tarn::percentDecoded(parsed->path()));
    }
    // Decoded escapes may not be UTF-8; a log line must be.
    return tarn::text::repairUTF8(result);
}

SecretValues secretValues(const APIEnvironmentProfile* environment) {
    SecretValues values;
    if (environment == nullptr)
        return values;
    // Disabled rows too: their value is no less secret for being switched off,
    // and the user may have typed it into a request by hand.
    for (const KeyValueRow& row : environment->variables) {
        if (row.isSecret && !row.value.empty())
            values.push_back(row.value);
    }
    return values;
}

SecretValues secretValues(const std::optional<APIEnvironmentProfile>& environment) {
    return secretValues(environment ? &*environment : nullptr);
}

std::vector<KeyValueRow> redactHeaders(const std::vector<KeyValueRow>& rows) {
    std::vector<KeyValueRow> redactedRows = rows;
    for (KeyValueRow& row : redactedRows) {
        if (row.isSecret || isSensitiveHeaderName(row.key)) {
            row.value = std::string(redactedPlaceholder);
            row.isSecret = true;
        }
    }
    return redactedRows;
}

namespace {

bool isAuthorizationRow(const KeyValueRow& row) {
    return tarn::text::lowercased(row.key) == "authorization";
}

KeyValueRow placeholderRow(std::string key) {
    return KeyValueRow{.key = std::move(key),
                       .value = std::string(redactedPlaceholder),
                       .isEnabled = true,
                       .isSecret = true};
}

// The header rows of a snapshot: the enabled rows filled in, with a stand-in
// row for the authentication, and no secret or sensitive value anywhere.
std::vector<KeyValueRow> redactedHeadersForSpec(const APIRequestSpec& spec,
                                                const VariableMap& variables,
                                                const SecretRedactor& redactor) {
    std::vector<KeyValueRow> rows;
    for (const KeyValueRow& row : spec.headers) {
        // The stored key decides, as it does for sending.
        if (!row.isEnabled || row.key.empty())
            continue;
        std::string key = EnvironmentTemplateEngine::interpolate(row.key, variables);
        bool secret = row.isSecret || isSensitiveHeaderName(key);
        std::string value = secret ? std::string(redactedPlaceholder)
                                   : EnvironmentTemplateEngine::interpolate(row.value, variables);
        if (redactor.occursIn(key) || redactor.occursIn(value)) {
            // A header that carries a secret is a secret header: replaying it
            // should ask for the value rather than send the placeholder.
            key = redactor.redacted(key);
            value = std::string(redactedPlaceholder);
            secret = true;
        }
        rows.push_back(KeyValueRow{.key = std::move(key),
                                   .value = std::move(value),
                                   .isEnabled = true,
                                   .isSecret = secret});
    }

    switch (spec.auth.kind) {
    case RequestAuthKind::none:
        break;
    case RequestAuthKind::bearer:
    case RequestAuthKind::basic:
        if (std::none_of(rows.begin(), rows.end(), isAuthorizationRow))
            rows.push_back(placeholderRow("Authorization"));
        break;
    case RequestAuthKind::apiKeyHeader: {
        const std::string name = redactor.redacted(
            EnvironmentTemplateEngine::interpolate(spec.auth.apiKeyHeaderName, variables));
        if (name.empty())
            break;
        const std::string lowerName = tarn::text::lowercased(name);
        if (std::none_of(rows.begin(), rows.end(), [&](const KeyValueRow& row) {
                return tarn::text::lowercased(row.key) == lowerName;
            }))
            rows.push_back(placeholderRow(name));
        break;
    }
    }
    return redactHeaders(rows);
}

// What an entry keeps of the request, whatever became of it.
RequestHistoryEntry entryForRequest(const APIRequestSpec& spec, std::string_view resolvedURL,
                                    const VariableMap& variables, const SecretRedactor& redactor) {
    RequestHistoryEntry entry;
    entry.requestName = redactor.redacted(spec.name);
    entry.method = spec.method;
    entry.sanitizedURL = redactor.redacted(sanitizeURL(resolvedURL));
    entry.sourceRequestID = spec.id;
    entry.requestSnapshot = RedactedRequestSnapshot{
        .url = entry.sanitizedURL,
        .method = spec.method,
        .headers = redactedHeadersForSpec(spec, variables, redactor),
        .bodyKind = spec.bodyKind,
        .bodyText = redactor.redactedPrefix(spec.bodyText, maxSnapshotBodyLength),
        .graphQLVariables = redactor.redacted(spec.graphQLVariables),
    };
    return entry;
}

} // namespace

RequestHistoryEntry makeEntry(const APIRequestSpec& spec, const HTTPResponseSnapshot& snapshot,
                              const VariableMap& variables, const SecretValues& secrets) {
    const SecretRedactor redactor(secrets);
    RequestHistoryEntry entry = entryForRequest(spec, snapshot.resolvedURL, variables, redactor);
    entry.timestamp = snapshot.receivedAt;
    entry.statusCode = snapshot.statusCode;
    entry.durationMs = snapshot.timing.totalMs;
    entry.responseBytes = static_cast<std::int64_t>(snapshot.bodyData.size());
    entry.responseSnippet = redactor.redactedPrefix(snapshot.bodyText, maxSnippetLength);
    return entry;
}

RequestHistoryEntry makeErrorEntry(const APIRequestSpec& spec, std::string_view resolvedURL,
                                   double durationMs, std::string_view errorMessage,
                                   const VariableMap& variables, const SecretValues& secrets) {
    const SecretRedactor redactor(secrets);
    RequestHistoryEntry entry = entryForRequest(spec, resolvedURL, variables, redactor);
    entry.timestamp = std::chrono::system_clock::now();
    entry.statusCode = 0;
    entry.durationMs = durationMs;
    entry.responseBytes = 0;
    // Messages of composition errors quote the filled-in URL.
    entry.errorMessage = redactor.redacted(errorMessage);
    entry.responseSnippet =
        std::string(tarn::text::prefixCharacters(*entry.errorMessage, maxSnippetLength));
    return entry;
}

std::vector<RequestHistoryEntry>
append(RequestHistoryEntry entry, const std::vector<RequestHistoryEntry>& entries, int limit) {
    const std::size_t kept = static_cast<std::size_t>(std::max(limit, 1));
    std::vector<RequestHistoryEntry> result;
    result.reserve(std::min(kept, entries.size() + 1));
    result.push_back(std::move(entry));
    for (std::size_t i = 0; i < entries.size() && result.size() < kept; ++i)
        result.push_back(entries[i]);
    return result;
}

} // namespace quiller::RequestHistoryEngine
