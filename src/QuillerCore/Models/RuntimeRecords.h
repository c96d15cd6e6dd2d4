#pragma once

// What running things produces: timings and results of HTTP exchanges,
// assertion outcomes, stream events and frames, mock-server exchanges, MCP
// tools, and the mock server's rules.
//
// Plain values with no locks: services make them on their own threads and hand
// them over by copy. Every field has an initialiser so that designated
// initialisers may leave fields out.

#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/SharedText.h"
#include "TarnKit/Platform/HTTPPhaseTimings.h"
#include "TarnKit/Platform/UUID.h"

#include <chrono>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

namespace quiller {

// Phase timings of one exchange, in milliseconds: what the transfer measures.
using TimingWaterfall = tarn::HTTPPhaseTimings;

// One response header as name and value text.
struct HTTPHeaderPair {
    std::string key{};
    std::string value{};

    friend bool operator==(const HTTPHeaderPair&, const HTTPHeaderPair&) = default;
};

// The outcome of one enabled rule. Its `id` is the rule's own, so a result
// stays attached to its rule in lists whatever the outcome.
struct AssertionEvaluationResult {
    AssertionEvaluationResult(ResponseAssertionRule evaluatedRule, bool hasPassed,
                              std::string actual);

    tarn::UUID id;
    ResponseAssertionRule rule;
    bool passed;
    std::string actualValue;

    friend bool operator==(const AssertionEvaluationResult&,
                           const AssertionEvaluationResult&) = default;
};

struct HTTPResponseSnapshot {
    tarn::UUID id = tarn::UUID::random();
    std::string requestName{};
    TarnHTTPMethod method = TarnHTTPMethod::get;
    std::string resolvedURL{};
    // 0 when the reply was not an HTTP reply.
    int statusCode = 0;
    std::vector<HTTPHeaderPair> headers{};
    // The body bytes as received (not necessarily text), and its two texts.
    // Copies of a snapshot share these, however large.
    SharedText bodyData{};
    SharedText bodyText{};
    SharedText prettyBodyText{};
    TimingWaterfall timing{};
    std::chrono::system_clock::time_point receivedAt{};
    std::vector<AssertionEvaluationResult> assertions{};

    bool isSuccessStatus() const { return statusCode >= 200 && statusCode <= 299; }

    // Identity, status and body bytes only: headers, texts, timing, date and
    // assertion results do not take part.
    friend bool operator==(const HTTPResponseSnapshot& a, const HTTPResponseSnapshot& b) {
        return a.id == b.id && a.statusCode == b.statusCode && a.bodyData == b.bodyData;
    }
};

// One data line of a server-sent-event stream.
struct SSEStreamEvent {
    tarn::UUID id = tarn::UUID::random();
    std::string eventType{};
    std::string data{};
    std::chrono::system_clock::time_point receivedAt{};

    friend bool operator==(const SSEStreamEvent&, const SSEStreamEvent&) = default;
};

// One text frame of the WebSocket console.
struct WebSocketFrameItem {
    tarn::UUID id = tarn::UUID::random();
    bool isOutgoing = false;
    std::string payload{};
    std::chrono::system_clock::time_point timestamp{};

    friend bool operator==(const WebSocketFrameItem&, const WebSocketFrameItem&) = default;
};

// One request answered by the local mock server, with the answer it got.
struct CapturedProxyExchange {
    tarn::UUID id = tarn::UUID::random();
    std::chrono::system_clock::time_point timestamp{};
    std::string method{};
    std::string path{};
    std::map<std::string, std::string> requestHeaders{};
    std::string requestBody{};
    int statusCode = 0;
    std::string responseBody{};
    // "<rule method> <rule path>" of the rule that answered; absent for the echo.
    std::optional<std::string> matchedMockRoute{};

    friend bool operator==(const CapturedProxyExchange&, const CapturedProxyExchange&) = default;
};

struct MCPToolDescriptor {
    std::string name{};
    std::string description{};
    std::string inputSchemaJSON{};

    // Tools are told apart by name.
    const std::string& id() const { return name; }

    friend bool operator==(const MCPToolDescriptor&, const MCPToolDescriptor&) = default;
};

// One canned answer of the local mock server.
struct MockRouteRule {
    tarn::UUID id = tarn::UUID::random();
    // Compared case-insensitively; "*" matches every method.
    std::string method{};
    std::string path{};
    int statusCode = 200;
    std::string contentType{};
    std::string responseBody{};
    bool isEnabled = true;

    // The two built-in routes, built once per process (their identifiers are
    // fresh each run, stable within it). Any thread.
    static std::vector<MockRouteRule> defaultRoutes();

    friend bool operator==(const MockRouteRule&, const MockRouteRule&) = default;
};

// JSON form of the three records that have one: every member written, every
// member required on reading (tarn::json::DecodingError), others ignored.
void to_json(nlohmann::json& json, const MCPToolDescriptor& tool);
void from_json(const nlohmann::json& json, MCPToolDescriptor& tool);
void to_json(nlohmann::json& json, const MockRouteRule& route);
void from_json(const nlohmann::json& json, MockRouteRule& route);

} // namespace quiller

namespace tarn {
// The timing record's JSON form (found by argument-dependent lookup, hence
// in the record's own namespace).
void to_json(nlohmann::json& json, const HTTPPhaseTimings& timing);
void from_json(const nlohmann::json& json, HTTPPhaseTimings& timing);
} // namespace tarn
