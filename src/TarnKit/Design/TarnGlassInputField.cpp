#include "TarnKit/Design/TarnGlassInputField.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QLineEdit>
#include <cmath>

namespace tarn {
namespace {

QString cssColour(const TarnColor& colour) {
    return qColor(colour).name(QColor::HexArgb);
}

QString pixels(double value) {
    return QString::number(std::lround(std::max(value, 0.0))) + QStringLiteral("px");
}

} // namespace

void tarnGlassInputField(QLineEdit* field, double cornerRadius, double horizontalPadding,
                         double verticalPadding) {
    field->setFrame(false);
    field->setFont(fonts::system(12.5));
    // The style sheet's border lies inside the widget's rectangle, as the
    // border of every glass control does.
    field->setStyleSheet(
        QStringLiteral("QLineEdit { color: %1; background: %2; border: 1px solid %3; "
                       "border-radius: %4; padding: %5 %6; }")
            .arg(cssColour(TarnGlassTokens::textPrimary), cssColour(TarnGlassTokens::surface2),
                 cssColour(TarnGlassTokens::borderSubtle), pixels(cornerRadius),
                 pixels(verticalPadding), pixels(horizontalPadding)));
}

} // namespace tarn
