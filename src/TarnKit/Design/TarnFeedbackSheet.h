#pragma once

// The in-application feedback composer: the user picks a kind, gives an
// e-mail address, an optional name, a short title and a message, attaches up
// to five screenshots (pasted from the clipboard or chosen on disk) and sends
// the note to the maker's feedback service. On success the form gives way to
// a receipt card; on failure the error is shown above the action row. The
// web feedback page is offered at any time.
//
// The note is sent on the background executor; the result comes back on the
// main executor and is dropped when the sheet is gone by then (the exchange
// itself runs to its end: a note sent is not withdrawn by closing the sheet).
//
// Threads: the GUI thread.

#include "TarnKit/Cloud/TarnFeedbackService.h"
#include "TarnKit/Platform/DesktopPorts.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QHBoxLayout;
class QVBoxLayout;

namespace tarn {

class BackgroundExecutor;
class MainExecutor;
class TarnGlassButton;

namespace feedbacksheet {
class KindChip;
class SendButton;
} // namespace feedbacksheet

// What the composer reaches the desktop and the network through. Tests hand
// in fakes.
struct TarnFeedbackSheetPorts {
    using FilesChosen = std::function<void(std::vector<std::filesystem::path>)>;

    std::shared_ptr<URLOpenerPort> urlOpener;
    // The clipboard's image as PNG bytes; nothing when it holds no image.
    std::function<std::optional<std::string>()> clipboardImagePNG;
    // Shows the open panel for image files over the given widget's window and
    // returns at once; the completion runs later, once, with the chosen files
    // (none when cancelled).
    std::function<void(QWidget* parent, const std::string& title, FilesChosen completion)>
        chooseImageFiles;
    // Sends a note; blocks, runs on a background thread, throws
    // TarnFeedbackError.
    std::function<TarnFeedbackReceipt(const TarnFeedbackSubmission&, std::stop_token)> submit;
    std::shared_ptr<MainExecutor> main;
    std::shared_ptr<BackgroundExecutor> background;

    // The system clipboard, the Qt file dialog, the default browser, the
    // feedback service, and executors shared by every sheet of the process.
    static TarnFeedbackSheetPorts desktop();
};

class TarnFeedbackSheet : public QWidget {
    Q_OBJECT
public:
    // Without `onClose` the header has no close button and Escape does nothing.
    TarnFeedbackSheet(std::string appName, TarnAppVersion version, TarnProductPalette palette,
                      TarnLanguage language, std::optional<std::string> baseURL,
                      std::function<void()> onClose,
                      TarnFeedbackSheetPorts ports = TarnFeedbackSheetPorts::desktop(),
                      QWidget* parent = nullptr);
    ~TarnFeedbackSheet() override;

    // The sheet's state, read-only.
    TarnFeedbackKind kind() const;
    const std::string& email() const;
    const std::string& senderName() const;
    const std::string& subject() const;
    const std::string& message() const;
    const std::vector<TarnFeedbackScreenshot>& screenshots() const;
    bool isSubmitting() const;
    const std::optional<std::string>& errorMessage() const;
    const std::optional<std::string>& statusHint() const;
    const std::optional<TarnFeedbackReceipt>& receipt() const;

    static constexpr int minimumWidth = 560;
    static constexpr int minimumHeight = 540;

private:
    struct State;

    QWidget* headerRow();
    QWidget* composerForm();
    QWidget* kindCard();
    QWidget* detailsCard();
    QWidget* screenshotsCard();
    QWidget* actionRow();
    QWidget* receiptCard(const TarnFeedbackReceipt& receipt);
    QWidget* screenshotTile(const TarnFeedbackScreenshot& screenshot);

    void submitFeedback();
    void submitFinished(std::optional<TarnFeedbackReceipt> receipt,
                        std::optional<TarnFeedbackError> error);
    void pasteFromClipboard();
    void pickScreenshotsFromDisk();
    void addPickedFiles(const std::vector<std::filesystem::path>& files);
    void sendAnotherNote();

    // Brings every widget in line with the state; widgets already showing
    // the state's value are left alone.
    void refresh();
    void rebuildStrip();

    std::string m_appName;
    TarnAppVersion m_version;
    TarnProductPalette m_palette;
    TarnLanguage m_language;
    std::optional<std::string> m_baseURL;
    std::function<void()> m_onClose;
    TarnFeedbackSheetPorts m_ports;
    std::unique_ptr<State> m_state;
    // Results of the background exchange and of the open panel reach the
    // sheet only while this lives.
    std::shared_ptr<char> m_alive = std::make_shared<char>();

    QVBoxLayout* m_column = nullptr;
    QWidget* m_form = nullptr;
    QWidget* m_receiptCard = nullptr;
    std::vector<feedbacksheet::KindChip*> m_chips;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_senderName = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_message = nullptr;
    QLabel* m_statusHint = nullptr;
    QWidget* m_strip = nullptr;
    QHBoxLayout* m_tiles = nullptr;
    std::vector<UUID> m_shownTiles;
    QWidget* m_errorRow = nullptr;
    QLabel* m_errorText = nullptr;
    feedbacksheet::SendButton* m_send = nullptr;
};

// Opens the composer in a window of its own, or brings the open one to the
// front; its close button (and Escape) closes the window.
QWidget* presentFeedbackSheet(const std::string& appName, const TarnAppVersion& version,
                              TarnProductPalette palette, TarnLanguage language,
                              TarnFeedbackSheetPorts ports = TarnFeedbackSheetPorts::desktop());

} // namespace tarn
