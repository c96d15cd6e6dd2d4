#include "TarnKit/Design/TarnLanguageLayout.h"

#include <QWidget>

namespace tarn {

Qt::LayoutDirection layoutDirection(TarnLanguage language) {
    return isRTL(language) ? Qt::RightToLeft : Qt::LeftToRight;
}

QLocale tarnLocale(TarnLanguage language) {
    const std::string_view code = localeIdentifier(language);
    return QLocale(QString::fromLatin1(code.data(), static_cast<qsizetype>(code.size())));
}

void tarnLocaleEnvironment(QWidget* widget, TarnLanguage language) {
    widget->setLocale(tarnLocale(language));
}

void tarnContentLayoutDirection(QWidget* widget, TarnLanguage language) {
    widget->setLayoutDirection(layoutDirection(language));
}

} // namespace tarn
