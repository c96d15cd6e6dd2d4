#pragma once

#include "TarnKit/Utilities/TarnAppIdentity.h"

class QPainter;

namespace tarn {

struct TarnEmblemTone;

// The emblems of the media applications of the catalogue (belcott to
// quorrel), except elvast's, which the renderer draws itself. The painter
// already carries the canvas transform.
namespace TarnEmblemArtworkMedia {

// Draws the entry's emblem and answers true, or answers false without
// drawing when this family has no drawing for it.
bool draw(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone);

} // namespace TarnEmblemArtworkMedia
} // namespace tarn
