#include "QuillerCore/Engine/MCPToolSampleArguments.h"

#include "TarnKit/Platform/JSON.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

namespace quiller::CollectionRunnerAndBenchmarkEngine {
namespace {

using Json = nlohmann::json;

Json sampleForType(std::string_view type) {
    if (type == "integer" || type == "number")
        return 0;
    if (type == "boolean")
        return false;
    if (type == "array")
        return Json::array();
    if (type == "object")
        return Json::object();
    return "";
}

} // namespace

std::string sampleArgumentsJSON(std::string_view inputSchema) {
    const std::optional<Json> schema = tarn::json::parse(inputSchema);
    if (!schema || !schema->is_object())
        return "{}";
    const auto properties = schema->find("properties");
    if (properties == schema->end() || !properties->is_object() || properties->empty())
        return "{}";
    if (!std::all_of(properties->begin(), properties->end(),
                     [](const Json& property) { return property.is_object(); }))
        return "{}";

    Json arguments = Json::object();
    for (const auto& [name, property] : properties->items()) {
        const auto type = property.find("type");
        const bool hasTextType = type != property.end() && type->is_string();
        arguments[name] =
            sampleForType(hasTextType ? type->get_ref<const std::string&>() : "string");
    }
    try {
        return tarn::json::pretty(arguments);
    } catch (const std::exception&) {
        return "{}";
    }
}

} // namespace quiller::CollectionRunnerAndBenchmarkEngine
