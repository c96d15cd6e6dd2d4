#pragma once

// Binding widgets to state the views do not own. Two halves, kept apart:
//
// - bind*: the user's edits go to the model through `write`, from user
//   signals only (textEdited, activated, clicked). Never from textChanged or
//   currentIndexChanged, which also fire when the view refreshes and would
//   write the model back and save it again. A text edit writes on every
//   keystroke: the caller's `write` stores the value and calls persist(); no
//   delay could lose the last edit.
// - refresh: shows the model's value, only when it differs from what the
//   widget shows, with the widget's signals blocked. An editor whose text is
//   unchanged is left alone, and a changed text is spliced in (only the part
//   that differs), so focus, the cursor, the selection where it can and the
//   undo history survive.
//
// Texts cross as UTF-8 std::string, the model's form.
//
// Threads: the GUI thread.

#include <QString>
#include <functional>
#include <string>
#include <string_view>

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tarn::bindings {

using TextWriter = std::function<void(const std::string&)>;

void bindLineEdit(QLineEdit* edit, TextWriter write);
// QPlainTextEdit has no signal for user edits alone: it writes on textChanged,
// which refresh() blocks. Change the editor's text only through refresh().
void bindPlainTextEdit(QPlainTextEdit* edit, TextWriter write);
// `write` receives the chosen row.
void bindComboBox(QComboBox* box, std::function<void(int)> write);
// A check box, switch or toggle button; `write` receives the new state.
void bindToggle(QAbstractButton* button, std::function<void(bool)> write);

// Each returns whether the widget changed.
bool refresh(QLineEdit* edit, std::string_view value);
bool refresh(QPlainTextEdit* edit, std::string_view value);
bool refresh(QComboBox* box, int index);
bool refresh(QAbstractButton* button, bool checked);
bool refresh(QLabel* label, std::string_view value);

// The editor's text exactly as typed: non-breaking spaces kept, paragraph
// separators as "\n" (QPlainTextEdit::toPlainText changes the former).
QString plainText(const QPlainTextEdit* edit);

// The smallest replacement that turns `from` into `to`: `removed` code units
// at `position` give way to `inserted`. Never splits a surrogate pair.
struct TextSplice {
    qsizetype position = 0;
    qsizetype removed = 0;
    QString inserted{};
};
TextSplice spliceBetween(const QString& from, const QString& to);

// Whether a shown list's rows still stand for the model's rows, in order:
// then the view updates rows in place instead of rebuilding the list.
template <class Shown, class Rows, class IdentityOf>
bool sameIdentities(const Shown& shown, const Rows& rows, IdentityOf identityOf) {
    if (std::size(shown) != std::size(rows))
        return false;
    auto s = std::begin(shown);
    for (const auto& row : rows)
        if (!(*s++ == identityOf(row)))
            return false;
    return true;
}

} // namespace tarn::bindings
