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

// Shorthands the drawings are written with.
double radians(double degrees);
QRectF circle(QPointF centre, double radius);
QPainterPath disc(QPointF centre, double radius);
QPainterPath line(QPointF from, QPointF to);
// An open path through the points.
QPainterPath polyline(std::initializer_list<QPointF> points);
void fillRoundedRect(QPainter& painter, const QRectF& rect, double cornerRadius,
                     const TarnFlatPaint& paint);
void fillCircle(QPainter& painter, QPointF centre, double radius, const TarnFlatPaint& paint);
void strokeCircle(QPainter& painter, QPointF centre, double radius, const TarnFlatPaint& paint,
                  double width);
void strokeLine(QPainter& painter, QPointF from, QPointF to, const TarnFlatPaint& paint,
                double width);
// An arc from `startDegrees` to `endDegrees` (see arc), stroked.
void strokeArc(QPainter& painter, QPointF centre, double radius, double startDegrees,
               double endDegrees, const TarnFlatPaint& paint, double width);
// A triangular head whose tip points along `directionDegrees`.
QPainterPath arrowHead(QPointF tip, double directionDegrees, double length, double halfWidth);
// strokeArc with a head at the arc's end, pointing the way the arc turns.
void strokeArrowArc(QPainter& painter, QPointF centre, double radius, double startDegrees,
                    double endDegrees, const TarnFlatPaint& paint, double width);
// Fills the path; in white glass a band `gap` wide around it is erased first,
// so the shape sits apart from what lies beneath ("its outline erased first").
void fillApart(QPainter& painter, const QPainterPath& path, const TarnFlatPaint& paint,
               const TarnEmblemTone& tone, double gap = 2.2);

// The shapes that several emblems share.
void displayFrame(QPainter& painter, const TarnEmblemTone& tone);
void foldedSheet(QPainter& painter, const TarnEmblemTone& tone);
void splitShield(QPainter& painter, const TarnEmblemTone& tone);

} // namespace tarn::TarnFlatDraw
