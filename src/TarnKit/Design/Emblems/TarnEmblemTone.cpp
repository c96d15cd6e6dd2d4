#include "TarnKit/Design/Emblems/TarnEmblemTone.h"

#include <algorithm>
#include <cmath>

namespace tarn {
namespace {

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(std::clamp(opacity, 0.0, 1.0)));
    return colour;
}

} // namespace

TarnFlatPaint TarnFlatPaint::cutout(double strength) {
    const double kept = std::isnan(strength) ? 0.0 : std::clamp(strength, 0.0, 1.0);
    return {Kind::cutout, QColor(), kept};
}

const TarnEmblemTone& TarnEmblemTone::whiteGlass() {
    static const TarnEmblemTone tone{QColor::fromRgbF(1, 1, 1, 0.98f),
                                     QColor::fromRgbF(1, 1, 1, 0.72f), true};
    return tone;
}

TarnEmblemTone TarnEmblemTone::flatLight(const QColor& primary, const QColor& accent) {
    return {primary, accent, false};
}

TarnFlatPaint TarnEmblemTone::primary() const {
    return TarnFlatPaint::color(primaryColor);
}

TarnFlatPaint TarnEmblemTone::accent() const {
    return TarnFlatPaint::color(accentColor);
}

TarnFlatPaint TarnEmblemTone::mid() const {
    return primaryAlpha(0.46);
}

TarnFlatPaint TarnEmblemTone::soft() const {
    return primaryAlpha(isWhiteGlass ? 0.16 : 0.11);
}

TarnFlatPaint TarnEmblemTone::stroke() const {
    return primaryAlpha(isWhiteGlass ? 0.42 : 0.28);
}

TarnFlatPaint TarnEmblemTone::primaryAlpha(double opacity) const {
    return TarnFlatPaint::color(withOpacity(primaryColor, opacity));
}

TarnFlatPaint TarnEmblemTone::accentAlpha(double opacity) const {
    return TarnFlatPaint::color(withOpacity(accentColor, opacity));
}

TarnFlatPaint TarnEmblemTone::onPrimaryAccent() const {
    return isWhiteGlass ? TarnFlatPaint::cutout(0.86) : accent();
}

TarnFlatPaint TarnEmblemTone::cutout(double strength) const {
    if (isWhiteGlass)
        return TarnFlatPaint::cutout(std::min(std::max(strength * 1.15, 0.55), 1.0));
    return TarnFlatPaint::color(withOpacity(QColor(238, 241, 247), strength));
}

} // namespace tarn
