// Code snippets: a saved request written out as client code in one of the
// snippet languages.
#include "QuillerCore/Engine/CurlCodecEngine.h"
#include "TarnKit/Platform/Base64.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <utility>

namespace quiller {
namespace {

constexpr CodeSnippetLanguage languageCases[] = {
    CodeSnippetLanguage::curl,
    CodeSnippetLanguage::swift,
    CodeSnippetLanguage::typescript,
    CodeSnippetLanguage::python,
};

constexpr std::string_view hexDigits = "0123456789ABCDEF";

struct PreparedRequest {
    std::string_view method;
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    RequestBodyKind bodyKind = RequestBodyKind::none;
    std::string body;
};

// The URL with the enabled query rows appended, the way sending the request
// adds them: after the URL's own query, before its fragment.
std::string urlWithQueryRows(std::string url, const std::vector<KeyValueRow>& rows,
                             const VariableMap& variables) {
    std::string fragment;
    bool first = true;
    for (const KeyValueRow& row : rows) {
        if (!row.isEnabled || row.key.empty())
            continue;
        if (first) {
            if (const std::size_t hash = url.find('#'); hash != std::string::npos) {
                fragment = url.substr(hash);
                url.resize(hash);
            }
        }
        url.push_back(first && url.find('?') == std::string::npos ? '?' : '&');
        first = false;
        // Encoded as composition encodes query items, so "&", "=" or "#" in a
        // row stays data. The URL itself may not parse yet (an unknown
        // variable), so the rows are appended to its text.
        url += tarn::percentEncodedQueryComponent(
            EnvironmentTemplateEngine::interpolate(row.key, variables));
        url.push_back('=');
        url += tarn::percentEncodedQueryComponent(
            EnvironmentTemplateEngine::interpolate(row.value, variables));
    }
    return url + fragment;
}

PreparedRequest prepare(const APIRequestSpec& request, const VariableMap& variables) {
    using EnvironmentTemplateEngine::interpolate;
    PreparedRequest prepared;
    prepared.method = rawValue(request.method);
    prepared.url =
        urlWithQueryRows(interpolate(request.url, variables), request.queryParams, variables);
    for (const KeyValueRow& row : request.headers) {
        if (row.isEnabled && !row.key.empty())
            prepared.headers.emplace_back(interpolate(row.key, variables),
                                          interpolate(row.value, variables));
    }
    const RequestAuthConfig& auth = request.auth;
    switch (auth.kind) {
    case RequestAuthKind::none:
        break;
    case RequestAuthKind::bearer:
        prepared.headers.emplace_back("Authorization",
                                      "Bearer " + interpolate(auth.bearerToken, variables));
        break;
    case RequestAuthKind::basic:
        prepared.headers.emplace_back(
            "Authorization",
            "Basic " + tarn::base64::encode(interpolate(auth.basicUsername, variables) + ":" +
                                            interpolate(auth.basicPassword, variables)));
        break;
    case RequestAuthKind::apiKeyHeader:
        prepared.headers.emplace_back(auth.apiKeyHeaderName,
                                      interpolate(auth.apiKeyValue, variables));
        break;
    }
    // The body and its content type exactly as composition sends them, so
    // that the code sends what the workbench sends (curl would otherwise say
    // form data, fetch plain text).
    prepared.bodyKind = request.bodyKind;
    EnvironmentTemplateEngine::ComposedBody composed =
        EnvironmentTemplateEngine::composeBody(request, variables);
    prepared.body = std::move(composed.body).value_or(std::string());
    if (!composed.contentType.empty()) {
        const auto given = std::ranges::find_if(prepared.headers, [](const auto& header) {
            return tarn::text::lowercased(header.first) == "content-type";
        });
        if (given == prepared.headers.end())
            prepared.headers.emplace_back("Content-Type", composed.contentType);
        else if (composed.replacesGivenContentType)
            *given = {"Content-Type", std::string(composed.contentType)};
    }
    return prepared;
}

std::string joined(const std::vector<std::string>& lines, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text.append(separator);
        text.append(lines[i]);
    }
    return text;
}

// Inside shell single quotes nothing is special but the quote itself, which is
// closed, written escaped and reopened.
std::string shellQuoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size());
    for (const char c : text) {
        if (c == '\'')
            quoted.append("'\\''");
        else
            quoted.push_back(c);
    }
    return quoted;
}

enum class StringSyntax { swift, typescript, python };

// The contents of a double-quoted string literal. A line break would end the
// literal and a NUL is refused as source, so control characters other than the
// tab are written as escapes too.
std::string doubleQuoted(std::string_view text, StringSyntax syntax) {
    std::string quoted;
    quoted.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            quoted.push_back('\\');
            quoted.push_back(c);
        } else if (c == '\n') {
            quoted.append("\\n");
        } else if (c == '\r') {
            quoted.append("\\r");
        } else if (byte < 0x20 && c != '\t') {
            quoted.append(syntax == StringSyntax::swift ? "\\u{" : "\\x");
            quoted.push_back(hexDigits[byte >> 4]);
            quoted.push_back(hexDigits[byte & 0x0F]);
            if (syntax == StringSyntax::swift)
                quoted.push_back('}');
        } else {
            quoted.push_back(c);
        }
    }
    return quoted;
}

// A backquoted template literal reads "\" and "${" and turns CR into LF, so
// those are escaped to keep the text as it is.
std::string templateLiteral(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == '`' || (c == '$' && i + 1 < text.size() && text[i + 1] == '{')) {
            quoted.push_back('\\');
            quoted.push_back(c);
        } else if (c == '\r') {
            quoted.append("\\r");
        } else {
            quoted.push_back(c);
        }
    }
    return quoted;
}

// The contents of a Python '''...''' string. Backslashes are escapes there; of
// the single quotes only those that would close the string early are escaped:
// every third of a run, and the last one before the closing quotes.
std::string pythonTripleQuoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\'') {
            std::size_t end = i;
            while (end < text.size() && text[end] == '\'')
                ++end;
            const std::size_t run = end - i;
            for (std::size_t k = 0; k < run; ++k) {
                if ((k + 1) % 3 == 0 || (end == text.size() && k + 1 == run))
                    quoted.push_back('\\');
                quoted.push_back('\'');
            }
            i = end;
            continue;
        }
        if (c == '\\')
            quoted.append("\\\\");
        else if (c == '\r')
            quoted.append("\\r");
        else if (c == '\0')
            quoted.append("\\x00");
        else
            quoted.push_back(c);
        ++i;
    }
    return quoted;
}

// A Swift raw multi-line string needs more "#" than follow any closing quote
// triple or backslash in the text, so neither its delimiter nor an escape occurs
// inside. One pass: each run of "#" is counted once, after what precedes it.
std::size_t swiftRawDelimiterLength(std::string_view text) {
    std::size_t longestRun = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t runStart = 0;
        if (text[i] == '\\')
            runStart = i + 1;
        else if (text.substr(i, 3) == "\"\"\"")
            runStart = i + 3;
        else
            continue;
        std::size_t runEnd = runStart;
        while (runEnd < text.size() && text[runEnd] == '#')
            ++runEnd;
        longestRun = std::max(longestRun, runEnd - runStart);
    }
    return longestRun + 1;
}

// Swift folds line breaks inside a multi-line literal to LF and warns on NUL,
// so those two are written as raw escapes.
std::string swiftRawBody(std::string_view text, const std::string& hashes) {
    std::string body;
    body.reserve(text.size());
    for (const char c : text) {
        if (c == '\r')
            body.append("\\").append(hashes).append("r");
        else if (c == '\0')
            body.append("\\").append(hashes).append("0");
        else
            body.push_back(c);
    }
    return body;
}

// Whether `body` may stand inside JSON.stringify(...) as the value it spells:
// JSON (which JavaScript reads as the same value) without a "__proto__" key,
// which an object literal would take as its prototype instead of a member.
bool isJavaScriptJSON(std::string_view body) {
    if (body.find("__proto__") != std::string_view::npos)
        return false;
    return tarn::json::parse(body).has_value();
}

std::string curlSnippet(const PreparedRequest& request) {
    std::vector<std::string> lines;
    // "-X HEAD" would make curl wait for a body that never comes.
    const std::string method =
        request.method == "HEAD" ? "--head" : "-X " + std::string(request.method);
    lines.push_back("curl " + method + " '" + shellQuoted(request.url) + "'");
    for (const auto& [key, value] : request.headers)
        lines.push_back("  -H '" + shellQuoted(key) + ": " + shellQuoted(value) + "'");
    // For -d a leading "@" names a file to send; the body is text.
    if (!request.body.empty())
        lines.push_back((request.body.starts_with('@') ? "  --data-raw '" : "  -d '") +
                        shellQuoted(request.body) + "'");
    return joined(lines, " \\\n");
}

std::string swiftSnippet(const PreparedRequest& request) {
    constexpr auto syntax = StringSyntax::swift;
    std::vector<std::string> lines;
    lines.push_back("var request = URLRequest(url: URL(string: \"" +
                    doubleQuoted(request.url, syntax) + "\")!)");
    lines.push_back("request.httpMethod = \"" + std::string(request.method) + "\"");
    for (const auto& [key, value] : request.headers)
        lines.push_back("request.setValue(\"" + doubleQuoted(value, syntax) +
                        "\", forHTTPHeaderField: \"" + doubleQuoted(key, syntax) + "\")");
    if (!request.body.empty()) {
        const std::string hashes(swiftRawDelimiterLength(request.body), '#');
        lines.push_back("request.httpBody = Data(" + hashes + "\"\"\"");
        lines.push_back(swiftRawBody(request.body, hashes));
        lines.push_back("\"\"\"" + hashes + ".utf8)");
    }
    lines.emplace_back("let (data, response) = try await URLSession.shared.data(for: request)");
    return joined(lines, "\n");
}

std::string typeScriptSnippet(const PreparedRequest& request) {
    constexpr auto syntax = StringSyntax::typescript;
    std::vector<std::string> lines;
    lines.push_back("const response = await fetch(\"" + doubleQuoted(request.url, syntax) +
                    "\", {");
    lines.push_back("  method: \"" + std::string(request.method) + "\",");
    if (request.headers.empty()) {
        lines.emplace_back("  headers: {}");
    } else {
        lines.emplace_back("  headers: {");
        for (std::size_t i = 0; i < request.headers.size(); ++i) {
            const auto& [key, value] = request.headers[i];
            lines.push_back("    \"" + doubleQuoted(key, syntax) + "\": \"" +
                            doubleQuoted(value, syntax) + "\"" +
                            (i + 1 < request.headers.size() ? "," : ""));
        }
        lines.emplace_back("  }");
    }
    if (!request.body.empty()) {
        lines.back().push_back(',');
        // A JSON body is meant to be read as the object it spells, when it
        // is one; anything else is sent as the text it is.
        if (request.bodyKind == RequestBodyKind::json && isJavaScriptJSON(request.body))
            lines.push_back("  body: JSON.stringify(" + request.body + ")");
        else
            lines.push_back("  body: `" + templateLiteral(request.body) + "`");
    }
    lines.emplace_back("});");
    // A HEAD answer has no body, which json() would reject after the request
    // succeeded.
    lines.emplace_back(request.method == "HEAD" ? "const data = await response.text();"
                                                : "const data = await response.json();");
    return joined(lines, "\n");
}

std::string pythonSnippet(const PreparedRequest& request) {
    constexpr auto syntax = StringSyntax::python;
    std::vector<std::string> lines;
    lines.emplace_back("import requests");
    lines.emplace_back("");
    lines.emplace_back("response = requests.request(");
    lines.push_back("    \"" + std::string(request.method) + "\",");
    lines.push_back("    \"" + doubleQuoted(request.url, syntax) + "\",");
    if (request.headers.empty()) {
        lines.emplace_back("    headers={}");
    } else {
        lines.emplace_back("    headers={");
        for (std::size_t i = 0; i < request.headers.size(); ++i) {
            const auto& [key, value] = request.headers[i];
            lines.push_back("    \"" + doubleQuoted(key, syntax) + "\": \"" +
                            doubleQuoted(value, syntax) + "\"" +
                            (i + 1 < request.headers.size() ? "," : ""));
        }
        lines.emplace_back("}");
    }
    if (!request.body.empty()) {
        lines.back().push_back(',');
        // requests sends a text body as Latin-1, and fails on what that
        // cannot encode: anything beyond ASCII goes as UTF-8 bytes instead.
        const bool ascii = std::ranges::all_of(
            request.body, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        lines.push_back("    data='''" + pythonTripleQuoted(request.body) + "'''" +
                        (ascii ? "" : ".encode(\"utf-8\")"));
    }
    lines.emplace_back(")");
    lines.emplace_back("print(response.status_code, response.text)");
    return joined(lines, "\n");
}

} // namespace

std::string_view rawValue(CodeSnippetLanguage language) {
    switch (language) {
    case CodeSnippetLanguage::curl:
        return "cURL";
    case CodeSnippetLanguage::swift:
        return "Swift URLSession";
    case CodeSnippetLanguage::typescript:
        return "TypeScript fetch";
    case CodeSnippetLanguage::python:
        return "Python requests";
    }
    return {};
}

template <> std::span<const CodeSnippetLanguage> allCases<CodeSnippetLanguage>() {
    return languageCases;
}

namespace CurlCodecEngine {

std::string generateSnippet(const APIRequestSpec& request, CodeSnippetLanguage language,
                            const VariableMap& variables) {
    const PreparedRequest prepared = prepare(request, variables);
    switch (language) {
    case CodeSnippetLanguage::curl:
        return curlSnippet(prepared);
    case CodeSnippetLanguage::swift:
        return swiftSnippet(prepared);
    case CodeSnippetLanguage::typescript:
        return typeScriptSnippet(prepared);
    case CodeSnippetLanguage::python:
        return pythonSnippet(prepared);
    }
    return {};
}

} // namespace CurlCodecEngine
} // namespace quiller
