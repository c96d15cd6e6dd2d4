#include "TarnKit/Platform/Base64.h"

#include <array>
#include <cstdint>

namespace tarn::base64 {
namespace {

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::optional<std::string> decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t group = 0; group < text.size(); group += 4) {
        const bool last = group + 4 == text.size();
        std::array<int, 4> values{};
        int padding = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = text[group + i];
            if (c == '=' && last && i >= 2) {
                ++padding;
                continue;
            }
            if (padding > 0)
                return std::nullopt; // data after padding
            values[i] = base64Value(c);
            if (values[i] < 0)
                return std::nullopt;
        }
        const unsigned triple =
            static_cast<unsigned>(values[0]) << 18 | static_cast<unsigned>(values[1]) << 12 |
            static_cast<unsigned>(values[2]) << 6 | static_cast<unsigned>(values[3]);
        bytes += static_cast<char>(triple >> 16 & 0xFF);
        if (padding < 2)
            bytes += static_cast<char>(triple >> 8 & 0xFF);
        if (padding < 1)
            bytes += static_cast<char>(triple & 0xFF);
        if ((padding == 1 && (triple & 0xFF) != 0) || (padding == 2 && (triple & 0xFFFF) != 0))
            return std::nullopt;
    }
    return bytes;
}

std::string encode(std::string_view bytes) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    encoded.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group =
            static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
            static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
            static_cast<unsigned char>(bytes[i + 2]);
        encoded.push_back(alphabet[group >> 18 & 0x3F]);
        encoded.push_back(alphabet[group >> 12 & 0x3F]);
        encoded.push_back(alphabet[group >> 6 & 0x3F]);
        encoded.push_back(alphabet[group & 0x3F]);
    }
    const std::size_t left = bytes.size() - i;
    if (left == 0)
        return encoded;
    std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (left == 2)
        group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    encoded.push_back(alphabet[group >> 18 & 0x3F]);
    encoded.push_back(alphabet[group >> 12 & 0x3F]);
    encoded.push_back(left == 2 ? alphabet[group >> 6 & 0x3F] : '=');
    encoded.push_back('=');
    return encoded;
}

} // namespace tarn::base64
