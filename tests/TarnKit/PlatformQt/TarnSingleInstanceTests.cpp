#include "TarnKit/PlatformQt/TarnSingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tarn {
namespace {

// A name no other run of the suite (or a running application) uses.
QString uniqueName(const char* label) {
    return QStringLiteral("quiller-test-%1-%2-%3")
        .arg(QString::fromLatin1(label))
        .arg(::getpid())
        .arg(QDateTime::currentMSecsSinceEpoch());
}

QString probePath() {
    return QStringLiteral(QUILLER_SINGLE_INSTANCE_PROBE);
}

TEST(TarnSingleInstance, DefaultNameHasBundleIdentifierAndUser) {
    EXPECT_EQ(TarnSingleInstance::defaultServerName(),
              QStringLiteral("com.corvane.quiller-%1").arg(::getuid()));
}

TEST(TarnSingleInstance, SecondLaunchReopensTheFirstAndExitsZero) {
    const QString name = uniqueName("two");
    QProcess first;
    first.start(probePath(), {name});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.canReadLine(); }, 10000))
        << first.readAllStandardError().toStdString();
    EXPECT_EQ(first.readLine().trimmed(), "primary");

    QProcess second;
    second.start(probePath(), {name});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput().trimmed(), "reopened-running");

    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0) << "the first instance saw no reopen";
    EXPECT_EQ(first.readAllStandardOutput().trimmed(), "reopened");
}

TEST(TarnSingleInstance, InProcessClaimsAndStaleSockets) {
    const QString name = uniqueName("inprocess");
    // A socket file left behind by a crash: nobody listens on it.
    {
        QLocalServer crashed;
        ASSERT_TRUE(crashed.listen(name));
        const QString path = crashed.fullServerName();
        crashed.close();
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly)) << "could not leave a stale file";
    }
    TarnSingleInstance primary(name);
    EXPECT_EQ(primary.claim(), TarnSingleInstance::Claim::primary);
    EXPECT_TRUE(primary.isListening());
    EXPECT_EQ(primary.claim(), TarnSingleInstance::Claim::primary) << "claiming twice";

    // A client that sends garbage is dropped and no reopen is reported.
    QSignalSpy reopens(&primary, &TarnSingleInstance::reopenRequested);
    QLocalSocket intruder;
    intruder.connectToServer(name);
    ASSERT_TRUE(intruder.waitForConnected(2000));
    intruder.write("shutdown\n");
    intruder.flush();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return intruder.state() == QLocalSocket::UnconnectedState; }, 3000));
    EXPECT_EQ(reopens.count(), 0);
}

} // namespace
} // namespace tarn
