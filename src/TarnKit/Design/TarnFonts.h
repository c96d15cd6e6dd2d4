#pragma once

// The text styles and the one font helper every view uses. Sizes are logical
// pixels (QFont::setPixelSize), so a style measures the same on every screen.
//
// Threads: the GUI thread (fonts need the QGuiApplication).

#include <QFont>

namespace tarn {

enum class TarnTextStyle {
    largeTitle,
    title,
    title2,
    title3,
    headline,
    body,
    callout,
    subheadline,
    footnote,
    caption,
    caption2
};

namespace fonts {

// The style's size in logical pixels.
int pixelSize(TarnTextStyle style);
// Semibold for headline, regular for the rest.
QFont::Weight weight(TarnTextStyle style);

// The system face (or, `monospaced`, the system's fixed-pitch face) at the
// style's size and weight.
QFont font(TarnTextStyle style, bool monospaced = false);
// The same at another weight.
QFont font(TarnTextStyle style, QFont::Weight weight, bool monospaced = false);
// The system face at any size: the "system font of size n" of the layouts.
QFont system(qreal pixelSize, QFont::Weight weight = QFont::Normal, bool monospaced = false);

} // namespace fonts
} // namespace tarn
