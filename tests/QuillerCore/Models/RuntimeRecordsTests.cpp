#include "QuillerCore/Models/RuntimeRecords.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;
using quiller::AssertionEvaluationResult;
using quiller::HTTPResponseSnapshot;
using quiller::MCPToolDescriptor;
using quiller::MockRouteRule;
using quiller::ResponseAssertionRule;
using quiller::TimingWaterfall;
using Kind = tarn::json::DecodingError::Kind;

TEST(HTTPResponseSnapshot, SuccessStatusIsTheTwoHundreds) {
    const std::pair<int, bool> cases[] = {{0, false},  {199, false}, {200, true},  {204, true},
                                          {299, true}, {300, false}, {404, false}, {-200, false}};
    for (const auto& [status, success] : cases)
        EXPECT_EQ(HTTPResponseSnapshot{.statusCode = status}.isSuccessStatus(), success) << status;
}

TEST(HTTPResponseSnapshot, EqualityIsIdentityStatusAndBodyBytes) {
    const ResponseAssertionRule rule;
    const HTTPResponseSnapshot snapshot{.requestName = "a",
                                        .statusCode = 200,
                                        .headers = {{"Content-Type", "application/json"}},
                                        .bodyData = std::string("{\"a\":1}\0\xFF", 9),
                                        .bodyText = "{\"a\":1}",
                                        .prettyBodyText = "{\n  \"a\" : 1\n}",
                                        .timing = {.totalMs = 12}};

    HTTPResponseSnapshot other = snapshot;
    other.requestName = "b";
    other.method = quiller::TarnHTTPMethod::post;
    other.resolvedURL = "https://elsewhere.test";
    other.headers = {{"X-Other", "1"}, {"Content-Type", "text/plain"}};
    other.bodyText = "";
    other.prettyBodyText = "";
    other.timing = TimingWaterfall{.dnsMs = 1, .totalMs = 99};
    other.receivedAt = std::chrono::system_clock::now();
    other.assertions = {AssertionEvaluationResult(rule, false, "500")};
    EXPECT_EQ(other, snapshot);

    HTTPResponseSnapshot differentID = snapshot;
    differentID.id = tarn::UUID::random();
    EXPECT_NE(differentID, snapshot);
    HTTPResponseSnapshot differentStatus = snapshot;
    differentStatus.statusCode = 201;
    EXPECT_NE(differentStatus, snapshot);
    HTTPResponseSnapshot differentBody = snapshot;
    differentBody.bodyData = std::string("{\"a\":1}\0\xFE", 9);
    EXPECT_NE(differentBody, snapshot);
}

// A copied snapshot costs no second copy of its body or texts, and replacing
// a text in one copy leaves the other as it was.
TEST(HTTPResponseSnapshot, CopiesShareTheBodyAndItsTexts) {
    HTTPResponseSnapshot snapshot{.bodyData = std::string(1000, 'b'),
                                  .bodyText = std::string(1000, 't'),
                                  .prettyBodyText = std::string(1000, 'p')};
    const char* const bytes = snapshot.bodyData.data();
    HTTPResponseSnapshot copy = snapshot;
    EXPECT_TRUE(copy.bodyData.sharesStorageWith(snapshot.bodyData));
    EXPECT_TRUE(copy.bodyText.sharesStorageWith(snapshot.bodyText));
    EXPECT_TRUE(copy.prettyBodyText.sharesStorageWith(snapshot.prettyBodyText));
    EXPECT_EQ(copy.bodyData.data(), bytes);

    copy.bodyText = "changed";
    EXPECT_EQ(snapshot.bodyText, std::string(1000, 't'));
    EXPECT_EQ(copy.bodyText, "changed");
    EXPECT_FALSE(copy.bodyText.sharesStorageWith(snapshot.bodyText));

    // Equal text in separate storage is equal all the same; no text at all
    // reads as empty.
    EXPECT_EQ(quiller::SharedText(std::string("x")), quiller::SharedText("x"));
    EXPECT_EQ(HTTPResponseSnapshot{}.bodyText, "");
    EXPECT_TRUE(HTTPResponseSnapshot{}.prettyBodyText.empty());
}

TEST(AssertionEvaluationResult, TakesItsIdentityFromTheRule) {
    const ResponseAssertionRule rule{.kind = quiller::AssertionKind::bodyContains,
                                     .expectedValue = "ok"};
    const AssertionEvaluationResult passed(rule, true, "matched");
    const AssertionEvaluationResult failed(rule, false, "not found");
    EXPECT_EQ(passed.id, rule.id);
    EXPECT_EQ(failed.id, rule.id);
    EXPECT_EQ(passed.rule, rule);
    EXPECT_NE(passed, failed);
    EXPECT_EQ(passed, AssertionEvaluationResult(rule, true, "matched"));
}

TEST(MCPToolDescriptor, IdentityIsTheNameEqualityEveryField) {
    const MCPToolDescriptor a{.name = "search", .description = "one", .inputSchemaJSON = "{}"};
    const MCPToolDescriptor b{.name = "search", .description = "two", .inputSchemaJSON = "{}"};
    EXPECT_EQ(a.id(), b.id());
    EXPECT_EQ(a.id(), "search");
    EXPECT_NE(a, b);
}

TEST(CapturedProxyExchange, EqualityComparesHeadersByContentAndOptionalRoute) {
    const quiller::CapturedProxyExchange echo{
        .method = "get",
        .path = "/x?y=1",
        .requestHeaders = {{"Host", "127.0.0.1"}, {"Accept", "*/*"}},
        .statusCode = 200};
    EXPECT_FALSE(echo.matchedMockRoute.has_value());

    quiller::CapturedProxyExchange reordered = echo;
    reordered.requestHeaders.clear();
    reordered.requestHeaders.emplace("Accept", "*/*");
    reordered.requestHeaders.emplace("Host", "127.0.0.1");
    EXPECT_EQ(reordered, echo);

    quiller::CapturedProxyExchange matched = echo;
    matched.matchedMockRoute = "* /api";
    EXPECT_NE(matched, echo);
    quiller::CapturedProxyExchange emptyRoute = echo;
    emptyRoute.matchedMockRoute = "";
    EXPECT_NE(emptyRoute, echo);
}

template <class T> void expectByteExactRoundTrip(const T& value) {
    const std::string text = tarn::json::pretty(json(value));
    const auto parsed = tarn::json::parse(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    const T decoded = parsed->template get<T>();
    EXPECT_EQ(decoded, value);
    EXPECT_EQ(tarn::json::pretty(json(decoded)), text);
}

TEST(RuntimeRecordsJSON, RoundTripToIdenticalBytes) {
    expectByteExactRoundTrip(TimingWaterfall{});
    expectByteExactRoundTrip(TimingWaterfall{.dnsMs = 0.1,
                                             .tcpMs = 12,
                                             .tlsMs = 1.0 / 3.0,
                                             .ttfbMs = 250.125,
                                             .downloadMs = 1e-3,
                                             .totalMs = 1e6});
    expectByteExactRoundTrip(MCPToolDescriptor{.name = "fetch/url",
                                               .description = "Fetch\na URL",
                                               .inputSchemaJSON = "{\"type\":\"object\"}"});
    expectByteExactRoundTrip(MockRouteRule{.method = "*",
                                           .path = "/api",
                                           .statusCode = 503,
                                           .contentType = "text/plain",
                                           .responseBody = "busy",
                                           .isEnabled = false});
    expectByteExactRoundTrip(MockRouteRule::defaultRoutes());
}

TEST(RuntimeRecordsJSON, MembersAreTheFieldNames) {
    const MockRouteRule route = MockRouteRule::defaultRoutes()[1];
    EXPECT_EQ(json(route), (json{{"id", route.id.string()},
                                 {"method", "POST"},
                                 {"path", "/v1/echo"},
                                 {"statusCode", 201},
                                 {"contentType", "application/json"},
                                 {"responseBody", route.responseBody},
                                 {"isEnabled", true}}));
    EXPECT_EQ(json(MCPToolDescriptor{.name = "n"}),
              (json{{"name", "n"}, {"description", ""}, {"inputSchemaJSON", ""}}));
    const TimingWaterfall timing{.totalMs = 2.5};
    EXPECT_EQ(tarn::json::compact(json(timing)),
              R"({"dnsMs":0,"downloadMs":0,"tcpMs":0,"tlsMs":0,"totalMs":2.5,"ttfbMs":0})");
}

struct RouteCase {
    const char* name;
    const char* key;
    json replacement; // a discarded value removes the key
    bool decodes;
    Kind kind;
};

void PrintTo(const RouteCase& c, std::ostream* out) {
    *out << c.name;
}

class MockRouteRuleDecoding : public testing::TestWithParam<RouteCase> {};

TEST_P(MockRouteRuleDecoding, IsStrict) {
    const RouteCase& c = GetParam();
    const MockRouteRule route = MockRouteRule::defaultRoutes()[0];
    json document = route;
    if (c.replacement.is_discarded())
        document.erase(c.key);
    else
        document[c.key] = c.replacement;
    if (c.decodes) {
        EXPECT_EQ(document.get<MockRouteRule>().id, route.id);
        return;
    }
    try {
        (void)document.get<MockRouteRule>();
        ADD_FAILURE() << "decoded";
    } catch (const tarn::json::DecodingError& error) {
        EXPECT_EQ(error.kind(), c.kind) << error.what();
        EXPECT_EQ(error.path(), c.key) << error.what();
    }
}

const json removed = json(json::value_t::discarded);

INSTANTIATE_TEST_SUITE_P(
    Cases, MockRouteRuleDecoding,
    testing::Values(
        RouteCase{"missingIsEnabled", "isEnabled", removed, false, Kind::keyNotFound},
        RouteCase{"missingId", "id", removed, false, Kind::keyNotFound},
        RouteCase{"fractionalStatus", "statusCode", 200.5, false, Kind::dataCorrupted},
        RouteCase{"stringStatus", "statusCode", "200", false, Kind::typeMismatch},
        RouteCase{"nullStatus", "statusCode", nullptr, false, Kind::valueNotFound},
        RouteCase{"statusBeyondInt", "statusCode", 4294967296LL, false, Kind::dataCorrupted},
        RouteCase{"stringEnabled", "isEnabled", "true", false, Kind::typeMismatch},
        RouteCase{"notAUUID", "id", "GET /health", false, Kind::dataCorrupted},
        RouteCase{"numericMethod", "method", 1, false, Kind::typeMismatch},
        RouteCase{"integralDoubleStatus", "statusCode", 200.0, true, Kind::dataCorrupted},
        RouteCase{"extraMember", "label", "GET /health", true, Kind::dataCorrupted}),
    [](const testing::TestParamInfo<RouteCase>& row) { return row.param.name; });

TEST(RuntimeRecordsJSON, OtherRecordsAreStrictToo) {
    json timing = TimingWaterfall{};
    timing["tlsMs"] = true;
    EXPECT_THROW((void)timing.get<TimingWaterfall>(), tarn::json::DecodingError);
    timing = TimingWaterfall{};
    timing.erase("totalMs");
    EXPECT_THROW((void)timing.get<TimingWaterfall>(), tarn::json::DecodingError);

    json tool = MCPToolDescriptor{.name = "t"};
    tool["id"] = "ignored";
    EXPECT_EQ(tool.get<MCPToolDescriptor>(), MCPToolDescriptor{.name = "t"});
    tool.erase("inputSchemaJSON");
    EXPECT_THROW((void)tool.get<MCPToolDescriptor>(), tarn::json::DecodingError);
}

TEST(RuntimeRecordsJSON, ExtraMemberIsDroppedOnReEncoding) {
    json document = MockRouteRule::defaultRoutes()[0];
    document["label"] = "x";
    const json reencoded = document.get<MockRouteRule>();
    EXPECT_FALSE(reencoded.contains("label"));
    EXPECT_EQ(reencoded, json(MockRouteRule::defaultRoutes()[0]));
}

} // namespace
