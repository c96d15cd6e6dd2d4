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
// with it (then with nothing, posted, so never inside a destructor).
void present(QFileDialog* dialog, bool showsHiddenFiles, FilePanelsPort::Completion completion) {
    dialog->setObjectName(QString::fromLatin1(QtFilePanels::dialogObjectName));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (showsHiddenFiles)
        dialog->setFilter(dialog->filter() | QDir::Hidden);
    auto pending = std::make_shared<FilePanelsPort::Completion>(std::move(completion));
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, pending](int result) {
        if (!*pending)
            return;
        const auto done = std::exchange(*pending, nullptr);
        std::optional<std::filesystem::path> chosen;
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty())
            chosen = qt::toPath(files.front());
        done(std::move(chosen));
    });
    QObject::connect(dialog, &QObject::destroyed, qApp, [pending] {
        if (!*pending)
            return;
        QMetaObject::invokeMethod(
            qApp, [done = std::exchange(*pending, nullptr)] { done(std::nullopt); },
            Qt::QueuedConnection);
    });
    dialog->open();
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

} // namespace tarn
