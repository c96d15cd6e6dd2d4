#pragma once

// What the user composes: requests with their rows, authentication and
// assertions, collections of requests, and environments of variables.
//
// Plain values with no locks: copy them freely between threads. Every field
// has an initialiser, so designated initialisers may name only the fields they
// set and the rest take the creation defaults below.

#include "QuillerCore/Models/Enumeration.h"
#include "TarnKit/Platform/UUID.h"

#include <nlohmann/json_fwd.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

enum class TarnHTTPMethod { get, post, put, patch, delete_, head, options };
enum class RequestBodyKind { none, json, graphql, rawText, formURLEncoded };
enum class RequestAuthKind { none, bearer, basic, apiKeyHeader };
enum class AssertionKind { statusEquals, bodyContains, jsonPathEquals, maxLatencyMs };

// The stored text: "GET" ... "OPTIONS" for methods, the case name otherwise.
std::string_view rawValue(TarnHTTPMethod method);
std::string_view rawValue(RequestBodyKind kind);
std::string_view rawValue(RequestAuthKind kind);
std::string_view rawValue(AssertionKind kind);

// Fixed English display texts; they never pass through localisation.
std::string_view label(RequestBodyKind kind);
std::string_view label(RequestAuthKind kind);
std::string_view label(AssertionKind kind);

template <> std::span<const TarnHTTPMethod> allCases<TarnHTTPMethod>();
template <> std::span<const RequestBodyKind> allCases<RequestBodyKind>();
template <> std::span<const RequestAuthKind> allCases<RequestAuthKind>();
template <> std::span<const AssertionKind> allCases<AssertionKind>();

struct KeyValueRow {
    tarn::UUID id = tarn::UUID::random();
    std::string key{};
    std::string value{};
    bool isEnabled = true;
    bool isSecret = false;

    friend bool operator==(const KeyValueRow&, const KeyValueRow&) = default;
};

// The default value is "no authentication"; the other fields are kept whatever
// the kind, so switching kinds loses nothing.
struct RequestAuthConfig {
    RequestAuthKind kind = RequestAuthKind::none;
    std::string bearerToken{};
    std::string basicUsername{};
    std::string basicPassword{};
    std::string apiKeyHeaderName = "X-API-Key";
    std::string apiKeyValue{};

    friend bool operator==(const RequestAuthConfig&, const RequestAuthConfig&) = default;
};

struct ResponseAssertionRule {
    tarn::UUID id = tarn::UUID::random();
    AssertionKind kind = AssertionKind::statusEquals;
    std::string targetPath{};
    std::string expectedValue{};
    bool isEnabled = true;

    friend bool operator==(const ResponseAssertionRule&, const ResponseAssertionRule&) = default;
};

// A default-constructed request is what "new request" makes: an "Accept:
// application/json" row, no authentication, GraphQL variables "{}" and one
// status check for 200, each row and rule with a fresh identifier.
struct APIRequestSpec {
    tarn::UUID id = tarn::UUID::random();
    std::string name{};
    TarnHTTPMethod method = TarnHTTPMethod::get;
    std::string url{};
    std::vector<KeyValueRow> queryParams{};
    std::vector<KeyValueRow> headers = {KeyValueRow{.key = "Accept", .value = "application/json"}};
    RequestAuthConfig auth{};
    RequestBodyKind bodyKind = RequestBodyKind::none;
    std::string bodyText{};
    std::string graphQLVariables = "{}";
    std::vector<ResponseAssertionRule> assertions = {
        ResponseAssertionRule{.kind = AssertionKind::statusEquals, .expectedValue = "200"}};

    friend bool operator==(const APIRequestSpec&, const APIRequestSpec&) = default;
};

struct APIRequestCollection {
    tarn::UUID id = tarn::UUID::random();
    std::string name{};
    std::vector<APIRequestSpec> requests{};

    // The built-in sample collection, built once per process: fixed
    // identifiers for the collection and its requests, per-run ones for their
    // rows and rules. Any thread.
    static std::vector<APIRequestCollection> starterCollections();

    friend bool operator==(const APIRequestCollection&, const APIRequestCollection&) = default;
};

struct APIEnvironmentProfile {
    tarn::UUID id = tarn::UUID::random();
    std::string name{};
    std::vector<KeyValueRow> variables{};

    // The two built-in environments, built once per process. Any thread.
    static std::vector<APIEnvironmentProfile> defaultEnvironments();

    friend bool operator==(const APIEnvironmentProfile&, const APIEnvironmentProfile&) = default;
};

// JSON form: an object keyed by field name with every key present; decoding is
// strict (tarn::json::DecodingError) and ignores keys it does not know.
// Enumerations are their raw value as a JSON string.
void to_json(nlohmann::json& json, TarnHTTPMethod value);
void from_json(const nlohmann::json& json, TarnHTTPMethod& value);
void to_json(nlohmann::json& json, RequestBodyKind value);
void from_json(const nlohmann::json& json, RequestBodyKind& value);
void to_json(nlohmann::json& json, RequestAuthKind value);
void from_json(const nlohmann::json& json, RequestAuthKind& value);
void to_json(nlohmann::json& json, AssertionKind value);
void from_json(const nlohmann::json& json, AssertionKind& value);

void to_json(nlohmann::json& json, const KeyValueRow& row);
void from_json(const nlohmann::json& json, KeyValueRow& row);
void to_json(nlohmann::json& json, const RequestAuthConfig& auth);
void from_json(const nlohmann::json& json, RequestAuthConfig& auth);
void to_json(nlohmann::json& json, const ResponseAssertionRule& rule);
void from_json(const nlohmann::json& json, ResponseAssertionRule& rule);
void to_json(nlohmann::json& json, const APIRequestSpec& request);
void from_json(const nlohmann::json& json, APIRequestSpec& request);
void to_json(nlohmann::json& json, const APIRequestCollection& collection);
void from_json(const nlohmann::json& json, APIRequestCollection& collection);
void to_json(nlohmann::json& json, const APIEnvironmentProfile& environment);
void from_json(const nlohmann::json& json, APIEnvironmentProfile& environment);

} // namespace quiller
