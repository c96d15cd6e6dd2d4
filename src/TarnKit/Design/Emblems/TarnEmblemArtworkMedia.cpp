#include "TarnKit/Design/Emblems/TarnEmblemArtworkMedia.h"

#include "TarnKit/Design/Emblems/TarnFlatDraw.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tarn::TarnEmblemArtworkMedia {
namespace {

using namespace TarnFlatDraw;
using P = QPointF;
using R = QRectF;

// A picture panel with two mountain peaks and a sun.
void drawBelcott(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(22, 25, 56, 50), 9, t.primary());
    fill(p, polygon({{27, 69}, {43, 46}, {59, 69}}), t.cutout(0.88));
    fill(p, polygon({{49, 69}, {60, 54}, {73, 69}}), t.cutout(0.54));
    fillCircle(p, P(62, 38), 5.5, t.onPrimaryAccent());
}

// Four corner brackets of a capture frame around a lens.
void drawCawder(QPainter& p, const TarnEmblemTone& t) {
    const TarnFlatPaint frame = t.primary();
    stroke(p, polyline({{24, 36}, {24, 24}, {36, 24}}), frame, 4.6);
    stroke(p, polyline({{64, 24}, {76, 24}, {76, 36}}), frame, 4.6);
    stroke(p, polyline({{24, 64}, {24, 76}, {36, 76}}), frame, 4.6);
    stroke(p, polyline({{64, 76}, {76, 76}, {76, 64}}), frame, 4.6);
    fillCircle(p, P(50, 50), 14, t.mid());
    fillCircle(p, P(50, 50), 5.5, t.isWhiteGlass ? t.primary() : t.accent());
}

// A lens with six aperture blades and a centre hole.
void drawDimmock(QPainter& p, const TarnEmblemTone& t) {
    const P centre(50, 50);
    fillCircle(p, centre, 26, t.primary());
    for (int i = 0; i < 6; ++i) {
        const double from = radians(60.0 * i);
        const double to = radians(60.0 * i + 48);
        strokeLine(p, centre + P(std::cos(from), std::sin(from)) * 10.5,
                   centre + P(std::cos(to), std::sin(to)) * 25.5, t.cutout(1), 2.6);
    }
    fillCircle(p, centre, 6.5, t.cutout(1));
}

// A video timeline: clips on three tracks under a playhead.
void drawFarrish(QPainter& p, const TarnEmblemTone& t) {
    struct Clip {
        double x, width, y, opacity;
    };
    const Clip clips[] = {
        {22, 22, 30, 1},    {47, 31, 30, 0.38}, {22, 18, 46, 0.32}, {43, 22, 46, 1},
        {68, 10, 46, 0.24}, {22, 33, 62, 0.24}, {58, 20, 62, 0.38},
    };
    for (const Clip& clip : clips)
        fillRoundedRect(p, R(clip.x, clip.y, clip.width, 11), 3,
                        clip.opacity == 1 ? t.primary() : t.primaryAlpha(clip.opacity));
    const TarnFlatPaint head = t.isWhiteGlass ? t.primary() : t.accent();
    QPainterPath playhead = roundedRect(R(51.2, 24, 2.6, 54), 1.3);
    playhead.addPath(roundedRect(R(46, 20, 13, 7), 2));
    playhead.addPath(polygon({{46, 26}, {59, 26}, {52.5, 31}}));
    fillApart(p, playhead, head, t, 1.6);
}

// A player screen with a play triangle and a progress bar.
void drawGorran(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(21, 26, 58, 48), 9, t.primary());
    fill(p, polygon({{44, 35}, {59, 44.5}, {44, 54}}), t.cutout(1));
    fillRoundedRect(p, R(29, 62, 42, 4), 2, t.cutout(0.45));
    fillRoundedRect(p, R(29, 62, 22, 4), 2, t.onPrimaryAccent());
}

// Two circular arrows chasing each other around a diamond.
void drawHesket(QPainter& p, const TarnEmblemTone& t) {
    strokeArrowArc(p, P(50, 50), 24, 195, 320, t.primary(), 4.5);
    strokeArrowArc(p, P(50, 50), 24, 15, 140, t.mid(), 4.5);
    fill(p, polygon({{50, 39}, {61, 50}, {50, 61}, {39, 50}}), t.accent());
}

// The folded sheet with three text lines.
void drawIvrach(QPainter& p, const TarnEmblemTone& t) {
    foldedSheet(p, t);
    for (const auto& [y, end] : {std::pair{50.0, 65.0}, {58.0, 60.0}, {66.0, 53.0}})
        strokeLine(p, P(35, y), P(end, y), t.cutout(0.9), 3);
}

// An open book with text lines on the left page and a ribbon on the right.
void drawJarrow(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(23, 27, 26, 46), 6, t.primary());
    fillRoundedRect(p, R(51, 27, 26, 46), 6, t.mid());
    for (const auto& [y, end] : {std::pair{38.0, 43.0}, {46.0, 43.0}, {54.0, 38.0}})
        strokeLine(p, P(29, y), P(end, y), t.cutout(0.9), 2.6);
    fill(p, polygon({{61, 27}, {70, 27}, {70, 46}, {65.5, 41.5}, {61, 46}}),
         t.isWhiteGlass ? t.primary() : t.accent());
}

// A mixer: three fader tracks with levels and caps.
void drawKelby(QPainter& p, const TarnEmblemTone& t) {
    const double xs[] = {33, 50, 67};
    const double caps[] = {38, 56, 45};
    const TarnFlatPaint levels[] = {t.accent(), t.primaryAlpha(0.8), t.accent()};
    for (int i = 0; i < 3; ++i) {
        fillRoundedRect(p, R(xs[i] - 2.2, 25, 4.4, 50), 2.2, t.primaryAlpha(0.24));
        fillRoundedRect(p, R(xs[i] - 2.2, caps[i], 4.4, 75 - caps[i]), 2.2, levels[i]);
        fillRoundedRect(p, R(xs[i] - 7, caps[i] - 3.7, 14, 7.4), 2.6, t.primary());
    }
}

// A pair of beamed notes.
void drawLankin(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath notes = polygon({{38.5, 31}, {70, 23}, {70, 32}, {38.5, 40}});
    notes.addPath(roundedRect(R(38.5, 31, 3.8, 37), 1));
    notes.addPath(roundedRect(R(66.2, 23, 3.8, 38), 1));
    fill(p, notes, t.primary());
    for (const P head : {P(33.5, 68), P(61.2, 61)}) {
        p.save();
        p.translate(head);
        p.rotate(-20);
        fillEllipse(p, R(-8, -6, 16, 12), t.primary());
        p.restore();
    }
}

// A microphone in its holder on a stand, with a sound bar at each side.
void drawMorwick(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(41, 20, 18, 32), 9, t.primary());
    strokeLine(p, P(41, 31), P(47, 31), t.cutout(0.6), 2);
    strokeLine(p, P(41, 38), P(47, 38), t.cutout(0.6), 2);
    strokeArc(p, P(50, 41), 15, 0, 180, t.mid(), 3.6);
    strokeLine(p, P(50, 56), P(50, 69), t.mid(), 3.6);
    fillRoundedRect(p, R(38, 68, 24, 5), 2.5, t.mid());
    fillRoundedRect(p, R(23, 32, 4.4, 18), 2.2, t.accent());
    fillRoundedRect(p, R(72.6, 32, 4.4, 18), 2.2, t.accent());
}

// A waveform of seven bars with a playhead.
void drawNorvale(QPainter& p, const TarnEmblemTone& t) {
    struct Bar {
        double centreX, height;
        bool full;
    };
    constexpr Bar bars[] = {{24, 18, false}, {32.5, 32, true},  {41, 46, true}, {49.5, 38, false},
                            {58, 50, true},  {66.5, 28, false}, {75, 16, false}};
    for (const Bar& bar : bars)
        fillRoundedRect(p, R(bar.centreX - 2.6, 50 - bar.height / 2, 5.2, bar.height),
                        std::min(2.6, bar.height / 2), bar.full ? t.primary() : t.mid());
    fillRoundedRect(p, R(48.1, 21, 2.8, 58), 1.4, t.isWhiteGlass ? t.primary() : t.accent());
}

// A vector curve between two anchors, with its guide line and handles.
void drawOssory(QPainter& p, const TarnEmblemTone& t) {
    strokeLine(p, P(36, 29), P(64, 71), t.mid(), 2.2);
    QPainterPath curve;
    curve.moveTo(27, 68);
    curve.cubicTo(27, 44, 73, 56, 73, 32);
    stroke(p, curve, t.primary(), 4.5);
    fillRoundedRect(p, R(22, 63, 10, 10), 2, t.primary());
    fillRoundedRect(p, R(68, 27, 10, 10), 2, t.primary());
    fillCircle(p, P(36, 29), 3.8, t.accent());
    fillCircle(p, P(64, 71), 3.8, t.accent());
}

// Three design tiles under a tilted ruler with ticks.
void drawPendle(QPainter& p, const TarnEmblemTone& t) {
    fillRoundedRect(p, R(23, 23, 17, 17), 4, t.mid());
    fillRoundedRect(p, R(44, 23, 17, 17), 4, t.mid());
    fillRoundedRect(p, R(23, 44, 17, 17), 4, t.accent());
    p.save();
    p.translate(55, 55);
    p.rotate(-45);
    fillApart(p, roundedRect(R(-26, -7, 52, 14), 3), t.primary(), t);
    for (int i = 0; i < 9; ++i) {
        const double x = -20 + 5 * i;
        strokeLine(p, P(x, -7), P(x, i % 2 == 0 ? -1 : -3.5), t.cutout(1), 1.6);
    }
    p.restore();
}

// A camera with a viewfinder hump, lens rings and a flash.
void drawQuorrel(QPainter& p, const TarnEmblemTone& t) {
    QPainterPath body = roundedRect(R(22, 34, 56, 40), 8);
    body.addPath(roundedRect(R(38, 26, 24, 12), 4));
    fill(p, body, t.primary());
    strokeCircle(p, P(50, 54), 12, t.cutout(1), 3.2);
    strokeCircle(p, P(50, 54), 6, t.cutout(0.7), 2.6);
    fillCircle(p, P(69, 42), 2.8, t.onPrimaryAccent());
}

} // namespace

bool draw(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone) {
    using A = TarnAppIdentity;
    switch (app) {
    case A::belcott:
        drawBelcott(painter, tone);
        return true;
    case A::cawder:
        drawCawder(painter, tone);
        return true;
    case A::dimmock:
        drawDimmock(painter, tone);
        return true;
    case A::farrish:
        drawFarrish(painter, tone);
        return true;
    case A::gorran:
        drawGorran(painter, tone);
        return true;
    case A::hesket:
        drawHesket(painter, tone);
        return true;
    case A::ivrach:
        drawIvrach(painter, tone);
        return true;
    case A::jarrow:
        drawJarrow(painter, tone);
        return true;
    case A::kelby:
        drawKelby(painter, tone);
        return true;
    case A::lankin:
        drawLankin(painter, tone);
        return true;
    case A::morwick:
        drawMorwick(painter, tone);
        return true;
    case A::norvale:
        drawNorvale(painter, tone);
        return true;
    case A::ossory:
        drawOssory(painter, tone);
        return true;
    case A::pendle:
        drawPendle(painter, tone);
        return true;
    case A::quorrel:
        drawQuorrel(painter, tone);
        return true;
    default:
        return false;
    }
}

} // namespace tarn::TarnEmblemArtworkMedia
