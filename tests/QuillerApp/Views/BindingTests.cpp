#include "TarnKit/Design/Bindings.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "support/QtViewModelTest.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <string>

namespace quiller {
namespace {

using Field = QuillerViewModelField;
namespace bindings = tarn::bindings;

// A small editor the way every screen binds its fields: the active request's
// URL in a line edit and its body in a plain-text editor. Edits write the model
// and save on every keystroke; the bridge's turn refreshes both.
class BoundEditorTest : public testing::QtViewModelTest {
protected:
    BoundEditorTest() : requestID(vm().activeRequest()->id) {
        auto* layout = new QVBoxLayout(&window);
        urlField = new QLineEdit(&window);
        urlField->setObjectName(QStringLiteral("urlField"));
        bodyEditor = new QPlainTextEdit(&window);
        bodyEditor->setObjectName(QStringLiteral("bodyEditor"));
        layout->addWidget(urlField);
        layout->addWidget(bodyEditor);

        bindings::bindLineEdit(urlField, [this](const std::string& text) {
            ++writes;
            vm().updateRequest(requestID, [&](APIRequestSpec& spec) { spec.url = text; });
            vm().persist();
        });
        bindings::bindPlainTextEdit(bodyEditor, [this](const std::string& text) {
            ++writes;
            vm().updateRequest(requestID, [&](APIRequestSpec& spec) { spec.bodyText = text; });
            vm().persist();
        });
        QObject::connect(bridge.get(), &ViewModelBridge::changed, &window,
                         [this](const ViewModelChanges& turn) {
                             if (turn.contains(Field::collections))
                                 refreshFromModel();
                         });
        refreshFromModel();
        window.show();
        QApplication::setActiveWindow(&window);
        endTurn();
        savesBefore = workspaceSaves().size();
    }

    void refreshFromModel() {
        ++refreshes;
        const APIRequestSpec request = *vm().activeRequest();
        bindings::refresh(urlField, request.url);
        bindings::refresh(bodyEditor, request.bodyText);
    }

    // One keystroke, then the rest of its event-loop turn, as when a person types.
    // Any character, Turkish letters included (QTest::keyClicks knows ASCII only).
    static void type(QWidget* widget, const QString& character) {
        const auto key = static_cast<Qt::Key>(character.at(0).toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, character, Qt::NoModifier);
        endTurn();
    }
    static void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(widget, key, modifiers);
        endTurn();
    }

    std::string modelURL() { return vm().activeRequest()->url; }
    std::string modelBody() { return vm().activeRequest()->bodyText; }
    std::size_t savesSinceStart() { return workspaceSaves().size() - savesBefore; }
    // The request's URL in the newest save.
    std::string savedURL() {
        for (const APIRequestCollection& collection : workspaceSaves().back().collections)
            for (const APIRequestSpec& request : collection.requests)
                if (request.id == requestID)
                    return request.url;
        return "(not saved)";
    }

    const tarn::UUID requestID;
    QWidget window;
    QLineEdit* urlField = nullptr;
    QPlainTextEdit* bodyEditor = nullptr;
    int writes = 0;
    int refreshes = 0;
    std::size_t savesBefore = 0;
};

TEST_F(BoundEditorTest, TypingIntoTheLineEditFollowsEveryKeystrokeAndKeepsFocusCursorAndUndo) {
    urlField->setFocus();
    urlField->selectAll();
    press(urlField, Qt::Key_Delete);
    ASSERT_EQ(modelURL(), "");
    const std::size_t savesAfterClear = savesSinceStart();

    const QString typed = QStringLiteral("https://api.test/çağrı");
    for (qsizetype i = 0; i < typed.size(); ++i) {
        type(urlField, typed.mid(i, 1));
        const std::string expected = tarn::qt::toStdString(typed.left(i + 1));
        ASSERT_EQ(modelURL(), expected) << "after keystroke " << i + 1;
        ASSERT_EQ(savesSinceStart(), savesAfterClear + static_cast<std::size_t>(i + 1));
        ASSERT_EQ(savedURL(), expected);
        ASSERT_TRUE(urlField->hasFocus());
        ASSERT_EQ(urlField->cursorPosition(), i + 1);
    }
    EXPECT_EQ(urlField->text(), typed);
    EXPECT_GE(refreshes, static_cast<int>(typed.size())) << "the bridge stopped refreshing";

    // Typing in the middle: the refresh must not throw the cursor to the end.
    urlField->setCursorPosition(8);
    type(urlField, QStringLiteral("v"));
    EXPECT_EQ(modelURL(), "https://vapi.test/çağrı");
    EXPECT_EQ(urlField->cursorPosition(), 9);

    // Undo is the user's edit too: the model follows it and saves.
    ASSERT_TRUE(urlField->isUndoAvailable());
    const std::size_t savesBeforeUndo = savesSinceStart();
    press(urlField, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(urlField->text(), QStringLiteral("https://api.test/çağrı"));
    EXPECT_EQ(modelURL(), "https://api.test/çağrı");
    EXPECT_EQ(savesSinceStart(), savesBeforeUndo + 1);
}

TEST_F(BoundEditorTest,
       TypingIntoThePlainTextEditorFollowsEveryKeystrokeAndKeepsFocusCursorAndUndo) {
    bodyEditor->setFocus();
    const int writesBefore = writes;
    const QString lines[] = {QStringLiteral("{"), QStringLiteral("  \"ad\": \"Gül\""),
                             QStringLiteral("}")};
    QString expected = bindings::plainText(bodyEditor);
    int keystrokes = 0;
    for (const QString& line : lines) {
        if (!expected.isEmpty()) {
            press(bodyEditor, Qt::Key_Return);
            expected += QLatin1Char('\n');
            ++keystrokes;
            ASSERT_EQ(modelBody(), tarn::qt::toStdString(expected));
            // Saves are counted as each keystroke's is written: the saver lets
            // a newer snapshot replace one still waiting.
            ASSERT_EQ(savesSinceStart(), static_cast<std::size_t>(keystrokes));
        }
        for (const QChar character : line) {
            type(bodyEditor, QString(character));
            expected += character;
            ++keystrokes;
            ASSERT_EQ(modelBody(), tarn::qt::toStdString(expected));
            ASSERT_EQ(savesSinceStart(), static_cast<std::size_t>(keystrokes));
            ASSERT_TRUE(bodyEditor->hasFocus());
            ASSERT_EQ(bodyEditor->textCursor().position(), expected.size());
        }
    }
    EXPECT_EQ(writes - writesBefore, keystrokes);
    EXPECT_TRUE(bodyEditor->document()->isUndoAvailable());
    press(bodyEditor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(bindings::plainText(bodyEditor), expected);
    EXPECT_EQ(modelBody(), tarn::qt::toStdString(bindings::plainText(bodyEditor)));
}

TEST_F(BoundEditorTest, AChangeMadeByTheModelRefreshesWithoutWritingBack) {
    urlField->setText(QStringLiteral("https://api.test/users"));
    urlField->setFocus();
    type(urlField, QStringLiteral("s")); // a user edit, so there is undo history
    urlField->setCursorPosition(8);
    bodyEditor->setPlainText(QString());
    const int writesBefore = writes;
    const std::size_t savesBeforeChange = savesSinceStart();

    // Not the user: an import, a replay, another screen. Non-breaking spaces
    // must survive the round trip (QPlainTextEdit::toPlainText drops them).
    vm().updateRequest(requestID, [](APIRequestSpec& spec) {
        spec.url = "https://api.test/userss?page=2";
        spec.bodyText = "{\n  \"a\":\u00a01\n}";
    });
    endTurn();
    EXPECT_EQ(urlField->text(), QStringLiteral("https://api.test/userss?page=2"));
    EXPECT_EQ(bindings::plainText(bodyEditor), QStringLiteral("{\n  \"a\":\u00a01\n}"));
    EXPECT_EQ(writes, writesBefore) << "the refresh wrote the model back";
    EXPECT_EQ(savesSinceStart(), savesBeforeChange) << "the refresh saved";
    EXPECT_TRUE(urlField->hasFocus());
    EXPECT_EQ(urlField->cursorPosition(), 8);
    EXPECT_TRUE(urlField->isUndoAvailable());

    // The same value again changes nothing in the widgets.
    const int refreshesBefore = refreshes;
    vm().updateRequest(requestID, [](APIRequestSpec&) {});
    endTurn();
    EXPECT_EQ(refreshes, refreshesBefore + 1);
    EXPECT_FALSE(bindings::refresh(urlField, "https://api.test/userss?page=2"));
    EXPECT_FALSE(bindings::refresh(bodyEditor, "{\n  \"a\":\u00a01\n}"));

    // A model edit in front of the editor's cursor moves the cursor with the text.
    QTextCursor cursor = bodyEditor->textCursor();
    cursor.setPosition(4);
    bodyEditor->setTextCursor(cursor);
    vm().updateRequest(requestID,
                       [](APIRequestSpec& spec) { spec.bodyText = "// x\n" + spec.bodyText; });
    endTurn();
    EXPECT_EQ(bodyEditor->textCursor().position(), 9);
    EXPECT_EQ(writes, writesBefore);
}

TEST(TextSplice, ReplacesOnlyWhatDiffersAndNeverSplitsASurrogatePair) {
    struct Case {
        QString from, to;
        qsizetype position, removed;
        QString inserted;
    };
    const QString smile = QString::fromUtf8("\U0001F600");
    const QString wink = QString::fromUtf8("\U0001F609");
    const std::vector<Case> cases{
        {QStringLiteral("abc"), QStringLiteral("abc"), 3, 0, {}},
        {QStringLiteral(""), QStringLiteral("x"), 0, 0, QStringLiteral("x")},
        {QStringLiteral("abc"), QStringLiteral("abXc"), 2, 0, QStringLiteral("X")},
        {QStringLiteral("aaaa"), QStringLiteral("aa"), 2, 2, {}},
        {QStringLiteral("hello"), QStringLiteral("jello"), 0, 1, QStringLiteral("j")},
        // The emoji share their high surrogate: the whole pair is replaced.
        {QStringLiteral("a") + smile, QStringLiteral("a") + wink, 1, 2, wink},
        {smile + QStringLiteral("z"), wink + QStringLiteral("z"), 0, 2, wink},
    };
    for (const Case& c : cases) {
        const bindings::TextSplice splice = bindings::spliceBetween(c.from, c.to);
        EXPECT_EQ(splice.position, c.position)
            << c.from.toStdString() << " -> " << c.to.toStdString();
        EXPECT_EQ(splice.removed, c.removed) << c.from.toStdString();
        EXPECT_EQ(splice.inserted, c.inserted) << c.from.toStdString();
        QString applied = c.from;
        applied.replace(splice.position, splice.removed, splice.inserted);
        EXPECT_EQ(applied, c.to);
    }
}

} // namespace
} // namespace quiller
