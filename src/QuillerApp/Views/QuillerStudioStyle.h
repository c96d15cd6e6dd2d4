#pragma once

// Small pieces of look that the studio's views share.
//
// Threads: the GUI thread.

#include <QColor>
#include <QString>

class QWidget;

namespace quiller::studiostyle {

// "rgba(r, g, b, a)" for a style sheet.
QString cssRgba(const QColor& colour);

// A one-pixel line in the subtle border colour, as wide as its layout makes it.
QWidget* makeHairline(QWidget* parent);

} // namespace quiller::studiostyle
