// OpenAPI and Postman import. Both readers take a key into account only when
// its value has the expected JSON type; any other type counts as absent.
#include "QuillerCore/Engine/SpecImporterEngine.h"

#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <array>
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

std::string openAPIBaseURL(const json& document) {
    const json* servers = arrayOfObjectsMember(document, "servers");
    if (servers == nullptr || servers->empty())
        return std::string(baseURLTemplate);
    const std::string* url = textMember(servers->front(), "url");
    if (url == nullptr)
        return std::string(baseURLTemplate);
    return std::string(trimmingSlashes(*url));
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
            request.url = baseURL + path;
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

std::optional<std::string> postmanURL(const json& request) {
    const json* url = member(request, "url");
    if (url == nullptr)
        return std::nullopt;
    if (url->is_string())
        return url->get<std::string>();
    if (const std::string* raw = url->is_object() ? textMember(*url, "raw") : nullptr)
        return *raw;
    return std::nullopt;
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
