#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "TarnKit/Platform/PlatformError.h"

#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quiller {
namespace {

using namespace std::literals;

KeyValueRow row(std::string key, std::string value, bool enabled = true) {
    return KeyValueRow{.key = std::move(key), .value = std::move(value), .isEnabled = enabled};
}

TEST(VariableMap, LastEnabledRowWinsAndDisabledOrEmptyKeysNeverCount) {
    APIEnvironmentProfile environment;
    environment.variables = {row("host", "a"),  row("host", "b"),  row("token", "t", false),
                             row("", "no key"), row(" ", "blank"), row("host", "c", false)};
    const VariableMap variables = EnvironmentTemplateEngine::variableMap(environment);
    EXPECT_EQ(variables, (VariableMap{{" ", "blank"}, {"host", "b"}}));
    EXPECT_TRUE(EnvironmentTemplateEngine::variableMap(std::nullopt).empty());
}

TEST(Interpolate, FillsKnownReferencesOnly) {
    const VariableMap variables{{"base", "https://x.test"}, {"id", "7"}, {"empty", ""}};
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"{{base}}/users/{{id}}", "https://x.test/users/7"},
        {"{{id}}{{id}}-{{id}}", "77-7"},
        {"{{ id }}", "{{ id }}"}, // blanks name another variable
        {"{{ID}}", "{{ID}}"},     // names are case-sensitive
        {"{{missing}}/{{id}}", "{{missing}}/7"},
        {"a{{empty}}b", "ab"},
        {"no templates }}", "no templates }}"},
        {"{{id}", "{{id}"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EnvironmentTemplateEngine::interpolate(c.text, variables), c.expected) << c.text;
}

TEST(Interpolate, AppliesEntriesOneAfterAnotherInNameOrder) {
    // "a" is applied before "b": a reference brought in by a's value is filled
    // by b, but one brought in by b's value is not filled again by a.
    const VariableMap variables{{"a", "{{b}}"}, {"b", "{{a}}!"}};
    EXPECT_EQ(EnvironmentTemplateEngine::interpolate("{{a}}", variables), "{{a}}!");
}

// --- Composition ---------------------------------------------------------------

const VariableMap kVariables{
    {"base", "https://api.test"}, {"id", "7"}, {"empty", ""}, {"token", "t0k"}, {"user", "alice"},
    {"term", "a+b&c=d #1/2"},
};

// A request with no rows of its own, so every case shows only what it sets.
APIRequestSpec request(std::string url) {
    APIRequestSpec spec;
    spec.url = std::move(url);
    spec.headers.clear();
    return spec;
}

RequestComposition compose(const APIRequestSpec& spec, const VariableMap& variables = kVariables) {
    return EnvironmentTemplateEngine::buildURLRequest(spec, variables);
}

TEST(BuildURLRequest, ReportsURLsThatCannotBeComposed) {
    const struct {
        std::string url;
        long code;
        std::string description;
    } cases[] = {
        {"{{baseURL}}/users", 1001, "Invalid URL: {{baseURL}}/users"},
        {" {{ base }}/users", 1001, "Invalid URL: {{ base }}/users"},
        {"{{base}}/search?q={{term}}", 1001, "Invalid URL: https://api.test/search?q=a+b&c=d #1/2"},
        {"{{base}}/caf\xc3\xa9", 1001, "Invalid URL: https://api.test/caf\xc3\xa9"},
        {"{{base}}/%zz", 1001, "Invalid URL: https://api.test/%zz"},
        {"", 1002, "Unable to compose URL from components."},
        {" \n\t ", 1002, "Unable to compose URL from components."},
        {"{{empty}}", 1002, "Unable to compose URL from components."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        try {
            compose(request(c.url));
            ADD_FAILURE() << "no error";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), "Quiller");
            EXPECT_EQ(error.code(), c.code);
            EXPECT_EQ(error.description(), c.description);
        }
    }
}

TEST(BuildURLRequest, FillsTheURLAndAppendsTheEnabledQueryRows) {
    const VariableMap variables{{"base", "https://api.test"},
                                {"term", "a+b&c=d #1/\xc3\xa9"},
                                {"empty", ""},
                                {"blankEnd", "https://api.test/x "}};
    const struct {
        std::string url;
        std::vector<KeyValueRow> rows;
        std::string expected;
    } cases[] = {
        // Trimmed before filling; unknown references stay and are encoded as typed.
        {" \n {{base}}/users\t", {}, "https://api.test/users"},
        {"{{base}}/s",
         {row("q", "{{term}}")},
         "https://api.test/s?q=a%2Bb%26c%3Dd%20%231%2F%C3%A9"},
        {"{{base}}/s", {row("q", "{{missing}}")}, "https://api.test/s?q=%7B%7Bmissing%7D%7D"},
        // The URL's own items come first; a repeated name adds a second item.
        {"{{base}}/s?a=0", {row("a", "1")}, "https://api.test/s?a=0&a=1"},
        // Selection tests the key as stored, before filling.
        {"{{base}}/s",
         {row("{{empty}}", "v"), row("", "skipped"), row("off", "x", false)},
         "https://api.test/s?=v"},
        // With no row selected the query stays exactly as typed.
        {"{{base}}/s?path=%2F&a+b&c=%2f#top",
         {row("", "x"), row("off", "x", false)},
         "https://api.test/s?path=%2F&a+b&c=%2f#top"},
        {"{{base}}/s?path=%2F#top", {row("n", "v")}, "https://api.test/s?path=%2F&n=v#top"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        APIRequestSpec spec = request(c.url);
        spec.queryParams = c.rows;
        const RequestComposition composition = compose(spec, variables);
        EXPECT_EQ(composition.resolvedURL, c.expected);
        EXPECT_EQ(composition.request.url, c.expected);
    }
    // A blank that a variable brings in is not trimmed away.
    EXPECT_THROW(compose(request("{{blankEnd}}"), variables), tarn::PlatformError);
}

TEST(BuildURLRequest, SetsMethodAndIdleTimeOut) {
    for (const TarnHTTPMethod method : allCases<TarnHTTPMethod>()) {
        APIRequestSpec spec = request("https://api.test/");
        spec.method = method;
        const ComposedRequest composed = compose(spec).request;
        EXPECT_EQ(composed.method, rawValue(method));
        EXPECT_EQ(composed.idleTimeout, 30s);
    }
}

TEST(BuildURLRequest, HeaderRowsThenAuthenticationLastOneWinsWhateverTheCase) {
    using Fields = std::vector<HTTPHeaderField>;
    auto auth = [](RequestAuthKind kind, std::string first = {}, std::string second = {}) {
        RequestAuthConfig config{.kind = kind};
        switch (kind) {
        case RequestAuthKind::bearer:
            config.bearerToken = std::move(first);
            break;
        case RequestAuthKind::basic:
            config.basicUsername = std::move(first);
            config.basicPassword = std::move(second);
            break;
        case RequestAuthKind::apiKeyHeader:
            config.apiKeyHeaderName = std::move(first);
            config.apiKeyValue = std::move(second);
            break;
        case RequestAuthKind::none:
            break;
        }
        return config;
    };
    const struct {
        const char* name;
        std::vector<KeyValueRow> rows;
        RequestAuthConfig auth;
        Fields expected;
    } cases[] = {
        {"rows differing in case leave one header with the later value",
         {row("X-Trace", "a"), row("Accept", "*/*"), row("x-trace", "b")},
         auth(RequestAuthKind::none),
         {{"x-trace", "b"}, {"Accept", "*/*"}}},
        {"disabled rows and empty stored keys never count",
         {row("X-Off", "1", false), row("", "no key"), row("X-Id", "{{id}}/{{missing}}")},
         auth(RequestAuthKind::none),
         {{"X-Id", "7/{{missing}}"}}},
        {"bearer replaces an Authorization row",
         {row("authorization", "Basic old")},
         auth(RequestAuthKind::bearer, "{{token}}"),
         {{"Authorization", "Bearer t0k"}}},
        {"an empty bearer token leaves the row in place",
         {row("Authorization", "Basic old")},
         auth(RequestAuthKind::bearer, "{{empty}}"),
         {{"Authorization", "Basic old"}}},
        {"basic with an empty password encodes the name and a colon",
         {},
         auth(RequestAuthKind::basic, "{{user}}", ""),
         {{"Authorization", "Basic YWxpY2U6"}}},
        {"basic with both fields empty still sends the encoded colon",
         {},
         auth(RequestAuthKind::basic),
         {{"Authorization", "Basic Og=="}}},
        {"basic with UTF-8 credentials",
         {},
         auth(RequestAuthKind::basic, "user", "p\xc3\xa4ss"),
         {{"Authorization", "Basic dXNlcjpww6Rzcw=="}}},
        {"an API key header replaces a row and may be empty",
         {row("x-api-key", "row")},
         auth(RequestAuthKind::apiKeyHeader, "X-API-Key", ""),
         {{"X-API-Key", ""}}},
        {"an empty API key header name adds nothing",
         {},
         auth(RequestAuthKind::apiKeyHeader, "{{empty}}", "secret"),
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        APIRequestSpec spec = request("https://api.test/");
        spec.headers = c.rows;
        spec.auth = c.auth;
        EXPECT_EQ(compose(spec).request.headers.fields(), c.expected);
    }
}

TEST(BuildURLRequest, FilledInHeadersCannotInjectOtherHeaders) {
    const VariableMap variables{{"badName", "X-A: 1\r\nX-B"},
                                {"blankName", "Bad Name"},
                                {"empty", ""},
                                {"split", "v\r\nSet-Cookie: s=1"},
                                {"nul", "a\0b"s}};
    APIRequestSpec spec = request("https://api.test/");
    spec.headers = {row("{{badName}}", "x"), row("{{blankName}}", "x"), row("{{empty}}", "x"),
                    row("X-Ok\n", "x"),      row("Caf\xc3\xa9", "x"),   row("X-Split", "{{split}}"),
                    row("X-Nul", "{{nul}}"), row("X-Tab", "a\tb")};
    spec.auth = RequestAuthConfig{.kind = RequestAuthKind::bearer, .bearerToken = "t\nX-Evil: 1"};
    EXPECT_EQ(compose(spec, variables).request.headers.fields(),
              (std::vector<HTTPHeaderField>{{"X-Split", "v  Set-Cookie: s=1"},
                                            {"X-Nul", "a b"},
                                            {"X-Tab", "a\tb"},
                                            {"Authorization", "Bearer t X-Evil: 1"}}));

    spec.headers.clear();
    spec.auth = RequestAuthConfig{
        .kind = RequestAuthKind::apiKeyHeader, .apiKeyHeaderName = "X-Key:", .apiKeyValue = "v"};
    EXPECT_TRUE(compose(spec, variables).request.headers.empty());
    spec.auth.apiKeyHeaderName = "X-Key";
    spec.auth.apiKeyValue = "{{split}}";
    EXPECT_EQ(compose(spec, variables).request.headers.value("x-key"), "v  Set-Cookie: s=1");
}

TEST(BuildURLRequest, BodiesAndTheirContentType) {
    const struct {
        const char* name;
        RequestBodyKind kind;
        std::string text;
        std::string graphQLVariables;
        std::vector<KeyValueRow> rows;
        std::optional<std::string> body;
        std::optional<std::string> contentType;
    } cases[] = {
        {"none sends nothing",
         RequestBodyKind::none,
         "{\"a\":1}",
         "{}",
         {},
         std::nullopt,
         std::nullopt},
        {"JSON is sent as typed",
         RequestBodyKind::json,
         "{\"id\": {{id}}, \"x\": {{missing}}",
         "",
         {},
         "{\"id\": 7, \"x\": {{missing}}",
         "application/json"},
        {"JSON keeps a content type row in any case",
         RequestBodyKind::json,
         "",
         "",
         {row("content-TYPE", "application/vnd.x+json")},
         "",
         "application/vnd.x+json"},
        {"GraphQL with an empty variables object",
         RequestBodyKind::graphql,
         "query { user(id: \"{{id}}\") { url } }",
         "{}",
         {},
         R"({"query":"query { user(id: \"7\") { url } }","variables":{}})",
         "application/json"},
        {"GraphQL variables are filled and parsed",
         RequestBodyKind::graphql,
         "q",
         R"([1, {"id": "{{id}}", "u": "a/b"}])",
         {},
         R"({"query":"q","variables":[1,{"id":"7","u":"a\/b"}]})",
         "application/json"},
        {"GraphQL without variables text",
         RequestBodyKind::graphql,
         "q",
         "",
         {},
         R"({"query":"q"})",
         "application/json"},
        {"GraphQL variables that are a bare number",
         RequestBodyKind::graphql,
         "q",
         "42",
         {},
         R"({"query":"q"})",
         "application/json"},
        {"GraphQL variables that are not JSON",
         RequestBodyKind::graphql,
         "q",
         "{\"a\":",
         {},
         R"({"query":"q"})",
         "application/json"},
        {"GraphQL replaces a content type row",
         RequestBodyKind::graphql,
         "q",
         "",
         {row("content-type", "text/plain")},
         R"({"query":"q"})",
         "application/json"},
        {"raw text adds no content type",
         RequestBodyKind::rawText,
         " a b&c\n",
         "",
         {},
         " a b&c\n",
         std::nullopt},
        {"form text is sent byte for byte",
         RequestBodyKind::formURLEncoded,
         "a=1 2&b=x+y&c=%2F&{{missing}}",
         "",
         {},
         "a=1 2&b=x+y&c=%2F&{{missing}}",
         "application/x-www-form-urlencoded"},
        {"form keeps a content type row",
         RequestBodyKind::formURLEncoded,
         "a=1",
         "",
         {row("Content-Type", "text/plain")},
         "a=1",
         "text/plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        APIRequestSpec spec = request("https://api.test/");
        spec.bodyKind = c.kind;
        spec.bodyText = c.text;
        spec.graphQLVariables = c.graphQLVariables;
        spec.headers = c.rows;
        const ComposedRequest composed = compose(spec).request;
        EXPECT_EQ(composed.body, c.body);
        EXPECT_EQ(composed.headers.value("Content-Type"), c.contentType);
        EXPECT_LE(composed.headers.size(), 1u);
    }
}

TEST(BuildURLRequest, GraphQLBodyThatCannotBeWrittenIsLeftOutButKeepsItsContentType) {
    // Variables nested to the parser's limit are read, but wrapping them in the
    // body object goes one level further than any JSON the suite writes.
    auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    APIRequestSpec spec = request("https://api.test/");
    spec.bodyKind = RequestBodyKind::graphql;
    spec.bodyText = "q";

    spec.graphQLVariables = nested(511);
    EXPECT_EQ(compose(spec).request.body, R"({"query":"q","variables":)" + nested(511) + "}");

    spec.graphQLVariables = nested(512);
    const ComposedRequest composed = compose(spec).request;
    EXPECT_EQ(composed.body, std::nullopt);
    EXPECT_EQ(composed.headers.value("content-type"), "application/json");
}

TEST(BuildURLRequest, ComposesIdenticallyFromManyThreads) {
    APIRequestSpec spec = request("{{base}}/users/{{id}}?sort=asc");
    spec.method = TarnHTTPMethod::post;
    spec.queryParams = {row("q", "{{term}}"), row("page", "2")};
    spec.headers = {row("Accept", "application/json"), row("X-User", "{{user}}")};
    spec.auth = RequestAuthConfig{
        .kind = RequestAuthKind::basic, .basicUsername = "{{user}}", .basicPassword = "{{token}}"};
    spec.bodyKind = RequestBodyKind::graphql;
    spec.bodyText = "query { user(id: {{id}}) { name } }";
    spec.graphQLVariables = R"({"id": "{{id}}", "tags": ["a", "b"]})";
    const RequestComposition expected = compose(spec);

    std::atomic<int> mismatches{0};
    {
        std::vector<std::jthread> threads;
        threads.reserve(24);
        for (int t = 0; t < 24; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 1000; ++i) {
                    if (compose(spec) != expected)
                        ++mismatches;
                }
            });
        }
    }
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(expected.resolvedURL,
              "https://api.test/users/7?sort=asc&q=a%2Bb%26c%3Dd%20%231%2F2&page=2");
}

// --- Secrets seen on the wire back to templates ------------------------------------

KeyValueRow secretRow(std::string key, std::string value, bool enabled = true) {
    return KeyValueRow{
        .key = std::move(key), .value = std::move(value), .isEnabled = enabled, .isSecret = true};
}

TEST(SecretVariables, ComeFromEveryEnvironmentTheActiveOneFirst) {
    APIEnvironmentProfile staging;
    staging.variables = {secretRow("token", "staging-token"), row("host", "plain"),
                         secretRow("", "keyless"), secretRow("empty", "")};
    APIEnvironmentProfile production;
    production.variables = {secretRow("apiKey", "shared-value"),
                            secretRow("off", "disabled-secret", false)};
    staging.variables.push_back(secretRow("sameValue", "shared-value"));

    using Secret = EnvironmentTemplateEngine::SecretVariable;
    EXPECT_EQ(EnvironmentTemplateEngine::secretVariables({staging, production}, production.id),
              (std::vector<Secret>{{"apiKey", "shared-value"},
                                   {"off", "disabled-secret"},
                                   {"token", "staging-token"},
                                   {"sameValue", "shared-value"}}));
    EXPECT_EQ(EnvironmentTemplateEngine::secretVariables({staging}, std::nullopt).size(), 2u);
}

// What a capture of a sent request holds, and the request it must become: the
// secrets back as templates, nothing of them left in any form.
TEST(RestoringSecretTemplates, TurnsEverySecretBackIntoItsTemplate) {
    const std::vector<EnvironmentTemplateEngine::SecretVariable> secrets = {
        {"token", "t0k3n+/="}, {"seg", "p@th"}, {"pass", "b4sic pass"}, {"ab", "ab"}};

    APIRequestSpec captured;
    captured.name = "Replay GET /items/p@th";
    captured.url = "http://127.0.0.1:8787/items/p%40th?page=2&key=t0k3n%2B%2F%3D&ab=1#top";
    captured.headers = {row("X-Token", "t0k3n+/="), row("Authorization", "Bearer t0k3n+/="),
                        row("Accept", "application/json")};
    captured.bodyKind = RequestBodyKind::json;
    captured.bodyText = R"({"pass":"b4sic pass","about":"ab"})";

    const APIRequestSpec restored =
        EnvironmentTemplateEngine::restoringSecretTemplates(captured, secrets);
    EXPECT_EQ(restored.id, captured.id);
    EXPECT_EQ(restored.name, "Replay GET /items/{{seg}}");
    // The query item leaves for a row, which is encoded again when sent;
    // values under three bytes stay as they are.
    EXPECT_EQ(restored.url, "http://127.0.0.1:8787/items/{{seg}}?page=2&ab=1#top");
    ASSERT_EQ(restored.queryParams.size(), 1u);
    EXPECT_EQ(restored.queryParams[0].key, "key");
    EXPECT_EQ(restored.queryParams[0].value, "{{token}}");
    EXPECT_TRUE(restored.queryParams[0].isEnabled);
    ASSERT_EQ(restored.headers.size(), 3u);
    EXPECT_EQ(restored.headers[0].value, "{{token}}");
    EXPECT_EQ(restored.headers[1].value, "Bearer {{token}}");
    EXPECT_EQ(restored.headers[2].value, "application/json");
    EXPECT_EQ(restored.bodyText, R"({"pass":"{{pass}}","about":"ab"})");

    // Filled in again, it sends what was captured.
    const VariableMap variables{{"token", "t0k3n+/="}, {"seg", "p@th"}, {"pass", "b4sic pass"}};
    const RequestComposition composed =
        EnvironmentTemplateEngine::buildURLRequest(restored, variables);
    EXPECT_EQ(composed.resolvedURL,
              "http://127.0.0.1:8787/items/p@th?page=2&ab=1&key=t0k3n%2B%2F%3D#top");
}

TEST(RestoringSecretTemplates, BasicCredentialsHoldingASecretBecomeBasicAuthentication) {
    const std::vector<EnvironmentTemplateEngine::SecretVariable> secrets = {
        {"password", "s3cret:pw"}};
    const struct {
        const char* name;
        const char* header;
        bool becomesAuthentication;
    } cases[] = {
        // "alice:s3cret:pw": the password keeps its own colon.
        {"the password is a secret", "Basic YWxpY2U6czNjcmV0OnB3", true},
        {"any case and blanks", "  bAsIc   YWxpY2U6czNjcmV0OnB3 ", true},
        {"no secret inside", "Basic YWxpY2U6b3RoZXI=", false}, // alice:other
        {"not Base64", "Basic not*base64", false},
        {"another scheme", "Bearer YWxpY2U6czNjcmV0OnB3", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        APIRequestSpec captured;
        captured.headers = {row("authorization", c.header), row("Accept", "*/*")};
        const APIRequestSpec restored =
            EnvironmentTemplateEngine::restoringSecretTemplates(captured, secrets);
        if (c.becomesAuthentication) {
            EXPECT_EQ(restored.auth.kind, RequestAuthKind::basic);
            EXPECT_EQ(restored.auth.basicUsername, "alice");
            EXPECT_EQ(restored.auth.basicPassword, "{{password}}");
            ASSERT_EQ(restored.headers.size(), 1u);
            EXPECT_EQ(restored.headers[0].key, "Accept");
        } else {
            EXPECT_EQ(restored.auth.kind, RequestAuthKind::none);
            EXPECT_EQ(restored.headers, captured.headers);
        }
    }
}

} // namespace
} // namespace quiller
