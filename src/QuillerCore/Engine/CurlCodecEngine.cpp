// Reading pasted cURL commands: shell-style splitting and the import.
#include "QuillerCore/Engine/CurlCodecEngine.h"

#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <utility>

namespace quiller {
namespace {

char32_t firstCodePoint(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character.front());
    if (lead < 0x80)
        return lead;
    return tarn::text::decodeUTF8(character).front();
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

// --- Import --------------------------------------------------------------------

enum class CurlOption { none, method, header, data, user };

CurlOption optionOf(std::string_view word) {
    if (word == "-X" || word == "--request")
        return CurlOption::method;
    if (word == "-H" || word == "--header")
        return CurlOption::header;
    if (word == "-d" || word == "--data" || word == "--data-raw" || word == "--data-binary" ||
        word == "--data-urlencode")
        return CurlOption::data;
    if (word == "-u" || word == "--user")
        return CurlOption::user;
    return CurlOption::none;
}

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
    std::vector<KeyValueRow> headers;
    std::vector<std::string_view> dataPieces;
    RequestAuthConfig auth;
};

void applyHeader(ImportState& state, std::string_view argument) {
    const std::size_t colon = argument.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = tarn::text::trimmingWhitespace(argument.substr(0, colon));
    const std::string_view value = tarn::text::trimmingWhitespace(argument.substr(colon + 1));
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

void applyOption(ImportState& state, CurlOption option, std::string_view argument) {
    switch (option) {
    case CurlOption::method:
        if (const auto method = fromRaw<TarnHTTPMethod>(tarn::text::uppercased(argument)))
            state.method = method;
        break;
    case CurlOption::header:
        applyHeader(state, argument);
        break;
    case CurlOption::data:
        state.dataPieces.push_back(argument);
        break;
    case CurlOption::user:
        applyUser(state, argument);
        break;
    case CurlOption::none:
        break;
    }
}

bool looksLikeURL(std::string_view word) {
    return word.starts_with("http://") || word.starts_with("https://") ||
           word.find('.') != std::string_view::npos;
}

RequestBodyKind bodyKindOf(std::string_view body, const std::vector<KeyValueRow>& headers) {
    if (body.empty())
        return RequestBodyKind::none;
    const std::string_view trimmed = tarn::text::trimmingWhitespaceAndNewlines(body);
    if (trimmed.starts_with('{') || trimmed.starts_with('['))
        return RequestBodyKind::json;
    for (const KeyValueRow& row : headers) {
        if (tarn::text::lowercased(row.key) == "content-type" &&
            tarn::text::lowercased(row.value).find("json") != std::string::npos)
            return RequestBodyKind::json;
    }
    return RequestBodyKind::rawText;
}

} // namespace

namespace CurlCodecEngine {

std::vector<std::string> shellSplit(std::string_view commandLine) {
    // CR LF counts as LF, and a backslash before a line end joins the lines
    // with a blank, inside quotes too.
    std::string text;
    text.reserve(commandLine.size());
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const std::string_view rest = commandLine.substr(i);
        if (rest.starts_with("\\\r\n")) {
            text.push_back(' ');
            i += 2;
        } else if (rest.starts_with("\\\n")) {
            text.push_back(' ');
            i += 1;
        } else if (rest.starts_with("\r\n")) {
            text.push_back('\n');
            i += 1;
        } else {
            text.push_back(rest.front());
        }
    }

    std::vector<std::string> words;
    std::string word;
    bool escapeNext = false;
    bool inSingleQuotes = false;
    bool inDoubleQuotes = false;
    tarn::text::CharacterScanner scanner(text);
    while (const std::optional<std::string_view> character = scanner.next()) {
        if (escapeNext) {
            word.append(*character);
            escapeNext = false;
        } else if (*character == "\\" && !inSingleQuotes) {
            escapeNext = true;
        } else if (*character == "'" && !inDoubleQuotes) {
            inSingleQuotes = !inSingleQuotes;
        } else if (*character == "\"" && !inSingleQuotes) {
            inDoubleQuotes = !inDoubleQuotes;
        } else if (!inSingleQuotes && !inDoubleQuotes &&
                   tarn::text::isWhitespaceOrNewline(firstCodePoint(*character))) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word.append(*character);
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

std::optional<APIRequestSpec> parseCurl(std::string_view command) {
    const std::vector<std::string> words = shellSplit(command);
    if (words.empty())
        return std::nullopt;

    ImportState state;
    std::optional<std::string_view> url;
    std::size_t index = tarn::text::lowercased(words.front()) == "curl" ? 1 : 0;
    while (index < words.size()) {
        const std::string& word = words[index];
        if (const CurlOption option = optionOf(word); option != CurlOption::none) {
            if (index + 1 < words.size())
                applyOption(state, option, words[index + 1]);
            index += 2;
            continue;
        }
        // An unknown option is skipped alone: its argument, if it has one, is
        // looked at as an ordinary word next.
        if (!word.starts_with('-') && !url && looksLikeURL(word))
            url = word;
        ++index;
    }
    if (!url)
        return std::nullopt;

    std::string body;
    for (std::size_t i = 0; i < state.dataPieces.size(); ++i) {
        if (i > 0)
            body.push_back('&');
        body.append(state.dataPieces[i]);
    }

    APIRequestSpec request;
    request.name = requestName(*url);
    request.method =
        state.method.value_or(body.empty() ? TarnHTTPMethod::get : TarnHTTPMethod::post);
    request.url = std::string(*url);
    if (!state.headers.empty())
        request.headers = std::move(state.headers);
    request.auth = std::move(state.auth);
    request.bodyKind = bodyKindOf(body, request.headers);
    request.bodyText = std::move(body);
    return request;
}

} // namespace CurlCodecEngine
} // namespace quiller
