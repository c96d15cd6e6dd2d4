#pragma once

// Marks a symbol name written in code that does not draw it itself (a table
// of tabs, a kind's symbol), so the symbol registry's completeness test finds
// it like the names passed to tarn::symbolIcon. Qt-free: the state layers use it.

#include <string_view>

namespace tarn {

consteval std::string_view symbolNamed(std::string_view name) {
    return name;
}

} // namespace tarn
