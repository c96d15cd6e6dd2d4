#include "QuillerApp/Views/LocalProxyAndMockView.h"
#include "QuillerApp/Views/MockRouteForm.h"
#include "QuillerApp/Views/ViewParts.h"
#include "ScreenTestSupport.h"
#include "support/QtViewModelTest.h"

#include <QLabel>
#include <QLineEdit>
#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace quiller {
namespace {

using testing::child;
using testing::click;
using testing::typeText;

TEST(MockRouteFormTest, TheRuleFollowsTheFormAsTyped) {
    const struct {
        MockRouteFormState form;
        std::string method;
        std::string path;
        int status;
    } cases[] = {
        {{}, "GET", "/v1/custom", 200},
        {{.method = "post", .path = "v1", .statusText = "201"}, "post", "/v1", 201},
        {{.method = "*", .path = "", .statusText = "204"}, "*", "/", 204},
        {{.path = "/", .statusText = " 200"}, "GET", "/", 200},
        {{.path = "//x", .statusText = "404 "}, "GET", "//x", 200},
        {{.statusText = "+201"}, "GET", "/v1/custom", 201},
        {{.statusText = "-5"}, "GET", "/v1/custom", -5},
        {{.statusText = "0"}, "GET", "/v1/custom", 0},
        {{.statusText = "99999"}, "GET", "/v1/custom", 99999}, // kept; the server answers 500
        {{.statusText = ""}, "GET", "/v1/custom", 200},
        {{.statusText = "OK"}, "GET", "/v1/custom", 200},
        {{.statusText = "20x"}, "GET", "/v1/custom", 200},
        {{.statusText = "+"}, "GET", "/v1/custom", 200},
        {{.statusText = "-"}, "GET", "/v1/custom", 200},
        {{.statusText = "+-5"}, "GET", "/v1/custom", 200},
        {{.statusText = "++5"}, "GET", "/v1/custom", 200},
        {{.statusText = "2147483648"}, "GET", "/v1/custom", 200},
        {{.statusText = "-99999999999999999999"}, "GET", "/v1/custom", 200},
        {{.statusText = "2147483647"}, "GET", "/v1/custom", INT_MAX},
        {{.statusText = "٢٠٠"}, "GET", "/v1/custom", 200}, // Arabic-Indic digits are no number here
    };
    for (const auto& c : cases) {
        const MockRouteRule rule = routeFromForm(c.form);
        const std::string label =
            "status text '" + c.form.statusText + "', path '" + c.form.path + "'";
        EXPECT_EQ(rule.method, c.method) << label;
        EXPECT_EQ(rule.path, c.path) << label;
        EXPECT_EQ(rule.statusCode, c.status) << label;
        EXPECT_EQ(rule.contentType, "application/json") << label;
        EXPECT_EQ(rule.responseBody, c.form.body) << label;
        EXPECT_TRUE(rule.isEnabled) << label;
    }
    EXPECT_EQ(MockRouteFormState{}.body.size(), 33u);
    EXPECT_NE(routeFromForm({}).id, routeFromForm({}).id) << "every rule gets its own identifier";
}

class MockViewTest : public testing::QtViewModelTest {
protected:
    MockViewTest() {
        vm().setMockRoutes({});
        view = std::make_unique<LocalProxyAndMockView>(vm(), *bridge);
        view->resize(1100, 700);
        view->show();
        endTurn();
    }

    QString text(const char* name) { return child<QLabel>(view.get(), name)->text(); }
    QLineEdit* field(const char* name) { return child<QLineEdit>(view.get(), name); }
    QAbstractButton* button(const char* name) { return child<QAbstractButton>(view.get(), name); }
    // The rows of a list, top to bottom, by the text of one of their labels.
    std::vector<QString> rowTexts(const char* rowName, const char* labelName) {
        std::vector<std::pair<int, QString>> rows;
        for (QWidget* row : view->findChildren<QWidget*>(QString::fromUtf8(rowName)))
            rows.emplace_back(row->y(), child<QLabel>(row, labelName)->text());
        std::sort(rows.begin(), rows.end());
        std::vector<QString> texts;
        texts.reserve(rows.size());
        for (auto& [y, text] : rows)
            texts.push_back(text);
        return texts;
    }
    void addRoute() {
        click(button("addRouteButton"));
        endTurn();
    }

    std::unique_ptr<LocalProxyAndMockView> view;
};

TEST_F(MockViewTest, PlusPutsTheRuleFirstHandsTheWholeListToTheServerSavesAndKeepsTheForm) {
    const auto updatesBefore = mockServer->routeUpdates.size();
    addRoute();
    ASSERT_EQ(vm().mockRoutes().size(), 1u);
    const MockRouteRule first = vm().mockRoutes()[0];
    EXPECT_EQ(first.method, "GET");
    EXPECT_EQ(first.path, "/v1/custom");
    EXPECT_EQ(first.statusCode, 200);
    EXPECT_EQ(first.responseBody, R"({"ok": true, "source": "Quiller"})");

    // A lower-case method and a path without its slash, typed into the form.
    testing::clearField(field("routeMethodField"));
    typeText(field("routeMethodField"), QStringLiteral("post"));
    testing::clearField(field("routePathField"));
    typeText(field("routePathField"), QStringLiteral("v1"));
    testing::clearField(field("routeStatusField"));
    typeText(field("routeStatusField"), QStringLiteral("+201"));
    addRoute();
    // The same route again: both stay, the newer first.
    addRoute();

    ASSERT_EQ(vm().mockRoutes().size(), 3u);
    EXPECT_EQ(vm().mockRoutes()[0].method, "post");
    EXPECT_EQ(vm().mockRoutes()[0].path, "/v1");
    EXPECT_EQ(vm().mockRoutes()[0].statusCode, 201);
    EXPECT_NE(vm().mockRoutes()[0].id, vm().mockRoutes()[1].id);
    EXPECT_EQ(vm().mockRoutes()[2], first);

    ASSERT_EQ(mockServer->routeUpdates.size(), updatesBefore + 3);
    EXPECT_EQ(mockServer->routeUpdates.back(), vm().mockRoutes()) << "the whole list, in order";
    EXPECT_EQ(workspaceSaves().back().mockRoutes, vm().mockRoutes());

    // The form keeps what was typed.
    EXPECT_EQ(field("routeMethodField")->text(), QStringLiteral("post"));
    EXPECT_EQ(field("routePathField")->text(), QStringLiteral("v1"));
    EXPECT_EQ(view->form().statusText, "+201");
    EXPECT_EQ(
        rowTexts("routeRow", "routeText"),
        (std::vector<QString>{QStringLiteral("post /v1 → 201"), QStringLiteral("post /v1 → 201"),
                              QStringLiteral("GET /v1/custom → 200")}));

    // The trash button of the last row removes that rule only.
    QWidget* lastRow = nullptr;
    for (QWidget* row : view->findChildren<QWidget*>(QStringLiteral("routeRow")))
        if (!lastRow || row->y() > lastRow->y())
            lastRow = row;
    click(child<QAbstractButton>(lastRow, "removeRouteButton"));
    endTurn();
    ASSERT_EQ(vm().mockRoutes().size(), 2u);
    EXPECT_EQ(mockServer->routeUpdates.back(), vm().mockRoutes());
    EXPECT_EQ(rowTexts("routeRow", "routeText").size(), 2u);
}

TEST_F(MockViewTest, TheHeaderFollowsTheServerAndThePortFieldIsLockedWhileItRuns) {
    typeText(field("proxyPortField"), QStringLiteral("0"));
    EXPECT_EQ(vm().proxyPortText(), "87870");
    testing::clearField(field("proxyPortField"));
    typeText(field("proxyPortField"), QStringLiteral("9090"));
    EXPECT_EQ(vm().proxyPortText(), "9090");
    EXPECT_EQ(workspaceSaves().back().proxyPort, 9090);

    const auto* dot = child<StatusDot>(view.get(), "proxyStatusDot");
    EXPECT_FALSE(dot->isLit());
    EXPECT_EQ(text("proxyTitle"), QStringLiteral("Local HTTP Capture & Mock Server Stopped"));
    EXPECT_EQ(button("proxyToggleButton")->text(), QStringLiteral("Start Server"));

    click(button("proxyToggleButton"));
    endTurn();
    ASSERT_EQ(mockServer->starts, std::vector<std::uint16_t>{9090});
    EXPECT_TRUE(dot->isLit());
    EXPECT_EQ(text("proxyTitle"), QStringLiteral("http://127.0.0.1:9090"));
    EXPECT_FALSE(field("proxyPortField")->isEnabled());
    EXPECT_EQ(button("proxyToggleButton")->text(), QStringLiteral("Stop Server"));

    click(button("proxyToggleButton"));
    endTurn();
    EXPECT_EQ(mockServer->stops, 1);
    EXPECT_FALSE(dot->isLit());
    EXPECT_TRUE(field("proxyPortField")->isEnabled());
    EXPECT_EQ(field("proxyPortField")->text(), QStringLiteral("9090"));

    // A failure to listen leaves the stopped state.
    mockServer->startError = "Address already in use";
    click(button("proxyToggleButton"));
    endTurn();
    EXPECT_FALSE(dot->isLit());
    EXPECT_TRUE(field("proxyPortField")->isEnabled());
    EXPECT_EQ(vm().toastMessage(), "Address already in use");
}

TEST_F(MockViewTest, CapturesAreCountedListedNewestFirstAndReplayInTheClient) {
    EXPECT_EQ(text("capturedHeading"), QStringLiteral("Captured Local Requests (0)"));
    mockServer->capture(
        CapturedProxyExchange{.method = "GET", .path = "/first", .statusCode = 404});
    mockServer->capture(CapturedProxyExchange{
        .method = "POST", .path = "/second?x=1", .requestBody = R"({"a":1})", .statusCode = 201});
    endTurn();
    endTurn();
    EXPECT_EQ(text("capturedHeading"), QStringLiteral("Captured Local Requests (2)"));
    EXPECT_EQ(
        rowTexts("capturedRow", "capturedText"),
        (std::vector<QString>{QStringLiteral("POST /second?x=1"), QStringLiteral("GET /first")}));
    EXPECT_EQ(rowTexts("capturedRow", "capturedStatus"),
              (std::vector<QString>{QStringLiteral("201"), QStringLiteral("404")}));

    vm().setSelectedTab(QuillerTab::proxy);
    QWidget* newest = nullptr;
    for (QWidget* row : view->findChildren<QWidget*>(QStringLiteral("capturedRow")))
        if (!newest || row->y() < newest->y())
            newest = row;
    click(child<QAbstractButton>(newest, "replayButton"));
    EXPECT_EQ(vm().selectedTab(), QuillerTab::client);
    ASSERT_TRUE(vm().activeRequest());
    EXPECT_EQ(vm().activeRequest()->name, "Replay POST /second?x=1");
    EXPECT_EQ(vm().activeRequest()->method, TarnHTTPMethod::post);
    EXPECT_EQ(vm().activeRequest()->bodyText, R"({"a":1})");
}

TEST_F(MockViewTest, SwitchingTheLanguageChangesOnlyTheTranslatedTexts) {
    mockServer->capture(CapturedProxyExchange{.method = "GET", .path = "/x", .statusCode = 200});
    endTurn();
    endTurn();
    const struct {
        tarn::TarnLanguage language;
        const char* routes;
        const char* captured;
        const char* stopped;
        const char* start;
        const char* replay;
    } cases[] = {
        {tarn::TarnLanguage::tr, "Özel Mock Rotaları", "Yakalanan Yerel İstekler (1)",
         "Yerel HTTP Yakalama & Mock Sunucusu Durduruldu", "Sunucuyu Başlat", "Tekrarla"},
        {tarn::TarnLanguage::en, "Custom Mock Routes", "Captured Local Requests (1)",
         "Local HTTP Capture & Mock Server Stopped", "Start Server", "Replay"},
    };
    for (const auto& c : cases) {
        vm().setLanguage(c.language);
        endTurn();
        EXPECT_EQ(text("routesHeading"), QString::fromUtf8(c.routes));
        EXPECT_EQ(text("capturedHeading"), QString::fromUtf8(c.captured));
        EXPECT_EQ(text("proxyTitle"), QString::fromUtf8(c.stopped));
        EXPECT_EQ(button("proxyToggleButton")->text(), QString::fromUtf8(c.start));
        EXPECT_EQ(button("replayButton")->text(), QString::fromUtf8(c.replay));
        EXPECT_EQ(text("proxyPortLabel"), QStringLiteral("Port:"));
        EXPECT_EQ(button("addRouteButton")->text(), QStringLiteral("+"));
        EXPECT_EQ(field("routeBodyField")->placeholderText(), QStringLiteral("Response JSON body"));
    }

    vm().setLanguage(tarn::TarnLanguage::tr);
    click(button("proxyToggleButton"));
    endTurn();
    EXPECT_EQ(text("proxyTitle"), QStringLiteral("http://127.0.0.1:8787"));
    EXPECT_EQ(button("proxyToggleButton")->text(), QStringLiteral("Durdur"));
}

TEST_F(MockViewTest, ARouteAddedBeforeAHundredKeepsTheirRowWidgets) {
    std::vector<MockRouteRule> many(100);
    for (int i = 0; i < 100; ++i)
        many[static_cast<std::size_t>(i)] =
            MockRouteRule{.method = "GET", .path = "/r" + std::to_string(i)};
    vm().setMockRoutes(many);
    endTurn();
    const QList<QWidget*> before = view->findChildren<QWidget*>(QStringLiteral("routeRow"));
    ASSERT_EQ(before.size(), 100);
    addRoute();
    const QList<QWidget*> after = view->findChildren<QWidget*>(QStringLiteral("routeRow"));
    ASSERT_EQ(after.size(), 101);
    for (QWidget* row : before)
        EXPECT_TRUE(after.contains(row)) << "a kept row was rebuilt";
    EXPECT_EQ(rowTexts("routeRow", "routeText").front(), QStringLiteral("GET /v1/custom → 200"));
    EXPECT_EQ(rowTexts("routeRow", "routeText").back(), QStringLiteral("GET /r99 → 200"));
}

} // namespace
} // namespace quiller
