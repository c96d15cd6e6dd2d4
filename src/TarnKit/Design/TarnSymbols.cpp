#include "TarnKit/Design/TarnSymbols.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <map>
#include <numbers>
#include <string>
#include <unordered_map>

namespace tarn {

namespace {

// --- Drawing primitives on the 24-unit square -------------------------------------
// Shapes combine with QPainterPath's own operators: | unites, - subtracts.

QPainterPath outline(const QPainterPath& path, qreal width = 2.0) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).simplified();
}

QPainterPath disc(qreal cx, qreal cy, qreal r) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), r, r);
    return path;
}

QPainterPath ring(qreal cx, qreal cy, qreal r, qreal width = 2.0) {
    return outline(disc(cx, cy, r), width);
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath polyline(std::initializer_list<QPointF> points, qreal width = 2.0) {
    QPainterPath path;
    auto point = points.begin();
    path.moveTo(*point);
    for (++point; point != points.end(); ++point)
        path.lineTo(*point);
    return outline(path, width);
}

QPainterPath line(qreal x1, qreal y1, qreal x2, qreal y2, qreal width = 2.0) {
    return polyline({{x1, y1}, {x2, y2}}, width);
}

QPainterPath roundedRect(qreal x, qreal y, qreal w, qreal h, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    return path;
}

QPainterPath frame(qreal x, qreal y, qreal w, qreal h, qreal radius, qreal width = 2.0) {
    return outline(roundedRect(x, y, w, h, radius), width);
}

// An arc of the circle around (cx, cy), angles in degrees counter-clockwise
// from three o'clock as Qt counts them.
QPainterPath arc(qreal cx, qreal cy, qreal r, qreal startDegrees, qreal sweepDegrees,
                 qreal width = 2.0) {
    QPainterPath path;
    const QRectF box(cx - r, cy - r, 2 * r, 2 * r);
    path.arcMoveTo(box, startDegrees);
    path.arcTo(box, startDegrees, sweepDegrees);
    return outline(path, width);
}

QPainterPath transformed(const QPainterPath& path, qreal scale, qreal rotateDegrees = 0,
                         QPointF centre = {12, 12}) {
    QTransform transform;
    transform.translate(centre.x(), centre.y());
    transform.rotate(rotateDegrees);
    transform.scale(scale, scale);
    transform.translate(-12, -12);
    return transform.map(path);
}

// --- Shapes several symbols share ----------------------------------------------------

QPainterPath checkmark(qreal width = 2.6) {
    return polyline({{5.5, 12.5}, {10, 17}, {18.5, 7.5}}, width);
}
QPainterPath xmark(qreal width = 2.6) {
    return line(6.5, 6.5, 17.5, 17.5, width) | line(17.5, 6.5, 6.5, 17.5, width);
}
QPainterPath plus(qreal width = 2.4) {
    return line(12, 5, 12, 19, width) | line(5, 12, 19, 12, width);
}
QPainterPath bolt() {
    return polygon({{14, 2}, {5, 13.5}, {11.3, 13.5}, {10, 22}, {19, 10}, {12.7, 10}});
}
QPainterPath paperplane() {
    return polygon({{2, 11}, {22, 2.5}, {14.5, 22}, {11.2, 13.2}});
}
QPainterPath filledCircleWith(const QPainterPath& mark) {
    return disc(12, 12, 10) - mark;
}
QPainterPath arrowHead(QPointF tip, qreal directionDegrees, qreal size = 4.5) {
    const qreal a = directionDegrees * std::numbers::pi / 180.0;
    const QPointF back(-std::cos(a) * size, std::sin(a) * size);
    const QPointF side(std::sin(a) * size * 0.65, std::cos(a) * size * 0.65);
    return polygon({tip, tip + back + side, tip + back - side});
}
QPainterPath star(QPointF centre, qreal outer, qreal inner, int points) {
    QPainterPath path;
    for (int i = 0; i < points * 2; ++i) {
        const qreal r = (i % 2 == 0) ? outer : inner;
        const qreal a = std::numbers::pi * i / points - std::numbers::pi / 2;
        const QPointF p(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}
QPainterPath bubble(qreal x, qreal y, qreal w, qreal h, bool tailLeft) {
    const qreal tailX = tailLeft ? x + 3 : x + w - 3;
    return roundedRect(x, y, w, h, 4) | polygon({{tailX - 1.5, y + h - 1},
                                                 {tailX + 1.5, y + h - 1},
                                                 {tailLeft ? x : x + w, y + h + 3}});
}
QPainterPath document(qreal x, qreal y, qreal w, qreal h) {
    return frame(x, y, w, h, 2.5);
}

// --- The registry --------------------------------------------------------------------

using Drawing = std::function<QPainterPath()>;

const std::map<std::string, Drawing, std::less<>>& drawings() {
    static const std::map<std::string, Drawing, std::less<>> table{
        {"arrow.clockwise",
         [] {
             return arc(12, 13, 8, 60, -320) | arrowHead({14, 5.1}, 0, 4.5);
         }},
        {"arrow.down.circle.fill",
         [] {
             return filledCircleWith(line(12, 6.5, 12, 16, 2.6) |
                                     polyline({{7.5, 12}, {12, 16.8}, {16.5, 12}}, 2.6));
         }},
        {"arrow.down.doc.fill",
         [] {
             const QPainterPath page =
                 roundedRect(4, 2, 16, 20, 2.5) - polygon({{14, 1}, {21, 1}, {21, 8}});
             return (page | polygon({{14.5, 2}, {20, 7.5}, {14.5, 7.5}})) -
                    (line(12, 8, 12, 16.5, 2.2) |
                     polyline({{8.5, 13.5}, {12, 17}, {15.5, 13.5}}, 2.2));
         }},
        {"arrow.up.circle.fill",
         [] {
             return filledCircleWith(line(12, 8, 12, 17.5, 2.6) |
                                     polyline({{7.5, 12}, {12, 7.2}, {16.5, 12}}, 2.6));
         }},
        {"bolt.circle.fill", [] { return filledCircleWith(transformed(bolt(), 0.62)); }},
        {"bolt.fill", [] { return bolt(); }},
        {"bolt.horizontal.circle.fill",
         [] { return filledCircleWith(transformed(bolt(), 0.62, 90)); }},
        {"bubble.left.and.bubble.right.fill",
         [] {
             const QPainterPath front = bubble(9, 9, 13, 9, false);
             return (bubble(2, 3, 13, 9, true) - outline(front, 3.4)) | front;
         }},
        {"bubble.left.and.exclamationmark.bubble.right",
         [] {
             const QPainterPath front = bubble(9, 9, 13, 9, false);
             return (outline(bubble(2, 3, 13, 9, true), 1.8) - front.united(outline(front, 3))) |
                    outline(front, 1.8) | line(15.5, 11.3, 15.5, 14, 1.8) | disc(15.5, 16.2, 0.9);
         }},
        {"checkmark", [] { return checkmark(); }},
        {"checkmark.circle.fill",
         [] { return filledCircleWith(transformed(checkmark(3.2), 0.62)); }},
        {"checkmark.seal.fill",
         [] {
             return outline(star({12, 12}, 10.5, 9, 12), 1.5) |
                    (star({12, 12}, 10.5, 9, 12) - transformed(checkmark(3.2), 0.55));
         }},
        {"circle", [] { return ring(12, 12, 9.5); }},
        {"clock.arrow.circlepath",
         [] {
             return arc(12, 12, 9, 200, -320) | arrowHead({3.2, 13.6}, -100, 4.2) |
                    polyline({{12, 7}, {12, 12}, {15.5, 14}}, 2);
         }},
        {"clock.arrow.trianglehead.counterclockwise.rotate.90",
         [] {
             // The clock face with a counter-clockwise arrow ending in a
             // triangle at the top left.
             return arc(12, 13, 8.5, 110, 310, 2) | arrowHead({5.2, 6.4}, 150, 4.6) |
                    polyline({{12, 8.5}, {12, 13}, {15, 15}}, 2);
         }},
        {"cpu.fill",
         [] {
             QPainterPath pins;
             for (const qreal at : {9.0, 12.0, 15.0})
                 pins = pins | line(at, 2.5, at, 21.5, 1.6) | line(2.5, at, 21.5, at, 1.6);
             return (pins | roundedRect(5.5, 5.5, 13, 13, 2.5)) - frame(9, 9, 6, 6, 1, 1.4);
         }},
        {"doc.badge.plus",
         [] {
             const QPainterPath badge = disc(17, 17, 5.5);
             return (document(3.5, 2, 13, 19) - badge.united(outline(badge, 2.5))) |
                    (badge - line(17, 14, 17, 20, 1.6) - line(14, 17, 20, 17, 1.6));
         }},
        {"doc.on.clipboard",
         [] {
             return (frame(4.5, 4, 15, 18, 2.5) - roundedRect(8, 1.5, 8, 5, 1.5)) |
                    roundedRect(8.8, 2.2, 6.4, 3.6, 1.2) | line(8.5, 11, 15.5, 11, 1.6) |
                    line(8.5, 14.5, 15.5, 14.5, 1.6) | line(8.5, 18, 13, 18, 1.6);
         }},
        {"doc.on.doc",
         [] {
             const QPainterPath front = roundedRect(4, 7, 12, 15, 2.5);
             return (document(8, 2, 12, 15) - front.united(outline(front, 3.5))) |
                    outline(front, 2);
         }},
        {"doc.text.magnifyingglass",
         [] {
             const QPainterPath lens = disc(15.5, 15.5, 4.5);
             const QPainterPath page =
                 document(3.5, 2, 13, 19) | line(7, 7, 13, 7, 1.6) | line(7, 10.5, 11, 10.5, 1.6);
             return (page - outline(lens, 3.5) - lens) | ring(15.5, 15.5, 3.6, 1.8) |
                    line(18.2, 18.2, 21.5, 21.5, 2.2);
         }},
        {"exclamationmark.triangle.fill",
         [] {
             const QPainterPath triangle = polygon({{12, 3}, {21.5, 20}, {2.5, 20}});
             return (outline(triangle, 2.5) | triangle) - line(12, 9, 12, 13.8, 2.3) -
                    disc(12, 17, 1.3);
         }},
        {"folder",
         [] {
             QPainterPath shape;
             shape.moveTo(2.5, 6);
             shape.lineTo(2.5, 19);
             shape.lineTo(21.5, 19);
             shape.lineTo(21.5, 8);
             shape.lineTo(11.5, 8);
             shape.lineTo(9.5, 5);
             shape.lineTo(3.5, 5);
             shape.closeSubpath();
             return outline(shape, 2) | line(2.5, 10.5, 21.5, 10.5, 1.6);
         }},
        {"gauge.with.dots.needle.67percent",
         [] {
             QPainterPath dots;
             for (int i = 0; i <= 6; ++i) {
                 const qreal a = std::numbers::pi * (210.0 - 40.0 * i) / 180.0;
                 dots = dots | disc(12 + 6.5 * std::cos(a), 13 - 6.5 * std::sin(a), 0.9);
             }
             const qreal needle = std::numbers::pi * (210.0 - 240.0 * 0.67) / 180.0;
             return ring(12, 12, 10, 1.8) | dots |
                    line(12, 13, 12 + 6 * std::cos(needle), 13 - 6 * std::sin(needle), 2) |
                    disc(12, 13, 1.8);
         }},
        {"globe",
         [] {
             QPainterPath meridian;
             meridian.addEllipse(QRectF(8, 2.5, 8, 19));
             return ring(12, 12, 9.5, 1.8) | outline(meridian, 1.6) | line(2.5, 12, 21.5, 12, 1.6) |
                    arc(12, 2, 12.5, 225, 90, 1.5) | arc(12, 22, 12.5, 45, 90, 1.5);
         }},
        {"key.fill",
         [] {
             return (disc(7.5, 12, 5.5) - disc(6.5, 12, 1.8)) | roundedRect(11, 10.8, 11, 2.6, 1) |
                    roundedRect(17, 12, 2.2, 5, 0.8) | roundedRect(20, 12, 2, 4, 0.8);
         }},
        {"ladybug.fill",
         [] {
             QPainterPath body;
             body.addEllipse(QRectF(4.5, 6.5, 15, 15.5));
             return ((body | disc(12, 6, 3.6)) - line(12, 8, 12, 22, 1.2) - disc(8.5, 12, 1.5) -
                     disc(15.5, 12, 1.5) - disc(8.8, 17.5, 1.3) - disc(15.2, 17.5, 1.3)) |
                    line(9.5, 3.5, 7.5, 1.5, 1.4) | line(14.5, 3.5, 16.5, 1.5, 1.4);
         }},
        {"lightbulb.fill",
         [] {
             return disc(12, 9, 7) | polygon({{7.3, 13}, {16.7, 13}, {15, 17}, {9, 17}}) |
                    line(9.3, 19, 14.7, 19, 1.8) | line(10.3, 21.5, 13.7, 21.5, 1.8);
         }},
        {"lock.doc",
         [] {
             const QPainterPath body = roundedRect(8, 12.5, 8, 6.5, 1.2);
             const QPainterPath shackle = arc(12, 12.5, 2.4, 0, 180, 1.6);
             const QPainterPath lock = body | shackle;
             return (document(3.5, 2, 17, 20) - lock.united(outline(lock, 2.2))) |
                    (body - disc(12, 15.5, 1)) | shackle;
         }},
        {"network",
         [] {
             return line(12, 6, 5, 18, 1.8) | line(12, 6, 19, 18, 1.8) | line(5, 18, 19, 18, 1.8) |
                    disc(12, 5, 3) | disc(5, 18.5, 3) | disc(19, 18.5, 3);
         }},
        {"paperplane.circle",
         [] { return ring(12, 12, 9.5, 1.8) | outline(transformed(paperplane(), 0.5), 1.5); }},
        {"paperplane.fill", [] { return paperplane() - line(11.2, 13.2, 22, 2.5, 1.2); }},
        {"photo.on.rectangle.angled",
         [] {
             const QPainterPath front = roundedRect(5, 7, 16, 13, 2);
             const QPainterPath back = transformed(roundedRect(3, 4, 16, 13, 2), 1, -8, {11, 10.5});
             return (outline(back, 1.8) - front.united(outline(front, 3.2))) | outline(front, 1.8) |
                    polygon({{7, 18}, {11.5, 12.5}, {14.5, 16}, {16, 14.5}, {19, 18}}) |
                    disc(16.5, 10.5, 1.4);
         }},
        {"play.fill",
         [] {
             return outline(polygon({{7.5, 4.5}, {19.5, 12}, {7.5, 19.5}}), 1.6) |
                    polygon({{7.5, 4.5}, {19.5, 12}, {7.5, 19.5}});
         }},
        {"play.square.stack.fill",
         [] {
             return line(6.5, 3, 17.5, 3, 1.6) | line(4.5, 6, 19.5, 6, 1.8) |
                    (roundedRect(2.5, 8, 19, 14, 3) -
                     polygon({{10, 11.5}, {15.5, 15}, {10, 18.5}}));
         }},
        {"plus", [] { return plus(); }},
        {"plus.circle", [] { return ring(12, 12, 9.5, 1.8) | transformed(plus(2.6), 0.6); }},
        {"point.3.connected.trianglepath.dotted",
         [] {
             QPainterPath triangle = polygon({{12, 4.5}, {20, 18.5}, {4, 18.5}});
             QPainterPathStroker dotted;
             dotted.setWidth(1.4);
             dotted.setCapStyle(Qt::RoundCap);
             dotted.setDashPattern({0.1, 2.2});
             return dotted.createStroke(triangle) | disc(12, 4.5, 2.6) | disc(20, 18.5, 2.6) |
                    disc(4, 18.5, 2.6);
         }},
        {"safari",
         [] {
             const QPainterPath needle =
                 transformed(polygon({{12, 4.5}, {14.2, 12}, {12, 19.5}, {9.8, 12}}), 1, 45);
             return ring(12, 12, 9.8, 1.8) | (needle - disc(12, 12, 1.2));
         }},
        {"sparkles",
         [] {
             return star({10, 13.5}, 8, 2.2, 4) | star({18.5, 5.5}, 4, 1.1, 4) |
                    star({19, 17.5}, 2.6, 0.8, 4);
         }},
        {"square.and.arrow.up",
         [] {
             return polyline({{8, 9}, {4.5, 9}, {4.5, 21}, {19.5, 21}, {19.5, 9}, {16, 9}}, 1.8) |
                    line(12, 3, 12, 14.5, 2) | polyline({{8.5, 6.5}, {12, 2.5}, {15.5, 6.5}}, 2);
         }},
        {"square.and.arrow.down",
         [] {
             return polyline({{8, 9}, {4.5, 9}, {4.5, 21}, {19.5, 21}, {19.5, 9}, {16, 9}}, 1.8) |
                    line(12, 2.5, 12, 14, 2) | polyline({{8.5, 10.5}, {12, 14.5}, {15.5, 10.5}}, 2);
         }},
        {"tag.fill",
         [] {
             const QPainterPath tag = polygon({{3, 3}, {12, 3}, {21, 12}, {12, 21}, {3, 12}});
             return (outline(tag, 1.5) | tag) - disc(7.8, 7.8, 1.8);
         }},
        {"terminal",
         [] {
             return frame(2.5, 4, 19, 16, 3, 1.8) |
                    polyline({{6.5, 9}, {9.5, 12}, {6.5, 15}}, 1.8) |
                    line(11.5, 15.5, 16.5, 15.5, 1.8);
         }},
        {"trash",
         [] {
             return line(3.5, 6, 20.5, 6, 1.8) |
                    polyline({{9, 6}, {9.5, 3}, {14.5, 3}, {15, 6}}, 1.6) |
                    polyline({{5.5, 6}, {6.8, 21}, {17.2, 21}, {18.5, 6}}, 1.8) |
                    line(10, 10, 10.3, 17.5, 1.5) | line(14, 10, 13.7, 17.5, 1.5);
         }},
        {"wand.and.stars",
         [] {
             return line(3.5, 20.5, 14.5, 9.5, 2.6) | star({17.5, 6.5}, 4.2, 1.2, 4) |
                    star({8, 5}, 2.6, 0.8, 4) | star({19, 16}, 2.6, 0.8, 4);
         }},
        {"xmark", [] { return xmark(); }},
        {"xmark.circle.fill", [] { return filledCircleWith(transformed(xmark(3.2), 0.58)); }},
        {"chart.bar.xaxis",
         [] {
             return roundedRect(4.5, 12, 3.6, 7, 1) | roundedRect(10.2, 5, 3.6, 14, 1) |
                    roundedRect(15.9, 9, 3.6, 10, 1) | line(3, 21, 21, 21, 1.8);
         }},
        {"externaldrive.badge.timemachine",
         [] {
             const QPainterPath drive = roundedRect(2, 9, 15, 9, 2.5) - disc(13.5, 13.5, 1.1);
             const QPainterPath badge = disc(18, 7, 5);
             return (drive - disc(18, 7, 6.5)) |
                    (badge - (arc(18, 7, 2.9, 120, -300, 1.3) |
                              polyline({{18, 5.4}, {18, 7.2}, {19.4, 8}}, 1.2)));
         }},
        {"memorychip",
         [] {
             QPainterPath pins;
             for (const qreal at : {8.0, 12.0, 16.0})
                 pins = pins | line(at, 2.5, at, 5.5, 1.6) | line(at, 18.5, at, 21.5, 1.6) |
                        line(2.5, at, 5.5, at, 1.6) | line(18.5, at, 21.5, at, 1.6);
             return pins | frame(5.5, 5.5, 13, 13, 2.5, 2) | roundedRect(9.5, 9.5, 5, 5, 1);
         }},
        {"rectangle.inset.topright.filled",
         [] { return frame(2.5, 4.5, 19, 15, 3, 2) | roundedRect(12.5, 7.5, 6, 5, 1.2); }},
        {"scope",
         [] {
             return ring(12, 12, 7.5, 2) | line(12, 1.5, 12, 6, 2) | line(12, 18, 12, 22.5, 2) |
                    line(1.5, 12, 6, 12, 2) | line(18, 12, 22.5, 12, 2) | disc(12, 12, 1.8);
         }},
        {"square.grid.2x2.fill",
         [] {
             return roundedRect(3, 3, 8, 8, 2) | roundedRect(13, 3, 8, 8, 2) |
                    roundedRect(3, 13, 8, 8, 2) | roundedRect(13, 13, 8, 8, 2);
         }},
        {"sun.max.fill",
         [] {
             QPainterPath rays;
             for (int i = 0; i < 8; ++i) {
                 const qreal a = std::numbers::pi * i / 4.0;
                 rays = rays | line(12 + 7.2 * std::cos(a), 12 + 7.2 * std::sin(a),
                                    12 + 10 * std::cos(a), 12 + 10 * std::sin(a), 2);
             }
             return rays | disc(12, 12, 4.8);
         }},
        {"thermometer.medium",
         [] {
             const QPainterPath tube = roundedRect(9.5, 2, 5, 14, 2.5) | disc(12, 17.5, 4.5);
             return (outline(tube, 1.8)) | roundedRect(11, 9, 2, 8, 1) | disc(12, 17.5, 2.6);
         }},
        {"xmark.octagon.fill",
         [] {
             QPainterPath octagon;
             for (int i = 0; i < 8; ++i) {
                 const qreal a = std::numbers::pi * (22.5 + 45.0 * i) / 180.0;
                 const QPointF p(12 + 10.2 * std::cos(a), 12 + 10.2 * std::sin(a));
                 if (i == 0)
                     octagon.moveTo(p);
                 else
                     octagon.lineTo(p);
             }
             octagon.closeSubpath();
             return octagon - transformed(xmark(3.2), 0.58);
         }},
    };
    return table;
}

// --- Caches --------------------------------------------------------------------------

struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

struct Entry {
    QPainterPath path;
    // (colour, size) -> icon
    std::map<std::pair<QRgb, int>, QIcon> icons;
};

std::unordered_map<std::string, Entry, TransparentHash, std::equal_to<>>& entries() {
    static std::unordered_map<std::string, Entry, TransparentHash, std::equal_to<>> cache;
    return cache;
}

// The symbol's entry, its path drawn at first use; null for an unknown name.
Entry* entryFor(std::string_view name) {
    auto& cache = entries();
    if (const auto found = cache.find(name); found != cache.end())
        return &found->second;
    const auto& table = drawings();
    const auto drawing = table.find(name);
    if (drawing == table.end())
        return nullptr;
    // Boolean operations and simplified strokes give odd-even paths whose
    // holes are contours of their own: the fill rule stays as drawn.
    return &cache.emplace(std::string(name), Entry{drawing->second(), {}}).first->second;
}

void fill(QPainter& painter, const QPainterPath& path, const QRectF& target, const QColor& colour) {
    const qreal side = std::min(target.width(), target.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.center().x() - side / 2, target.center().y() - side / 2);
    painter.scale(side / 24.0, side / 24.0);
    painter.fillPath(path, colour);
    painter.restore();
}

QPixmap render(const QPainterPath& path, const QColor& colour, int pixelSize, qreal ratio) {
    const int device = std::max(1, static_cast<int>(std::lround(pixelSize * ratio)));
    QPixmap pixmap(device, device);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        fill(painter, path, QRectF(0, 0, device, device), colour);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// Above this an icon is a picture, not a symbol; it also bounds the memory a
// wrong size could take.
constexpr int maximumPixelSize = 1024;

} // namespace

QIcon symbolIcon(std::string_view name, const QColor& colour, int pixelSize) {
    Entry* entry = entryFor(name);
    if (entry == nullptr || pixelSize <= 0 || pixelSize > maximumPixelSize)
        return {};
    const auto key = std::make_pair(colour.rgba(), pixelSize);
    if (const auto found = entry->icons.find(key); found != entry->icons.end())
        return found->second;
    QIcon icon;
    icon.addPixmap(render(entry->path, colour, pixelSize, 1.0));
    icon.addPixmap(render(entry->path, colour, pixelSize, 2.0));
    return entry->icons.emplace(key, icon).first->second;
}

QPixmap symbolPixmap(std::string_view name, const QColor& colour, int pixelSize,
                     qreal devicePixelRatio) {
    const Entry* entry = entryFor(name);
    if (entry == nullptr || pixelSize <= 0 || pixelSize > maximumPixelSize ||
        !(devicePixelRatio > 0 && devicePixelRatio <= 8))
        return {};
    return render(entry->path, colour, pixelSize, devicePixelRatio);
}

bool paintSymbol(QPainter& painter, std::string_view name, const QRectF& target,
                 const QColor& colour) {
    const Entry* entry = entryFor(name);
    if (entry == nullptr)
        return false;
    fill(painter, entry->path, target, colour);
    return true;
}

bool hasSymbol(std::string_view name) {
    return drawings().contains(name);
}

std::vector<std::string_view> symbolNames() {
    std::vector<std::string_view> names;
    for (const auto& [name, drawing] : drawings())
        names.emplace_back(name);
    return names;
}

QPainterPath symbolPath(std::string_view name) {
    const Entry* entry = entryFor(name);
    return entry != nullptr ? entry->path : QPainterPath();
}

} // namespace tarn
