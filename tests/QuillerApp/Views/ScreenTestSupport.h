#pragma once

// Driving a tab screen in a widget test the way a person does: typing one
// character per event-loop turn, clicking, finding widgets by objectName.

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace quiller::testing {

// The one child named `name`; throws when there is none, so a renamed widget
// fails the test at once instead of crashing it.
template <class T> T* child(const QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromUtf8(name));
    if (!found)
        throw std::runtime_error(std::string("no widget named ") + name);
    return found;
}

// Each character as a key press, then the rest of its event-loop turn.
inline void typeText(QWidget* widget, const QString& text) {
    widget->setFocus();
    for (const QChar character : text) {
        const auto key = static_cast<Qt::Key>(character.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(character), Qt::NoModifier);
        QCoreApplication::processEvents();
    }
}

// Selects everything in the field and deletes it, as a person clears a field.
inline void clearField(QLineEdit* field) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QCoreApplication::processEvents();
}

inline void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    QCoreApplication::processEvents();
}

inline std::string shown(const QString& text) {
    return text.toStdString();
}

} // namespace quiller::testing
