#pragma once

#include "TarnKit/Utilities/TarnColor.h"

#include <array>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string_view>

namespace tarn {

// The colour family of one product: three dark ground colours for the window
// backdrop and one bright accent. This application uses `deepIndigo`.
enum class TarnProductPalette : std::uint8_t {
    deepViolet,
    deepCrimson,
    deepAmber,
    deepEmerald,
    deepCobalt,
    deepIndigo,
    deepAbyss,
    deepCoral,
    deepCyan,
};

// The ground gradient, lightest first.
struct TarnGroundStops {
    TarnColor topLeft;
    TarnColor middle;
    TarnColor bottomRight;

    friend bool operator==(const TarnGroundStops&, const TarnGroundStops&) = default;
};

// One stop as a plain number triple, given to three decimals.
struct TarnRGBStop {
    double r = 0;
    double g = 0;
    double b = 0;

    friend bool operator==(const TarnRGBStop&, const TarnRGBStop&) = default;
};

// The case name ("deepIndigo").
std::string_view rawValue(TarnProductPalette palette);

// Encoding writes the case name; a name that is no case fails to decode with
// a data-corrupted json::DecodingError.
void to_json(nlohmann::json& json, TarnProductPalette palette);
void from_json(const nlohmann::json& json, TarnProductPalette& palette);

// Pure lookups, safe from any thread.
namespace productpalette {

// The nine cases in declaration order.
std::span<const TarnProductPalette> allCases();
// Exact, case-sensitive comparison with the case names.
[[nodiscard]] std::optional<TarnProductPalette> fromRaw(std::string_view text);

// The byte/255 ground colours at opacity 1.
TarnGroundStops groundStops(TarnProductPalette palette);
// The three-decimal table; a separate table, not derived from groundStops.
std::array<TarnRGBStop, 3> rgbStops(TarnProductPalette palette);
TarnColor accentColor(TarnProductPalette palette);

} // namespace productpalette
} // namespace tarn
