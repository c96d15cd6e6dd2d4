#include "TarnKit/PlatformQt/QtURLOpener.h"

#include "TarnKit/PlatformQt/QtConversions.h"

#include <QDesktopServices>
#include <QUrl>

namespace tarn {

bool QtURLOpener::open(const std::string& url) {
    const QUrl parsed(qt::toQString(url), QUrl::StrictMode);
    // A relative reference would be resolved against nothing: never guess.
    if (!parsed.isValid() || parsed.isRelative())
        return false;
    return QDesktopServices::openUrl(parsed);
}

} // namespace tarn
