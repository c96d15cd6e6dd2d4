// The response inspector and the numbers of its summary row.

#include "QuillerApp/Views/ResponseInspectorPane.h"
#include "QuillerApp/Views/ResponseSummaryText.h"
#include "QuillerApp/Views/WorkbenchTestSupport.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace quiller {
namespace {

using testing::WorkbenchTest;
namespace summary = ResponseSummaryText;

TEST(ResponseSummaryTextTest, RoundsTheTotalAndCutsThePhasesAsTheSummaryShowsThem) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        TimingWaterfall timing;
        const char* total;
        bool phaseLine;
        const char* phases;
    };
    const Case cases[] = {
        {{.ttfbMs = 80, .totalMs = 12.5}, "13 ms", false, "DNS 0 \u00B7 TLS 0 \u00B7 TTFB 80"},
        {{.dnsMs = 0.4, .totalMs = 12.4}, "12 ms", true, "DNS 0 \u00B7 TLS 0 \u00B7 TTFB 0"},
        {{.dnsMs = 9.9, .tlsMs = 36.99, .ttfbMs = 212.7, .totalMs = 0.5},
         "1 ms",
         true,
         "DNS 9 \u00B7 TLS 36 \u00B7 TTFB 212"},
        {{.tlsMs = 1, .totalMs = -0.5}, "-1 ms", true, "DNS 0 \u00B7 TLS 1 \u00B7 TTFB 0"},
        {{.dnsMs = nan, .tlsMs = nan, .ttfbMs = inf, .totalMs = nan},
         "0 ms",
         false,
         "DNS 0 \u00B7 TLS 0 \u00B7 TTFB 0"},
        {{.dnsMs = inf, .totalMs = -inf}, "0 ms", true, "DNS 0 \u00B7 TLS 0 \u00B7 TTFB 0"},
        {{.totalMs = 1e300}, "1000000000000000 ms", false, "DNS 0 \u00B7 TLS 0 \u00B7 TTFB 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.total);
        EXPECT_EQ(summary::totalTime(c.timing), c.total);
        EXPECT_EQ(summary::showsPhaseLine(c.timing), c.phaseLine);
        EXPECT_EQ(summary::phaseLine(c.timing), c.phases);
    }
    EXPECT_EQ(summary::bodySize(0), "0 B");
    EXPECT_EQ(summary::bodySize(5'242'880), "5242880 B");
    for (const auto& [status, tone] :
         std::vector<std::pair<int, summary::StatusTone>>{{199, summary::StatusTone::danger},
                                                          {200, summary::StatusTone::success},
                                                          {299, summary::StatusTone::success},
                                                          {300, summary::StatusTone::danger},
                                                          {0, summary::StatusTone::danger}})
        EXPECT_EQ(summary::statusTone(status), tone) << status;
}

class InspectorTest : public WorkbenchTest {
protected:
    static HTTPResponseSnapshot response(std::string pretty, int status = 200) {
        HTTPResponseSnapshot snapshot = testing::makeSnapshot("HTTPBin JSON Get", status, pretty);
        snapshot.bodyData = R"({"slideshow":{"author":"Ada"}})";
        return snapshot;
    }
    void receive(HTTPResponseSnapshot snapshot) {
        if (vm().latestResponse())
            vm().setPreviousResponse(vm().latestResponse());
        vm().setLatestResponse(std::move(snapshot));
        endTurn();
    }
    QString shownBody() { return find<QPlainTextEdit>("prettyBody")->toPlainText(); }
};

TEST_F(InspectorTest, BeforeAResponseThePlaceholderNamesTheLinuxShortcut) {
    EXPECT_TRUE(find<QWidget>("emptyResponsePlaceholder")->isVisible());
    EXPECT_EQ(
        find<QLabel>("placeholderText")->text(),
        QStringLiteral("Press Send (Ctrl+\u21A9) to inspect status, timing waterfall & JSON."));
    EXPECT_TRUE(find<QLabel>("inspectorTitle")->isVisible());
    EXPECT_FALSE(find<QWidget>("statusBadge")->isVisible());
    for (const char* tab : {"responseTab.headers", "responseTab.assertions"}) {
        click(tab);
        EXPECT_TRUE(find<QWidget>("emptyResponsePlaceholder")->isVisible()) << tab;
    }
    click("responseTab.diff");
    EXPECT_TRUE(find<QLabel>("diffMessage")->isVisible());
    click("responseTab.code");
    EXPECT_FALSE(find<QPlainTextEdit>("snippetView")->toPlainText().isEmpty())
        << "the code tab needs no response";

    vm().setLanguage(tarn::TarnLanguage::tr);
    endTurn();
    EXPECT_EQ(find<tarn::TarnPrimaryButton>("sendButton")->text(),
              QStringLiteral("G\u00F6nder (Ctrl+\u21A9)"));
    EXPECT_TRUE(find<QLabel>("placeholderText")->text().contains(QStringLiteral("(Ctrl+\u21A9)")));
}

TEST_F(InspectorTest, TheSummaryShowsStatusTimeSizeAndPhases) {
    HTTPResponseSnapshot snapshot = response("{}", 301);
    snapshot.timing = TimingWaterfall{.dnsMs = 0.4, .tlsMs = 0, .ttfbMs = 80.9, .totalMs = 12.5};
    receive(snapshot);
    auto* badge = find<workbench::ResponseStatusBadge>("statusBadge");
    EXPECT_EQ(badge->text(), QStringLiteral("301"));
    EXPECT_EQ(badge->statusColour(), tarn::qColor(tarn::TarnGlassTokens::danger));
    EXPECT_EQ(find<QLabel>("totalTimeLabel")->text(), QStringLiteral("13 ms"));
    EXPECT_EQ(find<QLabel>("sizeLabel")->text(),
              QString::number(snapshot.bodyData.size()) + QStringLiteral(" B"));
    EXPECT_TRUE(find<QLabel>("phaseLabel")->isVisible());
    EXPECT_EQ(find<QLabel>("phaseLabel")->text(),
              QStringLiteral("DNS 0 \u00B7 TLS 0 \u00B7 TTFB 80"));
    EXPECT_FALSE(find<QLabel>("inspectorTitle")->isVisible());

    snapshot = response("{}", 200);
    snapshot.timing = TimingWaterfall{.ttfbMs = 80, .totalMs = std::nan("")};
    receive(snapshot);
    EXPECT_EQ(badge->statusColour(), tarn::qColor(tarn::TarnGlassTokens::success));
    EXPECT_EQ(find<QLabel>("totalTimeLabel")->text(), QStringLiteral("0 ms"));
    EXPECT_FALSE(find<QLabel>("phaseLabel")->isVisible());
}

TEST_F(InspectorTest, TheFilterShowsAndCopiesThePathResultAndIsSetOnlyWhenItsInputsChange) {
    receive(response("{\n  \"slideshow\" : {\n    \"author\" : \"Ada\"\n  }\n}"));
    const QString pretty = shownBody();
    ASSERT_TRUE(pretty.contains(QStringLiteral("author")));
    QTextDocument* document = find<QPlainTextEdit>("prettyBody")->document();
    int sets = 0;
    QObject::connect(document, &QTextDocument::contentsChanged, [&] { ++sets; });

    auto* filter = find<QLineEdit>("jsonPathField");
    filter->setFocus();
    type(filter, QStringLiteral("  "));
    EXPECT_EQ(shownBody(), pretty) << "a blank filter shows the whole body";
    click("copyResponseButton");
    EXPECT_EQ(clipboard->contents, pretty.toStdString());
    filter->clear();
    filter->setFocus();
    type(filter, QStringLiteral("$.slideshow.author"));
    EXPECT_EQ(shownBody(), QStringLiteral("Ada"));
    EXPECT_EQ(vm().jsonPathQuery(), "$.slideshow.author");
    click("copyResponseButton");
    EXPECT_EQ(clipboard->contents, "Ada");
    EXPECT_EQ(vm().toastMessage(), "Copied Response.");

    // Edits of the request and other turns leave the body text alone.
    sets = 0;
    type(find<QLineEdit>("urlField"), QStringLiteral("z"));
    vm().setIsSending(true);
    endTurn();
    EXPECT_EQ(sets, 0);
}

TEST_F(InspectorTest, EveryHeaderIsListedInOrderDuplicatesIncluded) {
    HTTPResponseSnapshot snapshot = response("{}");
    snapshot.headers = {{"Content-Type", "application/json"},
                        {"Set-Cookie", "a=1"},
                        {"Set-Cookie", "b=2"},
                        {"X-Empty", ""}};
    receive(snapshot);
    click("responseTab.headers");
    auto* page = find<QWidget>("responseHeaders");
    const auto names = page->findChildren<QLabel*>(QStringLiteral("headerName"));
    const auto values = page->findChildren<QLabel*>(QStringLiteral("headerValue"));
    ASSERT_EQ(names.size(), 4);
    ASSERT_EQ(values.size(), 4);
    std::vector<std::string> shown;
    for (qsizetype i = 0; i < names.size(); ++i)
        shown.push_back(names[i]->text().toStdString() + ": " + values[i]->text().toStdString());
    EXPECT_EQ(shown, (std::vector<std::string>{"Content-Type: application/json", "Set-Cookie: a=1",
                                               "Set-Cookie: b=2", "X-Empty: "}));
}

TEST_F(InspectorTest, AHeaderNameThatLooksLikeMarkupIsShownAsWritten) {
    HTTPResponseSnapshot snapshot = response("{}");
    snapshot.headers = {{"<b>X-Trace</b>", "1"}};
    receive(snapshot);
    click("responseTab.headers");
    auto* name = find<QWidget>("responseHeaders")->findChild<QLabel*>(QStringLiteral("headerName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("<b>X-Trace</b>"));
    // Texts from servers are never read as markup.
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
}

TEST_F(InspectorTest, AssertionCardsShowEachResult) {
    HTTPResponseSnapshot snapshot = response("{}");
    snapshot.assertions = {
        AssertionEvaluationResult({.kind = AssertionKind::statusEquals, .expectedValue = "200"},
                                  true, "200"),
        AssertionEvaluationResult(
            {.kind = AssertionKind::jsonPathEquals, .targetPath = "$.id", .expectedValue = "7"},
            false, "8")};
    receive(snapshot);
    click("responseTab.assertions");
    const auto cards = find<QWidget>("assertionResults")
                           ->findChildren<QWidget*>(QStringLiteral("assertionResult"));
    ASSERT_EQ(cards.size(), 2);
    EXPECT_TRUE(cards[0]->property("passed").toBool());
    EXPECT_FALSE(cards[1]->property("passed").toBool());
    EXPECT_EQ(findIn<QLabel>(cards[0], "assertionRule")->text(), QStringLiteral("Status ==  200"));
    EXPECT_EQ(findIn<QLabel>(cards[1], "assertionRule")->text(),
              QStringLiteral("JSONPath == $.id 7"));
    EXPECT_EQ(findIn<QLabel>(cards[1], "assertionActual")->text(), QStringLiteral("actual: 8"));

    receive(response("{}"));
    EXPECT_TRUE(find<QWidget>("assertionResults")
                    ->findChildren<QWidget*>(QStringLiteral("assertionResult"))
                    .isEmpty());
}

TEST_F(InspectorTest, TheDiffNeedsTwoResponsesAndColoursEachLineInOneTextView) {
    receive(response("{\n  \"a\" : 1\n}"));
    click("responseTab.diff");
    EXPECT_TRUE(find<QLabel>("diffMessage")->isVisible());
    EXPECT_FALSE(find<QWidget>("diffView")->isVisible());

    receive(response("{\n  \"a\" : 2\n}"));
    auto* diff = find<QPlainTextEdit>("diffView");
    ASSERT_TRUE(diff->isVisible());
    EXPECT_FALSE(find<QLabel>("diffMessage")->isVisible());
    QStringList expected;
    for (const DiffLineItem& row : vm().responseDiff()) {
        const char* prefix = row.kind == DiffLineItem::Kind::added     ? "+ "
                             : row.kind == DiffLineItem::Kind::removed ? "- "
                                                                       : "  ";
        expected << QString::fromLatin1(prefix) + QString::fromStdString(row.text);
    }
    EXPECT_EQ(diff->toPlainText(), expected.join(QLatin1Char('\n')));
    EXPECT_TRUE(diff->toPlainText().contains(QStringLiteral("+   \"a\" : 2")));
    // Each line carries its kind's colour.
    const QTextBlock added = diff->document()->findBlockByNumber(
        static_cast<int>(std::find_if(vm().responseDiff().begin(), vm().responseDiff().end(),
                                      [](const DiffLineItem& row) {
                                          return row.kind == DiffLineItem::Kind::added;
                                      }) -
                         vm().responseDiff().begin()));
    ASSERT_FALSE(added.layout()->formats().isEmpty());
    EXPECT_EQ(added.layout()->formats().front().format.foreground().color(),
              tarn::qColor(tarn::TarnGlassTokens::success));

    // Unrelated turns do not lay the diff out again.
    int sets = 0;
    QObject::connect(diff->document(), &QTextDocument::contentsChanged, [&] { ++sets; });
    type(find<QLineEdit>("urlField"), QStringLiteral("q"));
    EXPECT_EQ(sets, 0);
    // Identical bodies give unchanged rows only.
    receive(response("{\n  \"a\" : 2\n}"));
    EXPECT_FALSE(diff->toPlainText().contains(QLatin1Char('+')));
}

TEST_F(InspectorTest, TheCodeTabFollowsTheSnippetLanguageAndCopiesIt) {
    click("responseTab.code");
    auto* snippet = find<QPlainTextEdit>("snippetView");
    EXPECT_EQ(snippet->toPlainText().toStdString(), vm().generatedCodeSnippet());
    EXPECT_TRUE(find<tarn::TarnGlassButton>("snippetLanguage.0")->isActive());

    click("snippetLanguage.3");
    EXPECT_EQ(vm().snippetLanguage(), CodeSnippetLanguage::python);
    EXPECT_EQ(snippet->toPlainText().toStdString(), vm().generatedCodeSnippet());
    EXPECT_TRUE(find<tarn::TarnGlassButton>("snippetLanguage.3")->isActive());

    // The snippet follows the request as it is edited.
    type(find<QLineEdit>("urlField"), QStringLiteral("/v2"));
    EXPECT_TRUE(snippet->toPlainText().contains(QStringLiteral("/v2")));

    click("copySnippetButton");
    EXPECT_EQ(clipboard->contents, vm().generatedCodeSnippet());
    EXPECT_EQ(vm().toastMessage(), "Copied Python requests.");
    // "Copy cURL" copies in the chosen language too.
    clipboard->contents.reset();
    click("copyCurlButton");
    EXPECT_EQ(clipboard->contents, vm().generatedCodeSnippet());
    EXPECT_EQ(vm().toastMessage(), "Copied Python requests.");
}

TEST_F(InspectorTest, ALongBodyIsLaidOutPieceByPieceAndANewerOneStopsTheOlder) {
    const auto lines = [](const char* word, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += (i ? "\n" : "") + std::string(word) + " " + std::to_string(i);
        return text;
    };
    auto* pane = view->findChild<workbench::ResponseInspectorPane*>();
    const std::string first = lines("first", 60000);
    receive(response(first));
    EXPECT_TRUE(pane->isLayingOutBody());
    const QString shown = shownBody();
    EXPECT_LT(shown.size(), static_cast<qsizetype>(first.size()));
    EXPECT_TRUE(QString::fromStdString(first).startsWith(shown));
    EXPECT_FALSE(shown.endsWith(QLatin1Char('\n'))) << "pieces end on whole lines";

    // A newer response arrives while the first is still being laid out.
    endTurn();
    const std::string second = lines("second", 30000);
    receive(response(second));
    for (int turns = 0; pane->isLayingOutBody() && turns < 1000; ++turns)
        endTurn();
    EXPECT_FALSE(pane->isLayingOutBody());
    EXPECT_EQ(shownBody().toStdString(), second);
    EXPECT_EQ(find<QPlainTextEdit>("prettyBody")->blockCount(), 30000);
}

TEST_F(InspectorTest, ABodyTooLargeToLayOutIsOfferedForCopyingInstead) {
    HTTPResponseSnapshot snapshot = response("");
    snapshot.prettyBodyText =
        std::string(workbench::ResponseInspectorPane::largestShownBody + 1, 'x');
    receive(snapshot);
    EXPECT_TRUE(find<QLabel>("bodyTooLarge")->isVisible());
    EXPECT_TRUE(shownBody().isEmpty());
    click("copyResponseButton");
    ASSERT_TRUE(clipboard->contents.has_value());
    EXPECT_EQ(clipboard->contents->size(), snapshot.prettyBodyText.size());

    receive(response("{}"));
    EXPECT_FALSE(find<QLabel>("bodyTooLarge")->isVisible());
    EXPECT_EQ(shownBody(), QStringLiteral("{}"));
}

} // namespace
} // namespace quiller
