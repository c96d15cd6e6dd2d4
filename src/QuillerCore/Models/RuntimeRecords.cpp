#include "QuillerCore/Models/RuntimeRecords.h"

#include "TarnKit/Platform/JSONCoding.h"

namespace quiller {

using tarn::json::required;

AssertionEvaluationResult::AssertionEvaluationResult(ResponseAssertionRule evaluatedRule,
                                                     bool hasPassed, std::string actual)
    : id(evaluatedRule.id), rule(std::move(evaluatedRule)), passed(hasPassed),
      actualValue(std::move(actual)) {}

void to_json(nlohmann::json& json, const TimingWaterfall& timing) {
    json = nlohmann::json::object();
    json["dnsMs"] = timing.dnsMs;
    json["tcpMs"] = timing.tcpMs;
    json["tlsMs"] = timing.tlsMs;
    json["ttfbMs"] = timing.ttfbMs;
    json["downloadMs"] = timing.downloadMs;
    json["totalMs"] = timing.totalMs;
}

void from_json(const nlohmann::json& json, TimingWaterfall& timing) {
    tarn::json::expectObject(json);
    timing = TimingWaterfall{
        .dnsMs = required<double>(json, "dnsMs"),
        .tcpMs = required<double>(json, "tcpMs"),
        .tlsMs = required<double>(json, "tlsMs"),
        .ttfbMs = required<double>(json, "ttfbMs"),
        .downloadMs = required<double>(json, "downloadMs"),
        .totalMs = required<double>(json, "totalMs"),
    };
}

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
