#include "TarnKit/Design/Bindings.h"

#include "TarnKit/PlatformQt/QtConversions.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <utility>

namespace tarn::bindings {

void bindLineEdit(QLineEdit* edit, TextWriter write) {
    QObject::connect(
        edit, &QLineEdit::textEdited, edit,
        [write = std::move(write)](const QString& text) { write(qt::toStdString(text)); });
}

void bindPlainTextEdit(QPlainTextEdit* edit, TextWriter write) {
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit,
                     [edit, write = std::move(write)] { write(qt::toStdString(plainText(edit))); });
}

void bindComboBox(QComboBox* box, std::function<void(int)> write) {
    QObject::connect(box, &QComboBox::activated, box, std::move(write));
}

void bindToggle(QAbstractButton* button, std::function<void(bool)> write) {
    QObject::connect(button, &QAbstractButton::clicked, button, std::move(write));
}

QString plainText(const QPlainTextEdit* edit) {
    QString text = edit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

TextSplice spliceBetween(const QString& from, const QString& to) {
    const qsizetype shorter = std::min(from.size(), to.size());
    qsizetype prefix = 0;
    while (prefix < shorter && from[prefix] == to[prefix])
        ++prefix;
    // A shared high surrogate whose low half differs belongs to the change.
    if (prefix > 0 && from[prefix - 1].isHighSurrogate())
        --prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           from[from.size() - 1 - suffix] == to[to.size() - 1 - suffix])
        ++suffix;
    if (suffix > 0 && from[from.size() - suffix].isLowSurrogate())
        --suffix;
    return TextSplice{prefix, from.size() - prefix - suffix,
                      to.mid(prefix, to.size() - prefix - suffix)};
}

bool refresh(QLineEdit* edit, std::string_view value) {
    const QString wanted = qt::toQString(value);
    const QString shown = edit->text();
    if (shown == wanted)
        return false;
    const QSignalBlocker blocker(edit);
    const TextSplice splice = spliceBetween(shown, wanted);
    const qsizetype cursor = edit->cursorPosition();
    // insert() over a selection is one undoable step; setText() would wipe
    // the undo history and throw the cursor to the end.
    edit->setSelection(static_cast<int>(splice.position), static_cast<int>(splice.removed));
    edit->insert(splice.inserted);
    if (edit->text() != wanted) {
        // A validator or the length limit refused the splice: show the value.
        edit->setText(wanted);
        return true;
    }
    qsizetype moved = cursor;
    if (cursor >= splice.position + splice.removed)
        moved = cursor + splice.inserted.size() - splice.removed;
    else if (cursor > splice.position)
        moved = splice.position + splice.inserted.size();
    edit->setCursorPosition(static_cast<int>(moved));
    return true;
}

bool refresh(QPlainTextEdit* edit, std::string_view value) {
    const QString wanted = qt::toQString(value);
    const QString shown = plainText(edit);
    if (shown == wanted)
        return false;
    const QSignalBlocker blocker(edit);
    const TextSplice splice = spliceBetween(shown, wanted);
    // An edit through a cursor of our own: the editor's cursor moves with the
    // text around it and the change joins the undo history.
    QTextCursor cursor(edit->document());
    cursor.setPosition(static_cast<int>(splice.position));
    cursor.setPosition(static_cast<int>(splice.position + splice.removed), QTextCursor::KeepAnchor);
    cursor.insertText(splice.inserted);
    return true;
}

bool refresh(QComboBox* box, int index) {
    if (box->currentIndex() == index)
        return false;
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(index);
    return true;
}

bool refresh(QAbstractButton* button, bool checked) {
    if (button->isChecked() == checked)
        return false;
    const QSignalBlocker blocker(button);
    button->setChecked(checked);
    return true;
}

bool refresh(QLabel* label, std::string_view value) {
    const QString wanted = qt::toQString(value);
    if (label->text() == wanted)
        return false;
    label->setText(wanted);
    return true;
}

} // namespace tarn::bindings
