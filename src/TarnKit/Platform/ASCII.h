#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// Character classes and case mapping of ASCII only: protocol tokens, header
// names, schemes and identifiers, where Unicode case rules must not apply and
// the process locale must not matter. Pure, safe from any thread.
namespace tarn::ascii {

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
constexpr bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
constexpr bool isLetter(char c) {
    return isUpper(c) || isLower(c);
}
constexpr bool isAlphanumeric(char c) {
    return isLetter(c) || isDigit(c);
}
// An HTTP token character (RFC 9110 tchar): a letter, a digit or one of
// "!#$%&'*+-.^_`|~".
constexpr bool isTokenCharacter(char c) {
    return isAlphanumeric(c) ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}
constexpr char lowercased(char c) {
    return isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char uppercased(char c) {
    return isLower(c) ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string lowercased(std::string text) {
    std::ranges::transform(text, text.begin(), [](char c) { return lowercased(c); });
    return text;
}
inline std::string uppercased(std::string text) {
    std::ranges::transform(text, text.begin(), [](char c) { return uppercased(c); });
    return text;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::ranges::equal(a, b, [](char x, char y) { return lowercased(x) == lowercased(y); });
}

} // namespace tarn::ascii
