#include "TarnKit/Design/TarnAppActivationDelegate.h"
#include "TarnKit/Design/TarnAppLauncher.h"
#include "TarnKit/Design/TarnAppMenuController.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "support/EnvironmentScope.h"
#include "support/TemporaryFolder.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

// "—" stands for a separator; texts as shown (a doubled "&" is one).
std::vector<std::string> shown(const QMenu* menu) {
    std::vector<std::string> texts;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            texts.emplace_back("—");
        else
            texts.push_back(
                action->text().replace(QStringLiteral("&&"), QStringLiteral("&")).toStdString());
    }
    return texts;
}

std::vector<std::string> topLevelTitles(const TarnAppMenuController& controller) {
    std::vector<std::string> titles;
    for (const QAction* action : controller.mainMenu()->actions())
        titles.push_back(action->menu()->title().toStdString());
    return titles;
}

QMenu* topLevel(const TarnAppMenuController& controller, std::size_t index) {
    return controller.mainMenu()->actions().at(static_cast<qsizetype>(index))->menu();
}

QAction* actionNamed(const QMenu* menu, const std::string& text) {
    for (QAction* action : menu->actions())
        if (action->text().replace(QStringLiteral("&&"), QStringLiteral("&")).toStdString() == text)
            return action;
    return nullptr;
}

void open(TarnAppMenuController& controller, QMenu* menu) {
    controller.menuNeedsUpdate(menu);
}

// The active window with a text field and a focusable widget that is not text.
struct EditingWindow {
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    QWidget* other = new QWidget(&window);

    bool activate() {
        other->setFocusPolicy(Qt::StrongFocus);
        window.show();
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    }
};

struct MenuFixture {
    TarnLanguage language = TarnLanguage::en;

    TarnMainMenuDescription description() {
        TarnMainMenuDescription result;
        result.appName = "Quiller";
        result.language = [this] { return language; };
        result.closeWindowKeyEquivalent = "w";
        return result;
    }
};

TEST(TarnAppMenuController, StandardMenusInBothLanguages) {
    MenuFixture fixture;
    TarnAppMenuController controller(fixture.description());
    EXPECT_EQ(topLevelTitles(controller), (std::vector<std::string>{"Quiller", "Edit", "Window"}));
    QMenu* app = topLevel(controller, 0);
    QMenu* edit = topLevel(controller, 1);
    QMenu* window = topLevel(controller, 2);
    EXPECT_EQ(controller.windowsMenu(), window);
    // No Settings without its action; Hide Others and Show All have no
    // counterpart here.
    EXPECT_EQ(shown(app), (std::vector<std::string>{"Send Feedback & Ideas…", "—", "Hide Quiller",
                                                    "—", "Quit Quiller"}));
    EXPECT_EQ(shown(edit), (std::vector<std::string>{"Undo", "Redo", "—", "Cut", "Copy", "Paste",
                                                     "Select All"}));
    EXPECT_EQ(shown(window),
              (std::vector<std::string>{"Minimize", "Close Window", "—", "Bring All to Front"}));
    const std::vector<std::pair<QAction*, const char*>> shortcuts = {
        {actionNamed(app, "Hide Quiller"), "Ctrl+H"},
        {actionNamed(app, "Quit Quiller"), "Ctrl+Q"},
        {actionNamed(edit, "Undo"), "Ctrl+Z"},
        {actionNamed(edit, "Redo"), "Ctrl+Shift+Z"},
        {actionNamed(edit, "Select All"), "Ctrl+A"},
        {actionNamed(window, "Minimize"), "Ctrl+M"},
        {actionNamed(window, "Close Window"), "Ctrl+W"},
        {actionNamed(window, "Bring All to Front"), ""},
    };
    for (const auto& [action, expected] : shortcuts) {
        ASSERT_NE(action, nullptr) << expected;
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText).toStdString(), expected);
    }

    fixture.language = TarnLanguage::tr;
    for (QMenu* menu : {app, edit, window})
        open(controller, menu);
    EXPECT_EQ(topLevelTitles(controller),
              (std::vector<std::string>{"Quiller", "Düzen", "Pencere"}));
    EXPECT_EQ(shown(app), (std::vector<std::string>{"Geri Bildirim & Fikir Gönder…", "—",
                                                    "Quiller Uygulamasını Gizle", "—",
                                                    "Quiller Uygulamasından Çık"}));
    EXPECT_EQ(shown(edit), (std::vector<std::string>{"Geri Al", "Yinele", "—", "Kes", "Kopyala",
                                                     "Yapıştır", "Tümünü Seç"}));
    EXPECT_EQ(shown(window),
              (std::vector<std::string>{"Küçült", "Pencereyi Kapat", "—", "Tümünü Öne Getir"}));
}

TEST(TarnAppMenuController, OptionalMenusAndItems) {
    MenuFixture fixture;
    TarnMainMenuDescription description = fixture.description();
    int settingsOpened = 0;
    int duplicated = 0;
    std::vector<std::string> feedback;
    description.onOpenSettings = [&] { ++settingsOpened; };
    description.fileMenuItems = {TarnMenuElement::item([] { return "New Request"; }, "n",
                                                       Qt::ControlModifier, {}, {}, false, [] {})};
    description.customMenus = {TarnCustomMenu("Request", {}),
                               TarnCustomMenu([] { return std::string("Tools"); }, {})};
    TarnEditMenuOverrides overrides;
    overrides.duplicate = [&] { ++duplicated; };
    description.editOverrides = overrides;
    description.closeWindowKeyEquivalent.clear();
    description.closeWindowModifiers = Qt::ControlModifier | Qt::ShiftModifier;
    description.openFeedback = [&](const std::string& appName, const TarnAppVersion&,
                                   TarnLanguage language) {
        feedback.push_back(appName + " " + std::string(rawValue(language)));
    };
    TarnAppMenuController controller(std::move(description));

    EXPECT_EQ(topLevelTitles(controller),
              (std::vector<std::string>{"Quiller", "File", "Edit", "Request", "Tools", "Window"}));
    QMenu* app = topLevel(controller, 0);
    EXPECT_EQ(shown(app).front(), "Settings…");
    EXPECT_EQ(app->actions().front()->shortcut().toString(QKeySequence::PortableText), "Ctrl+,");
    fixture.language = TarnLanguage::tr;
    open(controller, app);
    EXPECT_EQ(shown(app).front(), "Ayarlar…");
    app->actions().front()->trigger();
    EXPECT_EQ(settingsOpened, 1);
    actionNamed(app, "Geri Bildirim & Fikir Gönder…")->trigger();
    EXPECT_EQ(feedback, (std::vector<std::string>{"Quiller tr"}));

    QMenu* edit = topLevel(controller, 2);
    fixture.language = TarnLanguage::en;
    open(controller, edit);
    EXPECT_EQ(shown(edit), (std::vector<std::string>{"Undo", "Redo", "—", "Cut", "Copy", "Paste",
                                                     "Duplicate", "Select All"}));
    actionNamed(edit, "Duplicate")->trigger();
    EXPECT_EQ(duplicated, 1);
    EXPECT_TRUE(actionNamed(topLevel(controller, 5), "Close Window")->shortcut().isEmpty());
}

TEST(TarnAppMenuController, ChecksDecideHiddenAndEnabledAtOpeningAndTrigger) {
    MenuFixture fixture;
    bool hidden = true;
    bool enabled = true;
    bool separatorHidden = true;
    int sent = 0;
    int cleaned = 0;
    TarnMainMenuDescription description = fixture.description();
    description.customMenus = {TarnCustomMenu(
        "Request", {
                       TarnMenuElement::item([] { return "Send"; }, "k", Qt::ControlModifier,
                                             [&] { return enabled; }, [&] { return hidden; }, false,
                                             [&] { ++sent; }),
                       TarnMenuElement::divider([&] { return separatorHidden; }),
                       TarnMenuElement::item([] { return "Clean Up"; }, "", {}, {}, {}, true,
                                             [&] { ++cleaned; }),
                   })};
    TarnAppMenuController controller(std::move(description));
    QMenu* request = topLevel(controller, 2);
    QAction* send = request->actions().at(0);
    QAction* separator = request->actions().at(1);
    QAction* cleanUp = request->actions().at(2);

    open(controller, request);
    EXPECT_FALSE(send->isVisible());
    EXPECT_FALSE(send->isEnabled()) << "hidden means disabled, whatever isEnabled says";
    EXPECT_FALSE(separator->isVisible());
    send->trigger();
    EXPECT_EQ(sent, 0);

    hidden = false;
    separatorHidden = false;
    open(controller, request);
    EXPECT_TRUE(send->isVisible());
    EXPECT_TRUE(send->isEnabled());
    EXPECT_TRUE(separator->isVisible()) << "a separator's check runs at every opening";

    // While text is edited an item that skips it is disabled and ignored.
    EditingWindow editing;
    ASSERT_TRUE(editing.activate());
    editing.field->setFocus();
    ASSERT_TRUE(TarnAppMenuController::isTextInputFocused());
    open(controller, request);
    EXPECT_FALSE(cleanUp->isEnabled());
    emit request->aboutToHide();
    EXPECT_TRUE(cleanUp->isEnabled()) << "left disabled after the menu closed";
    cleanUp->trigger();
    EXPECT_EQ(cleaned, 0) << "ran while text was edited";
    editing.other->setFocus();
    EXPECT_FALSE(TarnAppMenuController::isTextInputFocused());
    cleanUp->trigger();
    EXPECT_EQ(cleaned, 1);

    // An item disabled at an opening is enabled again when the menu closes,
    // and its own check decides when it triggers.
    enabled = false;
    open(controller, request);
    EXPECT_FALSE(send->isEnabled());
    emit request->aboutToHide();
    EXPECT_TRUE(send->isEnabled());
    send->trigger();
    EXPECT_EQ(sent, 0);
    enabled = true;
    send->trigger();
    EXPECT_EQ(sent, 1);
}

TEST(TarnAppMenuController, ShortcutOfAnItemTurnedOffDoesNothing) {
    MenuFixture fixture;
    bool enabled = true;
    int sent = 0;
    TarnMainMenuDescription description = fixture.description();
    description.fileMenuItems = {TarnMenuElement::item([] { return "Send"; }, "k",
                                                       Qt::ControlModifier, [&] { return enabled; },
                                                       {}, false, [&] { ++sent; })};
    TarnAppMenuController controller(std::move(description));
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    column->addWidget(new QWidget);
    ASSERT_TRUE(controller.attachMenuBar(window));
    ASSERT_NE(window.findChild<QMenuBar*>(), nullptr);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(sent, 1);
    enabled = false;
    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(sent, 1) << "the shortcut ran an item that is not enabled";
    enabled = true;
    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(sent, 2);
}

TEST(TarnAppMenuController, RebuildingADynamicSubmenuLeavesNoBindingsBehind) {
    MenuFixture fixture;
    int generation = 0;
    std::vector<int> chosen;
    const auto nested = [&] {
        return std::vector<TarnMenuElement>{
            TarnMenuElement::item([] { return "Deep"; }, "", {}, {}, {}, false, [] {}),
            TarnMenuElement::divider([] { return false; }),
        };
    };
    TarnMainMenuDescription description = fixture.description();
    description.fileMenuItems = {TarnMenuElement::submenu(
        [] { return "Recent"; },
        [&] {
            ++generation;
            std::vector<TarnMenuElement> items;
            items.reserve(3);
            for (int index = 0; index < 3; ++index)
                items.push_back(TarnMenuElement::item(
                    [index] { return "Entry " + std::to_string(index); }, "", {}, {}, {}, false,
                    [&chosen, index] { chosen.push_back(index); }));
            items.push_back(TarnMenuElement::submenu([] { return "More"; }, nested));
            return items;
        })};
    TarnAppMenuController controller(std::move(description));
    QMenu* recent = topLevel(controller, 1)->actions().at(0)->menu();
    ASSERT_NE(recent, nullptr);
    const int bindings = controller.liveBindingCount();
    QPointer<QAction> oldEntry = recent->actions().at(0);
    QPointer<QMenu> oldMore = recent->actions().at(3)->menu();

    open(controller, recent);
    open(controller, recent);
    EXPECT_EQ(generation, 3);
    EXPECT_EQ(controller.liveBindingCount(), bindings);
    EXPECT_TRUE(oldEntry.isNull()) << "the old entry outlived its rebuild";
    EXPECT_TRUE(oldMore.isNull()) << "the old nested submenu outlived its rebuild";
    EXPECT_EQ(shown(recent), (std::vector<std::string>{"Entry 0", "Entry 1", "Entry 2", "More"}));
    EXPECT_EQ(shown(recent->actions().at(3)->menu()), (std::vector<std::string>{"Deep", "—"}));
    recent->actions().at(1)->trigger();
    EXPECT_EQ(chosen, (std::vector<int>{1}));
}

TEST(TarnAppMenuController, UndoOverrideYieldsToTextEditing) {
    MenuFixture fixture;
    int undos = 0;
    TarnMainMenuDescription description = fixture.description();
    TarnEditMenuOverrides overrides;
    overrides.undo = [&] { ++undos; };
    overrides.canUndo = [] { return false; };
    description.editOverrides = overrides;
    TarnAppMenuController controller(std::move(description));
    QMenu* edit = topLevel(controller, 1);
    QAction* undo = actionNamed(edit, "Undo");
    ASSERT_NE(undo, nullptr);

    EditingWindow editing;
    ASSERT_TRUE(editing.activate());
    QLineEdit* field = editing.field;
    editing.other->setFocus();
    open(controller, edit);
    EXPECT_FALSE(undo->isEnabled());

    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("abc"));
    open(controller, edit);
    EXPECT_TRUE(undo->isEnabled()) << "text is edited: the field's undo stands";
    undo->trigger();
    EXPECT_EQ(field->text(), QString()) << "the field did not undo";
    EXPECT_EQ(undos, 0);

    editing.other->setFocus();
    emit edit->aboutToHide();
    undo->trigger();
    EXPECT_EQ(undos, 0) << "canUndo is false";
}

TEST(TarnMenuElement, LanguageSubmenuMarksTheCurrentChoice) {
    static testing::TemporaryFolder config("menu-language");
    testing::EnvironmentScope home("XDG_CONFIG_HOME", config.path().string());
    testing::EnvironmentScope system("LANGUAGE", std::string("de"));
    MenuFixture fixture;
    TarnLanguage current = TarnLanguage::tr;
    std::vector<TarnLanguage> selected;
    TarnMainMenuDescription description = fixture.description();
    description.fileMenuItems = {TarnMenuElement::languageSubmenu(
        [&] { return current; }, [&](TarnLanguage language) { selected.push_back(language); })};
    TarnAppMenuController controller(std::move(description));
    QMenu* languages = topLevel(controller, 1)->actions().at(0)->menu();
    EXPECT_EQ(languages->title().toStdString(), "Dil");

    const auto checked = [&] {
        std::vector<std::string> marked;
        for (const std::string& text : shown(languages))
            if (text.rfind("✓ ", 0) == 0)
                marked.push_back(text);
        return marked;
    };
    language::setFollowSystem();
    const std::string systemEntry =
        "Sistem Dili (" + std::string(nativeName(language::systemResolved())) + ")";
    open(controller, languages);
    ASSERT_EQ(shown(languages).size(), 2 + language::caseCount);
    EXPECT_EQ(shown(languages).at(1), "—");
    EXPECT_EQ(checked(), (std::vector<std::string>{"✓ " + systemEntry}));

    // An explicit preference: the entry of what current() says carries the
    // mark, even where the stored code differs.
    language::setCurrent(TarnLanguage::fr);
    open(controller, languages);
    EXPECT_EQ(checked(), (std::vector<std::string>{"✓ " + displayName(TarnLanguage::tr)}));

    actionNamed(languages, displayName(TarnLanguage::de))->trigger();
    EXPECT_EQ(language::storedPreferenceCode(), "de");
    languages->actions().at(0)->trigger();
    EXPECT_TRUE(language::isFollowingSystem());
    EXPECT_EQ(selected, (std::vector<TarnLanguage>{TarnLanguage::de, language::systemResolved()}));
}

TEST(TarnAppLauncher, InstallsDelegateAndMenusBeforeTheLoop) {
    MenuFixture fixture;
    QMainWindow window;
    window.show();
    auto delegate = std::make_unique<TarnAppActivationDelegate>();
    TarnAppActivationDelegate* given = delegate.get();
    bool checked = false;
    QTimer::singleShot(0, [&] {
        checked = true;
        EXPECT_EQ(launcher::installedDelegate(), given);
        TarnAppMenuController* controller = launcher::installedMenuController();
        ASSERT_NE(controller, nullptr);
        EXPECT_EQ(topLevelTitles(*controller).front(), "Quiller");
        ASSERT_NE(window.menuWidget(), nullptr);
        EXPECT_EQ(static_cast<QMenuBar*>(window.menuWidget())->actions().front()->menu(),
                  topLevel(*controller, 0));
        QMainWindow later;
        later.show();
        EXPECT_NE(later.menuWidget(), nullptr) << "a window shown later got no menu bar";
        QCoreApplication::exit(7);
    });
    EXPECT_EQ(launcher::run(std::move(delegate), fixture.description()), 7);
    EXPECT_TRUE(checked);
}

} // namespace
} // namespace tarn
