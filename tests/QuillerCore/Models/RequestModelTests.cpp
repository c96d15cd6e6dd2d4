#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RuntimeRecords.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>

namespace {

using nlohmann::json;
using quiller::APIEnvironmentProfile;
using quiller::APIRequestCollection;
using quiller::APIRequestSpec;
using quiller::KeyValueRow;
using quiller::RequestAuthConfig;
using quiller::ResponseAssertionRule;
using Kind = tarn::json::DecodingError::Kind;

template <class E> std::vector<std::string> rawValues() {
    std::vector<std::string> texts;
    for (const E value : quiller::allCases<E>())
        texts.emplace_back(quiller::rawValue(value));
    return texts;
}

template <class E> std::vector<std::string> labels() {
    std::vector<std::string> texts;
    for (const E value : quiller::allCases<E>())
        texts.emplace_back(quiller::label(value));
    return texts;
}

TEST(Enumerations, CasesRawValuesAndLabelsInTableOrder) {
    using V = std::vector<std::string>;
    EXPECT_EQ(rawValues<quiller::TarnHTTPMethod>(),
              (V{"GET", "POST", "PUT", "PATCH", "DELETE", "HEAD", "OPTIONS"}));
    EXPECT_EQ(rawValues<quiller::RequestBodyKind>(),
              (V{"none", "json", "graphql", "rawText", "formURLEncoded"}));
    EXPECT_EQ(labels<quiller::RequestBodyKind>(),
              (V{"None", "JSON", "GraphQL", "Raw Text", "Form URL"}));
    EXPECT_EQ(rawValues<quiller::RequestAuthKind>(),
              (V{"none", "bearer", "basic", "apiKeyHeader"}));
    EXPECT_EQ(labels<quiller::RequestAuthKind>(),
              (V{"No Auth", "Bearer Token", "Basic Auth", "API Key Header"}));
    EXPECT_EQ(rawValues<quiller::AssertionKind>(),
              (V{"statusEquals", "bodyContains", "jsonPathEquals", "maxLatencyMs"}));
    EXPECT_EQ(labels<quiller::AssertionKind>(),
              (V{"Status ==", "Body contains", "JSONPath ==", "Latency <="}));
}

TEST(Enumerations, FromRawIsExactAndCaseSensitive) {
    using quiller::fromRaw;
    EXPECT_EQ(fromRaw<quiller::TarnHTTPMethod>("DELETE"), quiller::TarnHTTPMethod::delete_);
    EXPECT_EQ(fromRaw<quiller::RequestBodyKind>("formURLEncoded"),
              quiller::RequestBodyKind::formURLEncoded);
    EXPECT_EQ(fromRaw<quiller::AssertionKind>("maxLatencyMs"),
              quiller::AssertionKind::maxLatencyMs);
    for (const char* text : {"get", "Post", " GET", "GET ", ""})
        EXPECT_FALSE(fromRaw<quiller::TarnHTTPMethod>(text).has_value()) << text;
    for (const char* text : {"None", "formurlencoded", "JSON"})
        EXPECT_FALSE(fromRaw<quiller::RequestBodyKind>(text).has_value()) << text;
    EXPECT_FALSE(fromRaw<quiller::RequestAuthKind>("apikeyheader").has_value());
}

TEST(RequestModel, NewRequestCarriesTheCreationDefaults) {
    const APIRequestSpec request;
    EXPECT_EQ(request.method, quiller::TarnHTTPMethod::get);
    EXPECT_TRUE(request.queryParams.empty());
    ASSERT_EQ(request.headers.size(), 1u);
    EXPECT_EQ(request.headers[0].key, "Accept");
    EXPECT_EQ(request.headers[0].value, "application/json");
    EXPECT_TRUE(request.headers[0].isEnabled);
    EXPECT_FALSE(request.headers[0].isSecret);
    EXPECT_EQ(request.auth, RequestAuthConfig{});
    EXPECT_EQ(request.auth.kind, quiller::RequestAuthKind::none);
    EXPECT_EQ(request.auth.apiKeyHeaderName, "X-API-Key");
    EXPECT_TRUE(request.auth.bearerToken.empty() && request.auth.basicUsername.empty() &&
                request.auth.basicPassword.empty() && request.auth.apiKeyValue.empty());
    EXPECT_EQ(request.bodyKind, quiller::RequestBodyKind::none);
    EXPECT_TRUE(request.bodyText.empty());
    EXPECT_EQ(request.graphQLVariables, "{}");
    ASSERT_EQ(request.assertions.size(), 1u);
    EXPECT_EQ(request.assertions[0].kind, quiller::AssertionKind::statusEquals);
    EXPECT_EQ(request.assertions[0].expectedValue, "200");
    EXPECT_TRUE(request.assertions[0].targetPath.empty());
    EXPECT_TRUE(request.assertions[0].isEnabled);

    // Every creation draws fresh identifiers, rows and rules included.
    const APIRequestSpec other;
    const std::set<tarn::UUID> ids = {request.id, request.headers[0].id, request.assertions[0].id,
                                      other.id,   other.headers[0].id,   other.assertions[0].id};
    EXPECT_EQ(ids.size(), 6u);
    EXPECT_NE(request, other);
}

TEST(RequestModel, EqualityComparesEveryFieldIdentifiersIncluded) {
    const KeyValueRow row{.key = "k", .value = "v"};
    KeyValueRow twin = row;
    EXPECT_EQ(twin, row);
    twin.id = tarn::UUID::random();
    EXPECT_NE(twin, row);

    const APIRequestSpec request;
    APIRequestSpec copy = request;
    EXPECT_EQ(copy, request);
    copy.headers[0].isSecret = true;
    EXPECT_NE(copy, request);
    copy = request;
    copy.assertions.push_back(ResponseAssertionRule{});
    EXPECT_NE(copy, request);
    copy = request;
    copy.auth.basicPassword = "p";
    EXPECT_NE(copy, request);
}

APIRequestSpec sampleRequest() {
    return APIRequestSpec{
        .name = "Ünïcode / \"quoted\" \u2028",
        .method = quiller::TarnHTTPMethod::delete_,
        .url = "https://api.example.test/v1/items?x=1&y=é",
        .queryParams = {KeyValueRow{.key = "q", .value = "a/b", .isEnabled = false},
                        KeyValueRow{.key = "", .value = ""}},
        .headers = {KeyValueRow{
            .key = "Authorization", .value = "Bearer {{token}}", .isSecret = true}},
        .auth = RequestAuthConfig{.kind = quiller::RequestAuthKind::basic,
                                  .bearerToken = "t",
                                  .basicUsername = "user",
                                  .basicPassword = "p\tw\nd",
                                  .apiKeyHeaderName = "X-Key",
                                  .apiKeyValue = "\x01"},
        .bodyKind = quiller::RequestBodyKind::graphql,
        .bodyText = "query { a }",
        .graphQLVariables = "{\n  \"id\": 1\n}",
        .assertions = {ResponseAssertionRule{.kind = quiller::AssertionKind::jsonPathEquals,
                                             .targetPath = "$.items[0].id",
                                             .expectedValue = "42",
                                             .isEnabled = false},
                       ResponseAssertionRule{}},
    };
}

// Encode, write pretty, parse, decode, encode, write again: the same bytes, and
// the decoded value equals the original.
template <class T> void expectByteExactRoundTrip(const T& value) {
    const std::string text = tarn::json::pretty(json(value));
    const auto parsed = tarn::json::parse(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    const T decoded = parsed->template get<T>();
    EXPECT_EQ(decoded, value);
    EXPECT_EQ(tarn::json::pretty(json(decoded)), text);
}

TEST(RequestModelJSON, RoundTripsToIdenticalBytes) {
    expectByteExactRoundTrip(sampleRequest());
    expectByteExactRoundTrip(APIRequestSpec{});
    expectByteExactRoundTrip(APIRequestCollection{.name = "c", .requests = {sampleRequest(), {}}});
    expectByteExactRoundTrip(APIRequestCollection{.name = "empty"});
    expectByteExactRoundTrip(
        APIEnvironmentProfile{.name = "e", .variables = {KeyValueRow{.key = "a", .value = "1"}}});
    expectByteExactRoundTrip(APIRequestCollection::starterCollections());
    expectByteExactRoundTrip(APIEnvironmentProfile::defaultEnvironments());
}

TEST(RequestModelJSON, WritesTheDocumentedKeysWithPlainValues) {
    const APIRequestSpec request = sampleRequest();
    const json encoded = request;
    std::vector<std::string> keys;
    for (const auto& [key, value] : encoded.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"assertions", "auth", "bodyKind", "bodyText",
                                              "graphQLVariables", "headers", "id", "method", "name",
                                              "queryParams", "url"}));
    EXPECT_EQ(encoded["id"], request.id.string());
    EXPECT_EQ(encoded["method"], "DELETE");
    EXPECT_EQ(encoded["bodyKind"], "graphql");
    EXPECT_EQ(encoded["auth"]["kind"], "basic");
    EXPECT_EQ(encoded["assertions"][0]["kind"], "jsonPathEquals");
    EXPECT_EQ(encoded["queryParams"][0]["isEnabled"], false);
    EXPECT_EQ(encoded["queryParams"][1]["key"], "");
}

// Every key of the encoded value is required: removing it, nulling it or giving
// it a value of another JSON type each fail with the key as the path.
template <class T>
void expectEveryKeyRequired(const T& value, const std::set<std::string>& expectedKeys) {
    const json encoded = value;
    std::set<std::string> keys;
    for (const auto& [key, member] : encoded.items())
        keys.insert(key);
    EXPECT_EQ(keys, expectedKeys);

    const auto expectFailure = [](const json& document, Kind kind, const std::string& path) {
        try {
            (void)document.get<T>();
            ADD_FAILURE() << "decoded " << document.dump();
        } catch (const tarn::json::DecodingError& error) {
            EXPECT_EQ(error.kind(), kind) << error.what();
            EXPECT_EQ(error.path(), path) << error.what();
        }
    };
    for (const std::string& key : keys) {
        json missing = encoded;
        missing.erase(key);
        expectFailure(missing, Kind::keyNotFound, key);
        json null = encoded;
        null[key] = nullptr;
        expectFailure(null, Kind::valueNotFound, key);
        json mistyped = encoded;
        mistyped[key] = encoded[key].is_object() ? json::array() : json::object();
        expectFailure(mistyped, Kind::typeMismatch, key);
    }
    expectFailure(json::array(), Kind::typeMismatch, "");
    expectFailure(json(nullptr), Kind::valueNotFound, "");
}

TEST(RequestModelJSON, EveryKeyIsRequired) {
    const APIRequestSpec request = sampleRequest();
    expectEveryKeyRequired(request.queryParams[0], {"id", "key", "value", "isEnabled", "isSecret"});
    expectEveryKeyRequired(request.auth, {"kind", "bearerToken", "basicUsername", "basicPassword",
                                          "apiKeyHeaderName", "apiKeyValue"});
    expectEveryKeyRequired(request.assertions[0],
                           {"id", "kind", "targetPath", "expectedValue", "isEnabled"});
    expectEveryKeyRequired(request,
                           {"id", "name", "method", "url", "queryParams", "headers", "auth",
                            "bodyKind", "bodyText", "graphQLVariables", "assertions"});
    expectEveryKeyRequired(APIRequestCollection{.requests = {request}}, {"id", "name", "requests"});
    expectEveryKeyRequired(APIEnvironmentProfile::defaultEnvironments()[0],
                           {"id", "name", "variables"});
}

struct ValueFailure {
    const char* name;
    const char* pointer; // JSON pointer into an encoded collection of sampleRequest()
    json replacement;
    Kind kind;
    const char* path;
};

void PrintTo(const ValueFailure& c, std::ostream* out) {
    *out << c.name;
}

class RequestModelDecodingFailure : public testing::TestWithParam<ValueFailure> {};

TEST_P(RequestModelDecodingFailure, FailsTheWholeCollection) {
    const ValueFailure& c = GetParam();
    json document =
        APIRequestCollection{.name = "c", .requests = {APIRequestSpec{}, sampleRequest()}};
    document[json::json_pointer(c.pointer)] = c.replacement;
    try {
        (void)document.get<APIRequestCollection>();
        ADD_FAILURE() << "decoded";
    } catch (const tarn::json::DecodingError& error) {
        EXPECT_EQ(error.kind(), c.kind) << error.what();
        EXPECT_EQ(error.path(), c.path) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestModelDecodingFailure,
    testing::Values(ValueFailure{"lowerCaseMethod", "/requests/1/method", "get",
                                 Kind::dataCorrupted, "requests[1].method"},
                    ValueFailure{"mixedCaseMethod", "/requests/1/method", "Post",
                                 Kind::dataCorrupted, "requests[1].method"},
                    ValueFailure{"unknownBodyKind", "/requests/0/bodyKind", "formurlencoded",
                                 Kind::dataCorrupted, "requests[0].bodyKind"},
                    ValueFailure{"unknownAuthKind", "/requests/1/auth/kind", "Basic",
                                 Kind::dataCorrupted, "requests[1].auth.kind"},
                    ValueFailure{"numericAssertionKind", "/requests/1/assertions/1/kind", 0,
                                 Kind::typeMismatch, "requests[1].assertions[1].kind"},
                    ValueFailure{"badRequestUUID", "/requests/0/id",
                                 "33333333-3333-4333-8333-33333333331Z", Kind::dataCorrupted,
                                 "requests[0].id"},
                    ValueFailure{"badCollectionUUID", "/id", "", Kind::dataCorrupted, "id"},
                    ValueFailure{"nullSecretFlag", "/requests/1/headers/0/isSecret", nullptr,
                                 Kind::valueNotFound, "requests[1].headers[0].isSecret"},
                    ValueFailure{"stringEnabledFlag", "/requests/1/queryParams/1/isEnabled", "true",
                                 Kind::typeMismatch, "requests[1].queryParams[1].isEnabled"},
                    ValueFailure{"numericEnabledFlag", "/requests/0/assertions/0/isEnabled", 1,
                                 Kind::typeMismatch, "requests[0].assertions[0].isEnabled"},
                    ValueFailure{"rowNotAnObject", "/requests/0/headers/0", "Accept",
                                 Kind::typeMismatch, "requests[0].headers[0]"},
                    ValueFailure{"numberForText", "/requests/1/graphQLVariables", 1,
                                 Kind::typeMismatch, "requests[1].graphQLVariables"}),
    [](const testing::TestParamInfo<ValueFailure>& row) { return row.param.name; });

TEST(RequestModelJSON, MissingGraphQLVariablesFailsTheCollection) {
    json document = APIRequestCollection::starterCollections()[0];
    document["requests"][2].erase("graphQLVariables");
    try {
        (void)document.get<APIRequestCollection>();
        ADD_FAILURE() << "decoded";
    } catch (const tarn::json::DecodingError& error) {
        EXPECT_EQ(error.kind(), Kind::keyNotFound);
        EXPECT_EQ(error.path(), "requests[2].graphQLVariables");
    }
}

TEST(RequestModelJSON, AcceptsLowerCaseUUIDsAndIgnoresUnknownKeys) {
    const APIRequestSpec request = sampleRequest();
    json document = request;
    std::string lower = request.id.string();
    for (char& c : lower)
        c = (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
    document["id"] = lower;
    document["extra"] = {{"nested", true}};
    document["auth"]["legacyToken"] = "x";
    document["headers"][0]["note"] = nullptr;

    const auto decoded = document.get<APIRequestSpec>();
    EXPECT_EQ(decoded, request);
    const json reencoded = decoded;
    EXPECT_EQ(reencoded, json(request));
    EXPECT_FALSE(reencoded.contains("extra"));
    EXPECT_FALSE(reencoded["auth"].contains("legacyToken"));
    EXPECT_EQ(reencoded["id"], request.id.string());
}

TEST(RequestModelJSON, EnumerationsOnTheirOwn) {
    EXPECT_EQ(json(quiller::TarnHTTPMethod::options), json("OPTIONS"));
    EXPECT_EQ(json("HEAD").get<quiller::TarnHTTPMethod>(), quiller::TarnHTTPMethod::head);
    EXPECT_EQ(json("rawText").get<quiller::RequestBodyKind>(), quiller::RequestBodyKind::rawText);
    EXPECT_THROW((void)json("head").get<quiller::TarnHTTPMethod>(), tarn::json::DecodingError);
    EXPECT_THROW((void)json(2).get<quiller::AssertionKind>(), tarn::json::DecodingError);
}

} // namespace
