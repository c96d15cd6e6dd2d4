#pragma once

// The sheet that imports a cURL command into the selected collection. Its
// draft lives in the workbench's ClientUIState and is never reset: after an
// import or a cancel the sheet opens again with the text last typed.
// "Import" hands the draft, untouched, to the view model and closes whether
// or not the command could be read (the view model reports the outcome in
// its toast). Closing the window by the platform (Escape, the close button)
// counts as "Cancel".
//
// Threads: the GUI thread.

#include "QuillerApp/Views/ClientUIState.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller {
class QuillerViewModel;
}

namespace quiller::workbench {

class CurlImportSheet final : public QDialog {
    Q_OBJECT
public:
    CurlImportSheet(QuillerViewModel& model, ClientUIState& ui, QWidget* parent);

    // Shows the sheet with the current draft (window-modal, not blocking).
    void present();
    void retranslate();

    QPlainTextEdit* draftEditor() const { return m_draft; }

private:
    void importDraft();
    void closeSheet();

    QuillerViewModel& m_model;
    ClientUIState& m_ui;
    QLabel* m_title;
    QPlainTextEdit* m_draft;
    tarn::TarnGlassButton* m_cancel;
    tarn::TarnPrimaryButton* m_import;
};

} // namespace quiller::workbench
