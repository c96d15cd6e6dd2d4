// Pictures of the runner and benchmark screen with its import sheet, and of
// the history timeline: each with content and empty, over the application's
// ground backdrop at the size the studio gives a tab.

#include "PictureRegistry.h"
#include "QuillerApp/Views/CollectionImportSheet.h"
#include "QuillerApp/Views/CollectionRunnerAndBenchmarkView.h"
#include "QuillerApp/Views/HistoryTimelineList.h"
#include "QuillerApp/Views/RequestHistoryTimelineView.h"
#include "QuillerApp/Views/RunnerPresentation.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnGroundBackground.h"

#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>
#include <chrono>
#include <memory>

namespace quiller::pictures {
namespace {

// The screen over the ground, with the bridge it observes the view model
// through (the ground owns both; the bridge goes first).
template <class Screen> std::unique_ptr<QWidget> screen(PictureContext& context, QSize size) {
    auto ground =
        std::make_unique<tarn::TarnGroundBackground>(tarn::TarnProductPalette::deepIndigo);
    auto* bridge = new ViewModelBridge(context.viewModel(), ground.get());
    auto* layout = new QVBoxLayout(ground.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new Screen(context.viewModel(), *bridge));
    ground->resize(size);
    return ground;
}

const QSize kTabSize(1280, 740);

CollectionRunStepResult runStep(std::string name, TarnHTTPMethod method, std::string url,
                                int status, double ms, int passed, int total,
                                std::optional<std::string> error = std::nullopt) {
    CollectionRunStepResult step;
    step.requestName = std::move(name);
    step.method = method;
    step.resolvedURL = std::move(url);
    step.statusCode = status;
    step.durationMs = ms;
    step.passedAssertions = passed;
    step.totalAssertions = total;
    step.errorMessage = std::move(error);
    return step;
}

void fillRunner(QuillerViewModel& model) {
    model.setCollectionRunResults({
        runStep("List Users", TarnHTTPMethod::get, "https://api.example.com/v1/users", 200, 84.4, 2,
                2),
        runStep("Create User", TarnHTTPMethod::post, "https://api.example.com/v1/users", 201, 132.5,
                3, 3),
        runStep("Old Profile Link", TarnHTTPMethod::get, "https://api.example.com/v1/me", 302, 41.2,
                0, 0),
        runStep("Update Avatar", TarnHTTPMethod::patch, "https://api.example.com/v1/me/avatar", 200,
                97.0, 1, 2),
        runStep("Delete Session", TarnHTTPMethod::delete_, "https://api.example.com/v1/session", 0,
                0, 0, 1, "Could not connect to the server."),
    });
    LoadBenchmarkReport report;
    report.totalRequests = 200;
    report.concurrency = 8;
    report.successCount = 197;
    report.failureCount = 3;
    report.requestsPerSecond = 412.34;
    report.avgMs = 18.5;
    report.p50Ms = 15.2;
    report.p95Ms = 41.7;
    report.p99Ms = 88.1;
    model.setLatestBenchmark(report);
}

QUILLER_PICTURE("runner/screen", [](PictureContext& context) {
    fillRunner(context.viewModel());
    return screen<CollectionRunnerAndBenchmarkView>(context, kTabSize);
});

QUILLER_PICTURE("runner/screen-empty", [](PictureContext& context) {
    return screen<CollectionRunnerAndBenchmarkView>(context, kTabSize);
});

QUILLER_PICTURE("runner/screen-busy", [](PictureContext& context) {
    fillRunner(context.viewModel());
    context.viewModel().setIsRunningCollection(true);
    context.viewModel().setIsBenchmarking(true);
    return screen<CollectionRunnerAndBenchmarkView>(context, QSize(1280, 420));
});

QUILLER_PICTURE("runner/import-sheet", [](PictureContext& context) {
    auto sheet = std::make_unique<CollectionImportSheet>(
        std::string(RunnerPresentation::sampleOpenAPIDocument()), context.language,
        CollectionImportSheet::Actions{}, nullptr);
    sheet->resize(sheet->sizeHint());
    return sheet;
});

RequestHistoryEntry historyEntry(std::string name, TarnHTTPMethod method, std::string url,
                                 int status, double ms, std::int64_t bytes, int minutesAgo,
                                 std::optional<std::string> error = std::nullopt) {
    RequestHistoryEntry entry;
    entry.requestName = std::move(name);
    entry.method = method;
    entry.sanitizedURL = url;
    entry.statusCode = status;
    entry.durationMs = ms;
    entry.responseBytes = bytes;
    entry.errorMessage = error;
    entry.responseSnippet = error ? *error : R"({"id":42,"name":"Ada","roles":["admin"]})";
    // A fixed moment, so the pictures stay the same from run to run.
    entry.timestamp = std::chrono::system_clock::time_point(std::chrono::seconds(1767225600)) -
                      std::chrono::minutes(minutesAgo);
    entry.requestSnapshot.url = std::move(url);
    entry.requestSnapshot.method = method;
    return entry;
}

void fillHistory(QuillerViewModel& model) {
    RequestHistoryEntry create =
        historyEntry("Create User", TarnHTTPMethod::post, "https://api.example.com/v1/users", 201,
                     132.5, 1536, 2);
    create.requestSnapshot.headers = {
        KeyValueRow{tarn::UUID::random(), "Authorization", "***REDACTED***", true, true},
        KeyValueRow{tarn::UUID::random(), "Content-Type", "application/json", true, false},
    };
    create.requestSnapshot.bodyKind = RequestBodyKind::json;
    create.requestSnapshot.bodyText = "{\n  \"name\": \"Ada\",\n  \"role\": \"admin\"\n}";
    model.setExecutionHistory({
        create,
        historyEntry("List Users", TarnHTTPMethod::get,
                     "https://api.example.com/v1/users?page=2&api_key=***REDACTED***", 200, 84.4,
                     5 * 1024 * 1024, 5),
        historyEntry("Missing Profile", TarnHTTPMethod::get, "https://api.example.com/v1/me/9", 404,
                     38.0, 120, 9),
        historyEntry("Old Link", TarnHTTPMethod::put, "https://api.example.com/v1/legacy", 302,
                     12.5, 0, 14),
        historyEntry("Delete Session", TarnHTTPMethod::delete_,
                     "https://api.example.com/v1/session", 0, 30012.0, 0, 31,
                     "The request timed out."),
        historyEntry("Server Fault", TarnHTTPMethod::options, "https://api.example.com/v1/report",
                     503, 251.7, 1023, 64),
    });
}

QUILLER_PICTURE("history/screen", [](PictureContext& context) {
    fillHistory(context.viewModel());
    return screen<RequestHistoryTimelineView>(context, kTabSize);
});

QUILLER_PICTURE("history/screen-error-selected", [](PictureContext& context) {
    fillHistory(context.viewModel());
    auto ground = screen<RequestHistoryTimelineView>(context, kTabSize);
    // As a tap on the failed entry's row does.
    auto* list = ground->findChild<QListView*>(QStringLiteral("historyList"));
    emit qobject_cast<HistoryTimelineDelegate*>(list->itemDelegate())->rowPicked(4);
    return ground;
});

QUILLER_PICTURE("history/screen-empty", [](PictureContext& context) {
    return screen<RequestHistoryTimelineView>(context, kTabSize);
});

QUILLER_PICTURE("history/screen-no-match", [](PictureContext& context) {
    fillHistory(context.viewModel());
    auto ground = screen<RequestHistoryTimelineView>(context, kTabSize);
    auto* search = ground->findChild<QLineEdit*>(QStringLiteral("historySearch"));
    search->setText(QStringLiteral("graphql"));
    emit search->textEdited(search->text());
    return ground;
});

} // namespace
} // namespace quiller::pictures
