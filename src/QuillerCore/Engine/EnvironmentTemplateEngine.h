#pragma once

#include "QuillerCore/Models/RequestModel.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quiller {

// Variable name to value, as the active environment defines them.
using VariableMap = std::map<std::string, std::string, std::less<>>;

// Fills "{{name}}" templates and composes requests. Stateless; every function
// may be called from any thread at the same time.
namespace EnvironmentTemplateEngine {

// The enabled variables with a non-empty key; a later row wins over an earlier
// one with the same key. No environment gives an empty map.
VariableMap variableMap(const std::optional<APIEnvironmentProfile>& environment);
VariableMap variableMap(const APIEnvironmentProfile* environment);

// Replaces every "{{name}}" of a known variable with its value. The entries
// are applied one after another in name order, each on the text the previous
// one produced; references to unknown names stay as typed.
std::string interpolate(std::string_view text, const VariableMap& variables);

} // namespace EnvironmentTemplateEngine
} // namespace quiller
