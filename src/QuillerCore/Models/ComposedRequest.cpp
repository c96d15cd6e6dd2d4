#include "QuillerCore/Models/ComposedRequest.h"

#include "TarnKit/Platform/ASCII.h"

#include <algorithm>

namespace quiller {

bool isHTTPToken(std::string_view name) {
    return !name.empty() && std::ranges::all_of(name, tarn::ascii::isTokenCharacter);
}

std::size_t HTTPHeaderFields::indexOf(std::string_view name) const {
    const auto field = std::ranges::find_if(m_fields, [name](const HTTPHeaderField& candidate) {
        // Header names are tokens, hence ASCII: no Unicode case rules apply.
        return tarn::ascii::equalsIgnoringCase(candidate.name, name);
    });
    return static_cast<std::size_t>(field - m_fields.begin());
}

bool HTTPHeaderFields::set(std::string_view name, std::string_view value) {
    if (!isHTTPToken(name))
        return false;
    std::string cleanValue(value);
    std::ranges::replace_if(
        cleanValue, [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');

    const std::size_t existing = indexOf(name);
    if (existing == m_fields.size()) {
        m_fields.push_back(HTTPHeaderField{std::string(name), std::move(cleanValue)});
    } else {
        m_fields[existing].name.assign(name);
        m_fields[existing].value = std::move(cleanValue);
    }
    return true;
}

std::optional<std::string> HTTPHeaderFields::value(std::string_view name) const {
    const std::size_t field = indexOf(name);
    if (field == m_fields.size())
        return std::nullopt;
    return m_fields[field].value;
}

bool HTTPHeaderFields::contains(std::string_view name) const {
    return indexOf(name) != m_fields.size();
}

} // namespace quiller
