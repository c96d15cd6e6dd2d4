#include "TarnKit/PlatformQt/QtFilePanels.h"

#include "TarnKit/PlatformQt/QtConversions.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <memory>
#include <utility>

namespace tarn {

namespace {

// Shows `dialog` and calls `completion` once, from the event loop, when it
// closes by any way: accept, cancel, Escape, or its parent window going away
// with it (then with nothing, posted, so never inside a destructor). The
// files are empty unless the dialog was accepted.
void presentFiles(QFileDialog* dialog, bool showsHiddenFiles,
                  std::function<void(QStringList)> completion) {
    dialog->setObjectName(QString::fromLatin1(QtFilePanels::dialogObjectName));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (showsHiddenFiles)
        dialog->setFilter(dialog->filter() | QDir::Hidden);
    auto pending = std::make_shared<std::function<void(QStringList)>>(std::move(completion));
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, pending](int result) {
        if (!*pending)
            return;
        const auto done = std::exchange(*pending, nullptr);
        done(result == QDialog::Accepted ? dialog->selectedFiles() : QStringList());
    });
    QObject::connect(dialog, &QObject::destroyed, qApp, [pending] {
        if (!*pending)
            return;
        QMetaObject::invokeMethod(
            qApp, [done = std::exchange(*pending, nullptr)] { done({}); }, Qt::QueuedConnection);
    });
    dialog->open();
}

void present(QFileDialog* dialog, bool showsHiddenFiles, FilePanelsPort::Completion completion) {
    presentFiles(dialog, showsHiddenFiles,
                 [completion = std::move(completion)](const QStringList& files) {
                     std::optional<std::filesystem::path> chosen;
                     if (!files.isEmpty())
                         chosen = qt::toPath(files.front());
                     completion(std::move(chosen));
                 });
}

} // namespace

void QtFilePanels::chooseFileToOpen(OpenOptions options, Completion completion) {
    auto* dialog = new QFileDialog(QApplication::activeWindow(), qt::toQString(options.title));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    present(dialog, options.showsHiddenFiles, std::move(completion));
}

void QtFilePanels::chooseFileToSave(SaveOptions options, Completion completion) {
    auto* dialog = new QFileDialog(QApplication::activeWindow(), qt::toQString(options.title));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!options.proposedFileName.empty())
        dialog->selectFile(qt::toQString(options.proposedFileName));
    present(dialog, options.showsHiddenFiles, std::move(completion));
}

void QtFilePanels::chooseImageFiles(
    QWidget* parent, const std::string& title,
    std::function<void(std::vector<std::filesystem::path>)> completion) {
    auto* dialog = new QFileDialog(parent ? parent->window() : QApplication::activeWindow(),
                                   qt::toQString(title));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    // Name filters match case-sensitively on Linux: both cases are listed.
    QStringList patterns;
    for (const char* extension : {"png", "jpg", "jpeg", "webp", "gif"}) {
        const QString lower = QString::fromLatin1(extension);
        patterns << QStringLiteral("*.") + lower << QStringLiteral("*.") + lower.toUpper();
    }
    dialog->setNameFilter(QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))));
    presentFiles(dialog, false, [completion = std::move(completion)](const QStringList& files) {
        std::vector<std::filesystem::path> chosen;
        chosen.reserve(static_cast<std::size_t>(files.size()));
        for (const QString& file : files)
            chosen.push_back(qt::toPath(file));
        completion(std::move(chosen));
    });
}

} // namespace tarn
