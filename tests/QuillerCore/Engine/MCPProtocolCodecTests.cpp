#include "QuillerCore/Engine/MCPProtocolCodec.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

namespace quiller {
namespace {

using Json = nlohmann::json;
using namespace MCPProtocolCodec;

TEST(MCPProtocolCodec, WritesTheFourMessagesCompactWithSortedKeys) {
    EXPECT_EQ(
        encodeInitialize(1),
        R"({"id":1,"jsonrpc":"2.0","method":"initialize","params":{"capabilities":{},)"
        R"("clientInfo":{"name":"Quiller","version":"1.0.0"},"protocolVersion":"2024-11-05"}})");
    EXPECT_EQ(encodeInitializedNotification(),
              R"({"jsonrpc":"2.0","method":"notifications\/initialized"})");
    EXPECT_EQ(encodeListTools(2), R"({"id":2,"jsonrpc":"2.0","method":"tools\/list","params":{}})");
    EXPECT_EQ(
        encodeCallTool(3, "search",
                       R"({"query": "a/b", "limit": 5, "nested": {"z": 1, "a": [true, null]}})"),
        R"({"id":3,"jsonrpc":"2.0","method":"tools\/call","params":{"arguments":)"
        R"({"limit":5,"nested":{"a":[true,null],"z":1},"query":"a\/b"},"name":"search"}})");
}

TEST(MCPProtocolCodec, SendsArgumentsOnlyWhenTheyAreAnObjectOrArray) {
    const struct {
        const char* argumentsJSON;
        Json expected;
    } cases[] = {
        {"", Json::object()},
        {"not json", Json::object()},
        {"{\"a\": ", Json::object()},
        {"42", Json::object()},
        {"\"text\"", Json::object()},
        {"null", Json::object()},
        {"{} {}", Json::object()},
        {"[1, \"two\", {}]", Json::array({1, "two", Json::object()})},
        {" \n{\"k\": 1.25}\n", {{"k", 1.25}}},
    };
    for (const auto& c : cases) {
        const Json message = Json::parse(encodeCallTool(3, "tool", c.argumentsJSON));
        EXPECT_EQ(message.at("params").at("arguments"), c.expected) << c.argumentsJSON;
    }
}

TEST(MCPProtocolCodec, EscapesToolNamesAndKeepsTheFullIdentifierRange) {
    const std::string name = "say \"hi\"\\ \n\t\x01 ünïcødé 🙂";
    const std::string message = encodeCallTool(std::numeric_limits<std::int64_t>::max(), name,
                                               R"({"text":"\"quoted\" \\ é"})");
    EXPECT_EQ(message.find('\n'), std::string::npos);
    const Json parsed = Json::parse(message);
    EXPECT_EQ(parsed.at("id"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parsed.at("params").at("name"), name);
    EXPECT_EQ(parsed.at("params").at("arguments").at("text"), "\"quoted\" \\ é");
    EXPECT_NE(message.find("ünïcødé 🙂"), std::string::npos); // non-ASCII written as is
    EXPECT_EQ(Json::parse(encodeListTools(-7)).at("id"), -7);

    // Text that is not UTF-8 still gives a valid message.
    const Json repaired = Json::parse(encodeCallTool(1, "bad\xFFname", "{}"));
    EXPECT_EQ(repaired.at("params").at("name"), "bad\xEF\xBF\xBDname");
}

TEST(MCPProtocolCodec, ArgumentsTooDeepForAMessageGiveTheEmptyObjectMessage) {
    // The arguments parse (512 levels, as deep as JSON may go), but inside the message they pass
    // the writer's nesting limit: the encoder falls back instead of throwing.
    const std::string arguments = std::string(512, '[') + std::string(512, ']');
    EXPECT_EQ(encodeCallTool(3, "tool", arguments), "{}");
}

TEST(MCPProtocolCodec, DecodesToolListings) {
    const struct {
        const char* reply;
        std::vector<MCPToolDescriptor> expected;
    } cases[] = {
        {R"({"jsonrpc":"2.0","id":2,"result":{"tools":[]}})", {}},
        {R"({"jsonrpc":"2.0","id":2,"error":{"code":-32601,"message":"nope"}})", {}},
        {R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})", {}},
        {R"({"jsonrpc":"2.0","id":1,"result":{"serverInfo":{"name":"s"}}})", {}},
        {R"({"result":{"tools":{"name":"a"}}})", {}},
        {R"({"result":[{"tools":[]}]})", {}},
        {R"([{"result":{"tools":[{"name":"a"}]}}])", {}},
        // One element that is not an object voids the whole list.
        {R"({"result":{"tools":[{"name":"a"},"b"]}})", {}},
        // Exactly one document per reply.
        {R"({"result":{"tools":[{"name":"a"}]}} {"result":{"tools":[{"name":"b"}]}})", {}},
        {"", {}},
        {"not json", {}},
        {"  {\"result\":{\"tools\":[{\"name\":\"a\"}]}}\r\n", {{"a", "", "{}"}}},
        {R"({"result":{"tools":[
             {"name":"echo","description":"Echoes","inputSchema":{"type":"object","properties":{}}},
             {"name":7,"description":"skipped"},
             {"description":"no name"},
             {"name":"bare","description":null,"inputSchema":"text"},
             {"name":"listed","inputSchema":[{"b":1,"a":2}]},
             {"name":"nulled","inputSchema":null}
           ]}})",
         {{"echo", "Echoes", "{\n  \"properties\" : {},\n  \"type\" : \"object\"\n}"},
          {"bare", "", "{}"},
          {"listed", "", "[\n  {\n    \"a\" : 2,\n    \"b\" : 1\n  }\n]"},
          {"nulled", "", "{}"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeToolsList(c.reply), c.expected) << c.reply;
}

TEST(MCPProtocolCodec, RewritesInputSchemasPrettyAndSorted) {
    const std::vector<MCPToolDescriptor> tools = decodeToolsList(
        R"({"id":2,"result":{"tools":[{"name":"fetch","inputSchema":{"type":"object",)"
        R"("required":["url"],"properties":{"url":{"type":"string","format":"uri"},)"
        R"("max":{"type":"integer"}}}}]}})");
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools[0].inputSchemaJSON, R"({
  "properties" : {
    "max" : {
      "type" : "integer"
    },
    "url" : {
      "format" : "uri",
      "type" : "string"
    }
  },
  "required" : [
    "url"
  ],
  "type" : "object"
})");
}

TEST(MCPProtocolCodec, TellsRepliesFromOtherLines) {
    const struct {
        const char* line;
        std::optional<std::int64_t> id;
    } cases[] = {
        {R"({"jsonrpc":"2.0","id":1,"result":{}})", 1},
        {R"(  {"id":2,"error":{"code":-32601,"message":"no"}})", 2},
        {R"({"id":3,"result":null})", 3},
        // A request or notification from the server is no reply.
        {R"({"jsonrpc":"2.0","id":1,"method":"roots/list"})", std::nullopt},
        {R"({"jsonrpc":"2.0","method":"notifications/message","params":{}})", std::nullopt},
        {R"({"id":"1","result":{}})", std::nullopt},
        {R"({"id":1.5,"result":{}})", std::nullopt},
        {R"({"result":{}})", std::nullopt},
        {R"([{"id":1,"result":{}}])", std::nullopt},
        {"server starting on stdio", std::nullopt},
        {R"({"id":1,"result":{}} {"id":2,"result":{}})", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(MCPProtocolCodec::replyID(c.line), c.id);
    }
}

} // namespace
} // namespace quiller
