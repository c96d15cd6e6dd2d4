#include "QuillerCore/Models/RuntimeRecords.h"

#include "TarnKit/Platform/JSONCoding.h"

namespace quiller {

using tarn::json::required;

AssertionEvaluationResult::AssertionEvaluationResult(ResponseAssertionRule evaluatedRule,
                                                     bool hasPassed, std::string actual)
    : id(evaluatedRule.id), rule(std::move(evaluatedRule)), passed(hasPassed),
      actualValue(std::move(actual)) {}

void to_json(nlohmann::json& json, const MCPToolDescriptor& tool) {
    json = nlohmann::json::object();
    json["name"] = tool.name;
    json["description"] = tool.description;
    json["inputSchemaJSON"] = tool.inputSchemaJSON;
}

void from_json(const nlohmann::json& json, MCPToolDescriptor& tool) {
    tarn::json::expectObject(json);
    tool = MCPToolDescriptor{
        .name = required<std::string>(json, "name"),
        .description = required<std::string>(json, "description"),
        .inputSchemaJSON = required<std::string>(json, "inputSchemaJSON"),
    };
}

void to_json(nlohmann::json& json, const MockRouteRule& route) {
    json = nlohmann::json::object();
    json["id"] = route.id;
    json["method"] = route.method;
    json["path"] = route.path;
    json["statusCode"] = route.statusCode;
    json["contentType"] = route.contentType;
    json["responseBody"] = route.responseBody;
    json["isEnabled"] = route.isEnabled;
}

void from_json(const nlohmann::json& json, MockRouteRule& route) {
    tarn::json::expectObject(json);
    route = MockRouteRule{
        .id = required<tarn::UUID>(json, "id"),
        .method = required<std::string>(json, "method"),
        .path = required<std::string>(json, "path"),
        .statusCode = required<int>(json, "statusCode"),
        .contentType = required<std::string>(json, "contentType"),
        .responseBody = required<std::string>(json, "responseBody"),
        .isEnabled = required<bool>(json, "isEnabled"),
    };
}

} // namespace quiller

namespace tarn {

void to_json(nlohmann::json& out, const HTTPPhaseTimings& timing) {
    out = nlohmann::json::object();
    out["dnsMs"] = timing.dnsMs;
    out["tcpMs"] = timing.tcpMs;
    out["tlsMs"] = timing.tlsMs;
    out["ttfbMs"] = timing.ttfbMs;
    out["downloadMs"] = timing.downloadMs;
    out["totalMs"] = timing.totalMs;
}

void from_json(const nlohmann::json& value, HTTPPhaseTimings& timing) {
    json::expectObject(value);
    timing = HTTPPhaseTimings{
        .dnsMs = json::required<double>(value, "dnsMs"),
        .tcpMs = json::required<double>(value, "tcpMs"),
        .tlsMs = json::required<double>(value, "tlsMs"),
        .ttfbMs = json::required<double>(value, "ttfbMs"),
        .downloadMs = json::required<double>(value, "downloadMs"),
        .totalMs = json::required<double>(value, "totalMs"),
    };
}

} // namespace tarn
