#pragma once

// The symbol registry: our own drawing for every symbol name the views use
// ("paperplane.fill", "xmark.circle.fill", ...). Each symbol is a
// QPainterPath on a 24-unit square, filled in one colour, so it stays crisp at
// any size. Icons are cached by name, colour and size.
//
// Names in the sources reach the registry as string literals, either as the
// first argument of symbolIcon / symbolPixmap / paintSymbol or as the
// argument of tarn::symbolNamed (TarnKit/Platform/SymbolName.h); a test
// collects them all and fails on a name the registry lacks.
//
// Threads: the GUI thread.

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <string_view>
#include <vector>

class QPainter;
class QRectF;

namespace tarn {

// The icon of `name` in `colour`, `pixelSize` logical pixels square, with
// pictures for device pixel ratios 1 and 2. A null icon for an unknown name.
QIcon symbolIcon(std::string_view name, const QColor& colour, int pixelSize);

// The picture alone, for a device pixel ratio; null for an unknown name.
QPixmap symbolPixmap(std::string_view name, const QColor& colour, int pixelSize,
                     qreal devicePixelRatio = 1.0);

// Paints the symbol into `target` (kept square, centred) with `painter`;
// false, painting nothing, for an unknown name.
bool paintSymbol(QPainter& painter, std::string_view name, const QRectF& target,
                 const QColor& colour);

bool hasSymbol(std::string_view name);
// Every registered name, sorted.
std::vector<std::string_view> symbolNames();

// The symbol's outline on the 24-unit square (empty for an unknown name).
QPainterPath symbolPath(std::string_view name);

} // namespace tarn
