#include "QuillerCore/Engine/RequestHistoryEngine.h"

#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

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

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%XX" escapes turned into their bytes; a "%" that starts no escape stays as
// it is. The result may be invalid UTF-8; callers that show it repair it.
std::string percentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        decoded.push_back(text[i]);
    }
    return decoded;
}

// A name is tested both as written and percent-decoded, so that "api%5Fkey"
// is caught whether or not the URL around it parses: both ways of cleaning a
// URL then drop the same parameters.
bool isSensitiveQueryName(std::string_view name) {
    if (isSensitiveQueryParameter(name))
        return true;
    if (name.find('%') == std::string_view::npos)
        return false;
    return isSensitiveQueryParameter(percentDecoded(name));
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

    std::vector<std::string_view> kept;
    for (const std::string_view piece : split(query, '&')) {
        if (!piece.empty() && !isSensitiveQueryName(plainPieceName(piece)))
            kept.push_back(piece);
    }
    std::string result(base);
    if (!kept.empty())
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
    return sanitizePlainText(trimmed);
}

std::string sanitizedHostAndPath(std::string_view url) {
    const std::string sanitized = sanitizeURL(url);
    const std::optional<tarn::URLComponents> parsed = tarn::URLComponents::parse(sanitized);
    if (!parsed)
        return sanitized.substr(0, sanitized.find('?'));

    std::string result = parsed->host() ? percentDecoded(*parsed->host()) : std::string();
    if (result.empty()) {
        // Without a host there is nothing for a port or a "/" to attach to.
        result = percentDecoded(parsed->path());
    } else {
        if (parsed->port() && !parsed->port()->empty())
            result.append(":").append(decimalPort(*parsed->port()));
        result.append(parsed->path().empty() ? std::string("/") : percentDecoded(parsed->path()));
    }
    // Decoded escapes may not be UTF-8; a log line must be.
    return tarn::text::repairUTF8(result);
}

} // namespace quiller::RequestHistoryEngine
