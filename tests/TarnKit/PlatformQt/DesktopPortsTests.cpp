#include "TarnKit/PlatformQt/QtClipboard.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/PlatformQt/QtFilePanels.h"
#include "TarnKit/PlatformQt/QtURLOpener.h"
#include "support/TemporaryFolder.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

QFileDialog* openPanel() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(tarn::QtFilePanels::dialogObjectName) &&
            widget->isVisible())
            return qobject_cast<QFileDialog*>(widget);
    return nullptr;
}

// Records every completion of a panel.
struct Completions {
    std::vector<std::optional<std::filesystem::path>> calls;
    tarn::FilePanelsPort::Completion callback() {
        return [this](std::optional<std::filesystem::path> chosen) { calls.push_back(chosen); };
    }
};

class QtFilePanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        m_folder.write("existing.json", "{}");
    }
    void TearDown() override {
        if (QFileDialog* left = openPanel())
            left->reject();
        QApplication::processEvents();
    }

    tarn::testing::TemporaryFolder m_folder{"quiller-panels"};
    QWidget m_window;
    tarn::QtFilePanels m_panels;
    Completions m_done;
};

// Stands in for the desktop's handler of one URL scheme.
class URLSink : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

} // namespace

TEST(QtClipboard, RoundTripsUnicodeTextAndSaysWhenThereIsNoText) {
    tarn::QtClipboard clipboard;
    clipboard.setText("Çağrı ✓ \"x\"\n");
    EXPECT_EQ(clipboard.text(), "Çağrı ✓ \"x\"\n");

    auto* imageOnly = new QMimeData;
    imageOnly->setImageData(QImage(4, 4, QImage::Format_ARGB32));
    QGuiApplication::clipboard()->setMimeData(imageOnly);
    EXPECT_EQ(clipboard.text(), std::nullopt);

    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(clipboard.text(), std::nullopt);
}

TEST(QtURLOpener, HandsAbsoluteURLsToTheDesktopAndRefusesTheRest) {
    URLSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("quiller-test"), &sink, "open");
    tarn::QtURLOpener opener;
    struct Case {
        std::string url;
        bool opens;
    };
    const std::vector<Case> cases{
        {"quiller-test://host/p%C3%A4th?q=1#f", true},
        {"quiller-test:opaque", true},
        {"", false},
        {"not a url", false},
        {"/absolute/path/only", false},
        {"quiller-test://host:99999999/", false},
    };
    for (const Case& c : cases) {
        sink.opened.clear();
        EXPECT_EQ(opener.open(c.url), c.opens) << c.url;
        ASSERT_EQ(sink.opened.size(), c.opens ? 1u : 0u) << c.url;
        if (c.opens) {
            EXPECT_EQ(sink.opened.front().toEncoded().toStdString(), c.url);
        }
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("quiller-test"));
}

TEST_F(QtFilePanelsTest, OpenPanelReportsTheChosenFileOnce) {
    m_panels.chooseFileToOpen({"Import .env", true}, m_done.callback());
    QFileDialog* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Import .env"));
    EXPECT_TRUE(panel->isModal());
    EXPECT_EQ(panel->parentWidget(), &m_window);
    EXPECT_EQ(panel->fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(panel->filter().testFlag(QDir::Hidden));
    EXPECT_TRUE(m_done.calls.empty()) << "the panel must not block until chosen";

    panel->setDirectory(tarn::qt::pathToQString(m_folder.path()));
    panel->selectFile(QStringLiteral("existing.json"));
    static_cast<QDialog*>(panel)->accept(); // QFileDialog checks the choice
    QApplication::processEvents();
    ASSERT_EQ(m_done.calls.size(), 1u);
    EXPECT_EQ(m_done.calls.front(), m_folder.path() / "existing.json");
    QTest::qWait(10);
    EXPECT_EQ(m_done.calls.size(), 1u);
}

TEST_F(QtFilePanelsTest, SavePanelProposesTheNameAndHiddenFilesFollowTheOption) {
    m_panels.chooseFileToSave({"Export", "quiller.env", false}, m_done.callback());
    QFileDialog* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(panel->filter().testFlag(QDir::Hidden));
    panel->setDirectory(tarn::qt::pathToQString(m_folder.path()));
    ASSERT_FALSE(panel->selectedFiles().isEmpty());
    EXPECT_TRUE(panel->selectedFiles().front().endsWith(QStringLiteral("/quiller.env")));
    panel->selectFile(QStringLiteral("quiller.env"));
    static_cast<QDialog*>(panel)->accept(); // QFileDialog checks the choice
    QApplication::processEvents();
    ASSERT_EQ(m_done.calls.size(), 1u);
    EXPECT_EQ(m_done.calls.front(), m_folder.path() / "quiller.env");
}

TEST_F(QtFilePanelsTest, CancellingOrLosingThePanelReportsNothingChosenOnce) {
    m_panels.chooseFileToOpen({"Open", true}, m_done.callback());
    ASSERT_NE(openPanel(), nullptr);
    QTest::keyClick(openPanel(), Qt::Key_Escape);
    QApplication::processEvents();
    ASSERT_EQ(m_done.calls.size(), 1u);
    EXPECT_EQ(m_done.calls.front(), std::nullopt);

    // The window that owns the panel goes away while it is open.
    auto owner = std::make_unique<QWidget>();
    owner->show();
    QApplication::setActiveWindow(owner.get());
    m_panels.chooseFileToSave({"Save", "a.txt", true}, m_done.callback());
    ASSERT_NE(openPanel(), nullptr);
    owner.reset();
    EXPECT_EQ(m_done.calls.size(), 1u) << "never called from inside a destructor";
    QApplication::processEvents();
    ASSERT_EQ(m_done.calls.size(), 2u);
    EXPECT_EQ(m_done.calls.back(), std::nullopt);
}

#include "DesktopPortsTests.moc"
