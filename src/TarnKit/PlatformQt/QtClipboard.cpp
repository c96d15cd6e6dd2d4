#include "TarnKit/PlatformQt/QtClipboard.h"

#include "TarnKit/PlatformQt/QtConversions.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
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

std::optional<std::string> QtClipboard::imagePNG() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (data == nullptr)
        return std::nullopt;
    if (data->hasFormat(QStringLiteral("image/png"))) {
        const QByteArray png = data->data(QStringLiteral("image/png"));
        if (!png.isEmpty())
            return png.toStdString();
    }
    if (!data->hasImage())
        return std::nullopt;
    const auto image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || png.isEmpty())
        return std::nullopt;
    return png.toStdString();
}

} // namespace tarn
