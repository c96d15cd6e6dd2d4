#pragma once

// Small pieces the suite sheets are built from: the desktop ports they reach
// the outside through, coloured labels, rounded fills (TarnRoundedFill.h) and
// localised texts.
//
// Threads: the GUI thread.

#include "TarnKit/Design/TarnBrandMark.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/DesktopPorts.h"
#include "TarnKit/Utilities/TarnColor.h"

#include <QFont>
#include <QLabel>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

class QScrollArea;
class QToolButton;

class QVBoxLayout;

namespace tarn {

class TarnGlassCard;

// What the sheets open, reveal and copy through. Tests hand in fakes.
struct TarnSheetPorts {
    std::shared_ptr<URLOpenerPort> urlOpener;
    std::shared_ptr<FileRevealPort> fileReveal;
    std::shared_ptr<ClipboardPort> clipboard;

    // The Qt adapters: default browser, file manager, system clipboard.
    static TarnSheetPorts desktop();
};

// tarnText as a QString.
QString sheetText(std::string_view en, std::string_view tr, TarnLanguage language);

// A label drawn in `font` and `colour`.
QLabel* sheetLabel(const QString& text, const QFont& font, const TarnColor& colour,
                   QWidget* parent = nullptr);

// A frameless, transparent scroll area that fits its content's width; the
// vertical indicator always shown, or never.
QScrollArea* sheetScrollArea(const QString& objectName, bool verticalIndicator = true);

// The header's close button: "xmark.circle.fill" at 18 points in
// textSecondary, without a bezel. Named "closeButton".
QToolButton* sheetCloseButton();

// A glass card named `objectName` (corner radius 14) holding a vertical
// stack without margins; `column` receives the stack.
TarnGlassCard* sheetCard(const char* objectName, double padding, int spacing, QVBoxLayout*& column);

// The application's emblem where the catalogue knows the name, else the
// running application's mark.
TarnBrandMarkStyle sheetBrandStyle(const std::string& appName);

} // namespace tarn
