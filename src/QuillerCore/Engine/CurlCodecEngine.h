#pragma once

#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Models/Enumeration.h"
#include "QuillerCore/Models/RequestModel.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

// The targets of a code snippet, in the order the picker offers them. The raw
// value is also the picker's title and the language's identity.
enum class CodeSnippetLanguage { curl, swift, typescript, python };

std::string_view rawValue(CodeSnippetLanguage language);
template <> std::span<const CodeSnippetLanguage> allCases<CodeSnippetLanguage>();

// Reads pasted cURL commands and writes requests back out as client code.
// Stateless; every function may be called from any thread at the same time.
namespace CurlCodecEngine {

// A new request from a pasted cURL command (the leading "curl" is optional),
// or nullopt when the text has no words or none of them looks like a URL.
// The request sends what curl would send for the options that shape a
// request (method, headers, data in its forms, user, bearer, user agent,
// referrer, cookies, range, -G, -I, --json, --url-query); other options are
// read past with their arguments. What the model cannot hold is left out:
// -F parts, -T files, files named by "@". A URL without a scheme gets curl's
// "http://". Unknown options and malformed pieces are skipped silently.
[[nodiscard]] std::optional<APIRequestSpec> parseCurl(std::string_view command);

// The request as ready-to-paste client code, with templates filled from
// `variables`. Enabled query rows are appended to the URL, authentication
// becomes a header, and the body and its kind's Content-Type are those of
// composition (a GraphQL body is its JSON document), so the code sends what
// the workbench sends. A HEAD request is written with curl's --head. Texts are
// escaped only where they contain something that would end their literal, so
// plain requests come out exactly as typed.
std::string generateSnippet(const APIRequestSpec& request, CodeSnippetLanguage language,
                            const VariableMap& variables);

namespace detail {

// What an option of curl does to the imported request.
enum class CurlOptionEffect {
    ignored,
    method,
    header,
    data,
    dataURLEncoded,
    json,
    user,
    oauth2Bearer,
    userAgent,
    referer,
    cookie,
    range,
    form,
    uploadFile,
    url,
    urlQuery,
    head,
    get,
};

struct CurlOption {
    char shortName; // 0: long form only
    std::string_view longName;
    bool takesArgument;
    CurlOptionEffect effect;
};

// The options parseCurl knows, for the tests that walk them all.
std::span<const CurlOption> curlOptionTable();

} // namespace detail
} // namespace CurlCodecEngine
} // namespace quiller
