#pragma once

// The editor of a request's headers or query parameters: an entry row (key
// and value drafts and a "+" button) above the listed rows, each with a trash
// button. It changes nothing itself: "+" hands both drafts, exactly as typed,
// to `onAdd` when the key draft is not the empty string and then clears both;
// a trash button hands the row's id to `onDelete`. Return in a field adds
// nothing. The drafts live in the caller's state (the workbench's
// ClientUIState), so each tab keeps its half-typed entry.
//
// Threads: the GUI thread.

#include "QuillerCore/Models/RequestModel.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QLineEdit;

namespace tarn {
class TarnPrimaryButton;
}

namespace quiller::workbench {

class DeletableRowList;

class KeyValueRowEditor final : public QWidget {
    Q_OBJECT
public:
    using AddHandler = std::function<void(const std::string& key, const std::string& value)>;
    using DeleteHandler = std::function<void(const tarn::UUID& id)>;

    // `keyDraft` and `valueDraft` must outlive the editor.
    KeyValueRowEditor(std::string& keyDraft, std::string& valueDraft, AddHandler onAdd,
                      DeleteHandler onDelete, QWidget* parent = nullptr);

    // Shows `rows` in their order: key and value only, enabled or not, a
    // secret value in clear.
    void setRows(const std::vector<KeyValueRow>& rows);

    QLineEdit* keyField() const { return m_keyField; }
    QLineEdit* valueField() const { return m_valueField; }
    tarn::TarnPrimaryButton* addButton() const { return m_addButton; }
    DeletableRowList* rowList() const { return m_rows; }

private:
    void add();

    std::string& m_keyDraft;
    std::string& m_valueDraft;
    AddHandler m_onAdd;
    QLineEdit* m_keyField;
    QLineEdit* m_valueField;
    tarn::TarnPrimaryButton* m_addButton;
    DeletableRowList* m_rows;
};

} // namespace quiller::workbench
