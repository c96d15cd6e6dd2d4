#pragma once

#include "QuillerCore/Models/Enumeration.h"

#include <span>
#include <string_view>

namespace quiller {

// The tabs of the studio window, in the order the tab bar shows them.
enum class QuillerTab { client, history, runner, streaming, mcp, proxy, environments };

// The case name ("client", ...); also the tab's identity. fromRaw<QuillerTab>
// gives nothing for any other text.
std::string_view rawValue(QuillerTab tab);
std::string_view id(QuillerTab tab);
template <> std::span<const QuillerTab> allCases<QuillerTab>();

} // namespace quiller
