#pragma once

// The runner tab: one scrolling page with the collection runner (run every
// request of the selected collection, one result row per step, and the sheet
// that imports an OpenAPI or Postman document as a new collection) and the
// load benchmark (fire the active request a chosen number of times from a
// chosen number of workers, then throughput and latency percentiles).
//
// The screen reads the view model and calls its run, benchmark and import
// actions; its own state (the two benchmark settings, the sheet and its
// draft) lives as long as the screen and is never saved.
//
// Threads: the GUI thread.

#include <QColor>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

class QLabel;
class QVBoxLayout;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
class TarnStepper;
} // namespace tarn

namespace quiller {

class BusyButton;
class QuillerViewModel;
class RunStepList;
class CollectionImportSheet;
class SymbolTitle;
class ViewModelBridge;
struct ViewModelChanges;

class CollectionRunnerAndBenchmarkView final : public QWidget {
    Q_OBJECT
public:
    CollectionRunnerAndBenchmarkView(QuillerViewModel& model, ViewModelBridge& bridge,
                                     QWidget* parent = nullptr);
    ~CollectionRunnerAndBenchmarkView() override;

    // The screen's own state, for tests.
    int totalRequests() const;
    int concurrency() const;
    bool isShowingSpecImporter() const;
    const std::string& importDraft() const;
    CollectionImportSheet* collectionImportSheet() const { return m_sheet; }

private:
    struct UIState;

    QWidget* buildRunnerCard();
    QWidget* buildBenchmarkCard();
    void refresh(const ViewModelChanges* changes);
    void refreshTexts();
    void refreshRunner();
    void refreshBenchmark();
    void setShowSpecImporter(bool show);

    QuillerViewModel& m_model;
    std::unique_ptr<UIState> m_ui;
    QColor m_accent;

    SymbolTitle* m_runnerTitle = nullptr;
    tarn::TarnGlassButton* m_importButton = nullptr;
    std::unique_ptr<BusyButton> m_runButton;
    QLabel* m_runnerDescription = nullptr;
    QLabel* m_runSummary = nullptr;
    RunStepList* m_steps = nullptr;

    SymbolTitle* m_benchmarkTitle = nullptr;
    tarn::TarnStepper* m_requestsStepper = nullptr;
    tarn::TarnStepper* m_workersStepper = nullptr;
    std::unique_ptr<BusyButton> m_benchmarkButton;
    QLabel* m_target = nullptr;
    QWidget* m_metricsRow = nullptr;
    std::array<QLabel*, 6> m_metricValues{};
    std::array<QLabel*, 6> m_metricTitles{};

    CollectionImportSheet* m_sheet = nullptr;
};

} // namespace quiller
