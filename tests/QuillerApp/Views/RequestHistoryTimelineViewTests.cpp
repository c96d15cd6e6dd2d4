#include "QuillerApp/Views/HistoryEntryInspector.h"
#include "QuillerApp/Views/HistoryTimelineList.h"
#include "QuillerApp/Views/HistoryTimelinePresentation.h"
#include "QuillerApp/Views/RequestHistoryTimelineView.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"
#include "support/QtViewModelTest.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace quiller {
namespace {

namespace presentation = HistoryTimelinePresentation;
using presentation::StatusBadge;

RequestHistoryEntry entry(std::string name, int status, TarnHTTPMethod method = TarnHTTPMethod::get,
                          std::optional<std::string> error = std::nullopt) {
    RequestHistoryEntry made;
    made.requestName = std::move(name);
    made.statusCode = status;
    made.method = method;
    made.sanitizedURL = "https://api.test/" + made.requestName;
    made.durationMs = 12.5;
    made.responseBytes = 2048;
    made.responseSnippet = "{\"name\":\"" + made.requestName + "\"}";
    made.errorMessage = std::move(error);
    made.timestamp = std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 55));
    return made;
}

TEST(HistoryTimelinePresentation, StatusBadgeTextAndColour) {
    const struct {
        int status;
        std::optional<std::string> error;
        StatusBadge badge;
    } cases[] = {
        {0, std::nullopt, {"ERR", ColourRole::danger}},
        {199, std::nullopt, {"199", ColourRole::accent}},
        {200, "TLS handshake failed", {"ERR", ColourRole::danger}},
        {200, std::nullopt, {"200", ColourRole::success}},
        {204, std::nullopt, {"204", ColourRole::success}},
        {299, std::nullopt, {"299", ColourRole::success}},
        {302, std::nullopt, {"302", ColourRole::accent}},
        {404, std::nullopt, {"404", ColourRole::warning}},
        {503, std::nullopt, {"503", ColourRole::warning}},
        {599, std::nullopt, {"599", ColourRole::warning}},
        {600, std::nullopt, {"600", ColourRole::accent}},
        {-1, std::nullopt, {"-1", ColourRole::accent}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(presentation::statusBadge(entry("e", c.status, TarnHTTPMethod::get, c.error)),
                  c.badge)
            << c.status;
}

TEST(HistoryTimelinePresentation, MethodColours) {
    const std::pair<TarnHTTPMethod, ColourRole> cases[] = {
        {TarnHTTPMethod::get, ColourRole::success},
        {TarnHTTPMethod::post, ColourRole::warning},
        {TarnHTTPMethod::put, ColourRole::accent},
        {TarnHTTPMethod::patch, ColourRole::accent},
        {TarnHTTPMethod::delete_, ColourRole::danger},
        {TarnHTTPMethod::head, ColourRole::textSecondary},
        {TarnHTTPMethod::options, ColourRole::textSecondary},
    };
    for (const auto& [method, role] : cases)
        EXPECT_EQ(presentation::methodColour(method), role) << rawValue(method);
}

TEST(HistoryTimelinePresentation, DurationAndByteTexts) {
    const std::pair<double, const char*> durations[] = {
        {12.5, "13 ms"},
        {0.4, "0 ms"},
        {1999.5, "2000 ms"},
        {std::numeric_limits<double>::quiet_NaN(), "0 ms"},
        {std::numeric_limits<double>::infinity(), "0 ms"},
    };
    for (const auto& [ms, text] : durations)
        EXPECT_EQ(presentation::durationText(ms), text) << ms;

    const std::pair<std::int64_t, const char*> sizes[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {5 * 1024 * 1024, "5120.0 KB"},
        {-5, "-5 B"},
    };
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(presentation::formatBytes(bytes), text) << bytes;
}

TEST(HistoryTimelinePresentation, BucketLabelsTranslateOnlyAllAndErrors) {
    using B = RequestHistoryStatusBucket;
    const struct {
        B bucket;
        const char* en;
        const char* tr;
    } cases[] = {{B::all, "All", "Tümü"},
                 {B::success2xx, "2xx", "2xx"},
                 {B::clientOrServerError, "4xx-5xx", "4xx-5xx"},
                 {B::networkError, "Errors", "Hatalar"}};
    for (const auto& c : cases) {
        EXPECT_EQ(presentation::bucketLabel(c.bucket, tarn::TarnLanguage::en), c.en);
        EXPECT_EQ(presentation::bucketLabel(c.bucket, tarn::TarnLanguage::tr), c.tr);
    }
}

TEST(HistoryTimelinePresentation, SelectedEntryIsThePickedOneWhileListedElseTheNewest) {
    const std::vector<RequestHistoryEntry> listed = {entry("a", 200), entry("b", 200),
                                                     entry("c", 200)};
    const tarn::UUID gone = tarn::UUID::random();
    EXPECT_EQ(presentation::selectedIndex(listed, std::nullopt), 0u);
    EXPECT_EQ(presentation::selectedIndex(listed, listed[2].id), 2u);
    EXPECT_EQ(presentation::selectedIndex(listed, gone), 0u);
    EXPECT_EQ(presentation::selectedIndex({}, listed[0].id), std::nullopt);
    EXPECT_EQ(presentation::selectedIndex({}, std::nullopt), std::nullopt);
}

class HistoryViewTest : public testing::QtViewModelTest {
protected:
    HistoryViewTest() {
        // Newest first, as the view model keeps them.
        vm().setExecutionHistory({entry("alpha", 200), entry("beta", 404, TarnHTTPMethod::post),
                                  entry("gamma", 0, TarnHTTPMethod::get, "offline")});
        endTurn();
        makeView();
    }
    ~HistoryViewTest() override { view.reset(); }

    void makeView() {
        view = std::make_unique<RequestHistoryTimelineView>(vm(), *bridge);
        view->resize(1200, 760);
        view->show();
        endTurn();
    }

    template <class T = QWidget> T* child(const char* name) {
        T* found = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QListView* list() { return child<QListView>("historyList"); }
    QRect rowRect(int row) { return list()->visualRect(list()->model()->index(row, 0)); }
    void clickRow(int row) {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rowRect(row).center());
        endTurn();
    }
    void type(const char* text) {
        QTest::keyClicks(child<QLineEdit>("historySearch"), text);
        endTurn();
    }
    void clearSearch() {
        auto* field = child<QLineEdit>("historySearch");
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        endTurn();
    }
    std::string inspected() {
        return view->selectedEntry() ? view->selectedEntry()->requestName : "";
    }
    std::string inspectorName() { return child<QLabel>("inspectorName")->text().toStdString(); }
    bool highlighted(int row) {
        return list()->model()->index(row, 0).data(HistoryTimelineModel::selectedRole).toBool();
    }
    void openRowMenuAndTrigger(int row, const char* action) {
        emit list()->customContextMenuRequested(rowRect(row).center());
        ASSERT_NE(view->rowMenu(), nullptr);
        auto* found = view->rowMenu()->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(found, nullptr) << action;
        found->trigger();
        view->rowMenu()->close();
        endTurn();
        endTurn();
    }
    QString countText() { return child<CapsuleLabel>("historyCount")->text(); }

    std::unique_ptr<RequestHistoryTimelineView> view;
};

TEST_F(HistoryViewTest, SelectionFollowsPicksFiltersDeletesAndClear) {
    EXPECT_EQ(inspected(), "alpha");
    EXPECT_EQ(inspectorName(), "alpha");
    EXPECT_TRUE(highlighted(0));

    clickRow(1);
    EXPECT_EQ(inspected(), "beta");
    EXPECT_EQ(inspectorName(), "beta");
    EXPECT_TRUE(highlighted(1));
    EXPECT_FALSE(highlighted(0));
    clickRow(1); // tapping the selected row again changes nothing
    EXPECT_EQ(inspected(), "beta");

    // Filter beta out: the newest match takes over, the pick is kept.
    type("a");
    EXPECT_EQ(view->filteredEntries().size(), 3u); // every name has an "a"
    clearSearch();
    type("gamma");
    ASSERT_EQ(view->filteredEntries().size(), 1u);
    EXPECT_EQ(inspected(), "gamma");
    EXPECT_EQ(countText(), QStringLiteral("1 / 3"));
    ASSERT_TRUE(view->pickedEntryID());
    clearSearch();
    EXPECT_EQ(inspected(), "beta");
    EXPECT_TRUE(highlighted(1));

    // Deleting the picked entry moves the inspector to the newest entry.
    openRowMenuAndTrigger(1, "historyRowDelete");
    ASSERT_EQ(vm().executionHistory().size(), 2u);
    EXPECT_EQ(inspected(), "alpha");
    EXPECT_EQ(inspectorName(), "alpha");
    EXPECT_EQ(countText(), QStringLiteral("2 / 2"));

    // Clear empties the list and the pick and keeps the filter.
    type("alp");
    QTest::mouseClick(child<QAbstractButton>("historyClear"), Qt::LeftButton);
    endTurn();
    EXPECT_TRUE(vm().executionHistory().empty());
    EXPECT_FALSE(view->pickedEntryID());
    EXPECT_EQ(child<QLineEdit>("historySearch")->text(), QStringLiteral("alp"));
    EXPECT_EQ(countText(), QStringLiteral("0 / 0"));
    EXPECT_FALSE(child<QAbstractButton>("historyClear")->isEnabled());
    EXPECT_TRUE(child("historyEmptyState")->isVisible());
    EXPECT_FALSE(child("historySplit")->isVisible());
    EXPECT_EQ(child<QLabel>("historyEmptyMessage")->text(),
              QStringLiteral("No executed requests yet. Send a request in API Studio to record "
                             "sanitized history."));
}

TEST_F(HistoryViewTest, FiltersByMethodBucketAndSearchAndSaysWhenNothingMatches) {
    auto* picker = child<QComboBox>("historyMethodPicker");
    EXPECT_EQ(picker->itemText(0), QStringLiteral("All Methods"));
    EXPECT_EQ(picker->count(), 8);
    picker->setCurrentIndex(2);
    emit picker->activated(2); // POST
    endTurn();
    ASSERT_EQ(view->filteredEntries().size(), 1u);
    EXPECT_EQ(inspected(), "beta");

    picker->setCurrentIndex(0);
    emit picker->activated(0);
    auto* errors = child<tarn::TarnGlassButton>("historyBucketErrors");
    QTest::mouseClick(errors, Qt::LeftButton);
    endTurn();
    EXPECT_TRUE(errors->isActive());
    EXPECT_FALSE(child<tarn::TarnGlassButton>("historyBucketAll")->isActive());
    ASSERT_EQ(view->filteredEntries().size(), 1u);
    EXPECT_EQ(inspected(), "gamma");

    type("404");
    EXPECT_TRUE(view->filteredEntries().empty());
    EXPECT_EQ(countText(), QStringLiteral("0 / 3"));
    EXPECT_TRUE(child<QAbstractButton>("historyClear")->isEnabled());
    EXPECT_TRUE(child("historyEmptyState")->isVisible());
    EXPECT_EQ(child<QLabel>("historyEmptyMessage")->text(),
              QStringLiteral("No history entries match your active filters."));

    QTest::mouseClick(child<QAbstractButton>("historyBucket4xx-5xx"), Qt::LeftButton);
    endTurn();
    ASSERT_EQ(view->filteredEntries().size(), 1u);
    EXPECT_EQ(inspected(), "beta");
    EXPECT_TRUE(child("historySplit")->isVisible());
}

TEST_F(HistoryViewTest, RowsUpdateInPlaceUnlessTheListedEntriesChange) {
    auto* model = qobject_cast<HistoryTimelineModel*>(list()->model());
    ASSERT_NE(model, nullptr);
    const int resets = model->resets();
    clickRow(2);
    vm().setLanguage(tarn::TarnLanguage::tr);
    endTurn();
    EXPECT_EQ(model->resets(), resets);
    EXPECT_EQ(child<QAbstractButton>("historyClear")->text(), QStringLiteral("Temizle"));
    EXPECT_EQ(child<tarn::TarnGlassButton>("historyBucketErrors")->text(),
              QStringLiteral("Hatalar"));
    EXPECT_EQ(child<QLabel>("inspectorResultCaption")->text(), QStringLiteral("Çalıştırma Hatası"));

    std::vector<RequestHistoryEntry> grown = vm().executionHistory();
    grown.insert(grown.begin(), entry("delta", 201));
    vm().setExecutionHistory(grown);
    endTurn();
    EXPECT_EQ(model->resets(), resets + 1);
    EXPECT_EQ(inspected(), "gamma"); // the pick survives the new entry
}

TEST_F(HistoryViewTest, LoadButtonOfARowAndOfTheInspectorLoadTheEntry) {
    auto* delegate = qobject_cast<HistoryTimelineDelegate*>(list()->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      delegate->loadButtonRect(rowRect(1)).center());
    endTurn();
    EXPECT_EQ(vm().selectedTab(), QuillerTab::client);
    EXPECT_EQ(vm().activeRequest()->name, "beta");
    EXPECT_EQ(inspected(), "alpha") << "the button does not pick the row";

    vm().setSelectedTab(QuillerTab::history);
    QTest::mouseClick(child<QAbstractButton>("inspectorLoad"), Qt::LeftButton);
    endTurn();
    EXPECT_EQ(vm().activeRequest()->name, "alpha");

    QTest::mouseClick(child<QAbstractButton>("inspectorCopyURL"), Qt::LeftButton);
    EXPECT_EQ(clipboard->contents, "https://api.test/alpha");
    openRowMenuAndTrigger(2, "historyRowCopyURL");
    EXPECT_EQ(clipboard->contents, "https://api.test/gamma");
}

TEST_F(HistoryViewTest, InspectorShowsOnlyTheSectionsAnEntryHas) {
    RequestHistoryEntry withEverything = entry("full", 200, TarnHTTPMethod::post);
    withEverything.requestSnapshot.headers = {
        KeyValueRow{tarn::UUID::random(), "Authorization", "***REDACTED***", true, true},
        KeyValueRow{tarn::UUID::random(), "Accept", "application/json", true, false}};
    withEverything.requestSnapshot.bodyKind = RequestBodyKind::json;
    withEverything.requestSnapshot.bodyText = "{\"a\":1}";
    RequestHistoryEntry failedWithout = entry("bare", 0);
    failedWithout.responseSnippet.clear();
    RequestHistoryEntry errorOn200 = entry("late", 200, TarnHTTPMethod::get, "Body cut short");
    vm().setExecutionHistory({withEverything, failedWithout, errorOn200});
    endTurn();

    EXPECT_TRUE(child("inspectorHeaders")->isVisible());
    const auto values = view->findChildren<QLabel*>(QStringLiteral("inspectorHeaderValue"));
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[0]->palette().color(QPalette::WindowText),
              tarn::qColor(tarn::TarnGlassTokens::warning));
    EXPECT_EQ(values[1]->palette().color(QPalette::WindowText),
              tarn::qColor(tarn::TarnGlassTokens::textPrimary));
    EXPECT_TRUE(child("inspectorPayload")->isVisible());
    EXPECT_EQ(child<QLabel>("inspectorPayloadCaption")->text(),
              QStringLiteral("Request Payload (JSON)"));
    EXPECT_EQ(child<QLabel>("inspectorResultCaption")->text(),
              QStringLiteral("Response Preview (first 400 chars)"));
    EXPECT_EQ(child<QLabel>("inspectorBytes")->text(), QStringLiteral("2.0 KB"));
    EXPECT_EQ(child<QLabel>("inspectorDuration")->text(), QStringLiteral("13 ms"));

    clickRow(1);
    EXPECT_FALSE(child("inspectorHeaders")->isVisible());
    EXPECT_FALSE(child("inspectorPayload")->isVisible());
    EXPECT_EQ(child<QLabel>("inspectorResultCaption")->text(), QStringLiteral("Execution Error"));
    auto* result = child<QPlainTextEdit>("inspectorResultText");
    EXPECT_EQ(result->toPlainText(), QStringLiteral("—"));
    EXPECT_EQ(result->palette().color(QPalette::Text), tarn::qColor(tarn::TarnGlassTokens::danger));
    EXPECT_EQ(child<CapsuleLabel>("inspectorBadge")->text(), QStringLiteral("ERR"));

    clickRow(2);
    EXPECT_EQ(child<CapsuleLabel>("inspectorBadge")->text(), QStringLiteral("ERR"));
    EXPECT_EQ(result->toPlainText(), QStringLiteral("Body cut short"));
    EXPECT_EQ(child<QLabel>("inspectorResultCaption")->text(), QStringLiteral("Execution Error"));
}

} // namespace
} // namespace quiller
