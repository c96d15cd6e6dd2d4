#pragma once

#include <optional>
#include <string>
#include <string_view>

// Base64 of RFC 4648. Pure functions, safe from any thread.
namespace tarn::base64 {

// The standard alphabet ("+" and "/"), padded with "=", no line breaks.
std::string encode(std::string_view bytes);

// The bytes of strict Base64 as encode writes it: padded, no line breaks, no
// bits left over in the last group; nothing for any other text.
[[nodiscard]] std::optional<std::string> decode(std::string_view text);

} // namespace tarn::base64
