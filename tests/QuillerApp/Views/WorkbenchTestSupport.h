#pragma once

// The request workbench over a view model of fakes, shown offscreen, with
// helpers that act as a person would: one keystroke or click per event-loop
// turn.

#include "QuillerApp/Views/APIClientWorkbenchView.h"
#include "support/QtViewModelTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace quiller::testing {

class WorkbenchTest : public QtViewModelTest {
protected:
    WorkbenchTest() {
        APIClientWorkbenchView::setAnimationsEnabled(false);
        view = std::make_unique<APIClientWorkbenchView>(vm(), *bridge);
        view->resize(1280, 760);
        view->show();
        QApplication::setActiveWindow(view.get());
        endTurn();
    }
    ~WorkbenchTest() override {
        view.reset();
        APIClientWorkbenchView::setGraphQLDrawerFactory({});
    }

    // The widget of that object name and type; fails the test when missing.
    template <class T> T* find(const char* name) const {
        T* widget = view->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr)
            ADD_FAILURE() << "no widget named " << name;
        return widget;
    }
    // The same below `parent`.
    template <class T> static T* findIn(QObject* parent, const char* name) {
        T* widget = parent->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr)
            ADD_FAILURE() << "no widget named " << name;
        return widget;
    }

    static void click(QAbstractButton* button) {
        button->click();
        endTurn();
    }
    void click(const char* name) { click(find<QAbstractButton>(name)); }
    // Chooses a row the way a person does (activated, not just a new index).
    static void choose(QComboBox* box, int row) {
        box->setCurrentIndex(row);
        emit box->activated(row);
        endTurn();
    }
    static void type(QWidget* widget, const QString& text) {
        for (const QChar character : text) {
            QTest::keyClick(widget, character.toLatin1());
            endTurn();
        }
    }
    // Replaces a field's text by keystrokes, as a person does.
    static void retype(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        endTurn();
        type(field, text);
    }
    // Lets background work finish and its results reach the widgets.
    void finishBackgroundWork() {
        background->runAll();
        endTurn();
        endTurn();
    }
    static void press(QWidget* widget, Qt::Key key) {
        QTest::keyClick(widget, key);
        endTurn();
    }

    std::size_t saves() { return workspaceSaves().size(); }
    APIRequestSpec active() { return *vm().activeRequest(); }
    // Edits the active request as another screen would, then ends the turn.
    void editActive(const std::function<void(APIRequestSpec&)>& edit) {
        vm().updateRequest(active().id, edit);
        endTurn();
    }

    std::unique_ptr<APIClientWorkbenchView> view;
};

} // namespace quiller::testing
