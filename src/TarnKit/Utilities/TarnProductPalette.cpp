#include "TarnKit/Utilities/TarnProductPalette.h"

#include "TarnKit/Platform/JSONCoding.h"

namespace tarn {
namespace {

struct PaletteRow {
    std::string_view name;
    std::uint32_t topLeft;
    std::uint32_t middle;
    std::uint32_t bottomRight;
    std::uint32_t accent;
    std::array<TarnRGBStop, 3> rgbStops;
};

// In declaration order: row i belongs to case i.
constexpr std::array<PaletteRow, 9> kRows = {{
    {"deepViolet",
     0x462A7D,
     0x311F59,
     0x1D133B,
     0xA98BFF,
     {{{0.275, 0.165, 0.490}, {0.192, 0.122, 0.349}, {0.114, 0.075, 0.231}}}},
    {"deepCrimson",
     0x7A2248,
     0x4A1634,
     0x240D1D,
     0xFF6B9D,
     {{{0.478, 0.133, 0.282}, {0.290, 0.086, 0.204}, {0.141, 0.051, 0.114}}}},
    {"deepAmber",
     0x783C1E,
     0x4A2515,
     0x24130C,
     0xFFA95C,
     {{{0.471, 0.235, 0.118}, {0.290, 0.145, 0.082}, {0.141, 0.075, 0.047}}}},
    {"deepEmerald",
     0x156256,
     0x103F3D,
     0x0B2124,
     0x47E6C1,
     {{{0.082, 0.384, 0.337}, {0.063, 0.247, 0.239}, {0.043, 0.129, 0.141}}}},
    {"deepCobalt",
     0x1D4E89,
     0x16335E,
     0x0D1C38,
     0x5CC4FF,
     {{{0.114, 0.306, 0.537}, {0.086, 0.200, 0.369}, {0.051, 0.110, 0.220}}}},
    {"deepIndigo",
     0x24347A,
     0x182356,
     0x0D1433,
     0x7CA4FF,
     {{{0.141, 0.204, 0.478}, {0.094, 0.137, 0.337}, {0.051, 0.078, 0.200}}}},
    {"deepAbyss",
     0x1F4A5C,
     0x153445,
     0x0C1F2B,
     0x66D9EF,
     {{{0.122, 0.290, 0.361}, {0.082, 0.204, 0.271}, {0.047, 0.122, 0.169}}}},
    {"deepCoral",
     0x6E1F63,
     0x471645,
     0x240B26,
     0xF472D0,
     {{{0.431, 0.122, 0.388}, {0.278, 0.086, 0.271}, {0.141, 0.043, 0.149}}}},
    {"deepCyan",
     0x0D5668,
     0x0B3A4A,
     0x07202B,
     0x38E8FF,
     {{{0.051, 0.337, 0.408}, {0.043, 0.227, 0.290}, {0.027, 0.125, 0.169}}}},
}};

constexpr std::array<TarnProductPalette, kRows.size()> kAllCases = [] {
    std::array<TarnProductPalette, kRows.size()> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = static_cast<TarnProductPalette>(i);
    return cases;
}();
static_assert(kAllCases.back() == TarnProductPalette::deepCyan);

const PaletteRow& row(TarnProductPalette palette) {
    const auto index = static_cast<std::size_t>(palette);
    return kRows[index < kRows.size() ? index
                                      : static_cast<std::size_t>(TarnProductPalette::deepIndigo)];
}

} // namespace

std::string_view rawValue(TarnProductPalette palette) {
    return row(palette).name;
}

void to_json(nlohmann::json& json, TarnProductPalette palette) {
    json = std::string(rawValue(palette));
}

void from_json(const nlohmann::json& json, TarnProductPalette& palette) {
    palette = json::decodeEnum<TarnProductPalette>(json, productpalette::fromRaw);
}

namespace productpalette {

std::span<const TarnProductPalette> allCases() {
    return kAllCases;
}

std::optional<TarnProductPalette> fromRaw(std::string_view text) {
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        if (kRows[i].name == text)
            return kAllCases[i];
    }
    return std::nullopt;
}

TarnGroundStops groundStops(TarnProductPalette palette) {
    const PaletteRow& r = row(palette);
    return {TarnColor::fromHex(r.topLeft), TarnColor::fromHex(r.middle),
            TarnColor::fromHex(r.bottomRight)};
}

std::array<TarnRGBStop, 3> rgbStops(TarnProductPalette palette) {
    return row(palette).rgbStops;
}

TarnColor accentColor(TarnProductPalette palette) {
    return TarnColor::fromHex(row(palette).accent);
}

} // namespace productpalette
} // namespace tarn
