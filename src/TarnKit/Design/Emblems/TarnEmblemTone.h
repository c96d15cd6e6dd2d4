#pragma once

#include <QColor>

namespace tarn {

// What a shape of an emblem is drawn with: a colour, or an eraser that removes
// `strength` (0...1) of the coverage already drawn beneath it.
struct TarnFlatPaint {
    enum class Kind { color, cutout };

    Kind kind = Kind::color;
    QColor paintColor;
    double cutoutStrength = 0;

    static TarnFlatPaint color(const QColor& colour) { return {Kind::color, colour, 0}; }
    // The strength is kept within 0...1.
    static TarnFlatPaint cutout(double strength);

    friend bool operator==(const TarnFlatPaint&, const TarnFlatPaint&) = default;
};

// The two colours an emblem is drawn in and the paints derived from them. In
// the white-glass look cut-outs erase; in a flat look they paint a light grey.
// A plain value, safe to copy between threads.
struct TarnEmblemTone {
    QColor primaryColor;
    QColor accentColor;
    bool isWhiteGlass = false;

    // White at 0.98 and 0.72: every emblem bitmap is drawn in it.
    static const TarnEmblemTone& whiteGlass();
    static TarnEmblemTone flatLight(const QColor& primary, const QColor& accent);

    TarnFlatPaint primary() const;
    TarnFlatPaint accent() const;
    TarnFlatPaint mid() const;
    TarnFlatPaint soft() const;
    TarnFlatPaint stroke() const;
    // The opacity replaces the colour's own alpha; it does not multiply it.
    TarnFlatPaint primaryAlpha(double opacity) const;
    TarnFlatPaint accentAlpha(double opacity) const;
    TarnFlatPaint onPrimaryAccent() const;
    // White glass: erases with strength × 1.15 kept within 0.55...1. Flat: the
    // light grey (238, 241, 247) at the given opacity.
    TarnFlatPaint cutout(double strength) const;
};

} // namespace tarn
