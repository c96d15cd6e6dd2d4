#include "TarnKit/PlatformQt/QtFileReveal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A file manager on the test session's private bus (scripts/with-session),
// reached over its own connection so the call really crosses the bus.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    enum class Answer { reply, error, never };

    explicit FakeFileManager(Answer answer)
        : m_answer(answer),
          m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                              QStringLiteral("fake-file-manager"))) {}
    ~FakeFileManager() override {
        m_bus.unregisterObject(QString::fromLatin1(tarn::QtFileReveal::objectPath));
        m_bus.unregisterService(QString::fromLatin1(tarn::QtFileReveal::service));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
    }
    bool start() {
        return m_bus.isConnected() &&
               m_bus.registerObject(QString::fromLatin1(tarn::QtFileReveal::objectPath), this,
                                    QDBusConnection::ExportAllSlots) &&
               m_bus.registerService(QString::fromLatin1(tarn::QtFileReveal::service));
    }

    std::vector<QStringList> shown;

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Q_UNUSED(startupId);
        shown.push_back(uris);
        if (m_answer == Answer::error)
            sendErrorReply(QDBusError::Failed, QStringLiteral("cannot show"));
        else if (m_answer == Answer::never)
            setDelayedReply(true);
    }

private:
    Answer m_answer;
    QDBusConnection m_bus;
};

class RecordingOpener final : public tarn::URLOpenerPort {
public:
    bool open(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<std::string> opened;
};

const std::filesystem::path revealed = "/tmp/quiller reveal/résumé v2.json";
const std::string revealedURL = "file:///tmp/quiller%20reveal/r%C3%A9sum%C3%A9%20v2.json";
const std::string folderURL = "file:///tmp/quiller%20reveal/";

} // namespace

TEST(QtFileReveal, TheFileManagerReceivesShowItemsWithTheFilesURL) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
        << "run under scripts/with-session: the test needs a private session bus";
    FakeFileManager fileManager(FakeFileManager::Answer::reply);
    ASSERT_TRUE(fileManager.start());
    auto opener = std::make_shared<RecordingOpener>();
    tarn::QtFileReveal reveal(opener);

    reveal.reveal(revealed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fileManager.shown.empty(); }, 3000));
    EXPECT_EQ(fileManager.shown.front(), QStringList{QString::fromStdString(revealedURL)});
    QTest::qWait(50);
    EXPECT_TRUE(opener->opened.empty())
        << "the folder was opened although the file manager answered";
}

TEST(QtFileReveal, OpensTheFoldersWhenNoFileManagerShowsTheFile) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    struct Case {
        const char* name;
        std::optional<FakeFileManager::Answer> answer;
    };
    const std::vector<Case> cases{
        {"no file manager on the bus", std::nullopt},
        {"the file manager fails", FakeFileManager::Answer::error},
        {"the file manager never answers", FakeFileManager::Answer::never},
    };
    for (const Case& c : cases) {
        std::unique_ptr<FakeFileManager> fileManager;
        if (c.answer) {
            fileManager = std::make_unique<FakeFileManager>(*c.answer);
            ASSERT_TRUE(fileManager->start()) << c.name;
        } else {
            ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                QString::fromLatin1(tarn::QtFileReveal::service)))
                << c.name;
        }
        auto opener = std::make_shared<RecordingOpener>();
        {
            // The adapter may be gone before the answer comes.
            tarn::QtFileReveal reveal(opener, 200ms);
            reveal.reveal(revealed);
        }
        EXPECT_TRUE(opener->opened.empty()) << c.name << ": the window waited for the bus";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !opener->opened.empty(); }, 3000)) << c.name;
        EXPECT_EQ(opener->opened, std::vector<std::string>{folderURL}) << c.name;
    }
}

#include "RevealTests.moc"
