#include "QuillerApp/Views/MainQuillerStudioView.h"
#include "QuillerApp/Views/QuillerStudioTabButton.h"
#include "TarnKit/Design/TarnToastBanner.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "support/QtViewModelTest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace quiller {
namespace {

using tarn::qt::toQString;

class StudioViewTest : public testing::QtViewModelTest {
protected:
    StudioViewTest() { MainQuillerStudioView::setAnimationsEnabled(false); }
    ~StudioViewTest() override {
        view.reset();
        MainQuillerStudioView::setAnimationsEnabled(true);
    }

    MainQuillerStudioView& makeView() {
        view = std::make_unique<MainQuillerStudioView>(vm(), *bridge, QColor(0x6a, 0x5c, 0xff));
        view->resize(1280, 760);
        view->show();
        endTurn();
        return *view;
    }
    template <class T> T* find(const char* name) {
        T* found = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QComboBox* picker() { return find<QComboBox>("environmentPicker"); }
    QuillerStudioTabButton* tabButton(QuillerTab tab) {
        return find<QuillerStudioTabButton>(("tab." + std::string(rawValue(tab))).c_str());
    }
    void clickTab(QuillerTab tab) {
        QTest::mouseClick(tabButton(tab), Qt::LeftButton);
        endTurn();
    }

    std::unique_ptr<MainQuillerStudioView> view;
};

// What the picker shows is the environment in force; showing it never writes
// the model or saves. Only the user's choice does, once.
TEST_F(StudioViewTest, EnvironmentPickerShowsTheEnvironmentInForceAndWritesOnlyAChoice) {
    const APIEnvironmentProfile dev = testing::makeEnvironment("Dev", {});
    const APIEnvironmentProfile prod = testing::makeEnvironment("Prod", {});
    const tarn::UUID deleted = tarn::UUID::random();
    const struct Case {
        const char* name;
        std::vector<APIEnvironmentProfile> environments;
        std::optional<tarn::UUID> stored;
        QString shown;
    } cases[] = {
        {"no environments", {}, std::nullopt, QString()},
        {"none stored", {dev, prod}, std::nullopt, QStringLiteral("Dev")},
        {"stored one deleted", {dev, prod}, deleted, QStringLiteral("Dev")},
        {"stored one present", {dev, prod}, prod.id, QStringLiteral("Prod")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vm().setEnvironments(c.environments);
        vm().setActiveEnvironmentID(c.stored);
        endTurn();
        const std::size_t savesBefore = workspaceSaves().size();
        makeView();

        QComboBox* box = picker();
        EXPECT_EQ(box->count(), static_cast<int>(c.environments.size()));
        EXPECT_EQ(box->currentText(), c.shown);
        EXPECT_EQ(vm().activeEnvironmentID(), c.stored);
        EXPECT_EQ(workspaceSaves().size(), savesBefore);

        if (c.environments.empty())
            continue;
        // The user picks the second entry.
        box->setCurrentIndex(1);
        emit box->activated(1);
        endTurn();
        EXPECT_EQ(vm().activeEnvironmentID(), c.environments[1].id);
        ASSERT_EQ(workspaceSaves().size(), savesBefore + 1);
        EXPECT_EQ(workspaceSaves().back().activeEnvironmentID, c.environments[1].id);
        EXPECT_EQ(box->currentText(), toQString(c.environments[1].name));
    }
}

TEST_F(StudioViewTest, EnvironmentPickerFollowsRenamesAndNewEnvironments) {
    vm().setEnvironments({testing::makeEnvironment("Dev", {})});
    vm().setActiveEnvironmentID(std::nullopt);
    makeView();
    QComboBox* box = picker();

    std::vector<APIEnvironmentProfile> environments = vm().environments();
    environments[0].name = "Development";
    environments.push_back(testing::makeEnvironment("Staging", {}));
    vm().setEnvironments(environments);
    endTurn();
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(0), QStringLiteral("Development"));
    EXPECT_EQ(box->currentText(), QStringLiteral("Development"));

    vm().setActiveEnvironmentID(environments[1].id);
    endTurn();
    EXPECT_EQ(box->currentText(), QStringLiteral("Staging"));
}

// Each tab shows its own screen class; a switch destroys the shown screen and
// builds the new one, so whatever was half typed on a screen is gone when its
// tab comes back. Choosing the shown tab again changes nothing.
TEST_F(StudioViewTest, TabSwitchRebuildsTheScreenOfTheSelectedTab) {
    makeView();
    const struct {
        QuillerTab tab;
        const char* screen;
    } cases[] = {
        {QuillerTab::client, "quiller::APIClientWorkbenchView"},
        {QuillerTab::history, "quiller::RequestHistoryTimelineView"},
        {QuillerTab::runner, "quiller::CollectionRunnerAndBenchmarkView"},
        {QuillerTab::streaming, "quiller::StreamAndWebSocketView"},
        {QuillerTab::mcp, "quiller::MCPInspectorView"},
        {QuillerTab::proxy, "quiller::LocalProxyAndMockView"},
        {QuillerTab::environments, "quiller::EnvironmentsAndSettingsView"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        clickTab(c.tab);
        EXPECT_EQ(vm().selectedTab(), c.tab);
        EXPECT_EQ(view->shownTab(), toQString(rawValue(c.tab)));
        ASSERT_NE(view->tabScreen(), nullptr);
        EXPECT_STREQ(view->tabScreen()->metaObject()->className(), c.screen);
        for (const auto& other : cases)
            EXPECT_EQ(tabButton(other.tab)->isSelected(), other.tab == c.tab);
    }

    clickTab(QuillerTab::proxy);
    QPointer<QWidget> proxyScreen = view->tabScreen();
    auto* draft = new QLineEdit(proxyScreen);
    draft->setObjectName(QStringLiteral("halfTyped"));
    QTest::keyClicks(draft, "/users/4");

    clickTab(QuillerTab::proxy);
    EXPECT_EQ(view->tabScreen(), proxyScreen.data()) << "choosing the shown tab rebuilt it";

    clickTab(QuillerTab::client);
    EXPECT_TRUE(proxyScreen.isNull()) << "the left screen outlived the switch";
    clickTab(QuillerTab::proxy);
    EXPECT_EQ(view->tabScreen()->findChild<QLineEdit*>(QStringLiteral("halfTyped")), nullptr);
    EXPECT_EQ(view->findChildren<QWidget*>(QStringLiteral("LocalProxyAndMockView")).size(), 1);
}

TEST_F(StudioViewTest, TabSelectedElsewhereIsShown) {
    makeView();
    vm().setSelectedTab(QuillerTab::history);
    endTurn();
    EXPECT_EQ(view->shownTab(), QStringLiteral("history"));
    EXPECT_TRUE(tabButton(QuillerTab::history)->isSelected());
}

TEST_F(StudioViewTest, SelectedTabButtonTakesTheAccent) {
    makeView();
    QuillerStudioTabButton* selected = tabButton(QuillerTab::client);
    QuillerStudioTabButton* other = tabButton(QuillerTab::runner);
    EXPECT_EQ(selected->fillColor().rgb(), QColor(0x6a, 0x5c, 0xff).rgb());
    EXPECT_NEAR(selected->fillColor().alphaF(), 0.28, 0.001);
    EXPECT_EQ(selected->borderColor().rgb(), QColor(0x6a, 0x5c, 0xff).rgb());
    EXPECT_NEAR(selected->borderColor().alphaF(), 0.68, 0.001);
    EXPECT_EQ(selected->foregroundColor(), QColor(Qt::white));
    EXPECT_NE(other->fillColor(), selected->fillColor());
    EXPECT_NE(other->foregroundColor(), QColor(Qt::white));
}

// The header's texts in both languages; "Quiller" and the titles that are
// the same in both stay as they are.
TEST_F(StudioViewTest, HeaderTextsFollowTheLanguage) {
    makeView();
    const struct {
        tarn::TarnLanguage language;
        const char* subtitle;
        std::array<const char*, 7> tabs;
    } cases[] = {
        {tarn::TarnLanguage::en,
         "Offline API · SSE/WS · MCP · Local Mock Proxy",
         {"API Studio", "History", "Runner", "SSE & WS", "MCP", "Proxy", "Env"}},
        {tarn::TarnLanguage::tr,
         "Offline API · SSE/WS · MCP · Yerel Mock Proxy",
         {"API Stüdyo", "Geçmiş", "Runner", "SSE & WS", "MCP", "Proxy", "Ortam"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(tarn::rawValue(c.language)));
        vm().setLanguage(c.language);
        endTurn();
        EXPECT_EQ(find<QLabel>("studioSubtitle")->text(), QString::fromUtf8(c.subtitle));
        EXPECT_EQ(find<QLabel>("studioTitle")->text(), QStringLiteral("Quiller"));
        std::size_t i = 0;
        for (const QuillerTab tab : allCases<QuillerTab>())
            EXPECT_EQ(tabButton(tab)->text(), QString::fromUtf8(c.tabs[i++]));
    }
}

// The toast appears at the bottom, a second message replaces the text in
// place, and it goes when the model clears the message.
TEST_F(StudioViewTest, ToastShowsReplacesItsTextAndHides) {
    makeView();
    EXPECT_FALSE(view->isToastShown());

    vm().showToast("Copied cURL.", false);
    endTurn();
    ASSERT_TRUE(view->isToastShown());
    EXPECT_EQ(view->toastText(), QStringLiteral("Copied cURL."));
    auto* overlay = find<QWidget>("toastOverlay");
    EXPECT_EQ(overlay->geometry().bottom() + 1, view->height() - 22);
    EXPECT_EQ(overlay->geometry().center().x(), view->rect().center().x());

    vm().showToast("Could not parse cURL command.", true);
    endTurn();
    EXPECT_TRUE(view->isToastShown());
    EXPECT_EQ(view->toastText(), QStringLiteral("Could not parse cURL command."));
    const auto banners = view->findChildren<tarn::TarnToastBanner*>();
    ASSERT_EQ(banners.size(), 1);
    EXPECT_TRUE(banners[0]->isError());
    EXPECT_EQ(overlay->geometry().bottom() + 1, view->height() - 22);

    vm().setToastMessage(std::nullopt);
    endTurn();
    EXPECT_FALSE(view->isToastShown());
}

} // namespace
} // namespace quiller
