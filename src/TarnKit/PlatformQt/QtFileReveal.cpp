#include "TarnKit/PlatformQt/QtFileReveal.h"

#include "TarnKit/PlatformQt/QtConversions.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>
#include <system_error>
#include <utility>

namespace tarn {

QtFileReveal::QtFileReveal(std::shared_ptr<URLOpenerPort> folderOpener,
                           std::chrono::milliseconds timeout)
    : m_folderOpener(std::move(folderOpener)), m_timeout(timeout) {}

void QtFileReveal::reveal(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(file, error);
    if (error)
        full = file;
    const QString absolute = qt::pathToQString(full.lexically_normal());
    const QString fileURL = QString::fromLatin1(QUrl::fromLocalFile(absolute).toEncoded());
    auto openFolder = [opener = m_folderOpener, absolute] {
        const QString folder = absolute.left(absolute.lastIndexOf(QLatin1Char('/')) + 1);
        opener->open(qt::toStdString(QString::fromLatin1(QUrl::fromLocalFile(folder).toEncoded())));
    };

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(service), QString::fromLatin1(objectPath),
        QString::fromLatin1(interface), QStringLiteral("ShowItems"));
    // The startup id lets the file manager take the focus under Wayland; we
    // have none to pass on.
    call << QStringList{fileURL} << QString();
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(call, static_cast<int>(m_timeout.count())), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [openFolder = std::move(openFolder)](QDBusPendingCallWatcher* done) {
                         if (done->isError())
                             openFolder();
                         done->deleteLater();
                     });
}

} // namespace tarn
