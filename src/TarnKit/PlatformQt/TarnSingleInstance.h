#pragma once

// One running instance per user. The first launch listens on a QLocalServer
// named after the bundle identifier and the user id; a later launch connects,
// asks it to reopen its window, waits for the answer and should then exit 0.
//
//     tarn::TarnSingleInstance instance;
//     switch (instance.claim()) {
//     case tarn::TarnSingleInstance::Claim::reopenedRunningInstance: return 0;
//     case tarn::TarnSingleInstance::Claim::failed: /* run alone */ break;
//     case tarn::TarnSingleInstance::Claim::primary: break;
//     }
//     connect(&instance, &TarnSingleInstance::reopenRequested,
//             &delegate, &TarnAppActivationDelegate::handleReopen);
//
// The check and the listen happen under a lock file, so two launches at the
// same moment cannot both become primary; a socket left by a crashed instance
// is removed. The socket is only accessible to the user.
//
// Threads: the GUI thread (claim blocks it for at most the answer time-out).

#include <QObject>
#include <QString>
#include <chrono>

class QLocalServer;

namespace tarn {

class TarnSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        primary,                 // this process listens now
        reopenedRunningInstance, // another instance took the request: exit 0
        failed,                  // neither: no server could be made
    };

    static constexpr std::chrono::milliseconds answerTimeout{2000};

    // "<bundle identifier>-<uid>"
    static QString defaultServerName();

    explicit TarnSingleInstance(QString serverName = defaultServerName(),
                                QObject* parent = nullptr);
    ~TarnSingleInstance() override;

    Claim claim();
    const QString& serverName() const { return m_serverName; }
    bool isListening() const;

signals:
    // A later launch asked this instance to reopen its window.
    void reopenRequested();

private:
    enum class Answer { reopened, noServer, noAnswer };
    // Connects and asks the instance behind the name to reopen.
    Answer askRunningInstance();
    void acceptConnections();

    QString m_serverName;
    QLocalServer* m_server = nullptr;
};

} // namespace tarn
