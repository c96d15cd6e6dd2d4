#pragma once

// Conversions between the Qt-free layers' UTF-8 strings and paths and Qt's
// strings. Inline: they sit on every binding's path.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarn::qt {

inline QString toQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string toStdString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// File names are bytes on Linux; Qt decodes them the way the file system does.
inline QString pathToQString(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

inline std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace tarn::qt
