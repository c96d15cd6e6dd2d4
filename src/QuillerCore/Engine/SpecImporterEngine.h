#pragma once

#include "QuillerCore/Models/RequestModel.h"

#include <cstddef>
#include <optional>
#include <string_view>

// Turns a pasted API description into a new collection: an OpenAPI document
// (one request per path and method) or a Postman collection of format 2 (one
// request per request item, folders flattened). Stateless; every function may
// be called from any thread at the same time.
namespace quiller::SpecImporterEngine {

// Documents that nest containers deeper than this are not imported. Pasted
// text is outside input, and the folder walk recurses once per level.
inline constexpr std::size_t maxNestingDepth = 256;

// The collection the text describes, or nullopt when the text is not JSON, is
// not recognised, or holds nothing to import; the caller words the message.
// A document with an "openapi" or a "paths" key is read as OpenAPI (its
// version is never examined); otherwise one with an "item" key and an "info"
// object is read as a Postman collection. Every request starts from the
// creation defaults; the importer's "{{baseUrl}}" template stands in for a
// server the document does not name (a Swagger 2.0 document names it by
// scheme, host and base path), server variables take their defaults, and
// path parameters become environment templates ("{petId}" as "{{petId}}"),
// so every request can be sent once its variables are set. Calls with the same text give
// collections that differ only in their fresh identifiers.
[[nodiscard]] std::optional<APIRequestCollection> importCollection(std::string_view text);

} // namespace quiller::SpecImporterEngine
