#pragma once

// The shared shape of the core's enumerations: each one overloads
// `rawValue(E)` (its stored text) and specialises `allCases<E>()` (every case
// in declared order, the order the editor offers them in); `fromRaw<E>` then
// comes for free.

#include <optional>
#include <span>
#include <string_view>

namespace quiller {

template <class E> std::span<const E> allCases();

// The case whose raw value is exactly `text` (case-sensitive, no trimming).
template <class E> [[nodiscard]] std::optional<E> fromRaw(std::string_view text) {
    for (const E value : allCases<E>()) {
        if (rawValue(value) == text)
            return value;
    }
    return std::nullopt;
}

} // namespace quiller
