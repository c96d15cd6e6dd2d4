#include "TarnKit/Design/Emblems/TarnEmblemArtworkSystemNet.h"

#include "TarnKit/Design/Emblems/TarnFlatDraw.h"

#include <QPainterPath>

namespace tarn::TarnEmblemArtworkSystemNet {
namespace {

// A paper plane with a fold line and two motion bars.
void drawQuiller(QPainter& painter, const TarnEmblemTone& tone) {
    TarnFlatDraw::fill(painter, TarnFlatDraw::polygon({{22, 46}, {76, 24}, {47, 53}}), tone.primary());
    TarnFlatDraw::fill(painter, TarnFlatDraw::polygon({{47, 53}, {76, 24}, {56, 76}}), tone.mid());
    QPainterPath fold;
    fold.moveTo(47, 53);
    fold.lineTo(74, 26);
    TarnFlatDraw::stroke(painter, fold, tone.cutout(1), 2.2);
    TarnFlatDraw::fill(painter, TarnFlatDraw::roundedRect({24, 63, 15, 4.4}, 2.2), tone.accent());
    TarnFlatDraw::fill(painter, TarnFlatDraw::roundedRect({24, 71, 10, 4.4}, 2.2), tone.accent());
}

} // namespace

bool draw(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone) {
    switch (app) {
    case TarnAppIdentity::quiller:
        drawQuiller(painter, tone);
        return true;
    default:
        return false;
    }
}

} // namespace tarn::TarnEmblemArtworkSystemNet
