#include "QuillerApp/Views/CollectionImportSheet.h"
#include "QuillerApp/Views/CollectionRunnerAndBenchmarkView.h"
#include "QuillerApp/Views/RunStepList.h"
#include "QuillerApp/Views/RunnerPresentation.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnProgressIndicator.h"
#include "TarnKit/Design/TarnStepper.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "support/QtViewModelTest.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace quiller {
namespace {

using RunnerPresentation::StepRow;

CollectionRunStepResult step(int status, int passed, int total, double durationMs = 12.5,
                             std::optional<std::string> error = std::nullopt) {
    CollectionRunStepResult result;
    result.requestName = "List users";
    result.method = TarnHTTPMethod::post;
    result.resolvedURL = "https://api.test/users";
    result.statusCode = status;
    result.durationMs = durationMs;
    result.passedAssertions = passed;
    result.totalAssertions = total;
    result.errorMessage = std::move(error);
    return result;
}

TEST(RunnerPresentation, StepVerdictIconAndFigures) {
    const struct {
        const char* what;
        CollectionRunStepResult result;
        bool passed;
        std::string detail;
        std::string status;
        std::string duration;
        std::string assertions;
    } cases[] = {
        {"200, all assertions", step(200, 2, 2), true, "https://api.test/users", "HTTP 200", "13ms",
         "2/2 tests"},
        {"a redirect passes", step(302, 1, 1, 0.4), true, "https://api.test/users", "HTTP 302",
         "0ms", "1/1 tests"},
        {"no assertions: the status decides", step(204, 0, 0), true, "https://api.test/users",
         "HTTP 204", "13ms", "0/0 tests"},
        {"one failed assertion", step(200, 1, 2), false, "https://api.test/users", "HTTP 200",
         "13ms", "1/2 tests"},
        {"client error", step(404, 0, 0), false, "https://api.test/users", "HTTP 404", "13ms",
         "0/0 tests"},
        {"199 is below the range", step(199, 0, 0), false, "https://api.test/users", "HTTP 199",
         "13ms", "0/0 tests"},
        {"400 is above it", step(400, 0, 0), false, "https://api.test/users", "HTTP 400", "13ms",
         "0/0 tests"},
        {"an error beats a 200", step(200, 0, 0, 3, "Timed out"), false, "Timed out", "HTTP 200",
         "3ms", "0/0 tests"},
        {"a failed send", step(0, 0, 1, std::numeric_limits<double>::quiet_NaN(), "Offline"), false,
         "Offline", "HTTP 0", "0ms", "0/1 tests"},
    };
    for (const auto& c : cases) {
        const StepRow row = RunnerPresentation::stepRow(c.result);
        EXPECT_EQ(row.passed, c.passed) << c.what;
        EXPECT_EQ(row.symbol, c.passed ? "checkmark.circle.fill" : "xmark.octagon.fill") << c.what;
        EXPECT_EQ(row.symbolRole, c.passed ? ColourRole::success : ColourRole::danger) << c.what;
        EXPECT_EQ(row.method, "POST") << c.what;
        EXPECT_EQ(row.name, "List users") << c.what;
        EXPECT_EQ(row.detail, c.detail) << c.what;
        EXPECT_EQ(row.status, c.status) << c.what;
        EXPECT_EQ(row.duration, c.duration) << c.what;
        EXPECT_EQ(row.assertions, c.assertions) << c.what;
    }
}

TEST(RunnerPresentation, SummaryCountsPassingStepsAndTurnsToWarningOnOneFailure) {
    using Summary = RunnerPresentation::RunSummary;
    EXPECT_EQ(RunnerPresentation::runSummary({step(200, 1, 1), step(302, 0, 0)}),
              (Summary{"2 / 2 PASSED", ColourRole::success}));
    EXPECT_EQ(RunnerPresentation::runSummary(
                  {step(200, 1, 1), step(200, 1, 2), step(500, 0, 0), step(201, 0, 0)}),
              (Summary{"2 / 4 PASSED", ColourRole::warning}));
}

TEST(RunnerPresentation, MetricTilesInTheirOrderAndFormats) {
    LoadBenchmarkReport report;
    report.totalRequests = 200;
    report.successCount = 198;
    report.requestsPerSecond = 1234.25; // "%.1f" of the binary value: 1234.2
    report.avgMs = 12.5;
    report.p50Ms = 11.49;
    report.p95Ms = std::numeric_limits<double>::infinity();
    report.p99Ms = 1000000;
    const auto tiles = RunnerPresentation::metricTiles(report);
    const RunnerPresentation::MetricTile expected[] = {
        {"Req / sec", "1234.2"}, {"Success", "198/200"}, {"Avg", "13 ms"},
        {"p50", "11 ms"},        {"p95", "0 ms"},        {"p99", "1000000 ms"},
    };
    ASSERT_EQ(tiles.size(), std::size(expected));
    for (std::size_t i = 0; i < tiles.size(); ++i)
        EXPECT_EQ(tiles[i], expected[i]) << i;

    report.requestsPerSecond = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(RunnerPresentation::metricTiles(report)[0].value, "0.0");
}

TEST(RunnerPresentation, SampleOpenAPIDocumentIsNineLinesOfOpenAPIWithoutATrailingBreak) {
    const std::string_view sample = RunnerPresentation::sampleOpenAPIDocument();
    EXPECT_EQ(std::count(sample.begin(), sample.end(), '\n'), 8);
    EXPECT_EQ(sample.front(), '{');
    EXPECT_EQ(sample.back(), '}');
    EXPECT_NE(sample.find("  \"openapi\": \"3.0.0\",\n"), std::string_view::npos);
    EXPECT_NE(sample.find("    \"/post\": { \"post\": { \"summary\": \"Create Pet\" } }\n  }\n}"),
              std::string_view::npos);
}

class RunnerViewTest : public testing::QtViewModelTest {
protected:
    RunnerViewTest() {
        view = std::make_unique<CollectionRunnerAndBenchmarkView>(vm(), *bridge);
        view->resize(1100, 800);
        view->show();
        endTurn();
    }
    ~RunnerViewTest() override { view.reset(); }

    template <class T = QWidget> T* child(const char* name) {
        T* found = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString labelText(const char* name) { return child<QLabel>(name)->text(); }
    bool spinnerShows(const char* button) {
        return child<tarn::TarnProgressIndicator>((std::string(button) + "Progress").c_str())
            ->isVisible();
    }
    void click(QAbstractButton* button) {
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        endTurn();
    }
    // Runs the background jobs; their results arrive on the next turn and
    // the bridge delivers them on the one after.
    void finishJobs() {
        background->runAll();
        endTurn();
        endTurn();
    }
    static QColor colourOf(QLabel* label) { return label->palette().color(QPalette::WindowText); }

    std::unique_ptr<CollectionRunnerAndBenchmarkView> view;
};

TEST_F(RunnerViewTest, ResultsReplaceTheDescriptionWithTheSummaryAndOneRowPerStep) {
    EXPECT_TRUE(child("runnerDescription")->isVisible());
    EXPECT_FALSE(child("runSummary")->isVisible());
    EXPECT_FALSE(child("runStepList")->isVisible());

    vm().setCollectionRunResults({step(200, 1, 1), step(302, 0, 0), step(201, 2, 2)});
    endTurn();
    EXPECT_FALSE(child("runnerDescription")->isVisible());
    EXPECT_EQ(labelText("runSummary"), QStringLiteral("3 / 3 PASSED"));
    EXPECT_EQ(colourOf(child<QLabel>("runSummary")),
              roleColour(ColourRole::success, studioAccent()));
    auto* list = child<RunStepList>("runStepList");
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->height(), 3 * list->rowHeight() + 2 * RunStepList::rowGap);

    vm().setCollectionRunResults({step(200, 1, 1), step(200, 1, 2)});
    endTurn();
    EXPECT_EQ(labelText("runSummary"), QStringLiteral("1 / 2 PASSED"));
    EXPECT_EQ(colourOf(child<QLabel>("runSummary")),
              roleColour(ColourRole::warning, studioAccent()));
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->rows()[1].symbol, "xmark.octagon.fill");

    vm().setCollectionRunResults({});
    endTurn();
    EXPECT_TRUE(child("runnerDescription")->isVisible());
    EXPECT_FALSE(child("runSummary")->isVisible());
}

TEST_F(RunnerViewTest, RunButtonRunsTheCollectionAndShowsProgressWhileItRuns) {
    auto* run = child<QAbstractButton>("runCollectionButton");
    EXPECT_FALSE(spinnerShows("runCollectionButton"));
    click(run);
    EXPECT_TRUE(vm().isRunningCollection());
    EXPECT_FALSE(run->isEnabled());
    EXPECT_TRUE(spinnerShows("runCollectionButton"));
    EXPECT_TRUE(run->text().isEmpty());

    finishJobs();
    ASSERT_EQ(runner->runCalls.size(), 1u);
    EXPECT_FALSE(vm().isRunningCollection());
    EXPECT_TRUE(run->isEnabled());
    EXPECT_FALSE(spinnerShows("runCollectionButton"));
    EXPECT_EQ(run->text(), QStringLiteral("Run Entire Collection"));
    EXPECT_EQ(child<RunStepList>("runStepList")->rowCount(),
              static_cast<int>(runner->runCalls[0].collection.requests.size()));
}

TEST_F(RunnerViewTest, SteppersHoldTheirBoundsAndStepsAndTheBenchmarkUsesThem) {
    auto* requests = child<tarn::TarnStepper>("requestsStepper");
    auto* workers = child<tarn::TarnStepper>("workersStepper");
    EXPECT_EQ(requests->label()->text(), QStringLiteral("Requests: 20"));
    EXPECT_EQ(workers->label()->text(), QStringLiteral("Workers: 5"));

    click(requests->incrementButton());
    EXPECT_EQ(view->totalRequests(), 25);
    while (requests->decrementButton()->isEnabled())
        click(requests->decrementButton());
    EXPECT_EQ(view->totalRequests(), 5);
    EXPECT_EQ(requests->label()->text(), QStringLiteral("Requests: 5"));
    EXPECT_TRUE(requests->incrementButton()->isEnabled());
    int clicks = 0;
    while (requests->incrementButton()->isEnabled()) {
        click(requests->incrementButton());
        ASSERT_EQ(view->totalRequests() % 5, 0);
        ++clicks;
    }
    EXPECT_EQ(view->totalRequests(), 200);
    EXPECT_EQ(clicks, (200 - 5) / 5);
    EXPECT_FALSE(requests->incrementButton()->isEnabled());

    while (workers->incrementButton()->isEnabled())
        click(workers->incrementButton());
    EXPECT_EQ(view->concurrency(), 24);
    while (workers->decrementButton()->isEnabled())
        click(workers->decrementButton());
    EXPECT_EQ(view->concurrency(), 1);
    click(workers->incrementButton());

    auto* benchmark = child<QAbstractButton>("runBenchmarkButton");
    click(benchmark);
    EXPECT_FALSE(benchmark->isEnabled());
    EXPECT_TRUE(spinnerShows("runBenchmarkButton"));
    finishJobs();
    ASSERT_EQ(runner->benchmarkCalls.size(), 1u);
    EXPECT_EQ(runner->benchmarkCalls[0].totalRequests, 200);
    EXPECT_EQ(runner->benchmarkCalls[0].concurrency, 2);
    EXPECT_TRUE(benchmark->isEnabled());
    EXPECT_TRUE(child("benchmarkMetrics")->isVisible());
}

TEST_F(RunnerViewTest, TargetLineAndBenchmarkFollowTheActiveRequest) {
    const APIRequestSpec active = *vm().activeRequest();
    EXPECT_EQ(labelText("benchmarkTarget").toStdString(),
              "Target: " + std::string(rawValue(active.method)) + " " + active.url);
    EXPECT_FALSE(child("benchmarkMetrics")->isVisible());

    vm().updateRequest(active.id, [](APIRequestSpec& spec) {
        spec.method = TarnHTTPMethod::delete_;
        spec.url = "{{baseUrl}}/items/<b>1</b>";
    });
    endTurn();
    EXPECT_EQ(labelText("benchmarkTarget"),
              QStringLiteral("Target: DELETE {{baseUrl}}/items/<b>1</b>"));
    EXPECT_EQ(child<QLabel>("benchmarkTarget")->textFormat(), Qt::PlainText);

    vm().setCollections({});
    endTurn();
    EXPECT_FALSE(child("benchmarkTarget")->isVisible());
    EXPECT_FALSE(child<QAbstractButton>("runBenchmarkButton")->isEnabled());

    LoadBenchmarkReport report;
    report.totalRequests = 20;
    report.successCount = 20;
    report.requestsPerSecond = 40.05;
    vm().setLatestBenchmark(report);
    endTurn();
    auto* tiles = child("benchmarkMetrics");
    EXPECT_TRUE(tiles->isVisible());
    EXPECT_EQ(tiles->findChild<QLabel*>(QStringLiteral("metricValue"))->text(),
              QStringLiteral("40.0"));
}

TEST_F(RunnerViewTest, ImportSheetKeepsTheDraftAcrossCancelAndImport) {
    EXPECT_EQ(view->importDraft(), RunnerPresentation::sampleOpenAPIDocument());
    click(child<QAbstractButton>("importSpecButton"));
    ASSERT_TRUE(view->isShowingSpecImporter());
    CollectionImportSheet* sheet = view->collectionImportSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(tarn::qt::toStdString(sheet->editor()->toPlainText()),
              RunnerPresentation::sampleOpenAPIDocument());

    sheet->editor()->setFocus();
    sheet->editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(sheet->editor(), " ");
    QTest::keyClick(sheet->editor(), Qt::Key_Backspace);
    QTest::keyClick(sheet->editor(), Qt::Key_Backspace);
    const std::string edited =
        std::string(RunnerPresentation::sampleOpenAPIDocument())
            .substr(0, RunnerPresentation::sampleOpenAPIDocument().size() - 1);
    EXPECT_EQ(view->importDraft(), edited);

    QTest::keyClick(sheet->editor(), Qt::Key_Escape);
    endTurn();
    EXPECT_FALSE(view->isShowingSpecImporter());
    EXPECT_EQ(view->collectionImportSheet(), nullptr);

    click(child<QAbstractButton>("importSpecButton"));
    sheet = view->collectionImportSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(tarn::qt::toStdString(sheet->editor()->toPlainText()), edited);

    // Put the brace back and import: a new collection, the sheet closes, and
    // the draft stays as the user left it.
    sheet->editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(sheet->editor(), "}");
    const std::size_t collectionsBefore = vm().collections().size();
    click(sheet->findChild<QAbstractButton*>(QStringLiteral("collectionImportConfirm")));
    EXPECT_EQ(vm().collections().size(), collectionsBefore + 1);
    EXPECT_FALSE(view->isShowingSpecImporter());
    EXPECT_EQ(view->importDraft(), RunnerPresentation::sampleOpenAPIDocument());

    // A document that is no specification still closes the sheet; the
    // toast reports the failure.
    click(child<QAbstractButton>("importSpecButton"));
    sheet = view->collectionImportSheet();
    sheet->editor()->selectAll();
    QTest::keyClicks(sheet->editor(), "nope");
    click(sheet->findChild<QAbstractButton*>(QStringLiteral("collectionImportConfirm")));
    EXPECT_FALSE(view->isShowingSpecImporter());
    EXPECT_TRUE(vm().toastIsError());
    EXPECT_EQ(vm().collections().size(), collectionsBefore + 1);
    EXPECT_EQ(view->importDraft(), "nope");
}

TEST_F(RunnerViewTest, LanguageChangesTitlesAndButtonsButNotTheFigures) {
    vm().setCollectionRunResults({step(200, 1, 1)});
    click(child<QAbstractButton>("importSpecButton"));
    endTurn();
    const QString target = labelText("benchmarkTarget");

    vm().setLanguage(tarn::TarnLanguage::tr);
    endTurn();
    EXPECT_EQ(child<QAbstractButton>("runCollectionButton")->text(),
              QStringLiteral("Tüm Koleksiyonu Çalıştır"));
    EXPECT_EQ(child<QAbstractButton>("importSpecButton")->text(),
              QStringLiteral("OpenAPI / Postman Aktar"));
    EXPECT_EQ(child<QAbstractButton>("runBenchmarkButton")->text(),
              QStringLiteral("Yük Testi Başlat"));
    EXPECT_EQ(child<QAbstractButton>("collectionImportCancel")->text(), QStringLiteral("İptal"));
    EXPECT_EQ(child<QLabel>("collectionImportTitle")->text(),
              QStringLiteral("OpenAPI 3.0 veya Postman v2.1 JSON İçe Aktar"));
    EXPECT_EQ(labelText("runSummary"), QStringLiteral("1 / 1 PASSED"));
    EXPECT_EQ(child<tarn::TarnStepper>("requestsStepper")->label()->text(),
              QStringLiteral("Requests: 20"));
    EXPECT_EQ(labelText("benchmarkTarget"), target);
}

} // namespace
} // namespace quiller
