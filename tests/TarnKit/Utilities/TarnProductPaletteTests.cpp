#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <cmath>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>

namespace {

using tarn::TarnColor;
using tarn::TarnProductPalette;
namespace productpalette = tarn::productpalette;
namespace glass = tarn::TarnGlassTokens;

TEST(TarnProductPalette, CasesAndExactRawValues) {
    const auto cases = productpalette::allCases();
    ASSERT_EQ(cases.size(), 9u);
    EXPECT_EQ(cases.front(), TarnProductPalette::deepViolet);
    EXPECT_EQ(cases.back(), TarnProductPalette::deepCyan);
    for (const TarnProductPalette palette : cases)
        EXPECT_EQ(productpalette::fromRaw(tarn::rawValue(palette)), palette);

    EXPECT_EQ(productpalette::fromRaw("deepIndigo"), TarnProductPalette::deepIndigo);
    for (const char* other : {"DeepIndigo", "deepindigo", "", "deepIndigo "})
        EXPECT_EQ(productpalette::fromRaw(other), std::nullopt) << other;
}

TEST(TarnProductPalette, ByteColoursOfTheIndigoPalette) {
    EXPECT_EQ(productpalette::accentColor(TarnProductPalette::deepIndigo),
              (TarnColor{124 / 255.0, 164 / 255.0, 255 / 255.0, 1}));
    EXPECT_EQ(productpalette::groundStops(TarnProductPalette::deepIndigo).topLeft,
              (TarnColor{36 / 255.0, 52 / 255.0, 122 / 255.0, 1}));
    EXPECT_EQ(productpalette::groundStops(TarnProductPalette::deepIndigo).bottomRight,
              TarnColor::fromHex(0x0D1433));
}

TEST(TarnProductPalette, HexColoursIgnoreTheTopByte) {
    EXPECT_EQ(TarnColor::fromHex(0x7CA4FF, 1),
              productpalette::accentColor(TarnProductPalette::deepIndigo));
    EXPECT_EQ(TarnColor::fromHex(0xFF3EE6A8, 1), glass::success);
    EXPECT_EQ(TarnColor::fromHex(0, 0.5), TarnColor::black(0.5));
}

// The three-decimal table is kept separately from the byte colours; each of its
// components still rounds to the byte of the matching ground stop.
TEST(TarnProductPalette, DecimalStopsAgreeWithTheGroundBytes) {
    for (const TarnProductPalette palette : productpalette::allCases()) {
        const auto stops = productpalette::rgbStops(palette);
        const auto ground = productpalette::groundStops(palette);
        const TarnColor colours[] = {ground.topLeft, ground.middle, ground.bottomRight};
        for (std::size_t i = 0; i < stops.size(); ++i) {
            const double decimals[] = {stops[i].r, stops[i].g, stops[i].b};
            const double bytes[] = {colours[i].red, colours[i].green, colours[i].blue};
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(std::llround(decimals[c] * 255), std::llround(bytes[c] * 255))
                    << tarn::rawValue(palette) << " stop " << i << " component " << c;
            EXPECT_EQ(colours[i].alpha, 1.0);
        }
    }
    // 0.275 * 255 is 70.125, but the ground colour is exactly 70/255.
    EXPECT_EQ(productpalette::rgbStops(TarnProductPalette::deepViolet)[0].r, 0.275);
    EXPECT_EQ(productpalette::groundStops(TarnProductPalette::deepViolet).topLeft.red, 70 / 255.0);
}

TEST(TarnProductPalette, CodesAsItsCaseName) {
    EXPECT_EQ(nlohmann::json(TarnProductPalette::deepCoral), "deepCoral");
    EXPECT_EQ(nlohmann::json("deepCoral").get<TarnProductPalette>(), TarnProductPalette::deepCoral);
    try {
        (void)nlohmann::json("neon").get<TarnProductPalette>();
        FAIL() << "decoding an unknown palette must fail";
    } catch (const tarn::json::DecodingError& error) {
        EXPECT_EQ(error.kind(), tarn::json::DecodingError::Kind::dataCorrupted);
    }
    EXPECT_THROW((void)nlohmann::json(5).get<TarnProductPalette>(), tarn::json::DecodingError);
}

TEST(TarnGlassTokens, WhiteOpacitiesAndStatusBytes) {
    const struct {
        TarnColor token;
        TarnColor expected;
    } cases[] = {
        {glass::surface1, {1, 1, 1, 0.06}},
        {glass::surface2, {1, 1, 1, 0.10}},
        {glass::surface3, {1, 1, 1, 0.16}},
        {glass::borderSubtle, {1, 1, 1, 0.14}},
        {glass::borderStrong, {1, 1, 1, 0.28}},
        {glass::textPrimary, {1, 1, 1, 0.96}},
        {glass::textSecondary, {1, 1, 1, 0.72}},
        {glass::textMuted, {1, 1, 1, 0.50}},
        {glass::success, {0x3E / 255.0, 0xE6 / 255.0, 0xA8 / 255.0, 1}},
        {glass::warning, {0xFF / 255.0, 0xB8 / 255.0, 0x4D / 255.0, 1}},
        {glass::danger, {0xFF / 255.0, 0x64 / 255.0, 0x7C / 255.0, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.token, c.expected);
}

} // namespace
