#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>

namespace tarn {

// One global keyboard shortcut as an application stores it in its settings: a
// virtual key code and a modifier mask in the classic encoding the suite's
// settings files use (command 0x100, shift 0x200, option 0x800, control
// 0x1000). "Command" means Control on Linux; TarnGlobalHotkeyManager says how
// the others map. A plain value: copy it freely between threads.
struct TarnHotkeyDescriptor {
    static constexpr std::uint32_t commandFlag = 0x100;
    static constexpr std::uint32_t shiftFlag = 0x200;
    static constexpr std::uint32_t optionFlag = 0x800;
    static constexpr std::uint32_t controlFlag = 0x1000;
    // Command + shift and command + option.
    static constexpr std::uint32_t cmdShiftFlag = commandFlag | shiftFlag;
    static constexpr std::uint32_t cmdOptionFlag = commandFlag | optionFlag;

    std::uint32_t keyCode = 0;
    std::uint32_t carbonModifiers = 0;

    friend bool operator==(const TarnHotkeyDescriptor&, const TarnHotkeyDescriptor&) = default;
};

// JSON form: {"carbonModifiers": <number>, "keyCode": <number>}. Decoding is
// strict: both keys are required and must hold unsigned 32-bit integers
// (tarn::json::DecodingError otherwise).
void to_json(nlohmann::json& json, const TarnHotkeyDescriptor& descriptor);
void from_json(const nlohmann::json& json, TarnHotkeyDescriptor& descriptor);

} // namespace tarn

// Hashes both fields, key code first.
template <> struct std::hash<tarn::TarnHotkeyDescriptor> {
    std::size_t operator()(const tarn::TarnHotkeyDescriptor& descriptor) const noexcept;
};
