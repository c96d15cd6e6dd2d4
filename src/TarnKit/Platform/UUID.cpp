#include "TarnKit/Platform/UUID.h"

#include "TarnKit/Platform/Numbers.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>
#include <sys/random.h>

namespace tarn {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isHyphenPosition(std::size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

// Identifiers are drawn for every new row, rule and request, so random bytes
// come from a small per-thread pool refilled by getrandom(2) instead of one
// system call per identifier.
void fillRandom(std::uint8_t* out, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t n = getrandom(out + filled, count - filled, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // getrandom cannot fail on a supported kernel; fall back to the
            // standard device rather than hand out predictable bytes.
            std::random_device device;
            for (std::size_t i = filled; i < count; ++i)
                out[i] = static_cast<std::uint8_t>(device());
            return;
        }
        filled += static_cast<std::size_t>(n);
    }
}

struct RandomPool {
    std::array<std::uint8_t, 512> bytes{};
    std::size_t used = bytes.size();
};

} // namespace

UUID UUID::random() {
    thread_local RandomPool pool;
    if (pool.used + 16 > pool.bytes.size()) {
        fillRandom(pool.bytes.data(), pool.bytes.size());
        pool.used = 0;
    }
    std::array<std::uint8_t, 16> bytes{};
    std::memcpy(bytes.data(), pool.bytes.data() + pool.used, bytes.size());
    std::memset(pool.bytes.data() + pool.used, 0, bytes.size());
    pool.used += bytes.size();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return UUID(bytes);
}

std::optional<UUID> UUID::fromString(std::string_view text) {
    if (text.size() != 36)
        return std::nullopt;
    std::array<std::uint8_t, 16> bytes{};
    std::size_t byteIndex = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = numbers::hexDigitValue(text[i]);
        const int low = isHyphenPosition(i + 1) ? -1 : numbers::hexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[byteIndex++] = static_cast<std::uint8_t>(high << 4 | low);
        i += 2;
    }
    return UUID(bytes);
}

std::string UUID::string() const {
    std::string text;
    text.reserve(36);
    appendTo(text);
    return text;
}

void UUID::appendTo(std::string& out) const {
    char text[36];
    char* at = text;
    for (std::size_t i = 0; i < m_bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *at++ = '-';
        *at++ = kHexDigits[m_bytes[i] >> 4];
        *at++ = kHexDigits[m_bytes[i] & 0x0F];
    }
    out.append(text, sizeof text);
}

} // namespace tarn

std::size_t std::hash<tarn::UUID>::operator()(const tarn::UUID& id) const noexcept {
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    std::memcpy(&a, id.bytes().data(), 8);
    std::memcpy(&b, id.bytes().data() + 8, 8);
    return static_cast<std::size_t>(a ^ (b * 0x9E3779B97F4A7C15ULL));
}
