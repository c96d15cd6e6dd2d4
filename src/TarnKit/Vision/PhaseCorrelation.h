#pragma once

#include "TarnKit/Vision/GrayImage.h"

// Finding how far the content of one image has moved in another, by phase
// correlation. Pure functions, safe from any thread.
namespace tarn::detail {

// Whole pixels, x to the right and y downwards (rows from the top).
struct PixelShift {
    int x = 0;
    int y = 0;

    bool operator==(const PixelShift&) const = default;
};

// The shift s for which `to` at p shows what `from` shows at p - s: content
// that moved right and down has a positive shift. Images of any size (also
// different sizes) are accepted; large ones are first aligned at a reduced
// size and then refined at full resolution on a window of their overlap, so
// the work stays bounded. Flat images, which carry no position, give (0, 0).
PixelShift estimateShift(const GrayImage& from, const GrayImage& to);

} // namespace tarn::detail
