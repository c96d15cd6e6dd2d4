#pragma once

// Ready-to-edit arguments for an MCP tool call, made from the tool's input
// schema. Part of the engine namespace shared with the collection runner and
// the load benchmark. Pure; safe on any thread.

#include <string>
#include <string_view>

namespace quiller::CollectionRunnerAndBenchmarkEngine {

// A pretty JSON object (sorted keys) with one placeholder per member of the
// schema's "properties", chosen by the property's "type" text alone: 0 for
// "integer" and "number", false for "boolean", [] for "array", {} for "object",
// and the empty text for anything else. Nothing else of the schema is read.
// Every failure (not JSON, no usable "properties", an empty one, a property
// that is not an object) gives "{}"; the result is never empty.
std::string sampleArgumentsJSON(std::string_view inputSchema);

} // namespace quiller::CollectionRunnerAndBenchmarkEngine
