#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"

#include "TarnKit/Platform/Base64.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <nlohmann/json.hpp>

namespace quiller::EnvironmentTemplateEngine {
namespace {

constexpr std::string_view kErrorDomain = "Quiller";
constexpr std::string_view kInvalidURLPrefix = "Invalid URL: ";
constexpr std::string_view kUnableToComposeURL = "Unable to compose URL from components.";
constexpr std::string_view kContentType = "Content-Type";
constexpr std::string_view kJSONContentType = "application/json";
constexpr std::string_view kFormContentType = "application/x-www-form-urlencoded";

// Emptiness is judged on the key as stored: a key that is only a reference to
// an empty variable still counts.
bool isSelected(const KeyValueRow& row) {
    return row.isEnabled && !row.key.empty();
}

void applyAuthentication(const RequestAuthConfig& auth, const VariableMap& variables,
                         HTTPHeaderFields& headers) {
    switch (auth.kind) {
    case RequestAuthKind::none:
        return;
    case RequestAuthKind::bearer: {
        const std::string token = interpolate(auth.bearerToken, variables);
        if (!token.empty())
            headers.set("Authorization", "Bearer " + token);
        return;
    }
    case RequestAuthKind::basic: {
        const std::string credentials = interpolate(auth.basicUsername, variables) + ":" +
                                        interpolate(auth.basicPassword, variables);
        headers.set("Authorization", "Basic " + tarn::base64::encode(credentials));
        return;
    }
    case RequestAuthKind::apiKeyHeader: {
        const std::string name = interpolate(auth.apiKeyHeaderName, variables);
        if (!name.empty())
            headers.set(name, interpolate(auth.apiKeyValue, variables));
        return;
    }
    }
}

// {"query": ..., "variables": ...}; "variables" only when its text is a JSON
// object or array. Absent when the document cannot be written (variables
// nested to the very limit of the writer): the request then goes without a
// body rather than with a truncated one.
std::optional<std::string> graphQLBody(const APIRequestSpec& spec, const VariableMap& variables) {
    nlohmann::json document = nlohmann::json::object();
    document["query"] = interpolate(spec.bodyText, variables);
    if (auto parsed = tarn::json::parse(interpolate(spec.graphQLVariables, variables));
        parsed && (parsed->is_object() || parsed->is_array()))
        document["variables"] = std::move(*parsed);
    try {
        return tarn::json::compact(document);
    } catch (const tarn::json::NestingTooDeep&) {
        return std::nullopt;
    }
}

void applyBody(const APIRequestSpec& spec, const VariableMap& variables, ComposedRequest& request) {
    ComposedBody composed = composeBody(spec, variables);
    request.body = std::move(composed.body);
    if (!composed.contentType.empty() &&
        (composed.replacesGivenContentType || !request.headers.contains(kContentType)))
        request.headers.set(kContentType, composed.contentType);
}

} // namespace

VariableMap variableMap(const APIEnvironmentProfile* environment) {
    VariableMap variables;
    if (environment == nullptr)
        return variables;
    for (const KeyValueRow& row : environment->variables) {
        if (!row.isEnabled || row.key.empty())
            continue;
        variables.insert_or_assign(row.key, row.value);
    }
    return variables;
}

VariableMap variableMap(const std::optional<APIEnvironmentProfile>& environment) {
    return variableMap(environment ? &*environment : nullptr);
}

std::string interpolate(std::string_view text, const VariableMap& variables) {
    std::string result(text);
    if (result.find("{{") == std::string::npos)
        return result;

    std::string pattern;
    std::string replaced;
    for (const auto& [name, value] : variables) {
        pattern.assign("{{").append(name).append("}}");
        std::size_t found = result.find(pattern);
        if (found == std::string::npos)
            continue;
        // One left-to-right pass per entry, building the new text once rather
        // than shifting the tail on every replacement.
        replaced.clear();
        std::size_t copiedUpTo = 0;
        while (found != std::string::npos) {
            replaced.append(result, copiedUpTo, found - copiedUpTo).append(value);
            copiedUpTo = found + pattern.size();
            found = result.find(pattern, copiedUpTo);
        }
        replaced.append(result, copiedUpTo, std::string::npos);
        result.swap(replaced);
    }
    return result;
}

ComposedBody composeBody(const APIRequestSpec& spec, const VariableMap& variables) {
    switch (spec.bodyKind) {
    case RequestBodyKind::none:
        return {};
    case RequestBodyKind::json:
        return {interpolate(spec.bodyText, variables), kJSONContentType, false};
    case RequestBodyKind::graphql:
        return {graphQLBody(spec, variables), kJSONContentType, true};
    case RequestBodyKind::rawText:
        return {interpolate(spec.bodyText, variables), {}, false};
    case RequestBodyKind::formURLEncoded:
        return {interpolate(spec.bodyText, variables), kFormContentType, false};
    }
    return {};
}

RequestComposition buildURLRequest(const APIRequestSpec& spec, const VariableMap& variables) {
    // Trimmed before filling only: blanks a variable brings in stay, and make
    // the URL invalid rather than being silently dropped.
    const std::string urlText =
        interpolate(tarn::text::trimmingWhitespaceAndNewlines(spec.url), variables);
    std::optional<tarn::URLComponents> components = tarn::URLComponents::parse(urlText);
    if (!components)
        throw tarn::PlatformError(std::string(kErrorDomain), invalidURLErrorCode,
                                  std::string(kInvalidURLPrefix) + urlText);

    for (const KeyValueRow& row : spec.queryParams) {
        if (isSelected(row))
            components->appendQueryItem(interpolate(row.key, variables),
                                        interpolate(row.value, variables));
    }
    std::optional<std::string> url = components->string();
    if (!url)
        throw tarn::PlatformError(std::string(kErrorDomain), unableToComposeURLErrorCode,
                                  std::string(kUnableToComposeURL));

    RequestComposition composition;
    ComposedRequest& request = composition.request;
    request.url = *url;
    request.method = rawValue(spec.method);
    for (const KeyValueRow& row : spec.headers) {
        // A filled-in name that is no HTTP token is dropped by set().
        if (isSelected(row))
            request.headers.set(interpolate(row.key, variables), interpolate(row.value, variables));
    }
    // After the rows, so that authentication replaces a row of the same name.
    applyAuthentication(spec.auth, variables, request.headers);
    applyBody(spec, variables, request);
    composition.resolvedURL = std::move(*url);
    return composition;
}

} // namespace quiller::EnvironmentTemplateEngine
