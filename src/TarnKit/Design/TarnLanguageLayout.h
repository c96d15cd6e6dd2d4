#pragma once

#include "TarnKit/Localization/TarnLanguage.h"

#include <QLocale>
#include <Qt>

class QWidget;

namespace tarn {

// Right to left for ar, fa and he; left to right for the others.
Qt::LayoutDirection layoutDirection(TarnLanguage language);
// The locale whose identifier is the language's code ("pt-BR").
QLocale tarnLocale(TarnLanguage language);

// Hand a language's locale and reading direction to a widget tree.
void tarnLocaleEnvironment(QWidget* widget, TarnLanguage language);
void tarnContentLayoutDirection(QWidget* widget, TarnLanguage language);

} // namespace tarn
