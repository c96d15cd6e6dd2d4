#include "QuillerCore/Engine/MCPToolSampleArguments.h"

#include <gtest/gtest.h>

namespace quiller {
namespace {

using CollectionRunnerAndBenchmarkEngine::sampleArgumentsJSON;

TEST(MCPToolSampleArguments, OnePlaceholderPerPropertyBySchemaType) {
    const struct {
        const char* schema;
        const char* expected;
    } cases[] = {
        {R"({"type":"object","properties":{"c":{"type":"boolean"},"a":{"type":"string"},"b":{"type":"integer"}}})",
         "{\n  \"a\" : \"\",\n  \"b\" : 0,\n  \"c\" : false\n}"},
        {R"({"properties":{"n":{"type":"number"},"list":{"type":"array","items":{"type":"string"}},"o":{"type":"object","properties":{"x":{"type":"integer"}}}}})",
         "{\n  \"list\" : [],\n  \"n\" : 0,\n  \"o\" : {}\n}"},
        // No type, the text "null", another spelling, a list of types: all the empty text.
        {R"({"properties":{"a":{},"b":{"type":"null"},"c":{"type":"Integer"},"d":{"type":["integer","null"]},"e":{"type":1}}})",
         "{\n  \"a\" : \"\",\n  \"b\" : \"\",\n  \"c\" : \"\",\n  \"d\" : \"\",\n  \"e\" : "
         "\"\"\n}"},
        // Required lists, defaults, enumerations and examples are not read.
        {R"({"properties":{"mode":{"type":"string","enum":["fast"],"default":"fast","examples":["x"]}},"required":["other"]})",
         "{\n  \"mode\" : \"\"\n}"},
        {R"({"properties":{"path/to":{"type":"string"},"ünï":{"type":"boolean"}}})",
         "{\n  \"path\\/to\" : \"\",\n  \"ünï\" : false\n}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sampleArgumentsJSON(c.schema), c.expected) << c.schema;
}

TEST(MCPToolSampleArguments, GivesTheEmptyObjectForUnusableSchemas) {
    const char* const schemas[] = {
        "",
        "not json",
        "{}",
        "[]",
        "\"text\"",
        R"({"type":"object"})",
        R"({"properties":{}})",
        R"({"properties":[{"a":{"type":"string"}}]})",
        R"({"properties":null})",
        R"({"properties":{"a":{"type":"string"},"b":true}})",
        R"({"properties":{"a":{"type":"string"}}} trailing)",
    };
    for (const char* schema : schemas)
        EXPECT_EQ(sampleArgumentsJSON(schema), "{}") << schema;
}

} // namespace
} // namespace quiller
