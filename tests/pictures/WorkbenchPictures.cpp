// Pictures of the request workbench (the client tab) over the fixture
// workspace: with and without a response, each inspector tab over a fixed
// pair of responses, and the cURL import sheet.

#include "PictureRegistry.h"
#include "QuillerApp/Views/APIClientWorkbenchView.h"
#include "QuillerApp/Views/ClientUIState.h"
#include "QuillerApp/Views/CurlImportSheet.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "TarnKit/Design/TarnGroundBackground.h"

#include <QAbstractButton>
#include <QApplication>
#include <QVBoxLayout>
#include <memory>
#include <string>

namespace quiller::pictures {
namespace {

HTTPResponseSnapshot response(const std::string& body, double totalMs) {
    HTTPResponseSnapshot snapshot;
    snapshot.requestName = "HTTPBin JSON Get";
    snapshot.statusCode = 200;
    snapshot.bodyData = body;
    snapshot.bodyText = body;
    snapshot.prettyBodyText = JSONInspectorEngine::prettyPrint(body);
    snapshot.headers = {{"Content-Type", "application/json"},
                        {"Date", "Tue, 04 Jun 2024 09:12:44 GMT"},
                        {"Server", "gunicorn/19.9.0"},
                        {"Set-Cookie", "session=7f3a; Path=/; HttpOnly"},
                        {"Set-Cookie", "theme=dark; Path=/"}};
    snapshot.timing = TimingWaterfall{.dnsMs = 4.7,
                                      .tcpMs = 18.2,
                                      .tlsMs = 36.9,
                                      .ttfbMs = 212.4,
                                      .downloadMs = 3.1,
                                      .totalMs = totalMs};
    const ResponseAssertionRule status{.kind = AssertionKind::statusEquals, .expectedValue = "200"};
    const ResponseAssertionRule author{.kind = AssertionKind::jsonPathEquals,
                                       .targetPath = "$.slideshow.author",
                                       .expectedValue = "Yours Truly"};
    const ResponseAssertionRule latency{.kind = AssertionKind::maxLatencyMs,
                                        .expectedValue = "250"};
    snapshot.assertions = {AssertionEvaluationResult(status, true, "200"),
                           AssertionEvaluationResult(author, false, "Ada Lovelace"),
                           AssertionEvaluationResult(latency, false, "276")};
    return snapshot;
}

void giveResponses(QuillerViewModel& model) {
    model.setPreviousResponse(response(
        R"({"slideshow":{"author":"Yours Truly","date":"date of publication","slides":[)"
        R"({"title":"Wake up to WonderWidgets!","type":"all"},{"title":"Overview","type":"all"}],)"
        R"("title":"Sample Slide Show"}})",
        301.2));
    model.setLatestResponse(response(
        R"({"slideshow":{"author":"Ada Lovelace","date":"date of publication","slides":[)"
        R"({"title":"Wake up to WonderWidgets!","type":"all"},{"title":"Overview","type":"all"},)"
        R"({"title":"Analytical Engines","type":"all"}],"title":"Sample Slide Show"}})",
        275.5));
}

// The workbench on the ground backdrop at the studio's content size, with
// its own bridge; `tab` is clicked once the screen stands.
std::unique_ptr<QWidget> workbench(PictureContext& context, bool withResponses,
                                   const char* tab = nullptr) {
    QuillerViewModel& model = context.viewModel();
    if (withResponses)
        giveResponses(model);
    APIClientWorkbenchView::setAnimationsEnabled(false);
    auto ground =
        std::make_unique<tarn::TarnGroundBackground>(tarn::TarnProductPalette::deepIndigo);
    auto* bridge = new ViewModelBridge(model, ground.get());
    auto* layout = new QVBoxLayout(ground.get());
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new APIClientWorkbenchView(model, *bridge);
    layout->addWidget(view);
    ground->resize(1280, 740);
    if (tab != nullptr)
        if (auto* button = view->findChild<QAbstractButton*>(QString::fromLatin1(tab)))
            button->click();
    QApplication::processEvents();
    return ground;
}

QUILLER_PICTURE("workbench/client-empty",
                [](PictureContext& context) { return workbench(context, false); });
QUILLER_PICTURE("workbench/client-pretty",
                [](PictureContext& context) { return workbench(context, true); });
QUILLER_PICTURE("workbench/client-headers", [](PictureContext& context) {
    return workbench(context, true, "responseTab.headers");
});
QUILLER_PICTURE("workbench/client-assertions", [](PictureContext& context) {
    return workbench(context, true, "responseTab.assertions");
});
QUILLER_PICTURE("workbench/client-diff", [](PictureContext& context) {
    return workbench(context, true, "responseTab.diff");
});
QUILLER_PICTURE("workbench/client-code", [](PictureContext& context) {
    return workbench(context, true, "responseTab.code");
});
QUILLER_PICTURE("workbench/editor-headers", [](PictureContext& context) {
    return workbench(context, true, "editorTab.headers");
});
QUILLER_PICTURE("workbench/editor-assertions", [](PictureContext& context) {
    return workbench(context, true, "editorTab.assertions");
});

QUILLER_PICTURE("workbench/curl-sheet", [](PictureContext& context) {
    // The sheet alone, as it opens the first time, over the screen's backdrop.
    struct Host : QWidget {
        ClientUIState ui;
    };
    auto host = std::make_unique<Host>();
    auto* layout = new QVBoxLayout(host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    auto* sheet = new workbench::CurlImportSheet(context.viewModel(), host->ui, nullptr);
    sheet->setWindowFlags(Qt::Widget);
    layout->addWidget(sheet);
    return host;
});

} // namespace
} // namespace quiller::pictures
