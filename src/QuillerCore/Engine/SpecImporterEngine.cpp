// OpenAPI and Postman import. Both readers take a key into account only when
// its value has the expected JSON type; any other type counts as absent.
#include "QuillerCore/Engine/SpecImporterEngine.h"

#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace quiller::SpecImporterEngine {
namespace {

using nlohmann::json;

const json* member(const json& object, std::string_view key) {
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

bool hasKey(const json& object, std::string_view key) {
    return member(object, key) != nullptr;
}

const json* objectMember(const json& object, std::string_view key) {
    const json* value = member(object, key);
    return value != nullptr && value->is_object() ? value : nullptr;
}

const std::string* textMember(const json& object, std::string_view key) {
    const json* value = member(object, key);
    return value != nullptr && value->is_string() ? &value->get_ref<const std::string&>() : nullptr;
}

// An array counts only when every element is an object.
const json* arrayOfObjectsMember(const json& object, std::string_view key) {
    const json* value = member(object, key);
    if (value == nullptr || !value->is_array())
        return nullptr;
    for (const json& element : *value) {
        if (!element.is_object())
            return nullptr;
    }
    return value;
}

std::string_view trimmingSlashes(std::string_view text) {
    const std::size_t first = text.find_first_not_of('/');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of('/');
    return text.substr(first, last - first + 1);
}

// --- OpenAPI -----------------------------------------------------------------

constexpr std::string_view openAPIDefaultName = "OpenAPI Collection";
constexpr std::string_view baseURLTemplate = "{{baseUrl}}";
// A body for the user to fill: "{", a line with two blanks, "}".
constexpr std::string_view jsonBodySkeleton = "{\n  \n}";

struct OpenAPIOperationKey {
    std::string_view key;
    TarnHTTPMethod method;
};

// The order in which a path item's operations become requests; other keys of
// a path item (head, options, trace, parameters, ...) are never read.
constexpr std::array<OpenAPIOperationKey, 5> openAPIOperations = {{
    {"get", TarnHTTPMethod::get},
    {"post", TarnHTTPMethod::post},
    {"put", TarnHTTPMethod::put},
    {"patch", TarnHTTPMethod::patch},
    {"delete", TarnHTTPMethod::delete_},
}};

// Every "{name}" of `text` (a name without braces inside) given to `fill`,
// which writes its replacement; the rest stays as written, stray braces too.
template <class Fill> std::string replacingTemplates(std::string_view text, Fill fill) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('{', i);
        if (open == std::string_view::npos)
            break;
        const std::size_t close = text.find_first_of("{}", open + 1);
        result.append(text.substr(i, open - i));
        if (close == std::string_view::npos || text[close] == '{' || close == open + 1) {
            // No template here: keep the brace and look on after it.
            result.push_back('{');
            i = open + 1;
            continue;
        }
        fill(text.substr(open + 1, close - open - 1), result);
        i = close + 1;
    }
    result.append(text.substr(std::min(i, text.size())));
    return result;
}

// "{name}" as the "{{name}}" of an environment variable, so that sending
// fills it, or names it when it is not filled. Templates already written with
// double braces stay as they are.
std::string asEnvironmentTemplates(std::string_view text) {
    if (text.find("{{") != std::string_view::npos)
        return std::string(text);
    return replacingTemplates(text, [](std::string_view name, std::string& out) {
        out.append("{{").append(name).append("}}");
    });
}

// A server URL with each variable given its default; one without a default
// becomes an environment template.
std::string serverURL(const json& server, const std::string& url) {
    const json* variables = objectMember(server, "variables");
    return replacingTemplates(url, [&](std::string_view name, std::string& out) {
        const json* variable = variables != nullptr ? objectMember(*variables, name) : nullptr;
        if (const std::string* fallback =
                variable != nullptr ? textMember(*variable, "default") : nullptr)
            out.append(*fallback);
        else
            out.append("{{").append(name).append("}}");
    });
}

// A Swagger 2.0 document names its server by scheme, host and base path.
std::optional<std::string> swaggerBaseURL(const json& document) {
    const std::string* version = textMember(document, "swagger");
    if (version == nullptr || !version->starts_with("2"))
        return std::nullopt;
    const std::string* host = textMember(document, "host");
    const std::string* basePath = textMember(document, "basePath");
    if (host == nullptr && basePath == nullptr)
        return std::nullopt;
    std::string url;
    if (host != nullptr) {
        // Without "schemes" the document is served over the scheme it was
        // fetched with, which a pasted text no longer tells.
        std::string scheme = "https";
        if (const json* schemes = member(document, "schemes");
            schemes != nullptr && schemes->is_array() && !schemes->empty() &&
            schemes->front().is_string())
            scheme = schemes->front().get<std::string>();
        url = scheme + "://" + *host;
    } else {
        url = std::string(baseURLTemplate);
    }
    if (basePath != nullptr)
        url += "/" + std::string(trimmingSlashes(*basePath));
    return url;
}

std::string openAPIBaseURL(const json& document) {
    const json* servers = arrayOfObjectsMember(document, "servers");
    if (servers == nullptr || servers->empty()) {
        if (!hasKey(document, "servers")) {
            if (std::optional<std::string> swagger = swaggerBaseURL(document))
                return std::string(trimmingSlashes(*swagger));
        }
        return std::string(baseURLTemplate);
    }
    const std::string* url = textMember(servers->front(), "url");
    if (url == nullptr)
        return std::string(baseURLTemplate);
    return std::string(trimmingSlashes(serverURL(servers->front(), *url)));
}

std::string openAPIRequestName(const json& operation, TarnHTTPMethod method,
                               const std::string& path) {
    if (const std::string* summary = textMember(operation, "summary"))
        return *summary;
    if (const std::string* operationId = textMember(operation, "operationId"))
        return *operationId;
    std::string name(rawValue(method));
    name += ' ';
    name += path;
    return name;
}

std::optional<APIRequestCollection> parseOpenAPI3(const json& document) {
    const json* paths = objectMember(document, "paths");
    if (paths == nullptr)
        return std::nullopt;
    // One entry that is not a path item (an extension's text or number, say)
    // refuses the whole document rather than importing part of it.
    for (const json& pathItem : *paths) {
        if (!pathItem.is_object())
            return std::nullopt;
    }

    const std::string baseURL = openAPIBaseURL(document);
    std::vector<APIRequestSpec> requests;
    // nlohmann keeps object members sorted by their UTF-8 bytes, which is
    // ascending code-point order: the path order the import promises.
    for (const auto& [path, pathItem] : paths->items()) {
        for (const OpenAPIOperationKey& operationKey : openAPIOperations) {
            const json* operation = objectMember(pathItem, operationKey.key);
            if (operation == nullptr)
                continue;
            const TarnHTTPMethod method = operationKey.method;
            const bool hasBody = hasKey(*operation, "requestBody") ||
                                 method == TarnHTTPMethod::post || method == TarnHTTPMethod::put ||
                                 method == TarnHTTPMethod::patch;
            APIRequestSpec request;
            request.name = openAPIRequestName(*operation, method, path);
            request.method = method;
            request.url = baseURL + asEnvironmentTemplates(path);
            request.bodyKind = hasBody ? RequestBodyKind::json : RequestBodyKind::none;
            request.bodyText = hasBody ? std::string(jsonBodySkeleton) : std::string();
            requests.push_back(std::move(request));
        }
    }
    if (requests.empty())
        return std::nullopt;

    APIRequestCollection collection;
    const json* info = objectMember(document, "info");
    const std::string* title = info != nullptr ? textMember(*info, "title") : nullptr;
    collection.name = title != nullptr ? *title : std::string(openAPIDefaultName);
    collection.requests = std::move(requests);
    return collection;
}

// --- Postman -----------------------------------------------------------------

constexpr std::string_view postmanDefaultName = "Postman Import";
constexpr std::string_view postmanDefaultRequestName = "Request";

TarnHTTPMethod postmanMethod(const json& request) {
    const std::string* text = textMember(request, "method");
    if (text == nullptr)
        return TarnHTTPMethod::get;
    return fromRaw<TarnHTTPMethod>(tarn::text::uppercased(*text)).value_or(TarnHTTPMethod::get);
}

// A list of texts, or of objects with a text "value" (how path segments may
// be written), joined with `separator`; a single text as it is.
std::optional<std::string> joinedParts(const json* parts, std::string_view separator) {
    if (parts == nullptr)
        return std::nullopt;
    if (parts->is_string())
        return parts->get<std::string>();
    if (!parts->is_array())
        return std::nullopt;
    std::string text;
    bool first = true;
    for (const json& part : *parts) {
        const std::string* value =
            part.is_string() ? &part.get_ref<const std::string&>() : textMember(part, "value");
        if (value == nullptr)
            continue;
        if (!first)
            text.append(separator);
        text.append(*value);
        first = false;
    }
    return text;
}

// The URL of an object without "raw", as some converters write it: built from
// its protocol, host, port, path and enabled query entries.
std::optional<std::string> postmanURLFromParts(const json& url) {
    const std::optional<std::string> host = joinedParts(member(url, "host"), ".");
    const std::optional<std::string> path = joinedParts(member(url, "path"), "/");
    if (!host && !path)
        return std::nullopt;
    std::string text;
    if (const std::string* protocol = textMember(url, "protocol"); protocol && !protocol->empty())
        text += *protocol + "://";
    text += host.value_or("");
    if (const json* port = member(url, "port")) {
        if (port->is_string() && !port->get_ref<const std::string&>().empty())
            text += ":" + port->get<std::string>();
        else if (port->is_number_unsigned())
            text += ":" + std::to_string(port->get<std::uint64_t>());
    }
    if (path && !path->empty()) {
        if (!path->starts_with('/'))
            text.push_back('/');
        text += *path;
    }
    if (const json* query = arrayOfObjectsMember(url, "query")) {
        char separator = '?';
        for (const json& entry : *query) {
            const json* disabled = member(entry, "disabled");
            if (disabled != nullptr && disabled->is_boolean() && disabled->get<bool>())
                continue;
            const std::string* key = textMember(entry, "key");
            if (key == nullptr)
                continue;
            text.push_back(separator);
            separator = '&';
            text += *key;
            if (const std::string* value = textMember(entry, "value"))
                text += "=" + *value;
        }
    }
    return text;
}

std::optional<std::string> postmanURL(const json& request) {
    const json* url = member(request, "url");
    if (url == nullptr)
        return std::nullopt;
    if (url->is_string())
        return url->get<std::string>();
    if (!url->is_object())
        return std::nullopt;
    if (const std::string* raw = textMember(*url, "raw"))
        return *raw;
    return postmanURLFromParts(*url);
}

std::vector<KeyValueRow> postmanHeaders(const json& request) {
    std::vector<KeyValueRow> rows;
    if (const json* headers = arrayOfObjectsMember(request, "header")) {
        for (const json& header : *headers) {
            const std::string* key = textMember(header, "key");
            const std::string* value = textMember(header, "value");
            if (key == nullptr || value == nullptr)
                continue;
            const json* disabled = member(header, "disabled");
            const bool isDisabled =
                disabled != nullptr && disabled->is_boolean() && disabled->get<bool>();
            rows.push_back(KeyValueRow{.key = *key, .value = *value, .isEnabled = !isDisabled});
        }
    }
    if (rows.empty())
        return APIRequestSpec{}.headers;
    return rows;
}

void applyPostmanBody(const json& request, APIRequestSpec& spec) {
    const json* body = objectMember(request, "body");
    const std::string* raw = body != nullptr ? textMember(*body, "raw") : nullptr;
    if (raw == nullptr || raw->empty()) {
        spec.bodyKind = RequestBodyKind::none;
        spec.bodyText.clear();
        return;
    }
    // Only an object counts as JSON: a raw array stays raw text.
    spec.bodyKind = tarn::text::trimmingWhitespaceAndNewlines(*raw).starts_with('{')
                        ? RequestBodyKind::json
                        : RequestBodyKind::rawText;
    spec.bodyText = *raw;
}

std::optional<APIRequestSpec> postmanRequest(const json& item) {
    const json* request = objectMember(item, "request");
    if (request == nullptr)
        return std::nullopt;
    std::optional<std::string> url = postmanURL(*request);
    if (!url)
        return std::nullopt;

    APIRequestSpec spec;
    const std::string* name = textMember(item, "name");
    spec.name = name != nullptr ? *name : std::string(postmanDefaultRequestName);
    spec.method = postmanMethod(*request);
    spec.url = std::move(*url);
    spec.headers = postmanHeaders(*request);
    applyPostmanBody(*request, spec);
    return spec;
}

// Depth-first in document order. A folder contributes its children only:
// neither its name nor a request it may also carry.
void collectPostmanItems(const json& items, std::vector<APIRequestSpec>& requests) {
    for (const json& item : items) {
        if (const json* children = arrayOfObjectsMember(item, "item")) {
            collectPostmanItems(*children, requests);
        } else if (std::optional<APIRequestSpec> request = postmanRequest(item)) {
            requests.push_back(std::move(*request));
        }
    }
}

std::optional<APIRequestCollection> parsePostmanV2(const json& document, const json& info) {
    const json* items = arrayOfObjectsMember(document, "item");
    if (items == nullptr)
        return std::nullopt;
    std::vector<APIRequestSpec> requests;
    collectPostmanItems(*items, requests);
    if (requests.empty())
        return std::nullopt;

    APIRequestCollection collection;
    const std::string* name = textMember(info, "name");
    collection.name = name != nullptr ? *name : std::string(postmanDefaultName);
    collection.requests = std::move(requests);
    return collection;
}

} // namespace

std::optional<APIRequestCollection> importCollection(std::string_view text) {
    if (tarn::json::nestsDeeperThan(text, maxNestingDepth))
        return std::nullopt;
    const std::optional<json> document = tarn::json::parse(text);
    if (!document || !document->is_object() || document->empty())
        return std::nullopt;

    if (hasKey(*document, "openapi") || hasKey(*document, "paths"))
        return parseOpenAPI3(*document);
    if (const json* info = objectMember(*document, "info"); info && hasKey(*document, "item"))
        return parsePostmanV2(*document, *info);
    return std::nullopt;
}

} // namespace quiller::SpecImporterEngine
