// Reading pasted cURL commands: the table of curl's options and the request
// they describe. The imported request sends what curl would send for every
// option that shapes the request; every other option is read past with its
// argument, so that no argument is ever taken for the URL.
#include "QuillerCore/Engine/CurlCodecEngine.h"
#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/ShellWords.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <utility>

namespace quiller {
namespace {

using CurlOption = CurlCodecEngine::detail::CurlOption;
using CurlOptionEffect = CurlCodecEngine::detail::CurlOptionEffect;
using E = CurlOptionEffect;

// curl's options that take an argument, and those without one that shape the
// request. A long name is matched whole (curl has no "--name=value" form); a
// short letter may carry its argument attached ("-XPOST") and may follow
// other letters ("-sSLXPOST"). An option missing here is taken as a switch
// without an argument, as nearly all of curl's other options are.
constexpr CurlOption curlOptions[] = {
    // Options that shape the request.
    {'X', "request", true, E::method},
    {'H', "header", true, E::header},
    {'d', "data", true, E::data},
    {0, "data-ascii", true, E::data},
    {0, "data-binary", true, E::data},
    {0, "data-raw", true, E::data},
    {0, "data-urlencode", true, E::dataURLEncoded},
    {0, "json", true, E::json},
    {'u', "user", true, E::user},
    {0, "oauth2-bearer", true, E::oauth2Bearer},
    {'A', "user-agent", true, E::userAgent},
    {'e', "referer", true, E::referer},
    {'b', "cookie", true, E::cookie},
    {'r', "range", true, E::range},
    {'F', "form", true, E::form},
    {0, "form-string", true, E::form},
    {'T', "upload-file", true, E::uploadFile},
    {0, "url", true, E::url},
    {0, "url-query", true, E::urlQuery},
    {'I', "head", false, E::head},
    {'G', "get", false, E::get},
    // Options with an argument that do not shape what is sent.
    {'o', "output", true, E::ignored},
    {'w', "write-out", true, E::ignored},
    {'m', "max-time", true, E::ignored},
    {'x', "proxy", true, E::ignored},
    {'c', "cookie-jar", true, E::ignored},
    {'C', "continue-at", true, E::ignored},
    {'D', "dump-header", true, E::ignored},
    {'E', "cert", true, E::ignored},
    {'K', "config", true, E::ignored},
    {'P', "ftp-port", true, E::ignored},
    {'Q', "quote", true, E::ignored},
    {'t', "telnet-option", true, E::ignored},
    {'U', "proxy-user", true, E::ignored},
    {'y', "speed-time", true, E::ignored},
    {'Y', "speed-limit", true, E::ignored},
    {'z', "time-cond", true, E::ignored},
    {0, "connect-timeout", true, E::ignored},
    {0, "connect-to", true, E::ignored},
    {0, "resolve", true, E::ignored},
    {0, "cacert", true, E::ignored},
    {0, "capath", true, E::ignored},
    {0, "cert-type", true, E::ignored},
    {0, "key", true, E::ignored},
    {0, "key-type", true, E::ignored},
    {0, "pass", true, E::ignored},
    {0, "ciphers", true, E::ignored},
    {0, "tls13-ciphers", true, E::ignored},
    {0, "curves", true, E::ignored},
    {0, "tls-max", true, E::ignored},
    {0, "pinnedpubkey", true, E::ignored},
    {0, "crlfile", true, E::ignored},
    {0, "interface", true, E::ignored},
    {0, "local-port", true, E::ignored},
    {0, "dns-servers", true, E::ignored},
    {0, "dns-interface", true, E::ignored},
    {0, "dns-ipv4-addr", true, E::ignored},
    {0, "dns-ipv6-addr", true, E::ignored},
    {0, "doh-url", true, E::ignored},
    {0, "unix-socket", true, E::ignored},
    {0, "abstract-unix-socket", true, E::ignored},
    {0, "max-redirs", true, E::ignored},
    {0, "max-filesize", true, E::ignored},
    {0, "limit-rate", true, E::ignored},
    {0, "rate", true, E::ignored},
    {0, "retry", true, E::ignored},
    {0, "retry-delay", true, E::ignored},
    {0, "retry-max-time", true, E::ignored},
    {0, "expect100-timeout", true, E::ignored},
    {0, "happy-eyeballs-timeout-ms", true, E::ignored},
    {0, "keepalive-time", true, E::ignored},
    {0, "output-dir", true, E::ignored},
    {0, "create-file-mode", true, E::ignored},
    {0, "etag-compare", true, E::ignored},
    {0, "etag-save", true, E::ignored},
    {0, "alt-svc", true, E::ignored},
    {0, "hsts", true, E::ignored},
    {0, "netrc-file", true, E::ignored},
    {0, "noproxy", true, E::ignored},
    {0, "preproxy", true, E::ignored},
    {0, "proxy-header", true, E::ignored},
    {0, "proxy-cacert", true, E::ignored},
    {0, "proxy-capath", true, E::ignored},
    {0, "proxy-cert", true, E::ignored},
    {0, "proxy-cert-type", true, E::ignored},
    {0, "proxy-ciphers", true, E::ignored},
    {0, "proxy-tls13-ciphers", true, E::ignored},
    {0, "proxy-crlfile", true, E::ignored},
    {0, "proxy-key", true, E::ignored},
    {0, "proxy-key-type", true, E::ignored},
    {0, "proxy-pass", true, E::ignored},
    {0, "proxy-pinnedpubkey", true, E::ignored},
    {0, "proxy-service-name", true, E::ignored},
    {0, "proxy-tlsauthtype", true, E::ignored},
    {0, "proxy-tlspassword", true, E::ignored},
    {0, "proxy-tlsuser", true, E::ignored},
    {0, "proxy1.0", true, E::ignored},
    {0, "socks4", true, E::ignored},
    {0, "socks4a", true, E::ignored},
    {0, "socks5", true, E::ignored},
    {0, "socks5-hostname", true, E::ignored},
    {0, "socks5-gssapi-service", true, E::ignored},
    {0, "service-name", true, E::ignored},
    {0, "sasl-authzid", true, E::ignored},
    {0, "login-options", true, E::ignored},
    {0, "aws-sigv4", true, E::ignored},
    {0, "delegation", true, E::ignored},
    {0, "krb", true, E::ignored},
    {0, "tlsauthtype", true, E::ignored},
    {0, "tlsuser", true, E::ignored},
    {0, "tlspassword", true, E::ignored},
    {0, "pubkey", true, E::ignored},
    {0, "hostpubmd5", true, E::ignored},
    {0, "hostpubsha256", true, E::ignored},
    {0, "engine", true, E::ignored},
    {0, "egd-file", true, E::ignored},
    {0, "random-file", true, E::ignored},
    {0, "request-target", true, E::ignored},
    {0, "mail-from", true, E::ignored},
    {0, "mail-rcpt", true, E::ignored},
    {0, "mail-auth", true, E::ignored},
    {0, "ftp-account", true, E::ignored},
    {0, "ftp-alternative-to-user", true, E::ignored},
    {0, "ftp-method", true, E::ignored},
    {0, "ftp-ssl-ccc-mode", true, E::ignored},
    {0, "tftp-blksize", true, E::ignored},
    {0, "parallel-max", true, E::ignored},
    {0, "proto", true, E::ignored},
    {0, "proto-default", true, E::ignored},
    {0, "proto-redir", true, E::ignored},
    {0, "stderr", true, E::ignored},
    {0, "trace", true, E::ignored},
    {0, "trace-ascii", true, E::ignored},
    {0, "libcurl", true, E::ignored},
    {0, "haproxy-clientip", true, E::ignored},
    {0, "variable", true, E::ignored},
};

const CurlOption* shortOption(char letter) {
    const auto found = std::ranges::find(curlOptions, letter, &CurlOption::shortName);
    return found == std::end(curlOptions) ? nullptr : &*found;
}

const CurlOption* longOption(std::string_view name) {
    const auto found = std::ranges::find(curlOptions, name, &CurlOption::longName);
    return found == std::end(curlOptions) ? nullptr : &*found;
}

// --- URL text ---------------------------------------------------------------

// The percent-decoded path of a URI reference, or nullopt when the text is no
// RFC 3986 URI reference.
std::optional<std::string> uriPath(std::string_view text) {
    const std::optional<tarn::URLComponents> url = tarn::URLComponents::parse(text);
    if (!url)
        return std::nullopt;
    std::string decoded = tarn::percentDecoded(url->path());
    // Escapes that do not decode to UTF-8 stay as written rather than produce
    // a name that is not text.
    if (!tarn::text::isValidUTF8(decoded))
        return url->path();
    return decoded;
}

std::string requestName(std::string_view url) {
    if (const std::optional<std::string> path = uriPath(url)) {
        if (path->find_first_not_of('/') != std::string::npos)
            return *path;
    }
    return "Imported cURL";
}

using tarn::ascii::isDigit;

// "host:port" at the start of a word, as in "localhost:8080/path".
bool startsWithHostAndPort(std::string_view word) {
    const std::size_t colon = word.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return false;
    for (const char c : word.substr(0, colon)) {
        if (!(tarn::ascii::isAlphanumeric(c) || c == '-' || c == '.'))
            return false;
    }
    std::size_t end = colon + 1;
    while (end < word.size() && isDigit(word[end]))
        ++end;
    return end > colon + 1 &&
           (end == word.size() || word[end] == '/' || word[end] == '?' || word[end] == '#');
}

bool looksLikeURL(std::string_view word) {
    return word.starts_with("http://") || word.starts_with("https://") ||
           word.find('.') != std::string_view::npos || startsWithHostAndPort(word);
}

// curl assumes http for a URL without a scheme. A word with a template keeps
// its form: the variable may well bring the scheme.
std::string withScheme(std::string_view url) {
    if (url.find("://") != std::string_view::npos || url.find("{{") != std::string_view::npos)
        return std::string(url);
    return "http://" + std::string(url);
}

// Appends `query` to the query of `url`, before any fragment.
void appendQuery(std::string& url, std::string_view query) {
    if (query.empty())
        return;
    const std::size_t hash = url.find('#');
    const std::size_t end = hash == std::string::npos ? url.size() : hash;
    const bool hasQuery = url.find('?') < end;
    std::string piece(1, hasQuery ? '&' : '?');
    piece.append(query);
    url.insert(end, piece);
}

// How curl encodes --data-urlencode and --url-query content: everything but
// letters, digits and "-._~" as %XX, then each blank as "+".
std::string curlURLEncoded(std::string_view text) {
    constexpr std::string_view hex = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (tarn::ascii::isAlphanumeric(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded.push_back(c);
        } else if (c == ' ') {
            encoded.push_back('+');
        } else {
            encoded.push_back('%');
            encoded.push_back(hex[byte >> 4]);
            encoded.push_back(hex[byte & 0x0F]);
        }
    }
    return encoded;
}

// "content", "=content" and "name=content" as curl writes them; "@file" and
// "name@file" name a file we cannot read, so they stay as written.
std::string urlEncodedArgument(std::string_view argument) {
    const std::size_t mark = argument.find_first_of("=@");
    if (mark != std::string_view::npos && argument[mark] == '@')
        return std::string(argument);
    if (mark == std::string_view::npos)
        return curlURLEncoded(argument);
    std::string piece(argument.substr(0, mark));
    if (!piece.empty())
        piece.push_back('=');
    return piece + curlURLEncoded(argument.substr(mark + 1));
}

// --- Import --------------------------------------------------------------------

// The text after "Bearer " (any letter case) of an Authorization value, or
// nullopt when it does not start so. The prefix is seven characters, so a
// combining mark on its blank makes it another word.
std::optional<std::string_view> bearerToken(std::string_view value) {
    if (tarn::text::prefixCharacters(tarn::text::lowercased(value), 7) != "bearer ")
        return std::nullopt;
    value.remove_prefix(tarn::text::prefixCharacters(value, 7).size());
    return tarn::text::trimmingWhitespace(value);
}

struct ImportState {
    std::optional<TarnHTTPMethod> method;
    bool head = false;
    bool get = false;
    bool form = false;
    bool upload = false;
    bool json = false;
    std::vector<KeyValueRow> headers;
    std::string body;
    bool hasData = false;
    std::vector<std::string> urlQueries;
    std::optional<std::string> url;
    RequestAuthConfig auth;
};

bool sameName(std::string_view a, std::string_view b) {
    return tarn::text::lowercased(a) == tarn::text::lowercased(b);
}

const KeyValueRow* findHeader(const ImportState& state, std::string_view name) {
    const auto found = std::ranges::find_if(
        state.headers, [&](const KeyValueRow& row) { return sameName(row.key, name); });
    return found == state.headers.end() ? nullptr : &*found;
}

// Sets the header curl derives from an option; a later use replaces the
// value in place, as curl keeps only the last.
void setHeader(ImportState& state, std::string_view name, std::string value) {
    const auto found = std::ranges::find_if(
        state.headers, [&](const KeyValueRow& row) { return sameName(row.key, name); });
    if (found != state.headers.end())
        found->value = std::move(value);
    else
        state.headers.push_back(KeyValueRow{.key = std::string(name), .value = std::move(value)});
}

void applyHeader(ImportState& state, std::string_view argument) {
    const std::size_t colon = argument.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = tarn::text::trimmingWhitespace(argument.substr(0, colon));
    const std::string_view value = tarn::text::trimmingWhitespace(argument.substr(colon + 1));
    // "Name:" tells curl to send no such header at all.
    if (value.empty())
        return;
    if (tarn::text::lowercased(name) == "authorization") {
        if (const std::optional<std::string_view> token = bearerToken(value)) {
            state.auth.kind = RequestAuthKind::bearer;
            state.auth.bearerToken = std::string(*token);
            return;
        }
    }
    state.headers.push_back(KeyValueRow{.key = std::string(name), .value = std::string(value)});
}

// "user:password", split at the first colon that ends a non-empty piece; empty
// pieces are dropped, so ":name" is a user name alone.
void applyUser(ImportState& state, std::string_view argument) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != ':')
            continue;
        const bool nonEmpty = i > start;
        if (nonEmpty)
            pieces.push_back(argument.substr(start, i - start));
        start = i + 1;
        if (nonEmpty)
            break;
    }
    if (start < argument.size())
        pieces.push_back(argument.substr(start));
    state.auth.basicUsername = pieces.empty() ? std::string() : std::string(pieces[0]);
    state.auth.basicPassword = pieces.size() < 2 ? std::string() : std::string(pieces[1]);
    state.auth.kind = RequestAuthKind::basic;
}

// curl joins data pieces with "&", but --json pieces with nothing.
void appendData(ImportState& state, std::string_view piece, bool joinWithAmpersand) {
    if (state.hasData && joinWithAmpersand)
        state.body.push_back('&');
    state.body.append(piece);
    state.hasData = true;
}

void applyCookie(ImportState& state, std::string_view argument) {
    // Without "=" the argument names a cookie file, which sends nothing here.
    if (argument.find('=') == std::string_view::npos)
        return;
    // curl joins the cookies of several -b options with a bare ";".
    const KeyValueRow* existing = findHeader(state, "Cookie");
    setHeader(state, "Cookie",
              existing != nullptr ? existing->value + ";" + std::string(argument)
                                  : std::string(argument));
}

void applyOption(ImportState& state, CurlOptionEffect effect, std::string_view argument) {
    switch (effect) {
    case E::method:
        if (const auto method = fromRaw<TarnHTTPMethod>(tarn::text::uppercased(argument)))
            state.method = method;
        break;
    case E::header:
        applyHeader(state, argument);
        break;
    case E::data:
        appendData(state, argument, true);
        break;
    case E::dataURLEncoded:
        appendData(state, urlEncodedArgument(argument), true);
        break;
    case E::json:
        appendData(state, argument, false);
        state.json = true;
        break;
    case E::user:
        applyUser(state, argument);
        break;
    case E::oauth2Bearer:
        state.auth.kind = RequestAuthKind::bearer;
        state.auth.bearerToken = std::string(argument);
        break;
    case E::userAgent:
        setHeader(state, "User-Agent", std::string(argument));
        break;
    case E::referer: {
        // ";auto" asks curl to update the referrer on redirects; it is not sent.
        std::string_view referer = argument;
        if (referer.ends_with(";auto"))
            referer.remove_suffix(5);
        if (!referer.empty())
            setHeader(state, "Referer", std::string(referer));
        break;
    }
    case E::cookie:
        applyCookie(state, argument);
        break;
    case E::range:
        setHeader(state, "Range", "bytes=" + std::string(argument));
        break;
    case E::form:
        // The model has no multipart body: the part is left out, but the
        // method stays the POST curl would send.
        state.form = true;
        break;
    case E::uploadFile:
        state.upload = true;
        break;
    case E::url:
        if (!state.url)
            state.url = withScheme(argument);
        break;
    case E::urlQuery:
        state.urlQueries.push_back(argument.starts_with('+') ? std::string(argument.substr(1))
                                                             : urlEncodedArgument(argument));
        break;
    case E::head:
        state.head = true;
        break;
    case E::get:
        state.get = true;
        break;
    case E::ignored:
        break;
    }
}

// Reads the option word at `index` and its argument; returns the index of the
// next word to read.
std::size_t readOption(ImportState& state, const std::vector<std::string>& words,
                       std::size_t index) {
    const std::string_view word = words[index];
    const auto argumentAfter = [&](std::size_t at) -> std::optional<std::string_view> {
        return at < words.size() ? std::optional<std::string_view>(words[at]) : std::nullopt;
    };
    if (word.starts_with("--")) {
        const CurlOption* option = longOption(word.substr(2));
        if (option == nullptr)
            return index + 1;
        if (!option->takesArgument) {
            applyOption(state, option->effect, {});
            return index + 1;
        }
        // An option at the very end has no argument and does nothing.
        if (const auto argument = argumentAfter(index + 1))
            applyOption(state, option->effect, *argument);
        return index + 2;
    }
    // A cluster of short letters: switches until one takes an argument, which
    // is the rest of the word or else the next word.
    for (std::size_t i = 1; i < word.size(); ++i) {
        const CurlOption* option = shortOption(word[i]);
        if (option == nullptr)
            continue;
        if (!option->takesArgument) {
            applyOption(state, option->effect, {});
            continue;
        }
        if (i + 1 < word.size()) {
            applyOption(state, option->effect, word.substr(i + 1));
            return index + 1;
        }
        if (const auto argument = argumentAfter(index + 1))
            applyOption(state, option->effect, *argument);
        return index + 2;
    }
    return index + 1;
}

TarnHTTPMethod methodOf(const ImportState& state) {
    if (state.method)
        return *state.method;
    if (state.head)
        return TarnHTTPMethod::head;
    if (state.get)
        return TarnHTTPMethod::get;
    if (state.hasData || state.form)
        return TarnHTTPMethod::post;
    if (state.upload)
        return TarnHTTPMethod::put;
    return TarnHTTPMethod::get;
}

// The body kind that makes the workbench send curl's Content-Type: a header
// the command gives is sent as it stands; without one, --json sends JSON and
// the data options send a form.
RequestBodyKind bodyKindOf(const ImportState& state) {
    if (state.body.empty())
        return RequestBodyKind::none;
    const KeyValueRow* contentType = findHeader(state, "Content-Type");
    if (contentType == nullptr)
        return state.json ? RequestBodyKind::json : RequestBodyKind::formURLEncoded;
    const std::string_view trimmed = tarn::text::trimmingWhitespaceAndNewlines(state.body);
    if (trimmed.starts_with('{') || trimmed.starts_with('[') ||
        tarn::text::lowercased(contentType->value).find("json") != std::string::npos)
        return RequestBodyKind::json;
    return RequestBodyKind::rawText;
}

} // namespace

namespace CurlCodecEngine {

std::span<const detail::CurlOption> detail::curlOptionTable() {
    return curlOptions;
}

std::optional<APIRequestSpec> parseCurl(std::string_view command) {
    const std::vector<std::string> words = tarn::splitShellWords(command);
    if (words.empty())
        return std::nullopt;

    ImportState state;
    std::size_t index = tarn::text::lowercased(words.front()) == "curl" ? 1 : 0;
    while (index < words.size()) {
        const std::string& word = words[index];
        if (word.starts_with('-')) {
            index = readOption(state, words, index);
            continue;
        }
        if (!state.url && looksLikeURL(word))
            state.url = withScheme(word);
        ++index;
    }
    if (!state.url)
        return std::nullopt;

    const TarnHTTPMethod method = methodOf(state);
    std::string url = std::move(*state.url);
    // With -G the data goes to the query and nothing is posted.
    if (state.get) {
        appendQuery(url, state.body);
        state.body.clear();
    }
    for (const std::string& query : state.urlQueries)
        appendQuery(url, query);
    // --json also asks for JSON back, unless the command says otherwise.
    if (state.json && !state.get && findHeader(state, "Accept") == nullptr)
        state.headers.push_back(KeyValueRow{.key = "Accept", .value = "application/json"});

    APIRequestSpec request;
    request.name = requestName(url);
    request.method = method;
    request.url = std::move(url);
    request.bodyKind = bodyKindOf(state);
    request.bodyText = std::move(state.body);
    if (!state.headers.empty())
        request.headers = std::move(state.headers);
    request.auth = std::move(state.auth);
    return request;
}

} // namespace CurlCodecEngine
} // namespace quiller
