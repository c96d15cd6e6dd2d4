#include "TarnKit/Platform/Base64.h"

#include <cstdint>

namespace tarn::base64 {

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
