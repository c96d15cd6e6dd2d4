#include "TarnKit/PlatformQt/QtClipboard.h"

#include "TarnKit/PlatformQt/QtConversions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace tarn {

std::optional<std::string> QtClipboard::text() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    // An image or a file list is not text, but an empty text is.
    if (data == nullptr || !data->hasText())
        return std::nullopt;
    return qt::toStdString(data->text());
}

void QtClipboard::setText(const std::string& text) {
    QGuiApplication::clipboard()->setText(qt::toQString(text), QClipboard::Clipboard);
}

} // namespace tarn
