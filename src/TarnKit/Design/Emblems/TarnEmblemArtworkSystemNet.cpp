#include "TarnKit/Design/Emblems/TarnEmblemArtworkSystemNet.h"

#include "TarnKit/Design/Emblems/TarnFlatDraw.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tarn::TarnEmblemArtworkSystemNet {
namespace {

using namespace TarnFlatDraw;
using P = QPointF;
using R = QRectF;

// The whole shield of fosswick, pashley and vantry.
void wholeShield(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath shield;
    shield.moveTo(50, 22.5);
    shield.lineTo(73, 31.2);
    shield.cubicTo(73, 49.6, 65.8, 65.8, 50, 76.5);
    shield.cubicTo(34.2, 65.8, 27, 49.6, 27, 31.2);
    shield.closeSubpath();
    fill(p, shield, t.primary());
}

// A broken ring around a sparkle.
void drawRillet(QPainter& p, const TarnEmblemTone& t) {
    strokeArc(p, P(50, 50), 24, 45, 280, t.primary(), 5);
    strokeArc(p, P(50, 50), 24, -50, 20, t.accent(), 5);
    QPainterPath sparkle;
    sparkle.moveTo(50, 34);
    sparkle.cubicTo(52, 47, 53, 48, 66, 50);
    sparkle.cubicTo(53, 52, 52, 53, 50, 66);
    sparkle.cubicTo(48, 53, 47, 52, 34, 50);
    sparkle.cubicTo(47, 48, 48, 47, 50, 34);
    sparkle.closeSubpath();
    fill(p, sparkle, t.primary());
    fill(p, polygon({{50, 46}, {54, 50}, {50, 54}, {46, 50}}), t.cutout(1));
}

// A memory chip: a body with twelve pins and the die cut out.
void drawHeddle(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(30, 30, 40, 40), 8, t.primary());
    for (const double at : {40.0, 50.0, 60.0}) {
        fillRoundedRect(p, R(at - 2.2, 21, 4.4, 10), 2, t.primary());
        fillRoundedRect(p, R(at - 2.2, 69, 4.4, 10), 2, t.primary());
        fillRoundedRect(p, R(21, at - 2.2, 10, 4.4), 2, t.primary());
        fillRoundedRect(p, R(69, at - 2.2, 10, 4.4), 2, t.primary());
    }
    fillRoundedRect(p, R(40.5, 40.5, 19, 19), 4, t.cutout(1));
}

// A soft disc with a ring, a heartbeat trace and a dot.
void drawSketto(QPainter& p, const TarnEmblemTone& t) {
    fillCircle(p, P(50, 50), 26, t.soft());
    strokeCircle(p, P(50, 50), 25, t.primary(), 3.5);
    stroke(p, polyline({{29, 51}, {38, 51}, {42, 42}, {48, 62}, {54, 36}, {58, 51}, {66, 51}}),
           t.primary(), 3.6);
    fillCircle(p, P(69, 51), 3.4, t.accent());
}

// A stop-sign octagon with an X.
void drawTavlor(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = radians(22.5 + 45.0 * i);
        const P corner(50 + 28 * std::cos(a), 50 + 28 * std::sin(a));
        if (i == 0)
            octagon.moveTo(corner);
        else
            octagon.lineTo(corner);
    }
    octagon.closeSubpath();
    fill(p, octagon, t.primary());
    strokeLine(p, P(40.5, 40.5), P(59.5, 59.5), t.cutout(1), 5.8);
    strokeLine(p, P(59.5, 40.5), P(40.5, 59.5), t.cutout(1), 5.8);
}

// A battery with a lightning bolt inside.
void drawUlvern(QPainter& p, const TarnEmblemTone& t) {
    const QPainterPath body = roundedRect(R(22, 33, 52, 34), 8);
    fill(p, body, t.soft());
    stroke(p, body, t.primary(), 3.8);
    fillRoundedRect(p, R(74.5, 44, 4.5, 12), 2, t.primary());
    fill(p, polygon({{52, 37}, {39.5, 52}, {47.5, 52}, {44.5, 63}, {57, 47.5}, {49, 47.5}}),
         t.isWhiteGlass ? t.primary() : t.accent());
}

// Two overlapping screens with an indicator, on a stand bar.
void drawVessick(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(36, 22, 42, 30), 6, t.mid());
    fillApart(p, roundedRect(R(22, 34, 42, 30), 6), t.primary(), t);
    strokeCircle(p, P(43, 49), 6, t.cutout(1), 2.4);
    fillCircle(p, P(43, 49), 2.6, t.accent());
    fillRoundedRect(p, R(30, 70, 26, 5), 2.5, t.mid());
}

// A mouse with its wheel and button split, and two signal arcs.
void drawWortley(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(24, 24, 32, 52), 16, t.primary());
    strokeLine(p, P(40, 24), P(40, 46), t.cutout(1), 2);
    fillRoundedRect(p, R(37.5, 30, 5, 10), 2.5, t.cutout(1));
    strokeArc(p, P(64, 49), 9, -42, 42, t.accent(), 3);
    strokeArc(p, P(64, 49), 15, -42, 42, t.mid(), 3);
}

// Four browser tiles, the first with a title line, the last with a dot.
void drawYelvin(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(23, 23, 24.5, 24.5), 6.5, t.primary());
    fillRoundedRect(p, R(52.5, 23, 24.5, 24.5), 6.5, t.primaryAlpha(0.36));
    fillRoundedRect(p, R(23, 52.5, 24.5, 24.5), 6.5, t.primaryAlpha(0.36));
    fillRoundedRect(p, R(52.5, 52.5, 24.5, 24.5), 6.5, t.accentAlpha(0.95));
    strokeLine(p, P(29, 30), P(41.5, 30), t.cutout(0.9), 2.6);
    fillCircle(p, P(64.75, 64.75), 4, t.cutout(1));
}

// The display frame with a right arrow above a left arrow.
void drawZarrow(QPainter& p, const TarnEmblemTone& t) {
    displayFrame(p, t);
    strokeLine(p, P(33, 38), P(63, 38), t.primary(), 4);
    stroke(p, polyline({{57, 32.5}, {63, 38}, {57, 43.5}}), t.primary(), 4);
    strokeLine(p, P(67, 51), P(37, 51), t.accent(), 4);
    stroke(p, polyline({{43, 45.5}, {37, 51}, {43, 56.5}}), t.accent(), 4);
}

// A speaker slab with two waves and a thin slab beside it.
void drawAldrick(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(24, 26, 24, 48), 6, t.primary());
    fillRoundedRect(p, R(31, 32, 10, 3), 1.5, t.cutout(1));
    fillCircle(p, P(36, 56), 6, t.cutout(0.8));
    strokeArc(p, P(52, 50), 7.5, -45, 45, t.accent(), 3);
    strokeArc(p, P(52, 50), 13.5, -45, 45, t.accent(), 3);
    fillRoundedRect(p, R(70, 29, 8, 42), 3, t.mid());
}

// Three broadcast arcs around a dot in the lower-left corner.
void drawBexton(QPainter& p, const TarnEmblemTone& t) {
    const P corner(28, 72);
    fillCircle(p, corner, 5.5, t.primary());
    strokeArc(p, corner, 16, -90, 0, t.mid(), 5);
    strokeArc(p, corner, 29, -90, 0, t.primary(), 5);
    strokeArc(p, corner, 42, -90, 0, t.accent(), 5);
}

// A radio mast on its base with a hub and waves on both sides.
void drawCorlow(QPainter& p, const TarnEmblemTone& t) {
    stroke(p, polyline({{41, 73}, {50, 47}, {59, 73}}), t.primary(), 3.6);
    strokeLine(p, P(45, 62), P(55, 62), t.primary(), 3);
    fillRoundedRect(p, R(35, 72, 30, 5), 2.5, t.primary());
    const P hub(50, 42);
    fillCircle(p, hub, 5, t.primary());
    for (const double side : {0.0, 180.0}) {
        strokeArc(p, hub, 13, side - 40, side + 40, t.primary(), 3.6);
        strokeArc(p, hub, 22, side - 40, side + 40, t.mid(), 3.6);
    }
}

// The split shield with a chain of three linked nodes.
void drawDunstel(QPainter& p, const TarnEmblemTone& t) {
    splitShield(p, t);
    strokeLine(p, P(36, 46), P(64, 46), t.cutout(1), 2.6);
    fillCircle(p, P(36, 46), 4.6, t.cutout(1));
    fillCircle(p, P(64, 46), 4.6, t.cutout(1));
    fillCircle(p, P(50, 46), 7, t.cutout(1));
    fillCircle(p, P(50, 46), 5, t.accent());
}

// A globe with a diamond badge holding a dot.
void drawEmmerly(QPainter& p, const TarnEmblemTone& t) {
    const P centre(46, 46);
    fillCircle(p, centre, 22, t.soft());
    strokeCircle(p, centre, 22, t.primary(), 3.2);
    strokeLine(p, P(24, 46), P(68, 46), t.primary(), 2.4);
    strokeEllipse(p, R(37, 24, 18, 44), t.primary(), 2.4);
    fillApart(p, polygon({{66, 54}, {78, 66}, {66, 78}, {54, 66}}), t.accent(), t, 2.4);
    fillCircle(p, P(66, 66), 3.2, t.cutout(1));
}

// A shield with two rings and a dot.
void drawFosswick(QPainter& p, const TarnEmblemTone& t) {
    wholeShield(p, t);
    strokeCircle(p, P(50, 46), 13, t.cutout(1), 3);
    strokeCircle(p, P(50, 46), 7, t.cutout(1), 2.6);
    fillCircle(p, P(50, 46), 2.6, t.cutout(1));
}

// A chevron above a down arrow, over a tray bar.
void drawGarrick(QPainter& p, const TarnEmblemTone& t) {
    stroke(p, polyline({{38, 23}, {50, 31}, {62, 23}}), t.accent(), 4.5);
    strokeLine(p, P(50, 37), P(50, 58), t.primary(), 5.5);
    fill(p, polygon({{37.5, 53}, {62.5, 53}, {50, 67}}), t.primary());
    fillRoundedRect(p, R(26, 71, 48, 6), 3, t.mid());
}

// A ring holding a down arrow and an up arrow.
void drawHalvern(QPainter& p, const TarnEmblemTone& t) {
    fillCircle(p, P(50, 50), 26, t.soft());
    strokeCircle(p, P(50, 50), 25, t.primary(), 3.2);
    strokeLine(p, P(42, 36), P(42, 62), t.primary(), 4.2);
    stroke(p, polyline({{35.5, 55.5}, {42, 62}, {48.5, 55.5}}), t.primary(), 4.2);
    strokeLine(p, P(58, 64), P(58, 38), t.accent(), 4.2);
    stroke(p, polyline({{51.5, 44.5}, {58, 38}, {64.5, 44.5}}), t.accent(), 4.2);
}

// A paper plane with a fold line and two motion bars.
void drawQuiller(QPainter& p, const TarnEmblemTone& t) {
    fill(p, polygon({{22, 46}, {76, 24}, {47, 53}}), t.primary());
    fill(p, polygon({{47, 53}, {76, 24}, {56, 76}}), t.mid());
    stroke(p, line(P(47, 53), P(74, 26)), t.cutout(1), 2.2);
    fillRoundedRect(p, R(24, 63, 15, 4.4), 2.2, t.accent());
    fillRoundedRect(p, R(24, 71, 10, 4.4), 2.2, t.accent());
}

// A terminal window with a prompt chevron and a cursor bar.
void drawIlkett(QPainter& p, const TarnEmblemTone& t) {
    const QPainterPath window = roundedRect(R(21, 25, 58, 50), 11);
    fill(p, window, t.soft());
    stroke(p, window, t.stroke(), 1.6);
    fill(p, polygon({{30, 40.5}, {34.4, 36.2}, {48.2, 50}, {34.4, 63.8}, {30, 59.5}, {39.5, 50}}),
         t.primary());
    fillRoundedRect(p, R(52, 58.5, 16, 5), 2.5, t.accent());
}

// Three database slabs with status dots and bars.
void drawJessop(QPainter& p, const TarnEmblemTone& t) {
    const TarnFlatPaint slabs[] = {t.primary(), t.mid(), t.primary()};
    for (int i = 0; i < 3; ++i) {
        const double y = 23 + 19.5 * i;
        fillRoundedRect(p, R(24, y, 52, 15), 5, slabs[i]);
        fillCircle(p, P(32, y + 7.5), 2.6, t.cutout(1));
        fillRoundedRect(p, R(56, y + 6, 13, 3), 1.5, t.cutout(0.9));
    }
}

// Two server units under two broadcast arcs.
void drawKirvel(QPainter& p, const TarnEmblemTone& t) {
    // The arcs' centre sits lower than a plain stack would put it, so the
    // outer arc stays within the canvas square.
    strokeArc(p, P(50, 43), 12, -135, -45, t.primary(), 3.4);
    strokeArc(p, P(50, 43), 19, -135, -45, t.accent(), 3.4);
    const TarnFlatPaint units[] = {t.primary(), t.mid()};
    for (int i = 0; i < 2; ++i) {
        const double y = 47 + 16 * i;
        fillRoundedRect(p, R(24, y, 52, 13.5), 4.5, units[i]);
        fillCircle(p, P(31, y + 6.75), 2.4, t.cutout(1));
        strokeLine(p, P(39, y + 6.75), P(66, y + 6.75), t.cutout(0.9), 2.6);
    }
}

// The split shield with a keyhole and a dot.
void drawLorcan(QPainter& p, const TarnEmblemTone& t) {
    splitShield(p, t);
    fillCircle(p, P(50, 44), 6.5, t.cutout(1));
    fill(p, polygon({{47.2, 47}, {52.8, 47}, {54.8, 63}, {45.2, 63}}), t.cutout(1));
    fillCircle(p, P(50, 44), 2.5, t.accent());
}

// An isometric box with two slats.
void drawMardle(QPainter& p, const TarnEmblemTone& t) {
    fill(p, polygon({{24, 36}, {50, 49}, {50, 78}, {24, 65}}), t.primaryAlpha(0.62));
    fill(p, polygon({{50, 49}, {76, 36}, {76, 65}, {50, 78}}), t.primaryAlpha(0.38));
    fillApart(p, polygon({{50, 22}, {76, 35}, {50, 48}, {24, 35}}), t.primary(), t, 1.2);
    strokeLine(p, P(55, 58), P(71, 50), t.cutout(1), 2.4);
    strokeLine(p, P(55, 66), P(71, 58), t.cutout(1), 2.4);
}

// A trunk line with a branch and three commit rings.
void drawOrvell(QPainter& p, const TarnEmblemTone& t) {
    strokeLine(p, P(36, 24), P(36, 76), t.primary(), 4.4);
    QPainterPath branch;
    branch.moveTo(36, 64);
    branch.cubicTo(36, 50, 64, 54, 64, 38);
    stroke(p, branch, t.accent(), 4.4);
    for (const auto& [centre, paint] :
         {std::pair{P(36, 30), t.primary()}, {P(36, 70), t.primary()}, {P(64, 34), t.accent()}}) {
        fillCircle(p, centre, 7, paint);
        fillCircle(p, centre, 3.2, t.cutout(1));
    }
}

// A drive with an eject symbol, a slot and an LED.
void drawNimbrel(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(22, 30, 56, 40), 8, t.primary());
    fill(p, polygon({{41, 46}, {50, 36.5}, {59, 46}}), t.cutout(1));
    fillRoundedRect(p, R(41, 49, 18, 3.5), 1.2, t.cutout(1));
    fillRoundedRect(p, R(29, 59, 36, 3.5), 1.75, t.cutout(0.9));
    fillApart(p, disc(P(70, 60.75), 2.8), t.accent(), t, 1.4);
}

// A shield with brick joints and a small plate.
void drawPashley(QPainter& p, const TarnEmblemTone& t) {
    wholeShield(p, t);
    const TarnFlatPaint joint = t.cutout(1);
    strokeLine(p, P(28, 40), P(72, 40), joint, 2.4);
    strokeLine(p, P(31, 56), P(69, 56), joint, 2.4);
    strokeLine(p, P(50, 27), P(50, 40), joint, 2.4);
    strokeLine(p, P(40, 40), P(40, 56), joint, 2.4);
    strokeLine(p, P(60, 40), P(60, 56), joint, 2.4);
    fillRoundedRect(p, R(43, 44, 14, 8), 2,
                    t.isWhiteGlass ? TarnFlatPaint::cutout(0.5) : t.accent());
}

// A screen on a base with a square inside and a core.
void drawQuintel(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(45, 60, 10, 10), 1, t.mid());
    fillRoundedRect(p, R(33, 68, 34, 7), 3, t.mid());
    fillApart(p, roundedRect(R(22, 23, 56, 40), 8), t.primary(), t);
    fillRoundedRect(p, R(40, 33, 20, 20), 4, t.cutout(1));
    fillRoundedRect(p, R(45, 38, 10, 10), 2.5, t.accent());
}

// Two overlapping phones with a speaker slot and an indicator.
void drawRudwick(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(46, 21, 26, 46), 7, t.mid());
    fillApart(p, roundedRect(R(29, 32, 26, 46), 7), t.primary(), t);
    fillRoundedRect(p, R(37.5, 37, 9, 2.6), 1.3, t.cutout(1));
    fillCircle(p, P(42, 69), 4.5, t.cutout(1));
    fillCircle(p, P(42, 69), 2.2, t.accent());
}

// A life ring with four bands.
void drawSelborne(QPainter& p, const TarnEmblemTone& t) {
    strokeCircle(p, P(50, 50), 21.5, t.primary(), 10.5);
    const TarnFlatPaint band = t.isWhiteGlass ? TarnFlatPaint::cutout(0.62) : t.accent();
    for (const double middle : {-90.0, 0.0, 90.0, 180.0})
        stroke(p, arc(P(50, 50), 21.5, radians(middle - 12), radians(middle + 12)), band, 11);
}

// A drive with a ring, a health trace, a label bar and an LED.
void drawTollan(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(22, 28, 56, 44), 8, t.primary());
    strokeCircle(p, P(37, 45), 7.5, t.cutout(1), 2.6);
    stroke(p, polyline({{49, 45}, {54, 45}, {57, 38.5}, {61.5, 51.5}, {65, 45}, {71, 45}}),
           t.cutout(1), 2.4);
    fillRoundedRect(p, R(30, 60, 26, 4), 2, t.cutout(0.9));
    fillCircle(p, P(68, 62), 2.6, t.cutout(1));
}

// The split shield with a diamond.
void drawUrwick(QPainter& p, const TarnEmblemTone& t) {
    splitShield(p, t);
    fill(p, polygon({{50, 37}, {60.5, 48.5}, {50, 60}, {39.5, 48.5}}), t.onPrimaryAccent());
}

// A shield with a circular-arrow clock face, two hands and a hub.
void drawVantry(QPainter& p, const TarnEmblemTone& t) {
    wholeShield(p, t);
    const P centre(50, 47);
    strokeArrowArc(p, centre, 12.5, -40, 230, t.cutout(1), 2.6);
    strokeLine(p, centre, P(50, 39.5), t.cutout(1), 2.4);
    strokeLine(p, centre, P(55.5, 50.5), t.cutout(1), 2.4);
    fillCircle(p, centre, 2.6, t.accent());
}

} // namespace

bool draw(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone) {
    using A = TarnAppIdentity;
    switch (app) {
    case A::rillet:
        drawRillet(painter, tone);
        return true;
    case A::heddle:
        drawHeddle(painter, tone);
        return true;
    case A::sketto:
        drawSketto(painter, tone);
        return true;
    case A::tavlor:
        drawTavlor(painter, tone);
        return true;
    case A::ulvern:
        drawUlvern(painter, tone);
        return true;
    case A::vessick:
        drawVessick(painter, tone);
        return true;
    case A::wortley:
        drawWortley(painter, tone);
        return true;
    case A::yelvin:
        drawYelvin(painter, tone);
        return true;
    case A::zarrow:
        drawZarrow(painter, tone);
        return true;
    case A::aldrick:
        drawAldrick(painter, tone);
        return true;
    case A::bexton:
        drawBexton(painter, tone);
        return true;
    case A::corlow:
        drawCorlow(painter, tone);
        return true;
    case A::dunstel:
        drawDunstel(painter, tone);
        return true;
    case A::emmerly:
        drawEmmerly(painter, tone);
        return true;
    case A::fosswick:
        drawFosswick(painter, tone);
        return true;
    case A::garrick:
        drawGarrick(painter, tone);
        return true;
    case A::halvern:
        drawHalvern(painter, tone);
        return true;
    case A::quiller:
        drawQuiller(painter, tone);
        return true;
    case A::ilkett:
        drawIlkett(painter, tone);
        return true;
    case A::jessop:
        drawJessop(painter, tone);
        return true;
    case A::kirvel:
        drawKirvel(painter, tone);
        return true;
    case A::lorcan:
        drawLorcan(painter, tone);
        return true;
    case A::mardle:
        drawMardle(painter, tone);
        return true;
    case A::orvell:
        drawOrvell(painter, tone);
        return true;
    case A::nimbrel:
        drawNimbrel(painter, tone);
        return true;
    case A::pashley:
        drawPashley(painter, tone);
        return true;
    case A::quintel:
        drawQuintel(painter, tone);
        return true;
    case A::rudwick:
        drawRudwick(painter, tone);
        return true;
    case A::selborne:
        drawSelborne(painter, tone);
        return true;
    case A::tollan:
        drawTollan(painter, tone);
        return true;
    case A::urwick:
        drawUrwick(painter, tone);
        return true;
    case A::vantry:
        drawVantry(painter, tone);
        return true;
    default:
        return false;
    }
}

} // namespace tarn::TarnEmblemArtworkSystemNet
