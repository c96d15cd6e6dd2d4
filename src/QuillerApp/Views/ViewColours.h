#pragma once

// The colour roles the screens' presentation helpers choose from, so that the
// helpers stay pure and tests compare roles, not pixels; and their colours.
//
// Threads: roleColour and studioAccent on the GUI thread; the enumeration
// anywhere.

#include <QColor>

namespace quiller {

enum class ColourRole { accent, success, warning, danger, textPrimary, textSecondary, textMuted };

// The glass token of the role, or `accent` for the accent role.
QColor roleColour(ColourRole role, const QColor& accent);

// The accent the studio hands its screens: the application palette's.
QColor studioAccent();

// `colour` with its opacity multiplied by `opacity`.
QColor withOpacity(QColor colour, double opacity);

} // namespace quiller
