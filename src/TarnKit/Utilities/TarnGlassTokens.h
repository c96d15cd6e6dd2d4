#pragma once

#include "TarnKit/Utilities/TarnColor.h"

// The palette-independent colours of the translucent "glass" look: white at
// low opacity over the palette's dark backdrop, plus three status colours.
// Constants: safe to read from any thread.
namespace tarn::TarnGlassTokens {

inline constexpr TarnColor surface1 = TarnColor::white(0.06);     // cards
inline constexpr TarnColor surface2 = TarnColor::white(0.10);     // controls at rest
inline constexpr TarnColor surface3 = TarnColor::white(0.16);     // an active glass button
inline constexpr TarnColor borderSubtle = TarnColor::white(0.14); // cards, controls, toast
inline constexpr TarnColor borderStrong = TarnColor::white(0.28); // an active glass button
inline constexpr TarnColor textPrimary = TarnColor::white(0.96);
inline constexpr TarnColor textSecondary = TarnColor::white(0.72);
inline constexpr TarnColor textMuted = TarnColor::white(0.50);
inline constexpr TarnColor success = TarnColor::fromHex(0x3EE6A8);
inline constexpr TarnColor warning = TarnColor::fromHex(0xFFB84D);
inline constexpr TarnColor danger = TarnColor::fromHex(0xFF647C);

} // namespace tarn::TarnGlassTokens
