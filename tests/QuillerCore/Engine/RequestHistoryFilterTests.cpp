#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "support/ScopedLocale.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quiller {
namespace {

using Bucket = RequestHistoryStatusBucket;

RequestHistoryEntry entry(std::string name, TarnHTTPMethod method, int status, std::string url,
                          std::string snippet = {},
                          std::optional<std::string> error = std::nullopt) {
    RequestHistoryEntry e;
    e.requestName = std::move(name);
    e.method = method;
    e.statusCode = status;
    e.sanitizedURL = std::move(url);
    e.responseSnippet = std::move(snippet);
    e.errorMessage = std::move(error);
    return e;
}

// Newest first, as the application keeps them.
const std::vector<RequestHistoryEntry> kHistory = {
    entry("List users", TarnHTTPMethod::get, 200, "https://api.test/users"),
    entry("Create user", TarnHTTPMethod::post, 201, "https://api.test/users", "{\"id\":7}"),
    entry("Missing", TarnHTTPMethod::get, 404, "https://api.test/nothing", "Not Found"),
    entry("Crash", TarnHTTPMethod::post, 503, "https://api.test/jobs", "Unavailable"),
    entry("Offline", TarnHTTPMethod::delete_, 0, "https://down.test/x", "Could not connect",
          "Could not connect to the server."),
    entry("Moved", TarnHTTPMethod::get, 302, "https://api.test/old"),
    entry("Report 404s", TarnHTTPMethod::put, 200, "https://api.test/reports"),
    entry("Straße prüfen", TarnHTTPMethod::patch, 200, "https://api.test/PATH/404"),
    entry("Odd", TarnHTTPMethod::get, 201, "https://api.test/odd", "", "custom failure"),
};

std::vector<std::string> namesOf(const std::vector<RequestHistoryEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const RequestHistoryEntry& e : entries)
        names.push_back(e.requestName);
    return names;
}

TEST(HistoryFilter, KeepsEntriesPassingMethodBucketAndSearchInOrder) {
    using Names = std::vector<std::string>;
    const struct {
        RequestHistoryFilter filter;
        Names expected;
    } cases[] = {
        {{}, namesOf(kHistory)},
        {{.searchText = " \t\n "}, namesOf(kHistory)},
        {{.method = TarnHTTPMethod::post}, {"Create user", "Crash"}},
        {{.statusBucket = Bucket::success2xx},
         {"List users", "Create user", "Report 404s", "Straße prüfen"}},
        {{.statusBucket = Bucket::clientOrServerError}, {"Missing", "Crash"}},
        {{.statusBucket = Bucket::networkError}, {"Offline", "Odd"}},
        // Status, name, URL and snippet all count.
        {{.searchText = "404"}, {"Missing", "Report 404s", "Straße prüfen"}},
        // The method's text, in any case.
        {{.searchText = "get"}, {"List users", "Missing", "Moved", "Odd"}},
        {{.searchText = "  USERS "}, {"List users", "Create user"}},
        {{.searchText = "server."}, {"Offline"}}, // only in the error message
        {{.searchText = "FAILURE"}, {"Odd"}},
        {{.searchText = "STRASSE"}, {"Straße prüfen"}}, // full case folding
        {{.searchText = "prufen"}, {}},                 // marks still count
        {{.searchText = "path/404"}, {"Straße prüfen"}},
        {{.searchText = "20"},
         {"List users", "Create user", "Report 404s", "Straße prüfen", "Odd"}},
        {{.searchText = "api", .method = TarnHTTPMethod::get, .statusBucket = Bucket::success2xx},
         {"List users"}},
        {{.searchText = "nothing at all"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("search \"" + c.filter.searchText + "\" bucket " +
                     std::string(rawValue(c.filter.statusBucket)));
        EXPECT_EQ(namesOf(RequestHistoryEngine::filter(kHistory, c.filter)), c.expected);
    }
}

TEST(HistoryFilter, SearchDoesNotDependOnTheProcessLocale) {
    // Under a Turkish locale a locale-aware lower-casing turns "I" into a
    // dotless i, and "LIST" would no longer find "List".
    const tarn::testing::ScopedLocale turkish("tr_TR.UTF-8");
    EXPECT_EQ(namesOf(RequestHistoryEngine::filter(kHistory, {.searchText = "LIST USERS"})),
              std::vector<std::string>{"List users"});
    EXPECT_EQ(namesOf(RequestHistoryEngine::filter(kHistory, {.searchText = "offlIne"})),
              std::vector<std::string>{"Offline"});
}

TEST(StatusBucket, RawValuesAreExact) {
    const struct {
        const char* text;
        std::optional<Bucket> bucket;
    } cases[] = {
        {"All", Bucket::all},
        {"2xx", Bucket::success2xx},
        {"4xx-5xx", Bucket::clientOrServerError},
        {"Errors", Bucket::networkError},
        {"all", std::nullopt},
        {"2XX", std::nullopt},
        {" Errors", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fromRaw<Bucket>(c.text), c.bucket) << c.text;
    const auto all = allCases<Bucket>();
    EXPECT_EQ(std::vector<Bucket>(all.begin(), all.end()),
              (std::vector<Bucket>{Bucket::all, Bucket::success2xx, Bucket::clientOrServerError,
                                   Bucket::networkError}));
    EXPECT_EQ(nlohmann::json(Bucket::clientOrServerError), "4xx-5xx");
    EXPECT_EQ(nlohmann::json("Errors").get<Bucket>(), Bucket::networkError);
}

const std::string kRedacted(RequestHistoryEngine::redactedPlaceholder);

RequestHistoryEntry replayable(std::vector<KeyValueRow> headers) {
    RequestHistoryEntry e = entry("Search", TarnHTTPMethod::post, 200, "https://api.test/s?q=1");
    e.requestSnapshot = RedactedRequestSnapshot{
        .url = e.sanitizedURL,
        .method = TarnHTTPMethod::post,
        .headers = std::move(headers),
        .bodyKind = RequestBodyKind::json,
        .bodyText = "{\"q\": 1}",
        .graphQLVariables = "{\"v\": 2}",
    };
    return e;
}

struct Row {
    std::string key;
    std::string value;
    bool enabled;
    bool secret;
    friend bool operator==(const Row&, const Row&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Row& r) {
        return out << r.key << "=" << r.value << (r.enabled ? "" : " (off)")
                   << (r.secret ? " (secret)" : "");
    }
};

std::vector<Row> rowsOf(const std::vector<KeyValueRow>& rows) {
    std::vector<Row> result;
    result.reserve(rows.size());
    for (const KeyValueRow& r : rows)
        result.push_back({r.key, r.value, r.isEnabled, r.isSecret});
    return result;
}

TEST(Replay, RebuildsHeaderRowsForTheUserToComplete) {
    const struct {
        const char* name;
        std::vector<KeyValueRow> snapshotRows;
        std::vector<Row> expected;
    } cases[] = {
        {"no rows gives the Accept row", {}, {{"Accept", "application/json", true, false}}},
        {"redacted and secret rows come back empty and off",
         {{.key = "Authorization", .value = kRedacted, .isSecret = true},
          {.key = "X-Tenant", .value = kRedacted},
          {.key = "X-Flag", .value = "kept", .isSecret = true}},
         {{"Authorization", "", false, true},
          {"X-Tenant", "", false, true},
          {"X-Flag", "", false, true}}},
        {"other rows keep value and switch",
         {{.key = "Accept", .value = "text/csv"},
          {.key = "X-Off", .value = "1", .isEnabled = false},
          {.key = "X-Almost", .value = kRedacted + " "}},
         {{"Accept", "text/csv", true, false},
          {"X-Off", "1", false, false},
          {"X-Almost", kRedacted + " ", true, false}}},
    };
    for (const auto& c : cases) {
        const APIRequestSpec spec =
            RequestHistoryEngine::toReplayRequestSpec(replayable(c.snapshotRows));
        EXPECT_EQ(rowsOf(spec.headers), c.expected) << c.name;
        for (std::size_t i = 0; i < c.snapshotRows.size() && i < spec.headers.size(); ++i)
            EXPECT_NE(spec.headers[i].id, c.snapshotRows[i].id) << c.name;
    }
}

TEST(Replay, MakesANewSendableRequestFromTheSnapshot) {
    RequestHistoryEntry source = replayable({{.key = "Accept", .value = "*/*"}});
    source.sourceRequestID = tarn::UUID::random();
    const APIRequestSpec first = RequestHistoryEngine::toReplayRequestSpec(source);
    EXPECT_EQ(first.name, "Search");
    EXPECT_EQ(first.method, TarnHTTPMethod::post);
    EXPECT_EQ(first.url, "https://api.test/s?q=1");
    EXPECT_TRUE(first.queryParams.empty());
    EXPECT_EQ(first.auth, RequestAuthConfig{});
    EXPECT_EQ(first.auth.apiKeyHeaderName, "X-API-Key");
    EXPECT_EQ(first.bodyKind, RequestBodyKind::json);
    EXPECT_EQ(first.bodyText, "{\"q\": 1}");
    EXPECT_EQ(first.graphQLVariables, "{\"v\": 2}");
    ASSERT_EQ(first.assertions.size(), 1u);
    EXPECT_EQ(first.assertions[0].kind, AssertionKind::statusEquals);
    EXPECT_EQ(first.assertions[0].targetPath, "");
    EXPECT_EQ(first.assertions[0].expectedValue, "200");
    EXPECT_TRUE(first.assertions[0].isEnabled);
    EXPECT_NE(first.id, *source.sourceRequestID);

    // A second replay differs in its identifiers only.
    APIRequestSpec second = RequestHistoryEngine::toReplayRequestSpec(source);
    EXPECT_NE(second.id, first.id);
    EXPECT_NE(second.headers[0].id, first.headers[0].id);
    EXPECT_NE(second.assertions[0].id, first.assertions[0].id);
    second.id = first.id;
    second.headers[0].id = first.headers[0].id;
    second.assertions[0].id = first.assertions[0].id;
    EXPECT_EQ(second, first);
}

TEST(Replay, AnEntryMadeFromASecretRequestNeverResendsThePlaceholder) {
    APIRequestSpec sent;
    sent.headers = {{.key = "Accept", .value = "application/json"},
                    {.key = "X-Tenant", .value = "{{tenant}}"},
                    {.key = "Cookie", .value = "session=1"}};
    sent.auth = {.kind = RequestAuthKind::bearer, .bearerToken = "t"};
    HTTPResponseSnapshot response;
    response.resolvedURL = "https://api.test/me";
    response.statusCode = 200;
    const RequestHistoryEntry made = RequestHistoryEngine::makeEntry(
        sent, response, {{"tenant", "acme-secret"}}, {"acme-secret"});

    const APIRequestSpec replay = RequestHistoryEngine::toReplayRequestSpec(made);
    for (const KeyValueRow& r : replay.headers) {
        if (r.key == "Accept")
            continue;
        EXPECT_FALSE(r.isEnabled) << r.key;
        EXPECT_TRUE(r.value.empty()) << r.key;
    }
    EXPECT_EQ(replay.headers.size(), 4u);
}

} // namespace
} // namespace quiller
