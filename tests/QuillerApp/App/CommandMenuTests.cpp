#include "QuillerApp/App/QuillerCommandMenu.h"
#include "support/QtViewModelTest.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <string>

namespace quiller {
namespace {

// A window like the studio's: a line edit and a plain-text editor (the URL
// field and the body editor) with the command menu's actions on it.
class CommandMenuTest : public testing::QtViewModelTest {
protected:
    CommandMenuTest() {
        auto* layout = new QVBoxLayout(&window);
        lineEdit = new QLineEdit(QStringLiteral("https://example.test/"), &window);
        plainText = new QPlainTextEdit(QStringLiteral("{}"), &window);
        layout->addWidget(lineEdit);
        layout->addWidget(plainText);
        commands = new QuillerCommandMenu(vm(), *bridge, &window);
        window.show();
        QApplication::setActiveWindow(&window);
        endTurn();
    }

    void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
        target->setFocus();
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
        endTurn();
        background->runAll();
        endTurn();
    }

    QWidget window;
    QLineEdit* lineEdit = nullptr;
    QPlainTextEdit* plainText = nullptr;
    QuillerCommandMenu* commands = nullptr;
};

// Ctrl+Return and Ctrl+Enter send the active request exactly once from a
// line edit and from a plain-text editor, and leave their text alone.
TEST_F(CommandMenuTest, SendShortcutSendsOnceFromAnyField) {
    const struct {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {
        {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier},
        {"Ctrl+Enter", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier},
    };
    for (const auto& k : keys) {
        for (QWidget* field : {static_cast<QWidget*>(lineEdit), static_cast<QWidget*>(plainText)}) {
            SCOPED_TRACE(std::string(k.name) + " in " + field->metaObject()->className());
            const std::size_t before = execution->executeCalls.size();
            press(field, k.key, k.modifiers);
            EXPECT_EQ(execution->executeCalls.size(), before + 1);
            EXPECT_EQ(lineEdit->text(), QStringLiteral("https://example.test/"));
            EXPECT_EQ(plainText->toPlainText(), QStringLiteral("{}"));
        }
    }
}

TEST_F(CommandMenuTest, ShortcutsCallTheirActions) {
    const std::size_t requestsBefore = vm().collections().front().requests.size();
    press(plainText, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(vm().collections().front().requests.size(), requestsBefore + 1);

    press(lineEdit, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(mockServer->starts.size(), 1u);
    EXPECT_TRUE(vm().isProxyRunning());
    press(lineEdit, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(mockServer->stops, 1);
}

// The view model decides what a command does with nothing to act on: the
// items stay enabled while a send is under way and with no request at all.
TEST_F(CommandMenuTest, ItemsAreNeverDisabled) {
    vm().setIsSending(true);
    endTurn();
    for (QAction* action : commands->menu()->actions())
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    commands->sendAction()->trigger();
    background->runAll();
    EXPECT_EQ(execution->executeCalls.size(), 1u) << "a second send starts while one is in flight";

    vm().setCollections({});
    endTurn();
    for (QAction* action : commands->menu()->actions())
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    commands->sendAction()->trigger();
    commands->newRequestAction()->trigger();
    background->runAll();
    EXPECT_EQ(execution->executeCalls.size(), 1u);
}

TEST_F(CommandMenuTest, TitlesFollowTheLanguageAndTheServerState) {
    const struct {
        tarn::TarnLanguage language;
        bool running;
        const char* send;
        const char* newRequest;
        const char* server;
    } cases[] = {
        {tarn::TarnLanguage::en, false, "Send Active Request", "New Request",
         "Start Local Mock/Proxy Server"},
        {tarn::TarnLanguage::en, true, "Send Active Request", "New Request",
         "Stop Local Mock/Proxy Server"},
        {tarn::TarnLanguage::tr, false, "Aktif İsteği Gönder", "Yeni İstek",
         "Yerel Mock/Proxy Sunucusunu Başlat"},
        {tarn::TarnLanguage::tr, true, "Aktif İsteği Gönder", "Yeni İstek",
         "Yerel Mock/Proxy Sunucusunu Durdur"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(tarn::rawValue(c.language)) + (c.running ? " running" : ""));
        vm().setLanguage(c.language);
        vm().setIsProxyRunning(c.running);
        endTurn();
        EXPECT_EQ(commands->menu()->title(), QStringLiteral("Quiller"));
        EXPECT_EQ(commands->sendAction()->text(), QString::fromUtf8(c.send));
        EXPECT_EQ(commands->newRequestAction()->text(), QString::fromUtf8(c.newRequest));
        EXPECT_EQ(commands->serverAction()->text(), QString::fromUtf8(c.server));
    }
    const QList<QAction*> items = commands->menu()->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0], commands->sendAction());
    EXPECT_EQ(items[1], commands->newRequestAction());
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3], commands->serverAction());
}

} // namespace
} // namespace quiller
