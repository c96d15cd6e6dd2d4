#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// A 128-bit identifier. New values are random version 4; the text form is the
// 36-character hyphenated form in upper case, read back in either case.
class UUID {
public:
    // The nil identifier (all zero bits).
    constexpr UUID() = default;
    explicit constexpr UUID(const std::array<std::uint8_t, 16>& bytes) : m_bytes(bytes) {}

    // A fresh random version-4 identifier. Safe from any thread.
    static UUID random();
    // Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in either case; nothing else.
    [[nodiscard]] static std::optional<UUID> fromString(std::string_view text);

    std::string string() const;
    // Appends the text form to `out`, with no allocation of its own.
    void appendTo(std::string& out) const;
    const std::array<std::uint8_t, 16>& bytes() const { return m_bytes; }

    friend constexpr bool operator==(const UUID&, const UUID&) = default;
    // clang-tidy 14 takes the 0 its defaulted <=> compares against for a null
    // pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend constexpr auto operator<=>(const UUID&, const UUID&) = default;

private:
    std::array<std::uint8_t, 16> m_bytes{};
};

} // namespace tarn

template <> struct std::hash<tarn::UUID> {
    std::size_t operator()(const tarn::UUID& id) const noexcept;
};
