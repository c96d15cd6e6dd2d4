#include "QuillerApp/Views/EnvironmentsAndSettingsView.h"
#include "ScreenTestSupport.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnLocalizationStore.h"
#include "TarnKit/Platform/NotificationCenter.h"
#include "TarnKit/Platform/UserDefaults.h"
#include "support/QtViewModelTest.h"
#include "support/TemporaryFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <any>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace quiller {
namespace {

using testing::child;
using testing::click;
using testing::typeText;

// The screen over the fake view model, with a language preference of its own.
class EnvironmentsViewTest : public testing::QtViewModelTest {
protected:
    EnvironmentsViewTest()
        : defaults(folder.path() / "defaults"),
          store({},
                [this] {
                    return tarn::TarnLocalizationStore::StandardFolders{
                        folder.path() / "custom", std::nullopt, folder.path() / "shared",
                        std::nullopt};
                }),
          preference(defaults, notifications, store,
                     [] { return std::vector<std::string>{"en-US"}; }) {
        token = notifications.addObserver(
            tarn::TarnLanguagePreference::languageDidChangeName(),
            [this](const tarn::Notification& note) {
                announced.push_back(std::any_cast<tarn::TarnLanguage>(note.object));
                languageOfModelWhenAnnounced.push_back(vm().language());
            });
        staging = testing::makeEnvironment(
            "Staging", {KeyValueRow{.key = "host", .value = "stage.test"},
                        KeyValueRow{.key = "token", .value = "s3cret", .isSecret = true}});
        vm().setEnvironments({testing::makeEnvironment("Local", {}), staging});
        vm().setActiveEnvironmentID(staging.id);
        view = std::make_unique<EnvironmentsAndSettingsView>(vm(), *bridge, preference);
        view->resize(1000, 700);
        view->show();
        endTurn();
    }
    ~EnvironmentsViewTest() override { notifications.removeObserver(token); }

    QLineEdit* field(const char* name) { return child<QLineEdit>(view.get(), name); }
    QAbstractButton* button(const char* name) { return child<QAbstractButton>(view.get(), name); }
    QString label(const char* name) { return child<QLabel>(view.get(), name)->text(); }
    const std::vector<KeyValueRow>& variables() { return vm().environments()[1].variables; }
    // The rows shown, top to bottom, as "key value".
    std::vector<QString> shownRows() {
        std::vector<std::pair<int, QString>> rows;
        for (QWidget* row : view->findChildren<QWidget*>(QStringLiteral("variableRow")))
            if (row->isVisibleTo(view.get()))
                rows.emplace_back(row->y(), child<QLabel>(row, "variableKey")->text() + " " +
                                                child<QLabel>(row, "variableValue")->text());
        std::sort(rows.begin(), rows.end());
        std::vector<QString> texts;
        texts.reserve(rows.size());
        for (auto& [y, text] : rows)
            texts.push_back(text);
        return texts;
    }
    void add(const QString& key, const QString& value) {
        typeText(field("variableKeyField"), key);
        typeText(field("variableValueField"), value);
        click(button("addVariableButton"));
        endTurn();
    }
    static std::string fileText(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    tarn::testing::TemporaryFolder folder{"quiller-env-view"};
    tarn::UserDefaults defaults;
    tarn::NotificationCenter notifications;
    tarn::TarnLocalizationStore store;
    tarn::TarnLanguagePreference preference;
    tarn::NotificationCenter::ObserverToken token{};
    std::vector<tarn::TarnLanguage> announced;
    std::vector<tarn::TarnLanguage> languageOfModelWhenAnnounced;
    APIEnvironmentProfile staging;
    std::unique_ptr<EnvironmentsAndSettingsView> view;
};

TEST_F(EnvironmentsViewTest, ShowsTheActiveEnvironmentWithSecretsMaskedAndKeysInBraces) {
    EXPECT_EQ(label("environmentHeading"), QStringLiteral("Environment Variables — Staging"));
    EXPECT_EQ(EnvironmentsAndSettingsView::secretMask(), QStringLiteral("•••••••• (Keyring)"));
    EXPECT_EQ(shownRows(), (std::vector<QString>{QStringLiteral("{{host}} stage.test"),
                                                 QStringLiteral("{{token}} •••••••• (Keyring)")}));

    // Switching the environment elsewhere (the studio header) follows at once.
    vm().setActiveEnvironmentID(vm().environments()[0].id);
    endTurn();
    EXPECT_EQ(label("environmentHeading"), QStringLiteral("Environment Variables — Local"));
    EXPECT_TRUE(shownRows().empty());
}

TEST_F(EnvironmentsViewTest, WithoutAnActiveEnvironmentOnlyTheSettingsCardShows) {
    // No identifier, and an identifier no environment has: the actions would
    // find no environment, so no card offers them.
    for (const std::optional<tarn::UUID>& active :
         {std::optional<tarn::UUID>{}, std::optional<tarn::UUID>{tarn::UUID::random()}}) {
        vm().setActiveEnvironmentID(active);
        endTurn();
        EXPECT_FALSE(child<QWidget>(view.get(), "environmentCard")->isVisibleTo(view.get()));
        EXPECT_TRUE(child<QWidget>(view.get(), "settingsCard")->isVisibleTo(view.get()));
    }
    vm().setActiveEnvironmentID(staging.id);
    endTurn();
    EXPECT_TRUE(child<QWidget>(view.get(), "environmentCard")->isVisibleTo(view.get()));
}

TEST_F(EnvironmentsViewTest, AddTrimsTheKeyClearsBothFieldsAndKeepsTheSecretFlag) {
    const struct {
        QString key;
        QString value;
        std::size_t rowsAfter;
        std::string storedKey;
        std::string storedValue;
    } cases[] = {
        {QStringLiteral("   "), QStringLiteral("lost"), 2, "", ""}, // a blank key adds nothing
        {QStringLiteral(" region "), QStringLiteral(" eu west "), 3, "region", " eu west "},
        {QStringLiteral("çağrı"), QStringLiteral("değer"), 4, "çağrı", "değer"},
    };
    for (const auto& c : cases) {
        add(c.key, c.value);
        EXPECT_EQ(variables().size(), c.rowsAfter) << c.key.toStdString();
        if (!c.storedKey.empty()) {
            EXPECT_EQ(variables().back().key, c.storedKey);
            EXPECT_EQ(variables().back().value, c.storedValue);
            EXPECT_FALSE(variables().back().isSecret);
        }
        EXPECT_EQ(field("variableKeyField")->text(), QString()) << "cleared either way";
        EXPECT_EQ(field("variableValueField")->text(), QString());
        EXPECT_EQ(view->form().key, "");
        EXPECT_EQ(view->form().value, "");
    }
    EXPECT_EQ(workspaceSaves().back().environments[1].variables.size(), 4u) << "saved";

    // Two secrets in a row: the toggle stays on, neither value is ever shown.
    click(button("secretToggle"));
    add(QStringLiteral("apiKey"), QStringLiteral("k-123"));
    EXPECT_TRUE(child<QCheckBox>(view.get(), "secretToggle")->isChecked());
    add(QStringLiteral("pin"), QStringLiteral("4711"));
    ASSERT_EQ(variables().size(), 6u);
    EXPECT_TRUE(variables()[4].isSecret);
    EXPECT_TRUE(variables()[5].isSecret);
    const std::vector<QString> rows = shownRows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[4], QStringLiteral("{{apiKey}} •••••••• (Keyring)"));
    EXPECT_EQ(rows[5], QStringLiteral("{{pin}} •••••••• (Keyring)"));

    // The trash button removes its own row.
    QWidget* first = nullptr;
    for (QWidget* row : view->findChildren<QWidget*>(QStringLiteral("variableRow")))
        if (!first || row->y() < first->y())
            first = row;
    click(child<QAbstractButton>(first, "removeVariableButton"));
    endTurn();
    ASSERT_EQ(variables().size(), 5u);
    EXPECT_EQ(variables()[0].key, "token");
}

TEST_F(EnvironmentsViewTest, TheClipboardExportAlwaysMasksAndTheFileExportFollowsTheToggle) {
    const std::filesystem::path file = folder.path() / "out.env";
    const auto exportToFile = [&] {
        click(button("exportFileButton"));
        filePanels->answerSave(file);
        endTurn();
        return fileText(file);
    };
    EXPECT_TRUE(child<QCheckBox>(view.get(), "maskSecretsToggle")->isChecked());
    EXPECT_EQ(exportToFile().find("s3cret"), std::string::npos) << "masked while the toggle is on";

    click(button("maskSecretsToggle"));
    EXPECT_FALSE(view->form().exportMaskSecrets);
    click(button("exportMaskedButton"));
    ASSERT_TRUE(clipboard->contents);
    EXPECT_EQ(clipboard->contents->find("s3cret"), std::string::npos)
        << "the clipboard export masks whatever the toggle says";
    EXPECT_NE(clipboard->contents->find("host=stage.test"), std::string::npos);
    EXPECT_NE(exportToFile().find("token=s3cret"), std::string::npos) << "plain while it is off";
}

TEST_F(EnvironmentsViewTest, ARefusedLaunchAtLoginChangeSnapsTheToggleBack) {
    auto* toggle = child<QCheckBox>(view.get(), "launchAtLoginToggle");
    launchAtLogin->refuses = true;
    click(toggle);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(vm().launchAtLogin());
    EXPECT_TRUE(vm().toastIsError());
    endTurn();
    EXPECT_FALSE(toggle->isChecked());

    launchAtLogin->refuses = false;
    click(toggle);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(launchAtLogin->requests, (std::vector<bool>{true, true}));
}

TEST_F(EnvironmentsViewTest, ChoosingALanguageSetsTheModelStoresItAndRetranslatesAtOnce) {
    auto* list = child<QComboBox>(view.get(), "languagePickerList");
    const int turkish = list->findData(QStringLiteral("tr"));
    ASSERT_GE(turkish, 0);
    list->setCurrentIndex(turkish);
    emit list->activated(turkish);

    EXPECT_EQ(vm().language(), tarn::TarnLanguage::tr);
    EXPECT_EQ(preference.current(), tarn::TarnLanguage::tr);
    ASSERT_FALSE(announced.empty());
    EXPECT_EQ(announced.back(), tarn::TarnLanguage::tr);
    EXPECT_EQ(languageOfModelWhenAnnounced.back(), tarn::TarnLanguage::tr)
        << "the model holds the language by the time it is announced";

    endTurn();
    EXPECT_EQ(label("environmentHeading"), QStringLiteral("Ortam Değişkenleri — Staging"));
    EXPECT_EQ(label("languageLabel"), QStringLiteral("Arayüz Dili"));
    EXPECT_EQ(button("addVariableButton")->text(), QStringLiteral("Ekle"));
    EXPECT_EQ(button("exportMaskedButton")->text(), QStringLiteral(".env Dışa Aktar (Maskeli)"));
    EXPECT_EQ(button("launchAtLoginToggle")->text(), QStringLiteral("Oturum Açılışında Başlat"));
    EXPECT_EQ(field("variableKeyField")->placeholderText(), QStringLiteral("variableName"));
    EXPECT_TRUE(label("secretNote").contains(QStringLiteral("sistem anahtarlığında")));
}

} // namespace
} // namespace quiller
