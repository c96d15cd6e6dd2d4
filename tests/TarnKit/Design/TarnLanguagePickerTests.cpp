#include "TarnKit/Design/TarnLanguagePicker.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnLocalizationStore.h"
#include "TarnKit/Platform/NotificationCenter.h"
#include "TarnKit/Platform/UserDefaults.h"
#include "support/TemporaryFolder.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <any>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using tarn::TarnLanguage;
using tarn::TarnLanguageMenuButton;
using tarn::TarnLanguagePicker;
using tarn::TarnLanguagePreference;

// A preference over a private defaults file, notification centre and
// localisation store, recording what is stored, announced and selected.
class LanguageControlTest : public ::testing::Test {
protected:
    LanguageControlTest()
        : defaults(folder.path() / "defaults"),
          store({},
                [this] {
                    return tarn::TarnLocalizationStore::StandardFolders{
                        folder.path() / "custom", std::nullopt, folder.path() / "shared",
                        std::nullopt};
                }),
          preference(defaults, notifications, store, [this] { return systemLanguages; }) {
        token = notifications.addObserver(TarnLanguagePreference::languageDidChangeName(),
                                          [this](const tarn::Notification& note) {
                                              announced.push_back(
                                                  std::any_cast<TarnLanguage>(note.object));
                                          });
    }
    ~LanguageControlTest() override { notifications.removeObserver(token); }

    void storeValue(const std::string& value) {
        defaults.setString(TarnLanguagePreference::defaultsKey(), value);
    }
    std::optional<std::string> stored() const {
        return defaults.string(TarnLanguagePreference::defaultsKey());
    }
    TarnLanguagePicker::OnSelect recorder() {
        return [this](TarnLanguage language) { selected.push_back(language); };
    }
    // What QComboBox does when the user picks a row: it becomes current, then
    // `activated` follows.
    static void pick(QComboBox* list, int row) {
        list->setCurrentIndex(row);
        emit list->activated(row);
    }
    static int rowOf(QComboBox* list, TarnLanguage language) {
        return list->findData(QString::fromLatin1(tarn::rawValue(language).data()));
    }

    tarn::testing::TemporaryFolder folder;
    tarn::UserDefaults defaults;
    tarn::NotificationCenter notifications;
    tarn::TarnLocalizationStore store;
    std::vector<std::string> systemLanguages;
    TarnLanguagePreference preference;
    tarn::NotificationCenter::ObserverToken token{};
    std::vector<TarnLanguage> announced;
    std::vector<TarnLanguage> selected;
};

TEST_F(LanguageControlTest, ShowsTheSystemEntryWhileFollowingTheSystem) {
    const struct {
        std::string stored;
        TarnLanguage callerLanguage;
        QString shown;
    } cases[] = {
        {"System", TarnLanguage::de, "system"},
        {"SYSTEM", TarnLanguage::tr, "system"},
        {"system", TarnLanguage::en, "system"},
        {"de", TarnLanguage::tr, "tr"}, // the caller's language, not the stored one
        {"pt-PT", TarnLanguage::ptPT, "pt-PT"},
    };
    for (const auto& c : cases) {
        storeValue(c.stored);
        TarnLanguagePicker picker(std::nullopt, c.callerLanguage, true, recorder(), preference);
        EXPECT_EQ(picker.property("selectedCode").toString(), c.shown) << c.stored;
        EXPECT_EQ(picker.isFollowingSystem(), c.shown == "system") << c.stored;
    }
}

TEST_F(LanguageControlTest, ListsTheSystemEntryADividerAndEveryLanguage) {
    systemLanguages = {"de-DE"};
    TarnLanguagePicker picker(std::nullopt, TarnLanguage::tr, true, recorder(), preference);
    auto* list = picker.findChild<QComboBox*>(QStringLiteral("languagePickerList"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2 + 37);
    EXPECT_EQ(list->itemText(0), QStringLiteral("Sistem Dili (Deutsch)"));
    EXPECT_EQ(list->itemText(2), QStringLiteral("العربية (Arabic)"));
    EXPECT_EQ(picker.findChild<QLabel*>(QStringLiteral("languagePickerTitle"))->text(),
              QStringLiteral("Dil"));

    // The texts follow the language the owner shows.
    picker.setLanguage(TarnLanguage::en);
    EXPECT_EQ(list->itemText(0), QStringLiteral("System Language (Deutsch)"));
    EXPECT_EQ(picker.findChild<QLabel*>(QStringLiteral("languagePickerTitle"))->text(),
              QStringLiteral("Language"));
}

TEST_F(LanguageControlTest, ChoosingALanguageStoresAnnouncesAndSelects) {
    TarnLanguagePicker picker(std::nullopt, TarnLanguage::en, true, recorder(), preference);
    auto* list = picker.findChild<QComboBox*>(QStringLiteral("languagePickerList"));
    ASSERT_TRUE(picker.isFollowingSystem());

    pick(list, rowOf(list, TarnLanguage::tr));
    EXPECT_EQ(stored(), "tr");
    EXPECT_EQ(announced, std::vector<TarnLanguage>{TarnLanguage::tr});
    EXPECT_EQ(selected, std::vector<TarnLanguage>{TarnLanguage::tr});
    EXPECT_FALSE(picker.isFollowingSystem());

    // The owner shows its model's new language; reopening shows it chosen.
    picker.setLanguage(TarnLanguage::tr);
    picker.show();
    picker.hide();
    picker.show();
    EXPECT_EQ(picker.property("selectedCode").toString(), QStringLiteral("tr"));
}

TEST_F(LanguageControlTest, ChoosingTheSystemKeepsSystemStoredWhateverTheOwnerDoes) {
    storeValue("de");
    systemLanguages = {"xx-YY"}; // nothing recognised: English
    // An owner that writes its model's language back through the preference,
    // as a view bound to the language may.
    TarnLanguagePicker picker(
        std::nullopt, TarnLanguage::de, true,
        [this](TarnLanguage language) {
            selected.push_back(language);
            preference.setCurrent(language);
        },
        preference);
    auto* list = picker.findChild<QComboBox*>(QStringLiteral("languagePickerList"));
    pick(list, 0);
    EXPECT_EQ(selected, std::vector<TarnLanguage>{TarnLanguage::en});
    EXPECT_EQ(stored(), "system");
    EXPECT_TRUE(picker.isFollowingSystem());
    EXPECT_EQ(picker.property("selectedCode").toString(), QStringLiteral("system"));
}

// A programmatic change of the shown language or of the list's row (a
// refresh) stores nothing, announces nothing and reports no choice.
TEST_F(LanguageControlTest, ProgrammaticSyncNeverWrites) {
    storeValue("en");
    TarnLanguagePicker picker(std::nullopt, TarnLanguage::en, false, recorder(), preference);
    picker.show();
    auto* list = picker.findChild<QComboBox*>(QStringLiteral("languagePickerList"));

    picker.setLanguage(TarnLanguage::fr);
    EXPECT_EQ(picker.property("selectedCode").toString(), QStringLiteral("fr"));
    list->setCurrentIndex(rowOf(list, TarnLanguage::ja));
    list->setCurrentIndex(0);

    EXPECT_EQ(stored(), "en");
    EXPECT_TRUE(announced.empty());
    EXPECT_TRUE(selected.empty());
}

TEST_F(LanguageControlTest, KeyboardChoiceIsAUserChoice) {
    storeValue("ar"); // the first language row
    TarnLanguagePicker picker(std::nullopt, TarnLanguage::ar, false, recorder(), preference);
    picker.show();
    auto* list = picker.findChild<QComboBox*>(QStringLiteral("languagePickerList"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(selected.size(), 1u);
    EXPECT_EQ(stored(), std::string(tarn::rawValue(selected.front())));
}

TEST_F(LanguageControlTest, WithoutTitleTheListIsBetween190And260Wide) {
    TarnLanguagePicker picker(QStringLiteral("Ignored"), TarnLanguage::en, false, recorder(),
                              preference);
    EXPECT_EQ(picker.findChild<QLabel*>(QStringLiteral("languagePickerTitle")), nullptr);
    picker.show();
    auto* list = picker.findChild<QComboBox*>(QStringLiteral("languagePickerList"));
    EXPECT_GE(list->width(), 190);
    EXPECT_LE(list->width(), 260);

    TarnLanguagePicker titled(QStringLiteral("Interface"), TarnLanguage::en, true, recorder(),
                              preference);
    EXPECT_EQ(titled.findChild<QLabel*>(QStringLiteral("languagePickerTitle"))->text(),
              QStringLiteral("Interface"));
}

// A change made elsewhere shows when the control next comes on screen.
TEST_F(LanguageControlTest, FollowsAnOutsideChangeWhenShownAgain) {
    storeValue("en");
    TarnLanguagePicker picker(std::nullopt, TarnLanguage::en, true, recorder(), preference);
    TarnLanguageMenuButton button(TarnLanguage::en, recorder(), preference);
    picker.show();
    button.show();
    storeValue("system");
    EXPECT_FALSE(picker.isFollowingSystem());
    EXPECT_FALSE(button.isFollowingSystem());
    picker.hide();
    button.hide();
    picker.show();
    button.show();
    EXPECT_TRUE(picker.isFollowingSystem());
    EXPECT_TRUE(button.isFollowingSystem());
    EXPECT_EQ(picker.property("selectedCode").toString(), QStringLiteral("system"));
}

TEST_F(LanguageControlTest, MenuButtonBadgeAndCheckMarks) {
    const struct {
        TarnLanguage language;
        const char* badge;
    } badges[] = {{TarnLanguage::ptBR, "PT"},
                  {TarnLanguage::ptPT, "PT-PT"},
                  {TarnLanguage::zhHans, "ZH"},
                  {TarnLanguage::zhHant, "ZH-TW"},
                  {TarnLanguage::en, "EN"}};
    for (const auto& b : badges) {
        TarnLanguageMenuButton button(b.language, recorder(), preference);
        EXPECT_EQ(button.property("badgeText").toString(), QString::fromLatin1(b.badge));
    }

    storeValue("en");
    TarnLanguageMenuButton button(TarnLanguage::en, recorder(), preference);
    EXPECT_EQ(button.toolTip(), QStringLiteral("Language"));
    QMenu* menu = button.menu();
    emit menu->aboutToShow();
    const auto action = [&](const char* name) {
        return menu->findChild<QAction*>(QString::fromLatin1(name));
    };
    ASSERT_NE(action("en"), nullptr);
    EXPECT_TRUE(action("en")->isChecked());
    EXPECT_FALSE(action("system")->isChecked());

    action("tr")->trigger();
    EXPECT_EQ(stored(), "tr");
    EXPECT_EQ(selected, std::vector<TarnLanguage>{TarnLanguage::tr});
    button.setLanguage(TarnLanguage::tr);
    EXPECT_EQ(stored(), "tr");
    EXPECT_EQ(announced.size(), 1u);
    emit menu->aboutToShow();
    EXPECT_TRUE(action("tr")->isChecked());
    EXPECT_FALSE(action("en")->isChecked());

    action("system")->trigger();
    EXPECT_EQ(stored(), "system");
    emit menu->aboutToShow();
    EXPECT_TRUE(action("system")->isChecked());
    EXPECT_FALSE(action("tr")->isChecked());
}

} // namespace
