#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quiller {
namespace {

using namespace std::chrono;
constexpr std::string_view kPlaceholder = RequestHistoryEngine::redactedPlaceholder;

KeyValueRow row(std::string key, std::string value, bool enabled = true, bool secret = false) {
    return KeyValueRow{
        .key = std::move(key), .value = std::move(value), .isEnabled = enabled, .isSecret = secret};
}

// A request with no rows of its own, so every case shows only what it sets.
APIRequestSpec request(std::vector<KeyValueRow> headers = {}, RequestAuthConfig auth = {}) {
    APIRequestSpec spec;
    spec.name = "Users";
    spec.url = "https://api.test/users";
    spec.headers = std::move(headers);
    spec.auth = std::move(auth);
    return spec;
}

HTTPResponseSnapshot response(std::string body = "{}", int status = 200) {
    HTTPResponseSnapshot snapshot;
    snapshot.resolvedURL = "https://api.test/users";
    snapshot.statusCode = status;
    snapshot.bodyData = body;
    snapshot.bodyText = std::move(body);
    snapshot.timing.totalMs = 12.75;
    snapshot.receivedAt = system_clock::time_point(seconds(1'800'000'000));
    return snapshot;
}

// Header rows as (key, value, secret) with ids and the always-true enabled
// flag left out, for comparing against tables.
struct Header {
    std::string key;
    std::string value;
    bool secret;
    friend bool operator==(const Header&, const Header&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Header& h) {
        return out << h.key << ": " << h.value << (h.secret ? " (secret)" : "");
    }
};

std::vector<Header> headersOf(const RequestHistoryEntry& entry) {
    std::vector<Header> headers;
    for (const KeyValueRow& r : entry.requestSnapshot.headers) {
        EXPECT_TRUE(r.isEnabled) << r.key;
        headers.push_back({r.key, r.value, r.isSecret});
    }
    return headers;
}

std::vector<Header> snapshotHeaders(const APIRequestSpec& spec, const VariableMap& variables = {}) {
    return headersOf(RequestHistoryEngine::makeEntry(spec, response(), variables, {}));
}

const std::string kRedacted(kPlaceholder);

TEST(RedactHeaders, ReplacesSecretAndSensitiveRowsOnly) {
    const std::vector<KeyValueRow> rows = {
        row("X-Custom-Token", "t"),        row("Cookie", "c", false),
        row("Proxy-Authorization", "p"),   row("Accept", "application/json"),
        row("Content-Type", "text/plain"), row("X-Tenant", "acme", true, true),
    };
    const std::vector<KeyValueRow> redacted = RequestHistoryEngine::redactHeaders(rows);
    ASSERT_EQ(redacted.size(), rows.size());
    const bool expectRedacted[] = {true, true, true, false, false, true};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].key);
        EXPECT_EQ(redacted[i].id, rows[i].id);
        EXPECT_EQ(redacted[i].key, rows[i].key);
        EXPECT_EQ(redacted[i].isEnabled, rows[i].isEnabled);
        EXPECT_EQ(redacted[i].value, expectRedacted[i] ? kRedacted : rows[i].value);
        EXPECT_EQ(redacted[i].isSecret, expectRedacted[i]);
    }
}

TEST(SnapshotHeaders, TakeEnabledRowsFilledInAndStandInForAuthentication) {
    const VariableMap variables{{"authName", "Authorization"}, {"lang", "de"}, {"keyName", ""}};
    const struct {
        const char* name;
        APIRequestSpec spec;
        std::vector<Header> expected;
    } cases[] = {
        {"disabled rows and empty keys are left out",
         request({row("Accept", "application/json"), row("X-Off", "1", false), row("", "orphan"),
                  row("Accept-Language", "{{lang}}")}),
         {{"Accept", "application/json", false}, {"Accept-Language", "de", false}}},
        {"a key is tested after filling in",
         request({row("{{authName}}", "Bearer abc")}),
         {{"Authorization", kRedacted, true}}},
        {"bearer adds a stand-in row",
         request({row("Accept", "*/*")}, {.kind = RequestAuthKind::bearer, .bearerToken = "abc"}),
         {{"Accept", "*/*", false}, {"Authorization", kRedacted, true}}},
        {"bearer with its own row gets no second one",
         request({row("authorization", "Bearer x")}, {.kind = RequestAuthKind::bearer}),
         {{"authorization", kRedacted, true}}},
        {"basic counts a filled-in authorization key too",
         request({row("{{authName}}", "Basic x")},
                 {.kind = RequestAuthKind::basic, .basicUsername = "u", .basicPassword = "p"}),
         {{"Authorization", kRedacted, true}}},
        {"API key under its own name",
         request({}, {.kind = RequestAuthKind::apiKeyHeader,
                      .apiKeyHeaderName = "X-Service-{{lang}}",
                      .apiKeyValue = "k"}),
         {{"X-Service-de", kRedacted, true}}},
        {"API key already among the rows in another case",
         request({row("x-api-key", "k")},
                 {.kind = RequestAuthKind::apiKeyHeader, .apiKeyHeaderName = "X-API-Key"}),
         {{"x-api-key", kRedacted, true}}},
        {"API key with an empty name adds nothing",
         request({}, {.kind = RequestAuthKind::apiKeyHeader, .apiKeyHeaderName = "{{keyName}}"}),
         {}},
        {"a secret row keeps its key but not its value",
         request({row("X-Tenant", "acme", true, true)}),
         {{"X-Tenant", kRedacted, true}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(snapshotHeaders(c.spec, variables), c.expected) << c.name;
}

TEST(SnapshotHeaders, RowsGetFreshIdentifiers) {
    const APIRequestSpec spec = request({row("Accept", "a")});
    const RequestHistoryEntry entry = RequestHistoryEngine::makeEntry(spec, response(), {}, {});
    ASSERT_EQ(entry.requestSnapshot.headers.size(), 1u);
    EXPECT_NE(entry.requestSnapshot.headers[0].id, spec.headers[0].id);
}

TEST(MakeEntry, FillsTheEntryFromRequestAndResponse) {
    APIRequestSpec spec = request({row("Accept", "application/json")});
    spec.method = TarnHTTPMethod::post;
    spec.bodyKind = RequestBodyKind::graphql;
    spec.bodyText = "query { me { id } }";
    spec.graphQLVariables = "{\"id\": \"{{id}}\"}";
    HTTPResponseSnapshot snapshot = response("{\"ok\":true}", 201);
    snapshot.resolvedURL = "https://bob:pw@api.test/users?api_key=1&page=2";
    snapshot.bodyData = "{\"ok\": true}"; // the size counts bytes received, not the text

    const RequestHistoryEntry entry = RequestHistoryEngine::makeEntry(spec, snapshot, {}, {});
    EXPECT_EQ(entry.timestamp, snapshot.receivedAt);
    EXPECT_EQ(entry.requestName, "Users");
    EXPECT_EQ(entry.method, TarnHTTPMethod::post);
    EXPECT_EQ(entry.sanitizedURL, "https://bob@api.test/users?page=2");
    EXPECT_EQ(entry.statusCode, 201);
    EXPECT_EQ(entry.durationMs, 12.75);
    EXPECT_EQ(entry.responseBytes, 12);
    EXPECT_EQ(entry.responseSnippet, "{\"ok\":true}");
    EXPECT_FALSE(entry.errorMessage);
    EXPECT_EQ(entry.sourceRequestID, spec.id);
    EXPECT_EQ(entry.requestSnapshot.url, entry.sanitizedURL);
    EXPECT_EQ(entry.requestSnapshot.method, TarnHTTPMethod::post);
    EXPECT_EQ(entry.requestSnapshot.bodyKind, RequestBodyKind::graphql);
    EXPECT_EQ(entry.requestSnapshot.bodyText, spec.bodyText);
    EXPECT_EQ(entry.requestSnapshot.graphQLVariables, spec.graphQLVariables); // not filled in
    EXPECT_TRUE(entry.isSuccessStatus());
    EXPECT_FALSE(entry.isNetworkError());
    EXPECT_NE(RequestHistoryEngine::makeEntry(spec, snapshot, {}, {}).id, entry.id);
}

TEST(MakeEntry, NoSecretReachesTheStoredEntry) {
    APIEnvironmentProfile environment;
    environment.variables = {
        row("base", "https://api.test"),
        row("apiKey", "k3y+v/al", true, true), // encoded as k3y%2Bv%2Fal in a query row
        row("apiSecret", "tenant-s3cret", true, true),
        row("token", "bearer-t0ken", true, true),
        row("authName", "Authorization"),
        row("retired", "old-s3cret", false, true), // disabled, typed by hand below
        row("empty", "", true, true),              // must not redact everything
    };
    const VariableMap variables = EnvironmentTemplateEngine::variableMap(environment);
    const SecretValues secrets = RequestHistoryEngine::secretValues(environment);

    APIRequestSpec spec =
        request({row("X-Tenant", "{{apiSecret}}"), row("{{authName}}", "Token {{token}}"),
                 row("authorization", "Bearer {{token}}"),
                 row("X-Note", "id-{{apiSecret}}-old-s3cret"), row("Accept", "application/json")},
                {.kind = RequestAuthKind::bearer, .bearerToken = "{{token}}"});
    spec.url = "{{base}}/v1/{{apiSecret}}?key={{apiKey}}";
    spec.queryParams = {row("filter", "{{apiKey}}"), row("page", "2")};
    spec.bodyText = "{\"literal\": \"tenant-s3cret\", \"templated\": \"{{apiSecret}}\"}";
    HTTPResponseSnapshot snapshot = response("echo: Bearer bearer-t0ken tenant-s3cret");
    snapshot.resolvedURL = EnvironmentTemplateEngine::buildURLRequest(spec, variables).resolvedURL;
    ASSERT_NE(snapshot.resolvedURL.find("k3y%2Bv%2Fal"), std::string::npos);

    const RequestHistoryEntry entry =
        RequestHistoryEngine::makeEntry(spec, snapshot, variables, secrets);
    const std::string stored = nlohmann::json(entry).dump();
    for (const char* secret :
         {"k3y+v/al", "k3y%2Bv%2Fal", "k3y+v\\/al", "tenant-s3cret", "bearer-t0ken", "old-s3cret"})
        EXPECT_EQ(stored.find(secret), std::string::npos) << secret << " in " << stored;

    EXPECT_EQ(entry.sanitizedURL, "https://api.test/v1/" + kRedacted + "?key=" + kRedacted +
                                      "&filter=" + kRedacted + "&page=2");
    EXPECT_EQ(headersOf(entry), (std::vector<Header>{{"X-Tenant", kRedacted, true},
                                                     {"Authorization", kRedacted, true},
                                                     {"authorization", kRedacted, true},
                                                     {"X-Note", kRedacted, true},
                                                     {"Accept", "application/json", false}}));
    EXPECT_EQ(entry.requestSnapshot.bodyText,
              "{\"literal\": \"" + kRedacted + "\", \"templated\": \"{{apiSecret}}\"}");
    EXPECT_EQ(entry.responseSnippet, "echo: Bearer " + kRedacted + " " + kRedacted);

    const RequestHistoryEntry failed = RequestHistoryEngine::makeErrorEntry(
        spec, snapshot.resolvedURL, 3, "Invalid URL: " + snapshot.resolvedURL, variables, secrets);
    const std::string storedError = nlohmann::json(failed).dump();
    for (const char* secret : {"k3y%2Bv%2Fal", "tenant-s3cret"})
        EXPECT_EQ(storedError.find(secret), std::string::npos) << secret << " in " << storedError;
}

TEST(MakeEntry, SecretsAreReplacedWholeLongestFirst) {
    const struct {
        const char* name;
        SecretValues secrets;
        const char* text;
        std::string expected;
    } cases[] = {
        {"no secrets", {}, "a-b-c", "a-b-c"},
        {"empty values are ignored", {"", ""}, "a-b-c", "a-b-c"},
        {"every occurrence", {"b"}, "abcb", "a" + kRedacted + "c" + kRedacted},
        {"a secret inside a longer one",
         {"abc", "abcdef"},
         "xabcdefy-abc",
         "x" + kRedacted + "y-" + kRedacted},
        {"overlapping: the earlier start wins", {"abcd", "cdef"}, "abcdef", kRedacted + "ef"},
        {"adjacent", {"ab"}, "abab", kRedacted + kRedacted},
    };
    for (const auto& c : cases) {
        const RequestHistoryEntry entry =
            RequestHistoryEngine::makeEntry(request(), response(c.text), {}, c.secrets);
        EXPECT_EQ(entry.responseSnippet, c.expected) << c.name;
    }
}

std::string repeated(std::string_view piece, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text.append(piece);
    return text;
}

TEST(MakeEntry, CutsSnippetAndBodyByCharactersNotBytes) {
    const struct {
        const char* name;
        std::string character;
    } cases[] = {
        {"ASCII", "a"},
        {"two-byte letter", "\u00E9"},
        {"letter with combining marks", "e\u0301\u0323"},
        {"family emoji sequence", "\U0001F468\u200D\U0001F469\u200D\U0001F467"},
        {"flag", "\U0001F1E9\U0001F1EA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        APIRequestSpec spec = request();
        spec.bodyText = repeated(c.character, 9000);
        const RequestHistoryEntry entry =
            RequestHistoryEngine::makeEntry(spec, response(repeated(c.character, 1000)), {}, {});
        EXPECT_EQ(entry.responseSnippet, repeated(c.character, 400));
        EXPECT_EQ(entry.requestSnapshot.bodyText, repeated(c.character, 8192));

        const RequestHistoryEntry failed = RequestHistoryEngine::makeErrorEntry(
            spec, "https://api.test", 1, repeated(c.character, 401), {}, {});
        EXPECT_EQ(failed.responseSnippet, repeated(c.character, 400));
        EXPECT_EQ(failed.errorMessage, repeated(c.character, 401));
    }
}

TEST(MakeEntry, TheSnippetIsCutAfterSecretsAreTakenOut) {
    const std::string secret(50, 's');
    const struct {
        const char* name;
        std::string body;
        std::string expected;
    } cases[] = {
        // Cutting first would keep the start of the secret.
        {"a secret across the cut", std::string(395, 'x') + secret + std::string(100, 'y'),
         std::string(395, 'x') + kRedacted.substr(0, 5)},
        // Cutting first would give a shorter snippet.
        {"a long secret early on", secret + std::string(1000, 'x'),
         kRedacted + std::string(386, 'x')},
        {"secrets only", secret + secret, kRedacted + kRedacted},
    };
    for (const auto& c : cases) {
        const RequestHistoryEntry entry =
            RequestHistoryEngine::makeEntry(request(), response(c.body), {}, {secret});
        EXPECT_EQ(entry.responseSnippet, c.expected) << c.name;
    }
}

TEST(MakeErrorEntry, RecordsTheFailure) {
    APIRequestSpec spec = request({}, {.kind = RequestAuthKind::bearer, .bearerToken = "t"});
    const std::string message(1000, 'm');
    const auto before = system_clock::now();
    const RequestHistoryEntry entry = RequestHistoryEngine::makeErrorEntry(
        spec, " https://u:pw@api.test/x?token=1&a=b ", 1234.5, message, {}, {});
    EXPECT_GE(entry.timestamp, before);
    EXPECT_LE(entry.timestamp, system_clock::now());
    EXPECT_EQ(entry.statusCode, 0);
    EXPECT_EQ(entry.responseBytes, 0);
    EXPECT_EQ(entry.durationMs, 1234.5);
    EXPECT_EQ(entry.responseSnippet, std::string(400, 'm'));
    EXPECT_EQ(entry.errorMessage, message);
    EXPECT_EQ(entry.sanitizedURL, "https://u@api.test/x?a=b");
    EXPECT_EQ(entry.requestSnapshot.url, entry.sanitizedURL);
    EXPECT_EQ(headersOf(entry), (std::vector<Header>{{"Authorization", kRedacted, true}}));
    EXPECT_TRUE(entry.isNetworkError());
    EXPECT_FALSE(entry.isSuccessStatus());
}

TEST(HistoryEntry, StatusPredicates) {
    const struct {
        int status;
        bool hasError;
        bool networkError;
        bool success;
    } cases[] = {
        {0, false, true, false},    {0, true, true, false},     {200, false, false, true},
        {299, false, false, true},  {204, true, true, false},   {302, false, false, false},
        {404, false, false, false}, {199, false, false, false}, {300, false, false, false},
    };
    for (const auto& c : cases) {
        RequestHistoryEntry entry;
        entry.statusCode = c.status;
        if (c.hasError)
            entry.errorMessage = "failed";
        EXPECT_EQ(entry.isNetworkError(), c.networkError) << c.status << " " << c.hasError;
        EXPECT_EQ(entry.isSuccessStatus(), c.success) << c.status << " " << c.hasError;
    }
}

std::vector<RequestHistoryEntry> entriesNamed(int count) {
    std::vector<RequestHistoryEntry> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        entries[static_cast<std::size_t>(i)].requestName = "old " + std::to_string(i);
    return entries;
}

TEST(Append, PrependsAndDropsTheOldest) {
    const struct {
        int current;
        int limit;
        std::size_t expectedSize;
    } cases[] = {
        {0, 200, 1}, {3, 200, 4}, {200, 200, 200}, {250, 200, 200},
        {5, 0, 1},   {5, -3, 1},  {5, 1, 1},       {2, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.current) + " entries, limit " + std::to_string(c.limit));
        const std::vector<RequestHistoryEntry> current = entriesNamed(c.current);
        RequestHistoryEntry fresh;
        fresh.requestName = "new";
        const std::vector<RequestHistoryEntry> result =
            RequestHistoryEngine::append(fresh, current, c.limit);
        ASSERT_EQ(result.size(), c.expectedSize);
        EXPECT_EQ(result[0], fresh);
        for (std::size_t i = 1; i < result.size(); ++i)
            EXPECT_EQ(result[i], current[i - 1]);
    }
    EXPECT_EQ(RequestHistoryEngine::append({}, entriesNamed(300)).size(), 200u);
}

} // namespace
} // namespace quiller
