// Introspection answers come from any server the user points the workbench at.
// Whatever the bytes, the parser either gives a schema or throws one of its
// own errors; a schema survives its JSON form unchanged, and every operation
// of it can be filtered and turned into a template whose variables are JSON.
#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

namespace {

using namespace quiller;

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    GraphQLSchemaSummary schema;
    try {
        schema = GraphQLIntrospectionEngine::parseIntrospection(bytes);
    } catch (const GraphQLIntrospectionError& error) {
        check(!error.description().empty());
        return 0;
    }

    // The JSON form keeps milliseconds.
    schema.fetchedAt = std::chrono::floor<std::chrono::milliseconds>(schema.fetchedAt);
    const nlohmann::json json = schema;
    check(json.get<GraphQLSchemaSummary>() == schema);

    check(schema.filteredOperations(std::nullopt, " ") == schema.operations);
    check(schema.queries().size() + schema.mutations().size() + schema.subscriptions().size() ==
          schema.operations.size());

    // Template generation walks the schema's types; a handful of operations
    // covers it without making one input cost seconds.
    std::size_t generated = 0;
    for (const GraphQLOperationField& operation : schema.operations) {
        if (++generated > 8)
            break;
        check(!schema.filteredOperations(operation.rootKind, operation.name).empty());
        const GraphQLGeneratedOperation result =
            GraphQLIntrospectionEngine::generateOperationTemplate(operation, schema, 2);
        const auto variables = nlohmann::json::parse(result.variablesJSON, nullptr, false);
        check(variables.is_object());
    }
    return 0;
}
