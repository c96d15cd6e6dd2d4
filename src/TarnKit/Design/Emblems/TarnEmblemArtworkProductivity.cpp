#include "TarnKit/Design/Emblems/TarnEmblemArtworkProductivity.h"

#include "TarnKit/Design/Emblems/TarnFlatDraw.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tarn::TarnEmblemArtworkProductivity {
namespace {

using namespace TarnFlatDraw;
using P = QPointF;
using R = QRectF;

// Desktop: four window tiles with their title strokes cut out.
void drawPalvine(QPainter& p, const TarnEmblemTone& t) {
    const TarnFlatPaint paints[] = {t.primary(), t.accent(), t.mid(), t.mid()};
    for (int i = 0; i < 4; ++i) {
        const double x = i % 2 == 0 ? 22 : 52;
        const double y = i < 2 ? 25 : 53;
        fillRoundedRect(p, R(x, y, 26, 22), 5, paints[i]);
        strokeLine(p, P(x + 5.5, y + 6), P(x + 15, y + 6), t.cutout(0.9), 2.6);
    }
}

// Two overlapping cards with text strokes and a badge holding a right arrow.
void drawMurrel(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(32, 22, 44, 32), 7, t.mid());
    fillApart(p, roundedRect(R(22, 33, 44, 36), 7), t.primary(), t);
    for (const auto& [y, end] : {std::pair{44.0, 55.0}, {52.0, 50.0}, {60.0, 44.0}})
        strokeLine(p, P(29, y), P(end, y), t.cutout(0.9), 3);
    fillApart(p, roundedRect(R(60, 60, 16, 16), 5), t.accent(), t);
    const TarnFlatPaint mark = t.cutout(1);
    strokeLine(p, P(63.5, 68), P(72, 68), mark, 2.4);
    stroke(p, polyline({{68.6, 64.6}, {72, 68}, {68.6, 71.4}}), mark, 2.4);
}

// A ring around a disc and a dot, crossed by a slash.
void drawJostra(QPainter& p, const TarnEmblemTone& t) {
    fillCircle(p, P(50, 50), 25, t.soft());
    strokeCircle(p, P(50, 50), 23.5, t.primary(), 3);
    fillCircle(p, P(50, 50), 13, t.mid());
    fillCircle(p, P(50, 50), 5.5, t.primary());
    strokeLine(p, P(33, 67), P(67, 33), t.cutout(1), 9);
    strokeLine(p, P(33, 67), P(67, 33), t.primary(), 4);
}

// Three trays growing towards the front, a handle slot in the front one.
void drawWendle(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(33, 23, 34, 14), 4, t.primaryAlpha(0.28));
    fillApart(p, roundedRect(R(28, 34, 44, 17), 4.5), t.mid(), t, 1.6);
    fillApart(p, roundedRect(R(22, 48, 56, 28), 6), t.primary(), t, 1.6);
    fillRoundedRect(p, R(41, 57, 18, 5), 2.5, t.cutout(1));
}

// A text field with a caret above two rows of bars.
void drawSorvel(QPainter& p, const TarnEmblemTone& t) {
    const QPainterPath field = roundedRect(R(23, 24, 54, 20), 7);
    fill(p, field, t.soft());
    stroke(p, field, t.primary(), 3);
    fillRoundedRect(p, R(30, 31.75, 21, 4.5), 2.25, t.primary());
    fillRoundedRect(p, R(55, 28.5, 3, 11), 1.5, t.accent());
    fillRoundedRect(p, R(22, 54, 56, 7), 3.5, t.primary());
    fillRoundedRect(p, R(22, 67, 40, 7), 3.5, t.mid());
    fillRoundedRect(p, R(64, 67, 14, 7), 3.5, t.accent());
}

// A card with an arrow dropping into an open tray.
void drawQuenby(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(34, 20, 32, 28), 6, t.mid());
    const TarnFlatPaint arrow = t.isWhiteGlass ? t.primary() : t.accent();
    strokeLine(p, P(50, 28), P(50, 58), arrow, 4.2);
    stroke(p, polyline({{42, 50}, {50, 58}, {58, 50}}), arrow, 4.2);
    QPainterPath tray;
    tray.moveTo(26, 55);
    tray.lineTo(26, 69);
    tray.cubicTo(26, 73, 29, 76, 33, 76);
    tray.lineTo(67, 76);
    tray.cubicTo(71, 76, 74, 73, 74, 69);
    tray.lineTo(74, 55);
    stroke(p, tray, t.primary(), 5.5);
}

// Four outlined squares around a filled centre square.
void drawTrelk(QPainter& p, const TarnEmblemTone& t) {
    for (const P corner : {P(25, 25), P(58, 25), P(25, 58), P(58, 58)})
        stroke(p, roundedRect(R(corner, QSizeF(17, 17)), 6.5), t.primary(), 4.6);
    const QPainterPath centre = roundedRect(R(42, 42, 16, 16), 3.5);
    fill(p, centre, t.isWhiteGlass ? t.mid() : t.accent());
    stroke(p, centre, t.primary(), 4.6);
}

// A clipboard with its clip and three text lines.
void drawAmbrel(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(25, 26, 50, 52), 7, t.primary());
    fillApart(p, roundedRect(R(38, 21, 24, 11), 4), t.accent(), t);
    for (const auto& [y, end] : {std::pair{46.0, 66.0}, {55.0, 60.0}, {64.0, 53.0}})
        strokeLine(p, P(34, y), P(end, y), t.cutout(0.9), 3.2);
}

// A notepad with a spiral edge, four text lines and a small tag.
void drawFennick(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(25, 22, 50, 56), 7, t.primary());
    for (const double x : {35.0, 45.0, 55.0, 65.0})
        fillCircle(p, P(x, 27.5), 1.8, t.cutout(1));
    for (const auto& [y, end] : {std::pair{37.0, 67.0}, {45.0, 63.0}, {53.0, 67.0}, {61.0, 52.0}})
        strokeLine(p, P(33, y), P(end, y), t.cutout(0.9), 3);
    fill(p, polygon({{59, 63}, {68, 63}, {68, 73.5}, {63.5, 70.5}, {59, 73.5}}), t.cutout(1));
}

// A note sheet with text lines and a plus badge.
void drawHollin(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(23, 22, 46, 52), 7, t.primary());
    for (const auto& [y, end] : {std::pair{33.0, 61.0}, {42.0, 56.0}, {51.0, 48.0}})
        strokeLine(p, P(30, y), P(end, y), t.cutout(0.9), 3);
    fillApart(p, roundedRect(R(54, 54, 24, 24), 8), t.accent(), t);
    strokeLine(p, P(66, 59.5), P(66, 72.5), t.cutout(1), 3.4);
    strokeLine(p, P(59.5, 66), P(72.5, 66), t.cutout(1), 3.4);
}

// A magnifying glass with a glint.
void drawBrask(QPainter& p, const TarnEmblemTone& t) {
    fillCircle(p, P(45, 45), 17, t.soft());
    strokeCircle(p, P(45, 45), 17, t.primary(), 5);
    strokeLine(p, P(58, 58), P(73.5, 73.5), t.primary(), 8);
    strokeArc(p, P(45, 45), 10, 195, 255, t.accent(), 3);
}

// Two branches from one node to two nodes.
void drawDunmere(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath branches;
    branches.moveTo(38, 50);
    branches.cubicTo(50, 50, 49, 34, 61, 34);
    branches.moveTo(38, 50);
    branches.cubicTo(50, 50, 49, 66, 61, 66);
    stroke(p, branches, t.mid(), 4);
    fillCircle(p, P(31, 50), 7.5, t.primary());
    fillCircle(p, P(68, 34), 7.5, t.primary());
    fillCircle(p, P(68, 66), 7.5, t.accent());
}

// A tall window beside two small stacked ones.
void drawKeswin(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(22, 23, 31, 54), 6, t.primary());
    strokeLine(p, P(28.5, 30.5), P(40, 30.5), t.cutout(0.9), 2.6);
    fillRoundedRect(p, R(57, 23, 21, 25), 5, t.accent());
    fillRoundedRect(p, R(57, 52, 21, 25), 5, t.mid());
}

// Three staggered windows; the front one with a title bar and a text line.
void drawLorrow(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(40, 21, 38, 30), 6, t.primaryAlpha(0.26));
    fillApart(p, roundedRect(R(31, 32, 38, 30), 6), t.mid(), t);
    fillApart(p, roundedRect(R(22, 43, 40, 34), 6), t.primary(), t);
    fillRoundedRect(p, R(22, 51.5, 40, 2.2), 0, t.cutout(0.9));
    for (const double x : {27.5, 32.5, 37.5})
        fillCircle(p, P(x, 47.2), 1.5, t.cutout(0.9));
    strokeLine(p, P(28, 62), P(52, 62), t.cutout(0.9), 3);
    strokeLine(p, P(28, 69.5), P(44, 69.5), t.cutout(0.9), 3);
}

// A speech bubble with three dots above two bars.
void drawMizzle(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath bubble = roundedRect(R(22, 21, 56, 22), 11);
    bubble.addPath(polygon({{33, 40}, {44, 40}, {32, 50}}));
    fill(p, bubble, t.primary());
    for (const double x : {38.0, 50.0, 62.0})
        fillCircle(p, P(x, 32), 3, t.cutout(1));
    fillRoundedRect(p, R(22, 58, 56, 7), 3.5, t.mid());
    fillRoundedRect(p, R(22, 70, 36, 7), 3.5, t.accent());
}

// A screen with a notch holding a camera dot and a pill, on a base bar.
void drawNabbet(QPainter& p, const TarnEmblemTone& t) {
    const QPainterPath screen = roundedRect(R(22, 25, 56, 41), 8);
    fill(p, screen, t.soft());
    stroke(p, screen, t.primary(), 3);
    fillRoundedRect(p, R(37, 23.5, 26, 9), 4.5, t.primary());
    fillCircle(p, P(43.5, 28), 1.7, t.cutout(1));
    fillRoundedRect(p, R(48, 26.7, 10, 2.6), 1.3, t.cutout(1));
    fillRoundedRect(p, R(32, 71, 36, 5), 2.5, t.mid());
}

// A stopwatch: button, dial, progress arc, hands and hub.
void drawOrrin(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(44, 20, 12, 6), 2.5, t.primary());
    strokeLine(p, P(50, 25), P(50, 30), t.primary(), 3.4);
    const P centre(50, 53);
    fillCircle(p, centre, 23, t.soft());
    strokeCircle(p, centre, 23, t.mid(), 4);
    strokeArc(p, centre, 23, -90, 35, t.primary(), 4.6);
    strokeLine(p, centre, P(50, 39), t.primary(), 3.2);
    strokeLine(p, centre, P(60, 58), t.primary(), 3);
    fillCircle(p, centre, 3.6, t.accent());
}

// Two stacked cards with a fading checklist and a check badge.
void drawPitlow(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(31, 20, 45, 48), 7, t.primaryAlpha(0.32));
    fillApart(p, roundedRect(R(22, 28, 48, 50), 7), t.primary(), t);
    const double strengths[] = {0.9, 0.68, 0.48};
    for (int i = 0; i < 3; ++i) {
        const double y = 40 + 11.5 * i;
        fillCircle(p, P(31, y), 2.8, t.cutout(strengths[i]));
        strokeLine(p, P(37.5, y), P(i == 0 ? 60 : 54 - 4 * i, y), t.cutout(strengths[i]), 3);
    }
    fillApart(p, disc(P(66, 66), 11.5), t.accent(), t);
    stroke(p, polyline({{60.5, 66.5}, {64.5, 70.5}, {71.5, 62.5}}), t.cutout(1), 3);
}

// A mug with a handle on a saucer, steam above.
void drawRasken(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath mug;
    mug.moveTo(28, 42);
    mug.lineTo(62, 42);
    mug.lineTo(62, 61);
    mug.cubicTo(62, 67, 57, 71, 51, 71);
    mug.lineTo(39, 71);
    mug.cubicTo(33, 71, 28, 67, 28, 61);
    mug.closeSubpath();
    strokeArc(p, P(63, 53), 7.5, -80, 80, t.primary(), 4.2);
    fill(p, mug, t.primary());
    fillRoundedRect(p, R(22, 73.5, 52, 5), 2.5, t.mid());
    for (const double x : {36.0, 45.0, 54.0}) {
        QPainterPath steam;
        steam.moveTo(x, 37);
        steam.cubicTo(x - 3.5, 33, x + 3.5, 29, x, 24);
        stroke(p, steam, t.accent(), 2.8);
    }
}

// Two switch bars with their knobs, an accent dot in the upper knob.
void drawSarnel(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(23, 26, 54, 20), 10, t.primary());
    fillCircle(p, P(67, 36), 7, t.cutout(1));
    fillCircle(p, P(67, 36), 3.2, t.accent());
    fillRoundedRect(p, R(23, 54, 54, 20), 10, t.primaryAlpha(0.32));
    fillCircle(p, P(33, 64), 7, t.cutout(1));
}

// Crossed tools: a rod with a ball end under a wrench.
void drawTibbet(QPainter& p, const TarnEmblemTone& t) {
    strokeLine(p, P(31, 31), P(71, 71), t.accent(), 5);
    fillCircle(p, P(29, 29), 5.5, t.accent());
    strokeLine(p, P(29, 71), P(66, 34), t.cutout(1), 12);
    strokeLine(p, P(29, 71), P(62, 38), t.primary(), 7);
    fillCircle(p, P(66, 34), 10.5, t.primary());
    p.save();
    p.translate(66, 34);
    p.rotate(-45);
    fillRoundedRect(p, R(1.5, -3.6, 12, 7.2), 1.5, t.cutout(1));
    p.restore();
}

// A circular arrow around an up arrow.
void drawUmbrel(QPainter& p, const TarnEmblemTone& t) {
    strokeArrowArc(p, P(50, 50), 24, -50, 230, t.primary(), 4.5);
    strokeLine(p, P(50, 64), P(50, 43), t.accent(), 5);
    fill(p, polygon({{40.5, 46}, {50, 35}, {59.5, 46}}), t.accent());
}

// Three slabs crossed by a zipper with teeth and a pull tab.
void drawVarrow(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(24, 23, 52, 15), 5, t.primary());
    fillRoundedRect(p, R(24, 42.5, 52, 15), 5, t.mid());
    fillRoundedRect(p, R(24, 62, 52, 15), 5, t.primary());
    fillRoundedRect(p, R(45, 21, 10, 58), 0, t.cutout(1));
    for (int i = 0; i < 9; ++i)
        fillRoundedRect(p, R(i % 2 == 0 ? 45.5 : 50.5, 23 + 6 * i, 4, 3), 1, t.accent());
    fillRoundedRect(p, R(45, 44, 10, 15), 3.5, t.accent());
    fillRoundedRect(p, R(48.3, 52, 3.4, 4), 1.7, t.cutout(1));
}

// A mind map: six spokes to six nodes and a hub with a hole.
void drawWexley(QPainter& p, const TarnEmblemTone& t) {
    const P centre(50, 50);
    for (int i = 0; i < 6; ++i) {
        const double a = radians(60.0 * i - 90);
        const P node = centre + P(std::cos(a), std::sin(a)) * 22;
        strokeLine(p, centre, node, t.mid(), 3);
        fillCircle(p, node, 5.5, i % 3 == 0 ? t.accent() : t.primary());
    }
    fillCircle(p, centre, 10, t.primary());
    fillCircle(p, centre, 4, t.cutout(1));
}

// An envelope with a letter sticking out and its flap.
void drawYarrel(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(31, 21, 38, 32), 4, t.mid());
    strokeLine(p, P(37, 29), P(58, 29), t.cutout(0.6), 2.4);
    strokeLine(p, P(37, 36), P(52, 36), t.cutout(0.6), 2.4);
    fillApart(p, roundedRect(R(22, 39, 56, 37), 7), t.primary(), t);
    stroke(p, polyline({{23.5, 41.5}, {50, 60}, {76.5, 41.5}}), t.cutout(1), 3.2);
}

// A spreadsheet: a header bar over a 2 × 2 grid of cells.
void drawZennor(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(22, 23, 56, 12), 4, t.primary());
    fillRoundedRect(p, R(22, 39, 27, 17), 4, t.mid());
    fillRoundedRect(p, R(51, 39, 27, 17), 4, t.accent());
    fillRoundedRect(p, R(22, 59, 27, 17), 4, t.primaryAlpha(0.28));
    fillRoundedRect(p, R(51, 59, 27, 17), 4, t.mid());
}

// A folder with two panes in front; the right pane carries text lines.
void drawAbbrin(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath folder = roundedRect(R(22, 23, 24, 12), 4);
    folder.addPath(roundedRect(R(22, 29, 56, 45), 7));
    fill(p, folder, t.mid());
    fillApart(p, roundedRect(R(25, 40, 24, 36), 5), t.primary(), t, 1.8);
    fillApart(p, roundedRect(R(51, 40, 24, 36), 5), t.primary(), t, 1.8);
    strokeLine(p, P(56, 50), P(70, 50), t.cutout(0.9), 3);
    strokeLine(p, P(56, 58), P(65, 58), t.cutout(0.9), 3);
}

} // namespace

bool draw(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone) {
    using A = TarnAppIdentity;
    switch (app) {
    case A::palvine:
        drawPalvine(painter, tone);
        return true;
    case A::murrel:
        drawMurrel(painter, tone);
        return true;
    case A::jostra:
        drawJostra(painter, tone);
        return true;
    case A::wendle:
        drawWendle(painter, tone);
        return true;
    case A::sorvel:
        drawSorvel(painter, tone);
        return true;
    case A::quenby:
        drawQuenby(painter, tone);
        return true;
    case A::trelk:
        drawTrelk(painter, tone);
        return true;
    case A::ambrel:
        drawAmbrel(painter, tone);
        return true;
    case A::fennick:
        drawFennick(painter, tone);
        return true;
    case A::hollin:
        drawHollin(painter, tone);
        return true;
    case A::brask:
        drawBrask(painter, tone);
        return true;
    case A::dunmere:
        drawDunmere(painter, tone);
        return true;
    case A::keswin:
        drawKeswin(painter, tone);
        return true;
    case A::lorrow:
        drawLorrow(painter, tone);
        return true;
    case A::mizzle:
        drawMizzle(painter, tone);
        return true;
    case A::nabbet:
        drawNabbet(painter, tone);
        return true;
    case A::orrin:
        drawOrrin(painter, tone);
        return true;
    case A::pitlow:
        drawPitlow(painter, tone);
        return true;
    case A::rasken:
        drawRasken(painter, tone);
        return true;
    case A::sarnel:
        drawSarnel(painter, tone);
        return true;
    case A::tibbet:
        drawTibbet(painter, tone);
        return true;
    case A::umbrel:
        drawUmbrel(painter, tone);
        return true;
    case A::varrow:
        drawVarrow(painter, tone);
        return true;
    case A::wexley:
        drawWexley(painter, tone);
        return true;
    case A::yarrel:
        drawYarrel(painter, tone);
        return true;
    case A::zennor:
        drawZennor(painter, tone);
        return true;
    case A::abbrin:
        drawAbbrin(painter, tone);
        return true;
    default:
        return false;
    }
}

} // namespace tarn::TarnEmblemArtworkProductivity
