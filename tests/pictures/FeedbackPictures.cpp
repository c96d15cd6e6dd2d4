// Pictures of the feedback composer: empty, with an error, with two
// screenshots, while sending, and its receipt card; the last also right to
// left.

#include "PictureRegistry.h"
#include "TarnKit/Design/TarnFeedbackSheet.h"
#include "support/ManualExecutors.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>

namespace quiller::pictures {
namespace {

using namespace tarn;

struct NoOpener : URLOpenerPort {
    bool open(const std::string&) override { return true; }
};

std::string screenshotPNG(QColor from, QColor to) {
    QImage image(320, 200, QImage::Format_ARGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 320, 200);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(image.rect(), gradient);
    painter.fillRect(QRect(24, 24, 180, 18), QColor(255, 255, 255, 190));
    painter.fillRect(QRect(24, 56, 260, 10), QColor(255, 255, 255, 110));
    painter.fillRect(QRect(24, 74, 220, 10), QColor(255, 255, 255, 110));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// A composer whose exchanges wait for the picture to run them.
struct Composer {
    std::shared_ptr<tarn::testing::ManualMainExecutor> main =
        std::make_shared<tarn::testing::ManualMainExecutor>();
    std::shared_ptr<tarn::testing::ManualBackgroundExecutor> background =
        std::make_shared<tarn::testing::ManualBackgroundExecutor>();
    std::vector<std::string> clipboard;
    std::unique_ptr<TarnFeedbackSheet> sheet;

    Composer(TarnLanguage language,
             std::function<TarnFeedbackReceipt(const TarnFeedbackSubmission&)> service) {
        TarnFeedbackSheetPorts ports;
        ports.urlOpener = std::make_shared<NoOpener>();
        ports.clipboardImagePNG = [this]() -> std::optional<std::string> {
            if (clipboard.empty())
                return std::nullopt;
            std::string next = clipboard.front();
            clipboard.erase(clipboard.begin());
            return next;
        };
        ports.chooseImageFiles = [](QWidget*, const std::string&,
                                    TarnFeedbackSheetPorts::FilesChosen done) { done({}); };
        ports.submit = [service = std::move(service)](const TarnFeedbackSubmission& note,
                                                      std::stop_token) { return service(note); };
        ports.main = main;
        ports.background = background;
        sheet = std::make_unique<TarnFeedbackSheet>(
            "Quiller", TarnAppVersion{"1.4.2", "57"}, TarnProductPalette::deepIndigo, language,
            std::nullopt, [] {}, std::move(ports));
        sheet->resize(620, 820);
    }

    void type(const char* field, const QString& text) {
        auto* edit = sheet->findChild<QLineEdit*>(QString::fromLatin1(field));
        edit->setText(text);
        emit edit->textEdited(text);
    }
    void press(const char* button) {
        sheet->findChild<QAbstractButton*>(QString::fromLatin1(button))->click();
    }
    void fill() {
        type("emailField", QStringLiteral("ada@example.com"));
        type("nameField", QStringLiteral("Ada Lovelace"));
        type("subjectField", QStringLiteral("Collection runner stops at the first failure"));
        sheet->findChild<QPlainTextEdit*>(QStringLiteral("messageEditor"))
            ->setPlainText(QStringLiteral("When one step fails, the remaining requests are not "
                                          "sent. A switch to keep going would help."));
    }
    void finishSending() {
        background->runAll();
        main->runUntilIdle();
    }
};

TarnFeedbackReceipt accepted(const TarnFeedbackSubmission& note) {
    return {"FB-2026-0412", static_cast<std::int64_t>(note.screenshots.size()),
            "Thank you! Your feedback has been received."};
}

std::unique_ptr<QWidget> keep(std::shared_ptr<Composer> composer) {
    // The composer's executors live as long as the picture's widget.
    auto* holder = new QObject(composer->sheet.get());
    QObject::connect(holder, &QObject::destroyed, [composer] {});
    return std::move(composer->sheet);
}

std::unique_ptr<QWidget> empty(PictureContext& context) {
    auto composer = std::make_shared<Composer>(context.language, accepted);
    return keep(composer);
}

std::unique_ptr<QWidget> withError(PictureContext& context) {
    // The real checks: an empty form is refused for its e-mail address.
    auto composer = std::make_shared<Composer>(context.language, [](const auto& note) {
        TarnFeedbackService::validate(note);
        return accepted(note);
    });
    composer->press("sendButton");
    composer->finishSending();
    return keep(composer);
}

std::unique_ptr<QWidget> withScreenshotsIn(TarnLanguage language) {
    auto composer = std::make_shared<Composer>(language, accepted);
    composer->fill();
    composer->press("kindChip_bug");
    composer->clipboard = {screenshotPNG(QColor(0x3b, 0x2f, 0x8f), QColor(0x12, 0x9e, 0xc4)),
                           screenshotPNG(QColor(0xc4, 0x4b, 0x2d), QColor(0x2d, 0x2a, 0x4a))};
    composer->press("pasteScreenshotButton");
    composer->press("pasteScreenshotButton");
    composer->sheet->resize(620, 940);
    return keep(composer);
}

std::unique_ptr<QWidget> sending(PictureContext& context) {
    auto composer = std::make_shared<Composer>(context.language, accepted);
    composer->fill();
    composer->press("sendButton");
    return keep(composer);
}

std::unique_ptr<QWidget> receiptIn(TarnLanguage language) {
    auto composer = std::make_shared<Composer>(language, accepted);
    composer->fill();
    composer->clipboard = {screenshotPNG(Qt::darkBlue, Qt::darkCyan)};
    composer->press("pasteScreenshotButton");
    composer->press("sendButton");
    composer->finishSending();
    composer->sheet->resize(620, 400);
    return keep(composer);
}

} // namespace

QUILLER_PICTURE("sheets/feedback-empty", empty);
QUILLER_PICTURE("sheets/feedback-error", withError);
QUILLER_PICTURE("sheets/feedback-screenshots",
                [](PictureContext& context) { return withScreenshotsIn(context.language); });
QUILLER_PICTURE("sheets/feedback-sending", sending);
QUILLER_PICTURE("sheets/feedback-receipt",
                [](PictureContext& context) { return receiptIn(context.language); });
QUILLER_PICTURE("sheets/feedback-receipt-arabic",
                [](PictureContext&) { return receiptIn(TarnLanguage::ar); });
QUILLER_PICTURE("sheets/feedback-screenshots-arabic",
                [](PictureContext&) { return withScreenshotsIn(TarnLanguage::ar); });

} // namespace quiller::pictures
