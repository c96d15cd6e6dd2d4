// The working set a new user starts with, and the fallback when the workspace
// file cannot be read. Collection, request and environment identifiers are
// fixed so that they are the same in every run.

#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RuntimeRecords.h"

#include <stdexcept>

namespace quiller {
namespace {

tarn::UUID fixedID(std::string_view text) {
    const std::optional<tarn::UUID> id = tarn::UUID::fromString(text);
    if (!id)
        throw std::logic_error("malformed built-in identifier");
    return *id;
}

KeyValueRow header(std::string key, std::string value) {
    return KeyValueRow{.key = std::move(key), .value = std::move(value)};
}

KeyValueRow variable(std::string key, std::string value, bool isSecret) {
    return KeyValueRow{.key = std::move(key), .value = std::move(value), .isSecret = isSecret};
}

ResponseAssertionRule check(AssertionKind kind, std::string expectedValue) {
    return ResponseAssertionRule{.kind = kind, .expectedValue = std::move(expectedValue)};
}

constexpr const char* echoPayload = "{\n"
                                    "  \"suite\": \"Corvane\",\n"
                                    "  \"app\": \"Quiller\",\n"
                                    "  \"offlineFirst\": true\n"
                                    "}";

constexpr const char* healthBody = "{\n"
                                   "  \"status\": \"ok\",\n"
                                   "  \"server\": \"Quiller Local Mock\"\n"
                                   "}";

constexpr const char* echoRouteBody = "{\n"
                                      "  \"created\": true,\n"
                                      "  \"message\": \"Mocked by Quiller\"\n"
                                      "}";

std::vector<APIRequestCollection> buildStarterCollections() {
    // Each request starts from the creation defaults (no auth, "{}" variables,
    // no query rows) and replaces what it has its own values for.
    APIRequestSpec jsonGet{
        .id = fixedID("33333333-3333-4333-8333-333333333311"),
        .name = "HTTPBin JSON Get",
        .method = TarnHTTPMethod::get,
        .url = "{{baseUrl}}/json",
        .headers = {header("Accept", "application/json")},
        .bodyKind = RequestBodyKind::none,
        .assertions = {check(AssertionKind::statusEquals, "200"),
                       check(AssertionKind::maxLatencyMs, "2500")},
    };
    APIRequestSpec echoPost{
        .id = fixedID("33333333-3333-4333-8333-333333333312"),
        .name = "Echo POST Payload",
        .method = TarnHTTPMethod::post,
        .url = "{{baseUrl}}/post",
        .headers = {header("Content-Type", "application/json"), header("X-Client", "Quiller/1.0")},
        .bodyKind = RequestBodyKind::json,
        .bodyText = echoPayload,
        .assertions = {check(AssertionKind::statusEquals, "200")},
    };
    APIRequestSpec healthCheck{
        .id = fixedID("33333333-3333-4333-8333-333333333313"),
        .name = "Local Mock Health Check",
        .method = TarnHTTPMethod::get,
        .url = "http://127.0.0.1:8787/health",
        .headers = {header("Accept", "application/json")},
        .bodyKind = RequestBodyKind::none,
        .assertions = {check(AssertionKind::statusEquals, "200")},
    };
    return {APIRequestCollection{
        .id = fixedID("33333333-3333-4333-8333-333333333301"),
        .name = "Starter Samples",
        .requests = {std::move(jsonGet), std::move(echoPost), std::move(healthCheck)},
    }};
}

std::vector<APIEnvironmentProfile> buildDefaultEnvironments() {
    return {
        APIEnvironmentProfile{
            .id = fixedID("44444444-4444-4444-8444-444444444401"),
            .name = "Local & Sandbox",
            // A public echo service: GET /json answers JSON, POST /post echoes.
            .variables = {variable("baseUrl", "https://httpbin.org", false),
                          variable("apiToken", "", true)},
        },
        APIEnvironmentProfile{
            .id = fixedID("44444444-4444-4444-8444-444444444402"),
            .name = "Localhost 8787",
            .variables = {variable("baseUrl", "http://127.0.0.1:8787", false),
                          variable("apiToken", "quiller-sample1", true)},
        },
    };
}

std::vector<MockRouteRule> buildDefaultRoutes() {
    return {
        MockRouteRule{
            .method = "GET",
            .path = "/health",
            .statusCode = 200,
            .contentType = "application/json",
            .responseBody = healthBody,
            .isEnabled = true,
        },
        MockRouteRule{
            .method = "POST",
            .path = "/v1/echo",
            .statusCode = 201,
            .contentType = "application/json",
            .responseBody = echoRouteBody,
            .isEnabled = true,
        },
    };
}

} // namespace

// Function-local statics: built on first read under the language's thread-safe
// one-time initialisation, so the per-run identifiers stay stable for the run.

std::vector<APIRequestCollection> APIRequestCollection::starterCollections() {
    static const std::vector<APIRequestCollection> collections = buildStarterCollections();
    return collections;
}

std::vector<APIEnvironmentProfile> APIEnvironmentProfile::defaultEnvironments() {
    static const std::vector<APIEnvironmentProfile> environments = buildDefaultEnvironments();
    return environments;
}

std::vector<MockRouteRule> MockRouteRule::defaultRoutes() {
    static const std::vector<MockRouteRule> routes = buildDefaultRoutes();
    return routes;
}

} // namespace quiller
