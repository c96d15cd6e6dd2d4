#include "QuillerCore/Models/RequestModel.h"

#include "TarnKit/Platform/JSONCoding.h"

namespace quiller {
namespace {

using tarn::json::required;

constexpr TarnHTTPMethod methodCases[] = {
    TarnHTTPMethod::get,     TarnHTTPMethod::post, TarnHTTPMethod::put,     TarnHTTPMethod::patch,
    TarnHTTPMethod::delete_, TarnHTTPMethod::head, TarnHTTPMethod::options,
};
constexpr RequestBodyKind bodyKindCases[] = {
    RequestBodyKind::none,    RequestBodyKind::json,           RequestBodyKind::graphql,
    RequestBodyKind::rawText, RequestBodyKind::formURLEncoded,
};
constexpr RequestAuthKind authKindCases[] = {
    RequestAuthKind::none,
    RequestAuthKind::bearer,
    RequestAuthKind::basic,
    RequestAuthKind::apiKeyHeader,
};
constexpr AssertionKind assertionKindCases[] = {
    AssertionKind::statusEquals,
    AssertionKind::bodyContains,
    AssertionKind::jsonPathEquals,
    AssertionKind::maxLatencyMs,
};

template <class E> void writeEnum(nlohmann::json& json, E value) {
    json = std::string(rawValue(value));
}

template <class E> E readEnum(const nlohmann::json& json) {
    return tarn::json::decodeEnum<E>(json, [](std::string_view text) { return fromRaw<E>(text); });
}

} // namespace

std::string_view rawValue(TarnHTTPMethod method) {
    switch (method) {
    case TarnHTTPMethod::get:
        return "GET";
    case TarnHTTPMethod::post:
        return "POST";
    case TarnHTTPMethod::put:
        return "PUT";
    case TarnHTTPMethod::patch:
        return "PATCH";
    case TarnHTTPMethod::delete_:
        return "DELETE";
    case TarnHTTPMethod::head:
        return "HEAD";
    case TarnHTTPMethod::options:
        return "OPTIONS";
    }
    return {};
}

std::string_view rawValue(RequestBodyKind kind) {
    switch (kind) {
    case RequestBodyKind::none:
        return "none";
    case RequestBodyKind::json:
        return "json";
    case RequestBodyKind::graphql:
        return "graphql";
    case RequestBodyKind::rawText:
        return "rawText";
    case RequestBodyKind::formURLEncoded:
        return "formURLEncoded";
    }
    return {};
}

std::string_view rawValue(RequestAuthKind kind) {
    switch (kind) {
    case RequestAuthKind::none:
        return "none";
    case RequestAuthKind::bearer:
        return "bearer";
    case RequestAuthKind::basic:
        return "basic";
    case RequestAuthKind::apiKeyHeader:
        return "apiKeyHeader";
    }
    return {};
}

std::string_view rawValue(AssertionKind kind) {
    switch (kind) {
    case AssertionKind::statusEquals:
        return "statusEquals";
    case AssertionKind::bodyContains:
        return "bodyContains";
    case AssertionKind::jsonPathEquals:
        return "jsonPathEquals";
    case AssertionKind::maxLatencyMs:
        return "maxLatencyMs";
    }
    return {};
}

std::string_view label(RequestBodyKind kind) {
    switch (kind) {
    case RequestBodyKind::none:
        return "None";
    case RequestBodyKind::json:
        return "JSON";
    case RequestBodyKind::graphql:
        return "GraphQL";
    case RequestBodyKind::rawText:
        return "Raw Text";
    case RequestBodyKind::formURLEncoded:
        return "Form URL";
    }
    return {};
}

std::string_view label(RequestAuthKind kind) {
    switch (kind) {
    case RequestAuthKind::none:
        return "No Auth";
    case RequestAuthKind::bearer:
        return "Bearer Token";
    case RequestAuthKind::basic:
        return "Basic Auth";
    case RequestAuthKind::apiKeyHeader:
        return "API Key Header";
    }
    return {};
}

std::string_view label(AssertionKind kind) {
    switch (kind) {
    case AssertionKind::statusEquals:
        return "Status ==";
    case AssertionKind::bodyContains:
        return "Body contains";
    case AssertionKind::jsonPathEquals:
        return "JSONPath ==";
    case AssertionKind::maxLatencyMs:
        return "Latency <=";
    }
    return {};
}

template <> std::span<const TarnHTTPMethod> allCases<TarnHTTPMethod>() {
    return methodCases;
}
template <> std::span<const RequestBodyKind> allCases<RequestBodyKind>() {
    return bodyKindCases;
}
template <> std::span<const RequestAuthKind> allCases<RequestAuthKind>() {
    return authKindCases;
}
template <> std::span<const AssertionKind> allCases<AssertionKind>() {
    return assertionKindCases;
}

void to_json(nlohmann::json& json, TarnHTTPMethod value) {
    writeEnum(json, value);
}
void from_json(const nlohmann::json& json, TarnHTTPMethod& value) {
    value = readEnum<TarnHTTPMethod>(json);
}
void to_json(nlohmann::json& json, RequestBodyKind value) {
    writeEnum(json, value);
}
void from_json(const nlohmann::json& json, RequestBodyKind& value) {
    value = readEnum<RequestBodyKind>(json);
}
void to_json(nlohmann::json& json, RequestAuthKind value) {
    writeEnum(json, value);
}
void from_json(const nlohmann::json& json, RequestAuthKind& value) {
    value = readEnum<RequestAuthKind>(json);
}
void to_json(nlohmann::json& json, AssertionKind value) {
    writeEnum(json, value);
}
void from_json(const nlohmann::json& json, AssertionKind& value) {
    value = readEnum<AssertionKind>(json);
}

// Decoders build the whole record in one braced initialiser: its elements are
// evaluated left to right, so keys are read in the documented order and the
// first failure leaves the target untouched.

void to_json(nlohmann::json& json, const KeyValueRow& row) {
    json = nlohmann::json::object();
    json["id"] = row.id;
    json["key"] = row.key;
    json["value"] = row.value;
    json["isEnabled"] = row.isEnabled;
    json["isSecret"] = row.isSecret;
}

void from_json(const nlohmann::json& json, KeyValueRow& row) {
    tarn::json::expectObject(json);
    row = KeyValueRow{
        .id = required<tarn::UUID>(json, "id"),
        .key = required<std::string>(json, "key"),
        .value = required<std::string>(json, "value"),
        .isEnabled = required<bool>(json, "isEnabled"),
        .isSecret = required<bool>(json, "isSecret"),
    };
}

void to_json(nlohmann::json& json, const RequestAuthConfig& auth) {
    json = nlohmann::json::object();
    json["kind"] = auth.kind;
    json["bearerToken"] = auth.bearerToken;
    json["basicUsername"] = auth.basicUsername;
    json["basicPassword"] = auth.basicPassword;
    json["apiKeyHeaderName"] = auth.apiKeyHeaderName;
    json["apiKeyValue"] = auth.apiKeyValue;
}

void from_json(const nlohmann::json& json, RequestAuthConfig& auth) {
    tarn::json::expectObject(json);
    auth = RequestAuthConfig{
        .kind = required<RequestAuthKind>(json, "kind"),
        .bearerToken = required<std::string>(json, "bearerToken"),
        .basicUsername = required<std::string>(json, "basicUsername"),
        .basicPassword = required<std::string>(json, "basicPassword"),
        .apiKeyHeaderName = required<std::string>(json, "apiKeyHeaderName"),
        .apiKeyValue = required<std::string>(json, "apiKeyValue"),
    };
}

void to_json(nlohmann::json& json, const ResponseAssertionRule& rule) {
    json = nlohmann::json::object();
    json["id"] = rule.id;
    json["kind"] = rule.kind;
    json["targetPath"] = rule.targetPath;
    json["expectedValue"] = rule.expectedValue;
    json["isEnabled"] = rule.isEnabled;
}

void from_json(const nlohmann::json& json, ResponseAssertionRule& rule) {
    tarn::json::expectObject(json);
    rule = ResponseAssertionRule{
        .id = required<tarn::UUID>(json, "id"),
        .kind = required<AssertionKind>(json, "kind"),
        .targetPath = required<std::string>(json, "targetPath"),
        .expectedValue = required<std::string>(json, "expectedValue"),
        .isEnabled = required<bool>(json, "isEnabled"),
    };
}

void to_json(nlohmann::json& json, const APIRequestSpec& request) {
    json = nlohmann::json::object();
    json["id"] = request.id;
    json["name"] = request.name;
    json["method"] = request.method;
    json["url"] = request.url;
    json["queryParams"] = request.queryParams;
    json["headers"] = request.headers;
    json["auth"] = request.auth;
    json["bodyKind"] = request.bodyKind;
    json["bodyText"] = request.bodyText;
    json["graphQLVariables"] = request.graphQLVariables;
    json["assertions"] = request.assertions;
}

void from_json(const nlohmann::json& json, APIRequestSpec& request) {
    tarn::json::expectObject(json);
    request = APIRequestSpec{
        .id = required<tarn::UUID>(json, "id"),
        .name = required<std::string>(json, "name"),
        .method = required<TarnHTTPMethod>(json, "method"),
        .url = required<std::string>(json, "url"),
        .queryParams = required<std::vector<KeyValueRow>>(json, "queryParams"),
        .headers = required<std::vector<KeyValueRow>>(json, "headers"),
        .auth = required<RequestAuthConfig>(json, "auth"),
        .bodyKind = required<RequestBodyKind>(json, "bodyKind"),
        .bodyText = required<std::string>(json, "bodyText"),
        .graphQLVariables = required<std::string>(json, "graphQLVariables"),
        .assertions = required<std::vector<ResponseAssertionRule>>(json, "assertions"),
    };
}

void to_json(nlohmann::json& json, const APIRequestCollection& collection) {
    json = nlohmann::json::object();
    json["id"] = collection.id;
    json["name"] = collection.name;
    json["requests"] = collection.requests;
}

void from_json(const nlohmann::json& json, APIRequestCollection& collection) {
    tarn::json::expectObject(json);
    collection = APIRequestCollection{
        .id = required<tarn::UUID>(json, "id"),
        .name = required<std::string>(json, "name"),
        .requests = required<std::vector<APIRequestSpec>>(json, "requests"),
    };
}

void to_json(nlohmann::json& json, const APIEnvironmentProfile& environment) {
    json = nlohmann::json::object();
    json["id"] = environment.id;
    json["name"] = environment.name;
    json["variables"] = environment.variables;
}

void from_json(const nlohmann::json& json, APIEnvironmentProfile& environment) {
    tarn::json::expectObject(json);
    environment = APIEnvironmentProfile{
        .id = required<tarn::UUID>(json, "id"),
        .name = required<std::string>(json, "name"),
        .variables = required<std::vector<KeyValueRow>>(json, "variables"),
    };
}

} // namespace quiller
