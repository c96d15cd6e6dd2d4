#include "QuillerCore/Models/RunnerRecords.h"

#include "TarnKit/Platform/JSONCoding.h"

#include <nlohmann/json.hpp>

namespace quiller {

void to_json(nlohmann::json& json, const VariableExtractionRule& rule) {
    json = nlohmann::json::object();
    json["id"] = rule.id;
    json["variableName"] = rule.variableName;
    json["jsonPath"] = rule.jsonPath;
    json["isEnabled"] = rule.isEnabled;
}

void from_json(const nlohmann::json& json, VariableExtractionRule& rule) {
    using tarn::json::required;
    tarn::json::expectObject(json);
    rule = VariableExtractionRule{
        .id = required<tarn::UUID>(json, "id"),
        .variableName = required<std::string>(json, "variableName"),
        .jsonPath = required<std::string>(json, "jsonPath"),
        .isEnabled = required<bool>(json, "isEnabled"),
    };
}

} // namespace quiller
