#pragma once

#include "TarnKit/Utilities/TarnColor.h"

#include <QColor>
#include <QRectF>
#include <algorithm>

class QPainter;
class QPainterPath;

// Qt forms of the suite's colours and the one way every glass surface is
// painted. Main thread (painting).
namespace tarn {

QColor qColor(const TarnColor& colour);

// A rounded rectangle of `rect`; a radius of at least half the shorter side
// gives a capsule.
QPainterPath glassShape(const QRectF& rect, double cornerRadius);

// Fills the rounded rectangle and strokes its border inside the edge (inset by
// half the line width, so the line stays within the shape), as the cards,
// controls, badges and the toast are drawn.
void paintGlassShape(QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& fill,
                     const QColor& border, double lineWidth = 1);

// The radius that turns a rectangle into a capsule.
inline double capsuleRadius(const QRectF& rect) {
    return std::min(rect.width(), rect.height()) / 2;
}

} // namespace tarn
