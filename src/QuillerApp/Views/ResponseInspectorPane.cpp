#include "QuillerApp/Views/ResponseInspectorPane.h"

#include "QuillerApp/Views/PiecewiseTextFeeder.h"
#include "QuillerApp/Views/ResponseSummaryText.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/ViewParts.h"
#include "QuillerApp/Views/WorkbenchSupport.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace quiller::workbench {

// Colours each line of the diff text by its kind: one text view for the
// whole diff, no widget per line.
class DiffHighlighter final : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

    // Set before the text, so the highlighting of the new text finds them.
    std::vector<DiffLineItem::Kind> kinds;

protected:
    void highlightBlock(const QString& text) override {
        const int line = currentBlock().blockNumber();
        if (line < 0 || static_cast<std::size_t>(line) >= kinds.size())
            return;
        using namespace tarn::TarnGlassTokens;
        switch (kinds[static_cast<std::size_t>(line)]) {
        case DiffLineItem::Kind::added:
            setFormat(0, static_cast<int>(text.size()), tarn::qColor(success));
            break;
        case DiffLineItem::Kind::removed:
            setFormat(0, static_cast<int>(text.size()), tarn::qColor(danger));
            break;
        case DiffLineItem::Kind::unchanged:
            setFormat(0, static_cast<int>(text.size()), tarn::qColor(textSecondary));
            break;
        }
    }
};

namespace {

using Field = QuillerViewModelField;
namespace bindings = tarn::bindings;
namespace summary = ResponseSummaryText;

// The page of each tab when there is a response; the placeholder is page 0.
constexpr int kPlaceholderPage = 0;
constexpr int kPrettyPage = 1;
constexpr int kHeadersPage = 2;
constexpr int kAssertionsPage = 3;
constexpr int kDiffPage = 4;
constexpr int kCodePage = 5;

QPlainTextEdit* readOnlyPane(const char* name, int padding, qreal fontSize, QWidget* parent) {
    auto* pane = new QPlainTextEdit(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setReadOnly(true);
    // Read-only texts keep no undo history: a large body would double in memory.
    pane->setUndoRedoEnabled(false);
    pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    styleTextPane(pane, padding, fontSize);
    return pane;
}

void clearLayout(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

QString diffText(const std::vector<DiffLineItem>& rows) {
    qsizetype length = 0;
    for (const DiffLineItem& row : rows)
        length += static_cast<qsizetype>(row.text.size()) + 3;
    QString text;
    text.reserve(length);
    for (const DiffLineItem& row : rows) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        switch (row.kind) {
        case DiffLineItem::Kind::added:
            text += QLatin1String("+ ");
            break;
        case DiffLineItem::Kind::removed:
            text += QLatin1String("- ");
            break;
        case DiffLineItem::Kind::unchanged:
            text += QLatin1String("  ");
            break;
        }
        text += toQString(row.text);
    }
    return text;
}

} // namespace

// --- Status badge --------------------------------------------------------------

ResponseStatusBadge::ResponseStatusBadge(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("statusBadge"));
    setFont(tarn::fonts::system(12.5, QFont::Bold, true));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ResponseStatusBadge::setStatus(int statusCode) {
    m_text = QString::number(statusCode);
    m_colour = tarn::qColor(summary::statusTone(statusCode) == summary::StatusTone::success
                                ? tarn::TarnGlassTokens::success
                                : tarn::TarnGlassTokens::danger);
    updateGeometry();
    update();
}

QSize ResponseStatusBadge::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_text) + 18, metrics.height() + 6};
}

void ResponseStatusBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = m_colour;
    fill.setAlphaF(0.28f);
    painter.fillPath(tarn::glassShape(rect(), tarn::capsuleRadius(rect())), fill);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}

// --- Pane ----------------------------------------------------------------------

ResponseInspectorPane::ResponseInspectorPane(QuillerViewModel& model, ClientUIState& ui,
                                             QWidget* parent)
    : QWidget(parent), m_model(model), m_ui(ui) {
    setObjectName(QStringLiteral("responseInspectorPane"));
    auto* layout = columnLayout(this, 10);

    auto* summaryRow = new QHBoxLayout;
    summaryRow->setSpacing(8);
    m_title = label({}, 13, QFont::DemiBold, false,
                    tarn::qColor(tarn::TarnGlassTokens::textSecondary), this);
    m_title->setObjectName(QStringLiteral("inspectorTitle"));
    summaryRow->addWidget(m_title);
    m_status = new ResponseStatusBadge(this);
    summaryRow->addWidget(m_status);
    m_total = label({}, 11.5, QFont::DemiBold, true, studioAccent(), this);
    m_total->setObjectName(QStringLiteral("totalTimeLabel"));
    summaryRow->addWidget(m_total);
    m_size = label({}, 11.5, QFont::Normal, true,
                   tarn::qColor(tarn::TarnGlassTokens::textSecondary), this);
    m_size->setObjectName(QStringLiteral("sizeLabel"));
    summaryRow->addWidget(m_size);
    m_phases =
        label({}, 10.5, QFont::Normal, true, tarn::qColor(tarn::TarnGlassTokens::textMuted), this);
    m_phases->setObjectName(QStringLiteral("phaseLabel"));
    summaryRow->addWidget(m_phases);
    summaryRow->addStretch(1);
    layout->addLayout(summaryRow);

    std::vector<QString> titles;
    std::vector<QString> names;
    for (const ResponseViewerTab tab : responseViewerTabs) {
        titles.push_back(toQString(tabTitle(tab)));
        names.push_back(QStringLiteral("responseTab.") + toQString(rawValue(tab)));
    }
    layout->addLayout(glassButtonRow(
        this, titles, names, 6, [this](std::size_t i) { selectTab(responseViewerTabs[i]); },
        m_tabButtons));
    layout->addWidget(divider(Qt::Horizontal, this));

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("inspectorPages"));
    m_pages->addWidget(makePlaceholder());
    m_pages->addWidget(makePrettyPage());
    m_headersContent = new QWidget;
    m_headersPage = makeClearScrollArea(m_headersContent);
    m_headersPage->setObjectName(QStringLiteral("responseHeaders"));
    new QGridLayout(m_headersContent);
    m_pages->addWidget(m_headersPage);
    m_assertionsContent = new QWidget;
    m_assertionsPage = makeClearScrollArea(m_assertionsContent);
    m_assertionsPage->setObjectName(QStringLiteral("assertionResults"));
    columnLayout(m_assertionsContent, 8);
    m_pages->addWidget(m_assertionsPage);
    m_pages->addWidget(makeDiffPage());
    m_pages->addWidget(makeCodePage());
    layout->addWidget(m_pages, 1);

    retranslate();
    showSummary();
    showHeaders();
    showAssertions();
    selectTab(m_ui.responseTab);
}

QWidget* ResponseInspectorPane::makePlaceholder() {
    m_placeholder = new QWidget;
    m_placeholder->setObjectName(QStringLiteral("emptyResponsePlaceholder"));
    auto* layout = columnLayout(m_placeholder, 8);
    layout->addStretch(1);
    auto* icon = new QLabel(m_placeholder);
    QColor iconColour = studioAccent();
    iconColour.setAlphaF(0.75f);
    icon->setPixmap(tarn::symbolPixmap("paperplane.circle", iconColour, 38, devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    m_placeholderText = label({}, 12.5, QFont::Normal, false,
                              tarn::qColor(tarn::TarnGlassTokens::textMuted), m_placeholder);
    m_placeholderText->setObjectName(QStringLiteral("placeholderText"));
    m_placeholderText->setAlignment(Qt::AlignCenter);
    m_placeholderText->setWordWrap(true);
    layout->addWidget(m_placeholderText);
    layout->addStretch(1);
    return m_placeholder;
}

QWidget* ResponseInspectorPane::makePrettyPage() {
    m_pretty = new QWidget;
    m_pretty->setObjectName(QStringLiteral("prettyPage"));
    auto* layout = columnLayout(m_pretty, 10);
    auto* filterRow = new QHBoxLayout;
    m_filter = new QLineEdit(m_pretty);
    m_filter->setObjectName(QStringLiteral("jsonPathField"));
    m_filter->setPlaceholderText(
        QStringLiteral("JSONPath filter (e.g. $.slideshow.author or $.json.app)"));
    styleField(m_filter, true, 12);
    filterRow->addWidget(m_filter, 1);
    m_copyBody = new tarn::TarnGlassButton({}, false, m_pretty);
    m_copyBody->setObjectName(QStringLiteral("copyResponseButton"));
    filterRow->addWidget(m_copyBody);
    layout->addLayout(filterRow);

    m_bodyStack = new QStackedWidget(m_pretty);
    m_body = readOnlyPane("prettyBody", 10, 12, m_bodyStack);
    m_bodyFeeder = new PiecewiseTextFeeder(m_body);
    m_bodyStack->addWidget(m_body);
    m_bodyTooLarge = label({}, 12.5, QFont::Normal, false,
                           tarn::qColor(tarn::TarnGlassTokens::textMuted), m_bodyStack);
    m_bodyTooLarge->setObjectName(QStringLiteral("bodyTooLarge"));
    m_bodyTooLarge->setAlignment(Qt::AlignCenter);
    m_bodyTooLarge->setWordWrap(true);
    m_bodyStack->addWidget(m_bodyTooLarge);
    layout->addWidget(m_bodyStack, 1);

    bindings::refresh(m_filter, m_model.jsonPathQuery());
    bindings::bindLineEdit(m_filter,
                           [this](const std::string& text) { m_model.setJsonPathQuery(text); });
    connect(m_copyBody, &QAbstractButton::clicked, this, [this] {
        if (m_model.latestResponse())
            m_model.copyText(bodyChoice(), "Response");
    });
    return m_pretty;
}

QWidget* ResponseInspectorPane::makeDiffPage() {
    m_diffPage = new QWidget;
    m_diffPage->setObjectName(QStringLiteral("diffPage"));
    auto* layout = columnLayout(m_diffPage, 0);
    m_diffMessage = label({}, 13, QFont::Normal, false,
                          tarn::qColor(tarn::TarnGlassTokens::textMuted), m_diffPage);
    m_diffMessage->setObjectName(QStringLiteral("diffMessage"));
    m_diffMessage->setAlignment(Qt::AlignCenter);
    m_diffMessage->setWordWrap(true);
    layout->addWidget(m_diffMessage, 1);
    m_diff = readOnlyPane("diffView", 8, 11.5, m_diffPage);
    m_diff->setTextInteractionFlags(Qt::NoTextInteraction);
    m_diffHighlighter = new DiffHighlighter(m_diff->document());
    m_diffFeeder = new PiecewiseTextFeeder(m_diff);
    layout->addWidget(m_diff, 1);
    return m_diffPage;
}

QWidget* ResponseInspectorPane::makeCodePage() {
    m_codePage = new QWidget;
    m_codePage->setObjectName(QStringLiteral("codePage"));
    auto* layout = columnLayout(m_codePage, 10);
    std::vector<QString> titles;
    std::vector<QString> names;
    for (const CodeSnippetLanguage language : allCases<CodeSnippetLanguage>()) {
        titles.push_back(toQString(rawValue(language)));
        names.push_back(QStringLiteral("snippetLanguage.") +
                        QString::number(static_cast<int>(names.size())));
    }
    auto* controls = glassButtonRow(
        m_codePage, titles, names, 4,
        [this](std::size_t i) { m_model.setSnippetLanguage(allCases<CodeSnippetLanguage>()[i]); },
        m_languageButtons);
    m_copySnippet = new tarn::TarnPrimaryButton({}, m_codePage);
    m_copySnippet->setObjectName(QStringLiteral("copySnippetButton"));
    // Beside the segments, before the row's closing stretch.
    controls->insertSpacing(controls->count() - 1, 8);
    controls->insertWidget(controls->count() - 1, m_copySnippet);
    layout->addLayout(controls);
    m_snippet = readOnlyPane("snippetView", 10, 12, m_codePage);
    layout->addWidget(m_snippet, 1);
    connect(m_copySnippet, &QAbstractButton::clicked, this, [this] {
        m_model.copyText(m_model.generatedCodeSnippet(),
                         std::string(rawValue(m_model.snippetLanguage())));
    });
    return m_codePage;
}

void ResponseInspectorPane::selectTab(ResponseViewerTab tab) {
    m_ui.responseTab = tab;
    const auto at = std::find(responseViewerTabs.begin(), responseViewerTabs.end(), tab);
    setActiveButton(m_tabButtons, static_cast<std::size_t>(at - responseViewerTabs.begin()));
    showPage();
}

void ResponseInspectorPane::apply(const ViewModelChanges& changes, bool activeRequestChanged) {
    if (changes.contains(Field::language))
        retranslate();
    if (changes.contains(Field::latestResponse)) {
        showSummary();
        showHeaders();
        showAssertions();
    }
    if (changes.containsAny({Field::latestResponse, Field::jsonPathQuery})) {
        bindings::refresh(m_filter, m_model.jsonPathQuery());
        m_prettyDirty = true;
    }
    if (changes.containsAny({Field::latestResponse, Field::previousResponse}))
        m_diffDirty = true;
    if (activeRequestChanged || changes.containsAny({Field::snippetLanguage, Field::environments,
                                                     Field::activeEnvironmentID}))
        m_codeDirty = true;
    showPage();
}

void ResponseInspectorPane::showPage() {
    const bool hasResponse = m_model.latestResponse().has_value();
    switch (m_ui.responseTab) {
    case ResponseViewerTab::pretty:
        if (hasResponse && m_prettyDirty)
            refreshPretty();
        m_pages->setCurrentIndex(hasResponse ? kPrettyPage : kPlaceholderPage);
        break;
    case ResponseViewerTab::headers:
        m_pages->setCurrentIndex(hasResponse ? kHeadersPage : kPlaceholderPage);
        break;
    case ResponseViewerTab::assertions:
        m_pages->setCurrentIndex(hasResponse ? kAssertionsPage : kPlaceholderPage);
        break;
    case ResponseViewerTab::diff:
        if (m_diffDirty)
            refreshDiff();
        m_pages->setCurrentIndex(kDiffPage);
        break;
    case ResponseViewerTab::code:
        if (m_codeDirty)
            refreshCode();
        m_pages->setCurrentIndex(kCodePage);
        break;
    }
}

bool ResponseInspectorPane::isLayingOutBody() const {
    return m_bodyFeeder->isFeeding();
}

std::string ResponseInspectorPane::bodyChoice() const {
    if (auto result = m_model.jsonPathResult())
        return std::move(*result);
    return m_model.latestResponse() ? m_model.latestResponse()->prettyBodyText.str()
                                    : std::string();
}

void ResponseInspectorPane::refreshPretty() {
    m_prettyDirty = false;
    // Read in place: a large body is not copied just to be measured.
    const std::optional<std::string> result = m_model.jsonPathResult();
    const std::string& body = result ? *result : m_model.latestResponse()->prettyBodyText.str();
    if (body.size() > largestShownBody) {
        m_bodyFeeder->clear();
        m_bodyStack->setCurrentWidget(m_bodyTooLarge);
        return;
    }
    m_bodyStack->setCurrentWidget(m_body);
    m_bodyFeeder->setText(toQString(body));
}

void ResponseInspectorPane::refreshDiff() {
    m_diffDirty = false;
    const bool hasPair = m_model.latestResponse() && m_model.previousResponse();
    m_diffMessage->setVisible(!hasPair);
    m_diff->setVisible(hasPair);
    if (!hasPair) {
        m_diffHighlighter->kinds.clear();
        m_diffFeeder->clear();
        return;
    }
    const std::vector<DiffLineItem>& rows = m_model.responseDiff();
    std::vector<DiffLineItem::Kind> kinds;
    kinds.reserve(rows.size());
    for (const DiffLineItem& row : rows)
        kinds.push_back(row.kind);
    m_diffHighlighter->kinds = std::move(kinds);
    m_diffFeeder->setText(diffText(rows));
}

void ResponseInspectorPane::refreshCode() {
    m_codeDirty = false;
    const auto languages = allCases<CodeSnippetLanguage>();
    const auto chosen = std::find(languages.begin(), languages.end(), m_model.snippetLanguage());
    setActiveButton(m_languageButtons, static_cast<std::size_t>(chosen - languages.begin()));
    const QString snippet = toQString(m_model.generatedCodeSnippet());
    if (m_snippet->toPlainText() != snippet)
        m_snippet->setPlainText(snippet);
}

void ResponseInspectorPane::showSummary() {
    const auto& response = m_model.latestResponse();
    m_title->setVisible(!response);
    m_status->setVisible(response.has_value());
    m_total->setVisible(response.has_value());
    m_size->setVisible(response.has_value());
    m_phases->setVisible(response && summary::showsPhaseLine(response->timing));
    if (!response)
        return;
    m_status->setStatus(response->statusCode);
    m_total->setText(toQString(summary::totalTime(response->timing)));
    m_size->setText(toQString(summary::bodySize(response->bodyData.size())));
    m_phases->setText(toQString(summary::phaseLine(response->timing)));
}

void ResponseInspectorPane::showHeaders() {
    auto* grid = static_cast<QGridLayout*>(m_headersContent->layout());
    clearLayout(grid);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    const auto& response = m_model.latestResponse();
    if (!response)
        return;
    // Every pair in the snapshot's order, keyed by position: repeated names
    // (several Set-Cookie lines) each keep their row.
    int row = 0;
    for (const HTTPHeaderPair& header : response->headers) {
        auto* name = label(toQString(header.key), 11.5, QFont::Bold, true, studioAccent());
        name->setObjectName(QStringLiteral("headerName"));
        name->setFixedWidth(170);
        name->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        name->setContentsMargins(0, 3, 0, 3);
        auto* value = label(toQString(header.value), 11.5, QFont::Normal, true,
                            tarn::qColor(tarn::TarnGlassTokens::textPrimary));
        value->setObjectName(QStringLiteral("headerValue"));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(true);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        value->setContentsMargins(0, 3, 0, 3);
        grid->addWidget(name, row, 0, Qt::AlignTop);
        grid->addWidget(value, row, 1, Qt::AlignTop);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
}

void ResponseInspectorPane::showAssertions() {
    QLayout* cards = m_assertionsContent->layout();
    clearLayout(cards);
    const auto& response = m_model.latestResponse();
    if (!response)
        return;
    for (const AssertionEvaluationResult& result : response->assertions) {
        auto* card = new tarn::TarnRoundedFill(tarn::qColor(tarn::TarnGlassTokens::surface2), 8);
        card->setObjectName(QStringLiteral("assertionResult"));
        card->setProperty("passed", result.passed);
        auto* line = new QHBoxLayout(card);
        line->setContentsMargins(10, 10, 10, 10);
        auto* symbol = new QLabel(card);
        symbol->setPixmap(result.passed
                              ? tarn::symbolPixmap("checkmark.circle.fill",
                                                   tarn::qColor(tarn::TarnGlassTokens::success), 14,
                                                   devicePixelRatioF())
                              : tarn::symbolPixmap("xmark.octagon.fill",
                                                   tarn::qColor(tarn::TarnGlassTokens::danger), 14,
                                                   devicePixelRatioF()));
        line->addWidget(symbol);
        const ResponseAssertionRule& rule = result.rule;
        auto* ruleLabel = label(toQString(std::string(label(rule.kind)) + " " + rule.targetPath +
                                          " " + rule.expectedValue),
                                12, QFont::DemiBold, true,
                                tarn::qColor(tarn::TarnGlassTokens::textPrimary), card);
        ruleLabel->setObjectName(QStringLiteral("assertionRule"));
        line->addWidget(ruleLabel);
        line->addStretch(1);
        auto* actual = label(toQString("actual: " + result.actualValue), 11, QFont::Normal, true,
                             tarn::qColor(tarn::TarnGlassTokens::textSecondary), card);
        actual->setObjectName(QStringLiteral("assertionActual"));
        line->addWidget(actual);
        cards->addWidget(card);
    }
    static_cast<QVBoxLayout*>(cards)->addStretch(1);
}

void ResponseInspectorPane::retranslate() {
    m_title->setText(text(m_model, "Response Inspector", "Yan\u0131t \u0130nceleyici"));
    m_placeholderText->setText(text(m_model, placeholderEn, placeholderTr));
    m_copyBody->setText(text(m_model, "Copy", "Kopyala"));
    m_copySnippet->setText(text(m_model, "Copy", "Kopyala"));
    m_copyBody->updateGeometry();
    m_copySnippet->updateGeometry();
    m_diffMessage->setText(
        text(m_model, "Send at least 2 requests to diff responses side-by-side.",
             "Yan\u0131tlar\u0131 kar\u015F\u0131la\u015Ft\u0131rmak i\u00E7in en "
             "az 2 istek g\u00F6nderin."));
    m_bodyTooLarge->setText(
        text(m_model,
             "This body is too large to show here. Use Copy to take it "
             "elsewhere.",
             "Bu g\u00F6vde burada g\u00F6sterilemeyecek kadar b\u00FCy\u00FCk. "
             "Ba\u015Fka bir yere almak i\u00E7in Kopyala\u2019y\u0131 "
             "kullan\u0131n."));
}

} // namespace quiller::workbench
