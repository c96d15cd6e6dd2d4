#pragma once

// The sheet that imports an OpenAPI 3.0 or Postman v2.1 document: a title, an
// editor for the document's text and the Cancel and Import Collection
// buttons. It shows the draft it is given and reports edits and the two
// buttons; its owner keeps the draft and closes it.
//
// Threads: the GUI thread.

#include "TarnKit/Localization/TarnLanguage.h"

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller {

class CollectionImportSheet final : public QDialog {
    Q_OBJECT
public:
    struct Actions {
        // Every edit of the draft, as typed.
        std::function<void(const std::string&)> draftEdited;
        // Cancel, Escape or closing the window.
        std::function<void()> cancel;
        std::function<void()> import;
    };

    CollectionImportSheet(const std::string& draft, tarn::TarnLanguage language, Actions actions,
                          QWidget* parent);

    void setLanguage(tarn::TarnLanguage language);
    QPlainTextEdit* editor() const { return m_editor; }

protected:
    void reject() override;

private:
    Actions m_actions;
    QLabel* m_title;
    QPlainTextEdit* m_editor;
    tarn::TarnGlassButton* m_cancel;
    tarn::TarnPrimaryButton* m_import;
};

} // namespace quiller
