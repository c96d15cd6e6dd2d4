#pragma once

class QLineEdit;

namespace tarn {

// Dresses a line edit as a glass field: no platform frame, 12.5-pixel regular
// text in textPrimary, the given padding, a surface2 fill and a subtle border
// in a rounded rectangle. Main thread.
void tarnGlassInputField(QLineEdit* field, double cornerRadius, double horizontalPadding,
                         double verticalPadding);

} // namespace tarn
