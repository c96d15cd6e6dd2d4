#include "TarnKit/PlatformQt/TarnSingleInstance.h"

#include "TarnKit/Platform/BuildInfo.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <unistd.h>

namespace tarn {
namespace {

constexpr QByteArrayView kRequest = "reopen\n";
constexpr QByteArrayView kAnswer = "ok\n";
// Longest line either side reads; anything longer is not our protocol.
constexpr qint64 kMaximumLine = 64;

} // namespace

QString TarnSingleInstance::defaultServerName() {
    return QString::fromLatin1(buildinfo::bundleIdentifier) + QLatin1Char('-') +
           QString::number(::getuid());
}

TarnSingleInstance::TarnSingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName)) {}

TarnSingleInstance::~TarnSingleInstance() = default;

bool TarnSingleInstance::isListening() const {
    return m_server != nullptr && m_server->isListening();
}

TarnSingleInstance::Claim TarnSingleInstance::claim() {
    if (isListening())
        return Claim::primary;
    // Held from the check to the listen: a second launch at the same moment
    // waits here and then finds the first one's server.
    QLockFile lock(QDir(QDir::tempPath()).filePath(m_serverName + QStringLiteral(".lock")));
    if (!lock.tryLock(static_cast<int>(2 * answerTimeout.count())))
        return askRunningInstance() == Answer::reopened ? Claim::reopenedRunningInstance
                                                        : Claim::failed;

    switch (askRunningInstance()) {
    case Answer::reopened:
        return Claim::reopenedRunningInstance;
    case Answer::noAnswer:
        return Claim::failed;
    case Answer::noServer:
        break;
    }

    // Nobody answers: a socket file left behind by a crash is removed first.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName)) {
        qWarning("Single instance: cannot listen on %s: %s", qPrintable(m_serverName),
                 qPrintable(m_server->errorString()));
        delete m_server;
        m_server = nullptr;
        return Claim::failed;
    }
    connect(m_server, &QLocalServer::newConnection, this, &TarnSingleInstance::acceptConnections);
    return Claim::primary;
}

TarnSingleInstance::Answer TarnSingleInstance::askRunningInstance() {
    const QDeadlineTimer deadline(answerTimeout);
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return Answer::noServer;
    socket.write(kRequest.data(), kRequest.size());
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return Answer::noAnswer;
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < kMaximumLine) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return Answer::noAnswer;
        answer += socket.read(kMaximumLine - answer.size());
    }
    return answer == kAnswer ? Answer::reopened : Answer::noAnswer;
}

void TarnSingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that connects and says nothing is dropped after the time-out.
        auto* timeout = new QTimer(socket);
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, socket, &QLocalSocket::abort);
        timeout->start(answerTimeout);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() >= kMaximumLine)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(kMaximumLine);
            if (line != kRequest) {
                socket->abort();
                return;
            }
            socket->write(kAnswer.data(), kAnswer.size());
            socket->flush();
            socket->disconnectFromServer();
            emit reopenRequested();
        });
    }
}

} // namespace tarn
