#pragma once

#include <string>
#include <string_view>

// Base64 of RFC 4648. Pure functions, safe from any thread.
namespace tarn::base64 {

// The standard alphabet ("+" and "/"), padded with "=", no line breaks.
std::string encode(std::string_view bytes);

} // namespace tarn::base64
