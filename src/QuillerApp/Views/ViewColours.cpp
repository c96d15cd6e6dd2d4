#include "QuillerApp/Views/ViewColours.h"

#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

namespace quiller {

QColor roleColour(ColourRole role, const QColor& accent) {
    namespace tokens = tarn::TarnGlassTokens;
    switch (role) {
    case ColourRole::accent:
        return accent;
    case ColourRole::success:
        return tarn::qColor(tokens::success);
    case ColourRole::warning:
        return tarn::qColor(tokens::warning);
    case ColourRole::danger:
        return tarn::qColor(tokens::danger);
    case ColourRole::textPrimary:
        return tarn::qColor(tokens::textPrimary);
    case ColourRole::textSecondary:
        return tarn::qColor(tokens::textSecondary);
    case ColourRole::textMuted:
        return tarn::qColor(tokens::textMuted);
    }
    return accent;
}

QColor studioAccent() {
    return tarn::qColor(tarn::productpalette::accentColor(tarn::TarnProductPalette::deepIndigo));
}

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(colour.alphaF() * opacity);
    return colour;
}

} // namespace quiller
