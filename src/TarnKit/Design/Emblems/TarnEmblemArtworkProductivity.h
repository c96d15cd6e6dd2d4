#pragma once

#include "TarnKit/Utilities/TarnAppIdentity.h"

class QPainter;

namespace tarn {

struct TarnEmblemTone;

// The emblems of the productivity applications of the catalogue (palvine to
// abbrin). The painter already carries the canvas transform.
namespace TarnEmblemArtworkProductivity {

// Draws the entry's emblem and answers true, or answers false without
// drawing when this family has no drawing for it.
bool draw(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone);

} // namespace TarnEmblemArtworkProductivity
} // namespace tarn
