#include "QuillerCore/Engine/MCPProtocolCodec.h"

#include "TarnKit/Platform/JSON.h"

#include <nlohmann/json.hpp>
#include <optional>

namespace quiller::MCPProtocolCodec {
namespace {

using Json = nlohmann::json;

// The writer sorts keys at every level and always produces valid UTF-8 (it
// repairs invalid input), so the only failure left is nesting too deep.
std::string writeMessage(const Json& message) {
    try {
        return tarn::json::compact(message);
    } catch (const std::exception&) {
        return "{}";
    }
}

Json request(std::int64_t id, std::string_view method, Json params) {
    return Json{
        {"id", id},
        {"jsonrpc", "2.0"},
        {"method", std::string(method)},
        {"params", std::move(params)},
    };
}

// The JSON reader's default mode takes only an object or an array at the top.
std::optional<Json> parseContainer(std::string_view text) {
    std::optional<Json> document = tarn::json::parse(text);
    if (document && !document->is_object() && !document->is_array())
        return std::nullopt;
    return document;
}

} // namespace

std::string encodeInitialize(std::int64_t id) {
    return writeMessage(request(id, "initialize",
                                Json{
                                    {"capabilities", Json::object()},
                                    {"clientInfo", {{"name", "Quiller"}, {"version", "1.0.0"}}},
                                    {"protocolVersion", "2024-11-05"},
                                }));
}

std::string encodeInitializedNotification() {
    return writeMessage(Json{{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}});
}

std::string encodeListTools(std::int64_t id) {
    return writeMessage(request(id, "tools/list", Json::object()));
}

std::string encodeCallTool(std::int64_t id, std::string_view toolName,
                           std::string_view argumentsJSON) {
    Json arguments = parseContainer(argumentsJSON).value_or(Json::object());
    return writeMessage(request(id, "tools/call",
                                Json{
                                    {"arguments", std::move(arguments)},
                                    {"name", std::string(toolName)},
                                }));
}

std::vector<MCPToolDescriptor> decodeToolsList(std::string_view reply) {
    const std::optional<Json> document = parseContainer(reply);
    if (!document || !document->is_object())
        return {};
    const auto result = document->find("result");
    if (result == document->end() || !result->is_object())
        return {};
    const auto tools = result->find("tools");
    if (tools == result->end() || !tools->is_array())
        return {};
    for (const Json& tool : *tools) {
        if (!tool.is_object())
            return {};
    }

    std::vector<MCPToolDescriptor> descriptors;
    descriptors.reserve(tools->size());
    for (const Json& tool : *tools) {
        const auto name = tool.find("name");
        if (name == tool.end() || !name->is_string())
            continue;
        MCPToolDescriptor descriptor{.name = name->get<std::string>(), .inputSchemaJSON = "{}"};
        if (const auto description = tool.find("description");
            description != tool.end() && description->is_string())
            descriptor.description = description->get<std::string>();
        if (const auto schema = tool.find("inputSchema");
            schema != tool.end() && (schema->is_object() || schema->is_array())) {
            try {
                descriptor.inputSchemaJSON = tarn::json::pretty(*schema);
            } catch (const std::exception&) {
                // Keeps "{}".
            }
        }
        descriptors.push_back(std::move(descriptor));
    }
    return descriptors;
}

std::optional<std::int64_t> replyID(std::string_view line) {
    // Only an object can be a reply; skipping every other line up front keeps
    // a server's chatter from costing a parse each.
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] != '{')
        return std::nullopt;
    const std::optional<Json> document = parseContainer(line);
    if (!document || !document->is_object() ||
        (!document->contains("result") && !document->contains("error")))
        return std::nullopt;
    const auto id = document->find("id");
    if (id == document->end() || !id->is_number_integer())
        return std::nullopt;
    return id->get<std::int64_t>();
}

} // namespace quiller::MCPProtocolCodec
