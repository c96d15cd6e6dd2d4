#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"

namespace quiller::EnvironmentTemplateEngine {

VariableMap variableMap(const APIEnvironmentProfile* environment) {
    VariableMap variables;
    if (environment == nullptr)
        return variables;
    for (const KeyValueRow& row : environment->variables) {
        if (!row.isEnabled || row.key.empty())
            continue;
        variables.insert_or_assign(row.key, row.value);
    }
    return variables;
}

VariableMap variableMap(const std::optional<APIEnvironmentProfile>& environment) {
    return variableMap(environment ? &*environment : nullptr);
}

std::string interpolate(std::string_view text, const VariableMap& variables) {
    std::string result(text);
    if (result.find("{{") == std::string::npos)
        return result;

    std::string pattern;
    std::string replaced;
    for (const auto& [name, value] : variables) {
        pattern.assign("{{").append(name).append("}}");
        std::size_t found = result.find(pattern);
        if (found == std::string::npos)
            continue;
        // One left-to-right pass per entry, building the new text once rather
        // than shifting the tail on every replacement.
        replaced.clear();
        std::size_t copiedUpTo = 0;
        while (found != std::string::npos) {
            replaced.append(result, copiedUpTo, found - copiedUpTo).append(value);
            copiedUpTo = found + pattern.size();
            found = result.find(pattern, copiedUpTo);
        }
        replaced.append(result, copiedUpTo, std::string::npos);
        result.swap(replaced);
    }
    return result;
}

} // namespace quiller::EnvironmentTemplateEngine
