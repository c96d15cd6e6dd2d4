#include "QuillerApp/Views/CollectionRunnerAndBenchmarkView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/CollectionImportSheet.h"
#include "QuillerApp/Views/RunStepList.h"
#include "QuillerApp/Views/RunnerPresentation.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Design/TarnStepper.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quiller {

namespace fonts = tarn::fonts;
namespace tokens = tarn::TarnGlassTokens;
using Field = QuillerViewModelField;
using tarn::qt::toQString;

// The screen's presentation state: the benchmark settings, whether the import
// sheet shows, and the sheet's draft. Starts from these values whenever the
// screen is built; never saved.
struct CollectionRunnerAndBenchmarkView::UIState {
    int totalRequests = 20;
    int concurrency = 5;
    bool showSpecImporter = false;
    std::string importDraft = std::string(RunnerPresentation::sampleOpenAPIDocument());
};

namespace {

constexpr int kRequestsMinimum = 5;
constexpr int kRequestsMaximum = 200;
constexpr int kRequestsStep = 5;
constexpr int kWorkersMinimum = 1;
constexpr int kWorkersMaximum = 24;

QVBoxLayout* column(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QColor primaryInk() {
    return tarn::qColor(tarn::TarnColor::black(0.9));
}

// One of the page's two cards: a column with `spacing`, whose first row is the
// title with its symbol and a flexible space, ready for the row's controls.
struct TitledCard {
    tarn::TarnGlassCard* card;
    QWidget* content;
    QVBoxLayout* stack;
    QHBoxLayout* header;
    SymbolTitle* title;
};

TitledCard titledCard(const QString& name, std::string_view symbol, int spacing) {
    TitledCard made{};
    made.card = new tarn::TarnGlassCard(18, 16);
    made.card->setObjectName(name + QStringLiteral("Card"));
    made.content = new QWidget;
    made.stack = column(made.content, spacing);
    made.header = new QHBoxLayout;
    made.header->setSpacing(8);
    made.title =
        new SymbolTitle(symbol, tarn::fonts::system(14.5, QFont::Bold), Qt::white, made.content);
    made.title->setObjectName(name + QStringLiteral("Title"));
    made.header->addWidget(made.title);
    made.header->addStretch(1);
    made.stack->addLayout(made.header);
    made.card->setContent(made.content);
    return made;
}

} // namespace

CollectionRunnerAndBenchmarkView::CollectionRunnerAndBenchmarkView(QuillerViewModel& model,
                                                                   ViewModelBridge& bridge,
                                                                   QWidget* parent)
    : QWidget(parent), m_model(model), m_ui(std::make_unique<UIState>()), m_accent(studioAccent()) {
    setObjectName(QStringLiteral("CollectionRunnerAndBenchmarkView"));

    auto* page = new QWidget;
    auto* stack = new QVBoxLayout(page);
    stack->setContentsMargins(22, 22, 22, 22);
    stack->setSpacing(18);
    stack->addWidget(buildRunnerCard());
    stack->addWidget(buildBenchmarkCard());
    stack->addStretch(1);
    QScrollArea* scroll = makeClearScrollArea(page, this);
    scroll->setObjectName(QStringLiteral("runnerPage"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    connect(&bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { refresh(&changes); });
    refresh(nullptr);
}

CollectionRunnerAndBenchmarkView::~CollectionRunnerAndBenchmarkView() = default;

QWidget* CollectionRunnerAndBenchmarkView::buildRunnerCard() {
    const TitledCard frame =
        titledCard(QStringLiteral("runner"), tarn::symbolNamed("play.square.stack.fill"), 12);
    QWidget* content = frame.content;
    QVBoxLayout* stack = frame.stack;
    QHBoxLayout* header = frame.header;
    m_runnerTitle = frame.title;
    m_importButton = new tarn::TarnGlassButton(QString(), false, content);
    m_importButton->setObjectName(QStringLiteral("importSpecButton"));
    m_importButton->setIcon(
        tarn::symbolIcon("square.and.arrow.down", tarn::qColor(tokens::textPrimary), 14));
    m_importButton->setIconSize({14, 14});
    header->addWidget(m_importButton);
    auto* run = new tarn::TarnPrimaryButton(QString(), content);
    run->setObjectName(QStringLiteral("runCollectionButton"));
    run->setIconSize({13, 13});
    m_runButton = std::make_unique<BusyButton>(run, primaryInk());
    header->addWidget(run);

    m_runnerDescription =
        makeLabel(fonts::system(12), tarn::qColor(tokens::textSecondary), content);
    m_runnerDescription->setObjectName(QStringLiteral("runnerDescription"));
    m_runnerDescription->setWordWrap(true);
    stack->addWidget(m_runnerDescription);

    m_runSummary = makeLabel(fonts::system(12, QFont::Black, true), Qt::white, content);
    m_runSummary->setObjectName(QStringLiteral("runSummary"));
    stack->addWidget(m_runSummary);

    m_steps = new RunStepList(m_accent, content);
    m_steps->setObjectName(QStringLiteral("runStepList"));
    stack->addWidget(m_steps);

    connect(m_importButton, &QAbstractButton::clicked, this, [this] { setShowSpecImporter(true); });
    connect(run, &QAbstractButton::clicked, this, [this] { m_model.runActiveCollectionSuite(); });
    return frame.card;
}

QWidget* CollectionRunnerAndBenchmarkView::buildBenchmarkCard() {
    const TitledCard frame = titledCard(QStringLiteral("benchmark"),
                                        tarn::symbolNamed("gauge.with.dots.needle.67percent"), 14);
    QWidget* content = frame.content;
    QVBoxLayout* stack = frame.stack;
    QHBoxLayout* header = frame.header;
    m_benchmarkTitle = frame.title;
    m_requestsStepper =
        new tarn::TarnStepper(QStringLiteral("Requests: "), kRequestsMinimum, kRequestsMaximum,
                              kRequestsStep, m_ui->totalRequests, content);
    m_requestsStepper->setObjectName(QStringLiteral("requestsStepper"));
    m_workersStepper = new tarn::TarnStepper(QStringLiteral("Workers: "), kWorkersMinimum,
                                             kWorkersMaximum, 1, m_ui->concurrency, content);
    m_workersStepper->setObjectName(QStringLiteral("workersStepper"));
    header->addWidget(m_requestsStepper);
    header->addSpacing(4);
    header->addWidget(m_workersStepper);
    header->addSpacing(4);
    auto* benchmark = new tarn::TarnPrimaryButton(QString(), content);
    benchmark->setObjectName(QStringLiteral("runBenchmarkButton"));
    benchmark->setIconSize({13, 13});
    m_benchmarkButton = std::make_unique<BusyButton>(benchmark, primaryInk());
    header->addWidget(benchmark);

    m_target = makeLabel(fonts::system(11.5, QFont::Normal, true),
                         tarn::qColor(tokens::textSecondary), content);
    m_target->setObjectName(QStringLiteral("benchmarkTarget"));
    m_target->setTextFormat(Qt::PlainText);
    stack->addWidget(m_target);

    m_metricsRow = new QWidget(content);
    m_metricsRow->setObjectName(QStringLiteral("benchmarkMetrics"));
    auto* tiles = new QHBoxLayout(m_metricsRow);
    tiles->setContentsMargins(0, 0, 0, 0);
    tiles->setSpacing(12);
    for (std::size_t i = 0; i < m_metricValues.size(); ++i) {
        auto* tile = new tarn::TarnRoundedFill(tarn::qColor(tokens::surface2), 12, m_metricsRow);
        tile->setObjectName(QStringLiteral("metricTile%1").arg(i));
        auto* tileStack = column(tile, 4);
        tileStack->setContentsMargins(0, 12, 0, 12);
        m_metricValues[i] = makeLabel(fonts::system(18, QFont::Bold, true), Qt::white, tile);
        m_metricValues[i]->setObjectName(QStringLiteral("metricValue"));
        m_metricTitles[i] = makeLabel(fonts::system(11), tarn::qColor(tokens::textSecondary), tile);
        m_metricTitles[i]->setObjectName(QStringLiteral("metricTitle"));
        tileStack->addWidget(m_metricValues[i], 0, Qt::AlignHCenter);
        tileStack->addWidget(m_metricTitles[i], 0, Qt::AlignHCenter);
        tiles->addWidget(tile, 1);
    }
    stack->addWidget(m_metricsRow);

    connect(m_requestsStepper, &tarn::TarnStepper::stepped, this,
            [this](int value) { m_ui->totalRequests = value; });
    connect(m_workersStepper, &tarn::TarnStepper::stepped, this,
            [this](int value) { m_ui->concurrency = value; });
    connect(benchmark, &QAbstractButton::clicked, this,
            [this] { m_model.runLoadBenchmark(m_ui->totalRequests, m_ui->concurrency); });
    return frame.card;
}

void CollectionRunnerAndBenchmarkView::refresh(const ViewModelChanges* changes) {
    const auto touched = [changes](std::initializer_list<Field> fields) {
        return changes == nullptr || changes->containsAny(fields);
    };
    if (touched({Field::language}))
        refreshTexts();
    if (touched({Field::collectionRunResults, Field::isRunningCollection}))
        refreshRunner();
    // The active request follows the collections and the selection.
    if (touched({Field::isBenchmarking, Field::latestBenchmark, Field::collections,
                 Field::selectedCollectionID, Field::selectedRequestID}))
        refreshBenchmark();
}

void CollectionRunnerAndBenchmarkView::refreshTexts() {
    const tarn::TarnLanguage language = m_model.language();
    m_runnerTitle->setText(viewText("Automated Collection Runner & Spec Importer",
                                    "Otomatik Koleksiyon Koşucu & OpenAPI/Postman İçe Aktarıcı",
                                    language));
    m_importButton->setText(
        viewText("Import OpenAPI / Postman", "OpenAPI / Postman Aktar", language));
    m_runButton->setLabel(viewText("Run Entire Collection", "Tüm Koleksiyonu Çalıştır", language),
                          tarn::symbolIcon("play.fill", primaryInk(), 13));
    m_runnerDescription->setText(viewText(
        "Executes every request in your selected collection sequentially, evaluating all "
        "assertions and reporting latency per endpoint.",
        "Seçili koleksiyondaki tüm istekleri sırayla çalıştırır, assertion testlerini doğrular ve "
        "gecikme raporunu çıkarır.",
        language));
    m_benchmarkTitle->setText(viewText("Concurrent Load Benchmark (Built-in wrk / hey)",
                                       "Eşzamanlı Yük Testi (Dahili wrk / hey)", language));
    m_benchmarkButton->setLabel(viewText("Run Benchmark", "Yük Testi Başlat", language),
                                tarn::symbolIcon("bolt.fill", primaryInk(), 13));
    if (m_sheet)
        m_sheet->setLanguage(language);
}

void CollectionRunnerAndBenchmarkView::refreshRunner() {
    const std::vector<CollectionRunStepResult>& results = m_model.collectionRunResults();
    m_runButton->setBusy(m_model.isRunningCollection());
    m_runButton->button()->setEnabled(!m_model.isRunningCollection());

    m_runnerDescription->setVisible(results.empty());
    m_runSummary->setVisible(!results.empty());
    m_steps->setVisible(!results.empty());
    if (results.empty()) {
        m_steps->setRows({});
        return;
    }
    const RunnerPresentation::RunSummary summary = RunnerPresentation::runSummary(results);
    m_runSummary->setText(toQString(summary.text));
    setTextColour(m_runSummary, roleColour(summary.role, m_accent));
    std::vector<RunnerPresentation::StepRow> rows;
    rows.reserve(results.size());
    for (const CollectionRunStepResult& step : results)
        rows.push_back(RunnerPresentation::stepRow(step));
    m_steps->setRows(std::move(rows));
}

void CollectionRunnerAndBenchmarkView::refreshBenchmark() {
    const std::optional<APIRequestSpec> active = m_model.activeRequest();
    const bool benchmarking = m_model.isBenchmarking();
    m_benchmarkButton->setBusy(benchmarking);
    m_benchmarkButton->button()->setEnabled(!benchmarking && active.has_value());

    m_target->setVisible(active.has_value());
    if (active) {
        const QString target = toQString(RunnerPresentation::targetLine(*active));
        if (m_target->text() != target)
            m_target->setText(target);
    }

    const std::optional<LoadBenchmarkReport>& report = m_model.latestBenchmark();
    m_metricsRow->setVisible(report.has_value());
    if (!report)
        return;
    const auto tiles = RunnerPresentation::metricTiles(*report);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        m_metricValues[i]->setText(toQString(tiles[i].value));
        m_metricTitles[i]->setText(toQString(tiles[i].title));
    }
}

void CollectionRunnerAndBenchmarkView::setShowSpecImporter(bool show) {
    m_ui->showSpecImporter = show;
    if (!show) {
        if (m_sheet) {
            m_sheet->hide();
            m_sheet->deleteLater();
            m_sheet = nullptr;
        }
        return;
    }
    if (m_sheet)
        return;
    CollectionImportSheet::Actions actions;
    actions.draftEdited = [this](const std::string& text) { m_ui->importDraft = text; };
    actions.cancel = [this] { setShowSpecImporter(false); };
    actions.import = [this] {
        // The view model reports success or failure in its toast; the sheet
        // closes either way.
        m_model.importOpenAPIOrPostman(m_ui->importDraft);
        setShowSpecImporter(false);
    };
    m_sheet =
        new CollectionImportSheet(m_ui->importDraft, m_model.language(), std::move(actions), this);
    m_sheet->open();
}

int CollectionRunnerAndBenchmarkView::totalRequests() const {
    return m_ui->totalRequests;
}
int CollectionRunnerAndBenchmarkView::concurrency() const {
    return m_ui->concurrency;
}
bool CollectionRunnerAndBenchmarkView::isShowingSpecImporter() const {
    return m_ui->showSpecImporter;
}
const std::string& CollectionRunnerAndBenchmarkView::importDraft() const {
    return m_ui->importDraft;
}

} // namespace quiller
