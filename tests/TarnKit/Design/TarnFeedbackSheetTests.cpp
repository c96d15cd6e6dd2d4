#include "TarnKit/Design/TarnFeedbackSheet.h"
#include "TarnKit/Design/TarnFeedbackSheetParts.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"
#include "support/EnvironmentScope.h"
#include "support/TemporaryFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace tarn;
namespace service = TarnFeedbackService;

struct FakeOpener : URLOpenerPort {
    std::vector<std::string> opened;
    bool open(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
};

// A feedback service that holds every exchange until the test lets it end
// (or a stop ends it), then answers with the receipt or throws the error.
class HeldService {
public:
    TarnFeedbackReceipt submit(const TarnFeedbackSubmission& note, std::stop_token stop) {
        std::unique_lock lock(m_mutex);
        m_notes.push_back(note);
        m_changed.notify_all();
        m_changed.wait(lock, stop, [this] { return m_released; });
        ++m_finished;
        m_changed.notify_all();
        if (stop.stop_requested())
            throw TarnFeedbackError::networkFailure("cancelled");
        if (m_error)
            throw *m_error;
        return m_receipt;
    }
    void answer(TarnFeedbackReceipt receipt) {
        std::lock_guard lock(m_mutex);
        m_receipt = std::move(receipt);
        m_released = true;
        m_changed.notify_all();
    }
    void fail(TarnFeedbackError error) {
        std::lock_guard lock(m_mutex);
        m_error = std::move(error);
        m_released = true;
        m_changed.notify_all();
    }
    void waitUntilFinished(int count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_finished >= count; });
    }
    std::vector<TarnFeedbackSubmission> notes() {
        std::lock_guard lock(m_mutex);
        return m_notes;
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::vector<TarnFeedbackSubmission> m_notes;
    bool m_released = false;
    int m_finished = 0;
    TarnFeedbackReceipt m_receipt;
    std::optional<TarnFeedbackError> m_error;
};

std::string pngBytes(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(40, 120, 220));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class FeedbackSheetTest : public ::testing::Test {
protected:
    // Error texts follow the interface language, kept English here.
    void SetUp() override { language::setCurrent(TarnLanguage::en); }

    tarn::testing::TemporaryFolder folder;
    tarn::testing::EnvironmentScope config{"XDG_CONFIG_HOME", (folder.path() / "config").string()};
    std::shared_ptr<FakeOpener> opener = std::make_shared<FakeOpener>();
    std::shared_ptr<HeldService> service = std::make_shared<HeldService>();
    std::optional<std::string> clipboard;
    std::vector<std::filesystem::path> chosenFiles;
    int panelsShown = 0;
    int closed = 0;
    // Declared before the sheets, so exchanges still held are stopped and
    // joined after every sheet is gone.
    std::shared_ptr<QtMainExecutor> main = std::make_shared<QtMainExecutor>();
    std::shared_ptr<ThreadBackgroundExecutor> background =
        std::make_shared<ThreadBackgroundExecutor>();

    TarnFeedbackSheetPorts ports() {
        TarnFeedbackSheetPorts made;
        made.urlOpener = opener;
        made.clipboardImagePNG = [this] { return clipboard; };
        made.chooseImageFiles = [this](QWidget*, const std::string&,
                                       TarnFeedbackSheetPorts::FilesChosen completion) {
            ++panelsShown;
            completion(chosenFiles);
        };
        made.submit = [held = service](const TarnFeedbackSubmission& note, std::stop_token stop) {
            return held->submit(note, std::move(stop));
        };
        made.main = main;
        made.background = background;
        return made;
    }

    std::unique_ptr<TarnFeedbackSheet> sheet(TarnLanguage language = TarnLanguage::en,
                                             bool closable = true) {
        std::function<void()> onClose;
        if (closable)
            onClose = [this] { ++closed; };
        auto made = std::make_unique<TarnFeedbackSheet>("Quiller", TarnAppVersion{"1.4.2", "57"},
                                                        TarnProductPalette::deepIndigo, language,
                                                        std::nullopt, onClose, ports());
        made->resize(620, 760);
        made->show();
        QApplication::setActiveWindow(made.get());
        return made;
    }

    template <typename T> static T* child(const QWidget& root, const char* name) {
        T* found = root.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static bool shown(const QWidget& root, const char* name) {
        const QWidget* found = root.findChild<QWidget*>(QString::fromLatin1(name));
        return found != nullptr && found->isVisibleTo(&root);
    }
    static void type(QWidget& root, const char* name, const char* text) {
        QTest::keyClicks(child<QWidget>(root, name), QString::fromUtf8(text));
    }
    static void fill(QWidget& root) {
        type(root, "emailField", " ada@example.com ");
        type(root, "nameField", "Ada");
        type(root, "subjectField", "Crash");
        type(root, "messageEditor", "It crashes when I paste.");
    }
    // Runs the event loop until `done` holds (the posted result arrives).
    template <typename F> static void spinUntil(F done) {
        for (int i = 0; i < 200 && !done(); ++i)
            QTest::qWait(5);
    }
    std::filesystem::path file(const std::string& name, std::size_t size) {
        return folder.write(name, std::string(size, 'x'));
    }
};

TEST_F(FeedbackSheetTest, NewSheetStartsEmptyWithTheFeatureChipSelected) {
    auto composer = sheet();
    EXPECT_EQ(composer->kind(), TarnFeedbackKind::feature);
    for (const char* name :
         {"kindChip_bug", "kindChip_feature", "kindChip_new_app", "kindChip_general"}) {
        auto* chip = child<feedbacksheet::KindChip>(*composer, name);
        EXPECT_EQ(chip->isSelected(), std::string(name) == "kindChip_feature") << name;
    }
    for (const char* name : {"emailField", "nameField", "subjectField"})
        EXPECT_TRUE(child<QLineEdit>(*composer, name)->text().isEmpty()) << name;
    EXPECT_FALSE(shown(*composer, "statusHint"));
    EXPECT_FALSE(shown(*composer, "errorRow"));
    EXPECT_FALSE(shown(*composer, "screenshotStrip"));
    auto* send = child<feedbacksheet::SendButton>(*composer, "sendButton");
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(send->label(), QStringLiteral("Send Feedback"));
    EXPECT_EQ(child<QLabel>(*composer, "versionLine")->text(), QStringLiteral("Quiller v1.4.2"));

    // Pressing a chip selects it alone.
    QTest::mouseClick(child<QAbstractButton>(*composer, "kindChip_bug"), Qt::LeftButton);
    EXPECT_EQ(composer->kind(), TarnFeedbackKind::bug);
    EXPECT_TRUE(child<feedbacksheet::KindChip>(*composer, "kindChip_bug")->isSelected());
    EXPECT_FALSE(child<feedbacksheet::KindChip>(*composer, "kindChip_feature")->isSelected());

    // The browser button opens the web page for the kind now chosen.
    QTest::mouseClick(child<QAbstractButton>(*composer, "openInBrowserButton"), Qt::LeftButton);
    ASSERT_EQ(opener->opened.size(), 1u);
    EXPECT_NE(opener->opened[0].find("/en/feedback?type=bug"), std::string::npos);
}

TEST_F(FeedbackSheetTest, CloseButtonAndEscapeOnlyWithACloseAction) {
    auto closable = sheet();
    QTest::mouseClick(child<QAbstractButton>(*closable, "closeButton"), Qt::LeftButton);
    QTest::keyClick(child<QWidget>(*closable, "emailField"), Qt::Key_Escape);
    EXPECT_EQ(closed, 2);

    auto bare = sheet(TarnLanguage::en, false);
    EXPECT_EQ(bare->findChild<QWidget*>(QStringLiteral("closeButton")), nullptr);
    QTest::keyClick(child<QWidget>(*bare, "emailField"), Qt::Key_Escape);
    EXPECT_EQ(closed, 2);
}

TEST_F(FeedbackSheetTest, DoubleSendSubmitsOnceAndTheReceiptReplacesTheForm) {
    auto composer = sheet();
    fill(*composer);
    QTest::mouseClick(child<QAbstractButton>(*composer, "kindChip_bug"), Qt::LeftButton);
    auto* send = child<feedbacksheet::SendButton>(*composer, "sendButton");
    QTest::mouseClick(send, Qt::LeftButton);
    QTest::mouseClick(send, Qt::LeftButton);
    send->click();
    EXPECT_TRUE(composer->isSubmitting());
    EXPECT_FALSE(send->isEnabled());
    EXPECT_TRUE(send->isBusy());
    EXPECT_EQ(send->label(), QStringLiteral("Sending…"));

    // Edits made while sending change the form, not the note in flight.
    type(*composer, "subjectField", " later");
    service->answer({"FB-77", 0, "Got it."});
    spinUntil([&] { return composer->receipt().has_value(); });
    const std::vector<TarnFeedbackSubmission> notes = service->notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].kind, TarnFeedbackKind::bug);
    EXPECT_EQ(notes[0].email, " ada@example.com ") << "trimming is the service's";
    EXPECT_EQ(notes[0].subject, "Crash");
    EXPECT_EQ(notes[0].message, "It crashes when I paste.");
    EXPECT_EQ(notes[0].language, TarnLanguage::en);

    EXPECT_FALSE(composer->isSubmitting());
    EXPECT_FALSE(shown(*composer, "composerForm"));
    EXPECT_TRUE(shown(*composer, "receiptCard"));
    EXPECT_TRUE(shown(*composer, "feedbackHeader"));
    EXPECT_EQ(child<QLabel>(*composer, "referenceText")->text(),
              QStringLiteral("Reference: FB-77"));
    EXPECT_EQ(child<QLabel>(*composer, "receiptMessage")->text(), QStringLiteral("Got it."));
    EXPECT_EQ(composer->findChild<QLabel*>(QStringLiteral("attachmentsCount")), nullptr);
    QTest::mouseClick(child<QAbstractButton>(*composer, "doneButton"), Qt::LeftButton);
    EXPECT_EQ(closed, 1);
}

TEST_F(FeedbackSheetTest, ClosingWhileSendingDropsTheLateResult) {
    auto composer = sheet();
    fill(*composer);
    QTest::mouseClick(child<QAbstractButton>(*composer, "sendButton"), Qt::LeftButton);
    ASSERT_TRUE(composer->isSubmitting());
    composer.reset();
    // The exchange is not withdrawn: it ends, and its answer finds nobody.
    service->answer({"FB-1", 0, "late"});
    service->waitUntilFinished(1);
    QTest::qWait(20);
    EXPECT_EQ(service->notes().size(), 1u);

    // The same for a failure, and for a sheet whose window goes first.
    auto second = std::make_shared<HeldService>();
    service = second;
    auto window = std::make_unique<QWidget>();
    auto* inner = new TarnFeedbackSheet("Quiller", {"1.4.2", "57"}, TarnProductPalette::deepIndigo,
                                        TarnLanguage::en, std::nullopt, {}, ports(), window.get());
    window->show();
    fill(*inner);
    QTest::mouseClick(child<QAbstractButton>(*inner, "sendButton"), Qt::LeftButton);
    window.reset();
    second->fail(TarnFeedbackError::serverRejected("HTTP 500"));
    second->waitUntilFinished(1);
    QTest::qWait(20);
}

TEST_F(FeedbackSheetTest, AFailedSendShowsTheErrorAndEnablesSendAgain) {
    auto composer = sheet();
    QTest::mouseClick(child<QAbstractButton>(*composer, "sendButton"), Qt::LeftButton);
    service->fail(TarnFeedbackError::invalidEmail());
    spinUntil([&] { return !composer->isSubmitting(); });
    EXPECT_EQ(composer->errorMessage(), "Please enter a valid email address.");
    EXPECT_TRUE(shown(*composer, "errorRow"));
    EXPECT_EQ(child<QLabel>(*composer, "errorText")->text(),
              QStringLiteral("Please enter a valid email address."));
    EXPECT_TRUE(child<QAbstractButton>(*composer, "sendButton")->isEnabled());
    EXPECT_TRUE(shown(*composer, "composerForm"));

    // A paste removes the error row, even when it adds nothing.
    QTest::mouseClick(child<QAbstractButton>(*composer, "pasteScreenshotButton"), Qt::LeftButton);
    EXPECT_FALSE(shown(*composer, "errorRow"));
}

TEST_F(FeedbackSheetTest, PasteAddsTheClipboardImageOrSaysThereIsNone) {
    auto composer = sheet(TarnLanguage::tr);
    auto* paste = child<QAbstractButton>(*composer, "pasteScreenshotButton");
    QTest::mouseClick(paste, Qt::LeftButton);
    EXPECT_TRUE(composer->screenshots().empty());
    EXPECT_FALSE(composer->errorMessage().has_value());
    EXPECT_TRUE(shown(*composer, "statusHint"));
    EXPECT_EQ(child<QLabel>(*composer, "statusHint")->text(),
              QStringLiteral("Panoda görsel bulunamadı. Önce ekran görüntüsü alıp ardından Panodan "
                             "Yapıştır'a tıklayın."));

    clipboard = pngBytes(30, 20);
    QTest::mouseClick(paste, Qt::LeftButton);
    QTest::mouseClick(paste, Qt::LeftButton);
    ASSERT_EQ(composer->screenshots().size(), 2u);
    const TarnFeedbackScreenshot& first = composer->screenshots()[0];
    EXPECT_EQ(first.data, *clipboard);
    EXPECT_EQ(first.mimeType, "image/png");
    EXPECT_TRUE(first.filename.starts_with("clipboard-") && first.filename.ends_with(".png"));
    EXPECT_NE(first.id, composer->screenshots()[1].id);
    EXPECT_EQ(composer->statusHint(), "Panodaki ekran görüntüsü eklendi.");
    EXPECT_TRUE(shown(*composer, "screenshotStrip"));

    // Removing one tile keeps the other.
    const UUID kept = composer->screenshots()[1].id;
    QTest::mouseClick(child<QAbstractButton>(*composer, "removeScreenshotButton"), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(composer->screenshots().size(), 1u);
    EXPECT_EQ(composer->screenshots()[0].id, kept);

    // An image over the limit is refused; the hint stays as it was.
    clipboard = std::string(service::maxScreenshotBytes + 1, 'x');
    QTest::mouseClick(paste, Qt::LeftButton);
    EXPECT_EQ(composer->screenshots().size(), 1u);
    EXPECT_EQ(composer->errorMessage(), "Each screenshot must be smaller than 5 MB.");
    EXPECT_EQ(composer->statusHint(), "Panodaki ekran görüntüsü eklendi.");
}

TEST_F(FeedbackSheetTest, PickingFilesFollowsTheLimitsInOrder) {
    const std::string tooMany = "You can attach up to 5 screenshots.";
    const std::string tooLarge = "Each screenshot must be smaller than 5 MB.";
    struct Case {
        const char* what;
        int attached;
        std::vector<std::pair<std::string, std::size_t>> files; // name, size
        std::vector<std::string> added;                         // "name mime"
        std::optional<std::string> error;
    };
    const std::vector<Case> cases{
        {"count limit ends the pick",
         3,
         {{"a.png", 10}, {"b.png", 10}, {"c.png", 10}, {"d.png", 10}},
         {"a.png image/png", "b.png image/png"},
         tooMany},
        {"exact limit added, one byte more refused, the rest still added",
         0,
         {{"exact.png", service::maxScreenshotBytes},
          {"over.png", service::maxScreenshotBytes + 1},
          {"after.gif", 3}},
         {"exact.png image/png", "after.gif image/gif"},
         tooLarge},
        {"extensions in either case",
         0,
         {{"Shot.JPG", 4}, {"b.jpeg", 4}, {"c.WebP", 4}, {"d.gif", 4}, {"e.PNG", 4}},
         {"Shot.JPG image/jpeg", "b.jpeg image/jpeg", "c.WebP image/webp", "d.gif image/gif",
          "e.PNG image/png"},
         std::nullopt},
        {"empty and unreadable files are passed over",
         0,
         {{"empty.png", 0}, {"missing.png", std::string::npos}, {"good.png", 2}},
         {"good.png image/png"},
         std::nullopt},
        {"five attached: the panel shows, then the error", 5, {{"a.png", 1}}, {}, tooMany},
        {"cancelled", 0, {}, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        auto composer = sheet();
        for (int i = 0; i < c.attached; ++i) {
            clipboard = pngBytes(4, 4);
            QTest::mouseClick(child<QAbstractButton>(*composer, "pasteScreenshotButton"),
                              Qt::LeftButton);
        }
        // An error left from before goes at the start of a pick.
        QTest::mouseClick(child<QAbstractButton>(*composer, "sendButton"), Qt::LeftButton);
        service->fail(TarnFeedbackError::invalidEmail());
        spinUntil([&] { return !composer->isSubmitting(); });
        ASSERT_TRUE(composer->errorMessage().has_value()) << c.what;

        chosenFiles.clear();
        for (const auto& [name, size] : c.files)
            chosenFiles.push_back(size == std::string::npos ? folder.path() / name
                                                            : file(name, size));
        const int panelsBefore = panelsShown;
        QTest::mouseClick(child<QAbstractButton>(*composer, "chooseScreenshotButton"),
                          Qt::LeftButton);
        EXPECT_EQ(panelsShown, panelsBefore + 1) << c.what;
        std::vector<std::string> added;
        for (auto i = static_cast<std::size_t>(c.attached); i < composer->screenshots().size();
             ++i) {
            const TarnFeedbackScreenshot& shot = composer->screenshots()[i];
            added.push_back(shot.filename + " " + shot.mimeType);
        }
        EXPECT_EQ(added, c.added) << c.what;
        EXPECT_EQ(composer->errorMessage(), c.error) << c.what;
        EXPECT_EQ(shown(*composer, "errorRow"), c.error.has_value()) << c.what;
        EXPECT_FALSE(composer->statusHint() && c.attached == 0) << c.what;
    }
}

TEST_F(FeedbackSheetTest, ReceiptShowsTheCountAndSendAnotherNoteKeepsTheSender) {
    auto composer = sheet(TarnLanguage::tr);
    fill(*composer);
    QTest::mouseClick(child<QAbstractButton>(*composer, "kindChip_new_app"), Qt::LeftButton);
    clipboard = pngBytes(4, 4);
    QTest::mouseClick(child<QAbstractButton>(*composer, "pasteScreenshotButton"), Qt::LeftButton);
    QTest::mouseClick(child<QAbstractButton>(*composer, "sendButton"), Qt::LeftButton);
    service->answer({"TARN-FB-OK", 3, ""});
    spinUntil([&] { return composer->receipt().has_value(); });
    EXPECT_EQ(child<QLabel>(*composer, "referenceText")->text(),
              QStringLiteral("Takip Kodu: TARN-FB-OK"));
    EXPECT_EQ(child<QLabel>(*composer, "attachmentsCount")->text(), QStringLiteral("\U0001F4F7 3"));
    EXPECT_TRUE(child<QLabel>(*composer, "receiptMessage")->text().isEmpty());
    EXPECT_EQ(child<QAbstractButton>(*composer, "sendAnotherButton")->text(),
              QStringLiteral("Yeni Bildirim Gönder"));

    QTest::mouseClick(child<QAbstractButton>(*composer, "sendAnotherButton"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(composer->receipt().has_value());
    EXPECT_TRUE(shown(*composer, "composerForm"));
    EXPECT_EQ(composer->findChild<QWidget*>(QStringLiteral("receiptCard")), nullptr);
    EXPECT_EQ(composer->kind(), TarnFeedbackKind::newApp);
    EXPECT_EQ(composer->email(), " ada@example.com ");
    EXPECT_EQ(composer->senderName(), "Ada");
    EXPECT_EQ(composer->subject(), "");
    EXPECT_EQ(composer->message(), "");
    EXPECT_TRUE(composer->screenshots().empty());
    EXPECT_EQ(composer->statusHint(), "Panodaki ekran görüntüsü eklendi.");
    EXPECT_EQ(child<QLineEdit>(*composer, "emailField")->text(),
              QStringLiteral(" ada@example.com "));
    EXPECT_TRUE(child<QLineEdit>(*composer, "subjectField")->text().isEmpty());
    EXPECT_TRUE(child<QPlainTextEdit>(*composer, "messageEditor")->toPlainText().isEmpty());
    EXPECT_FALSE(shown(*composer, "screenshotStrip"));
}

TEST_F(FeedbackSheetTest, WithoutACloseActionTheReceiptHasNoDoneButton) {
    auto composer = sheet(TarnLanguage::en, false);
    QTest::mouseClick(child<QAbstractButton>(*composer, "sendButton"), Qt::LeftButton);
    service->answer({"X", 0, "m"});
    spinUntil([&] { return composer->receipt().has_value(); });
    EXPECT_TRUE(shown(*composer, "sendAnotherButton"));
    EXPECT_EQ(composer->findChild<QWidget*>(QStringLiteral("doneButton")), nullptr);
}

TEST_F(FeedbackSheetTest, RightToLeftLanguagesMirrorTheWholeSheet) {
    for (const auto& [language, direction] : {std::pair{TarnLanguage::ar, Qt::RightToLeft},
                                              std::pair{TarnLanguage::he, Qt::RightToLeft},
                                              std::pair{TarnLanguage::tr, Qt::LeftToRight}}) {
        auto composer = sheet(language);
        EXPECT_EQ(composer->layoutDirection(), direction);
        EXPECT_EQ(child<QWidget>(*composer, "sendButton")->layoutDirection(), direction);
    }
}

TEST_F(FeedbackSheetTest, AnAttachmentThatIsNoImageKeepsItsTileWithoutAThumbnail) {
    auto composer = sheet();
    clipboard = std::string("not an image at all");
    QTest::mouseClick(child<QAbstractButton>(*composer, "pasteScreenshotButton"), Qt::LeftButton);
    clipboard = pngBytes(40, 30);
    QTest::mouseClick(child<QAbstractButton>(*composer, "pasteScreenshotButton"), Qt::LeftButton);
    const QList<feedbacksheet::ScreenshotTile*> tiles =
        composer->findChildren<feedbacksheet::ScreenshotTile*>();
    ASSERT_EQ(tiles.size(), 2);
    EXPECT_FALSE(tiles[0]->hasThumbnail());
    EXPECT_TRUE(tiles[1]->hasThumbnail());
    EXPECT_EQ(tiles[0]->width(), 124);
}

} // namespace
