#pragma once

#include "TarnKit/Utilities/TarnAppIdentity.h"

class QPainter;

namespace tarn {

struct TarnEmblemTone;

// The emblems of the system and network tools of the catalogue (rillet to
// vantry). The painter already carries the canvas transform.
namespace TarnEmblemArtworkSystemNet {

// Draws the entry's emblem and answers true, or answers false without
// drawing when this family has no drawing for it.
bool draw(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone);

} // namespace TarnEmblemArtworkSystemNet
} // namespace tarn
