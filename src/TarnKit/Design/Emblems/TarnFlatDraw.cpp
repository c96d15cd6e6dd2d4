#include "TarnKit/Design/Emblems/TarnFlatDraw.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <cmath>
#include <numbers>

namespace tarn::TarnFlatDraw {
namespace {

// Sets the composition mode and returns the colour to draw with.
QColor apply(QPainter& painter, const TarnFlatPaint& paint) {
    if (paint.kind == TarnFlatPaint::Kind::cutout) {
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        return QColor::fromRgbF(0, 0, 0, static_cast<float>(paint.cutoutStrength));
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    return paint.paintColor;
}

QPen roundPen(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

class SavedState {
public:
    explicit SavedState(QPainter& painter) : m_painter(painter) { m_painter.save(); }
    ~SavedState() { m_painter.restore(); }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    QPainter& m_painter;
};

} // namespace

void fill(QPainter& painter, const QPainterPath& path, const TarnFlatPaint& paint) {
    SavedState saved(painter);
    QPainterPath winding = path;
    winding.setFillRule(Qt::WindingFill);
    painter.fillPath(winding, apply(painter, paint));
}

void stroke(QPainter& painter, const QPainterPath& path, const TarnFlatPaint& paint, double width) {
    SavedState saved(painter);
    painter.strokePath(path, roundPen(apply(painter, paint), width));
}

void fillEllipse(QPainter& painter, const QRectF& rect, const TarnFlatPaint& paint) {
    QPainterPath path;
    path.addEllipse(rect);
    fill(painter, path, paint);
}

void strokeEllipse(QPainter& painter, const QRectF& rect, const TarnFlatPaint& paint,
                   double width) {
    QPainterPath path;
    path.addEllipse(rect);
    stroke(painter, path, paint, width);
}

QPainterPath arc(QPointF centre, double radius, double startRadians, double endRadians) {
    constexpr double fullTurn = 2 * std::numbers::pi;
    double sweep = std::fmod(endRadians - startRadians, fullTurn);
    if (sweep < 0)
        sweep += fullTurn;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const auto degrees = [](double radians) { return radians * 180 / std::numbers::pi; };
    // Qt's arc angles grow counter-clockwise on the screen, ours clockwise:
    // the same angle with the opposite sign names the same point.
    QPainterPath path;
    path.arcMoveTo(box, -degrees(startRadians));
    path.arcTo(box, -degrees(startRadians), -degrees(sweep));
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path = polyline(points);
    path.closeSubpath();
    return path;
}

QPainterPath roundedRect(const QRectF& rect, double cornerRadius) {
    QPainterPath path;
    path.addRoundedRect(rect, cornerRadius, cornerRadius);
    return path;
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

QRectF circle(QPointF centre, double radius) {
    return {centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
}

QPainterPath disc(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(circle(centre, radius));
    return path;
}

QPainterPath line(QPointF from, QPointF to) {
    QPainterPath path;
    path.moveTo(from);
    path.lineTo(to);
    return path;
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& point : points) {
        if (first)
            path.moveTo(point);
        else
            path.lineTo(point);
        first = false;
    }
    return path;
}

void fillRoundedRect(QPainter& painter, const QRectF& rect, double cornerRadius,
                     const TarnFlatPaint& paint) {
    fill(painter, roundedRect(rect, cornerRadius), paint);
}

void fillCircle(QPainter& painter, QPointF centre, double radius, const TarnFlatPaint& paint) {
    fillEllipse(painter, circle(centre, radius), paint);
}

void strokeCircle(QPainter& painter, QPointF centre, double radius, const TarnFlatPaint& paint,
                  double width) {
    strokeEllipse(painter, circle(centre, radius), paint, width);
}

void strokeLine(QPainter& painter, QPointF from, QPointF to, const TarnFlatPaint& paint,
                double width) {
    stroke(painter, line(from, to), paint, width);
}

void strokeArc(QPainter& painter, QPointF centre, double radius, double startDegrees,
               double endDegrees, const TarnFlatPaint& paint, double width) {
    stroke(painter, arc(centre, radius, radians(startDegrees), radians(endDegrees)), paint, width);
}

QPainterPath arrowHead(QPointF tip, double directionDegrees, double length, double halfWidth) {
    const QPointF along(std::cos(radians(directionDegrees)), std::sin(radians(directionDegrees)));
    const QPointF across(-along.y(), along.x());
    const QPointF base = tip - along * length;
    return polygon({tip, base + across * halfWidth, base - across * halfWidth});
}

void strokeArrowArc(QPainter& painter, QPointF centre, double radius, double startDegrees,
                    double endDegrees, const TarnFlatPaint& paint, double width) {
    strokeArc(painter, centre, radius, startDegrees, endDegrees, paint, width);
    // With y downwards an arc of growing angles moves along angle + 90°.
    const QPointF end =
        centre + QPointF(std::cos(radians(endDegrees)), std::sin(radians(endDegrees))) * radius;
    const double direction = endDegrees + 90;
    const QPointF along(std::cos(radians(direction)), std::sin(radians(direction)));
    fill(painter, arrowHead(end + along * width * 1.6, direction, width * 2.6, width * 1.55),
         paint);
}

void fillApart(QPainter& painter, const QPainterPath& path, const TarnFlatPaint& paint,
               const TarnEmblemTone& tone, double gap) {
    if (tone.isWhiteGlass) {
        fill(painter, path, TarnFlatPaint::cutout(1));
        stroke(painter, path, TarnFlatPaint::cutout(1), 2 * gap);
    }
    fill(painter, path, paint);
}

void displayFrame(QPainter& painter, const TarnEmblemTone& tone) {
    const QPainterPath screen = roundedRect(QRectF(21, 25, 58, 39), 8.5);
    fill(painter, screen, tone.soft());
    stroke(painter, screen, tone.primary(), 3);
    fill(painter, roundedRect(QRectF(38, 70, 24, 4.6), 2.3), tone.primaryAlpha(0.82));
}

void foldedSheet(QPainter& painter, const TarnEmblemTone& tone) {
    QPainterPath sheet;
    sheet.moveTo(33, 22);
    sheet.lineTo(56, 22);
    sheet.lineTo(73, 39);
    sheet.lineTo(73, 72);
    sheet.cubicTo(73, 75.3, 70.3, 78, 67, 78);
    sheet.lineTo(33, 78);
    sheet.cubicTo(29.7, 78, 27, 75.3, 27, 72);
    sheet.lineTo(27, 28);
    sheet.cubicTo(27, 24.7, 29.7, 22, 33, 22);
    sheet.closeSubpath();
    fill(painter, sheet, tone.primary());

    QPainterPath ear;
    ear.moveTo(56, 22);
    ear.lineTo(56, 34);
    ear.cubicTo(56, 36.8, 58.2, 39, 61, 39);
    ear.lineTo(73, 39);
    ear.closeSubpath();
    fill(painter, ear, tone.isWhiteGlass ? TarnFlatPaint::cutout(0.55) : tone.accent());
}

void splitShield(QPainter& painter, const TarnEmblemTone& tone) {
    QPainterPath left;
    left.moveTo(48.7, 23);
    left.lineTo(27, 31.4);
    left.cubicTo(27, 49.4, 33.8, 65.4, 48.7, 76);
    left.closeSubpath();
    fill(painter, left, tone.primary());
    // The right half mirrors the left about x = 50, leaving a gap of 2.6.
    fill(painter, QTransform(-1, 0, 0, 1, 100, 0).map(left), tone.mid());
}

} // namespace tarn::TarnFlatDraw
