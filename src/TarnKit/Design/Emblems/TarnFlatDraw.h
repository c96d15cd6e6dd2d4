#pragma once

#include "TarnKit/Design/Emblems/TarnEmblemTone.h"

#include <QPointF>
#include <QRectF>
#include <initializer_list>

class QPainter;
class QPainterPath;

// The drawing operations every emblem is made of, in canvas units (centre
// (50, 50), y downwards). Each saves the painter's state first and restores it
// last, so no paint, composition mode or pen leaks into the next shape. Cut-out
// paints erase what the same image already holds (destination-out). Main
// thread or any thread that owns the painter.
namespace tarn::TarnFlatDraw {

// Filled with the non-zero winding rule.
void fill(QPainter& painter, const QPainterPath& path, const TarnFlatPaint& paint);
// Round caps and round joins.
void stroke(QPainter& painter, const QPainterPath& path, const TarnFlatPaint& paint, double width);
void fillEllipse(QPainter& painter, const QRectF& rect, const TarnFlatPaint& paint);
void strokeEllipse(QPainter& painter, const QRectF& rect, const TarnFlatPaint& paint, double width);

// A circular arc from `startRadians` to `endRadians` through increasing
// angles, the angle measured in canvas units with y downwards (so it turns
// clockwise on the image); an end below the start goes once more around.
QPainterPath arc(QPointF centre, double radius, double startRadians, double endRadians);
QPainterPath polygon(std::initializer_list<QPointF> points);
QPainterPath roundedRect(const QRectF& rect, double cornerRadius);

// The shapes that several emblems share.
void displayFrame(QPainter& painter, const TarnEmblemTone& tone);
void foldedSheet(QPainter& painter, const TarnEmblemTone& tone);
void splitShield(QPainter& painter, const TarnEmblemTone& tone);

} // namespace tarn::TarnFlatDraw
