#pragma once

// The workbench's response inspector: a summary of the latest response
// (status, total time, size, phase times) and five tabs over it - the pretty
// body with a JSON path filter, the headers, the assertion results, the line
// diff against the previous response and the active request as a code
// snippet. Work follows what changed: the filtered body is set again only
// when the query or the response changes, the diff (kept by the view model
// once per pair of responses) is laid out when its tab is shown, and the
// snippet when the code tab is shown. Large bodies sit in read-only
// QPlainTextEdits, laid out a piece per event-loop turn; a body beyond the
// limit below is not laid out at all, the pane offers to copy it instead.
//
// Threads: the GUI thread.

#include "QuillerApp/Views/ClientUIState.h"
#include "QuillerApp/Views/ViewModelBridge.h"

#include <QWidget>
#include <array>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStackedWidget;
class QVBoxLayout;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller::workbench {

class DiffHighlighter;
class PiecewiseTextFeeder;

// The status code on a capsule of the status colour.
class ResponseStatusBadge final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor statusColour READ statusColour)
    Q_PROPERTY(QString text READ text)
public:
    explicit ResponseStatusBadge(QWidget* parent = nullptr);

    void setStatus(int statusCode);
    QColor statusColour() const { return m_colour; }
    QString text() const { return m_text; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_colour;
};

class ResponseInspectorPane final : public QWidget {
    Q_OBJECT
public:
    // Bodies of more bytes than this are not shown: laying out tens of
    // megabytes would hold the window for seconds.
    static constexpr std::size_t largestShownBody = 24 * 1024 * 1024;

    ResponseInspectorPane(QuillerViewModel& model, ClientUIState& ui, QWidget* parent = nullptr);

    // Whether part of the shown body still waits to be laid out.
    bool isLayingOutBody() const;

    // Follows one turn; `activeRequestChanged` says whether the active
    // request (or which request is active) changed, which the snippet shows.
    void apply(const ViewModelChanges& changes, bool activeRequestChanged);

    void selectTab(ResponseViewerTab tab);

private:
    QWidget* makePlaceholder();
    QWidget* makePrettyPage();
    QWidget* makeDiffPage();
    QWidget* makeCodePage();
    void showSummary();
    void showHeaders();
    void showAssertions();
    // Shows the page of the current tab, bringing it up to date first.
    void showPage();
    void refreshPretty();
    void refreshDiff();
    void refreshCode();
    void retranslate();
    // The text the pretty tab shows and copies.
    std::string bodyChoice() const;

    QuillerViewModel& m_model;
    ClientUIState& m_ui;

    QLabel* m_title = nullptr;
    ResponseStatusBadge* m_status = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_size = nullptr;
    QLabel* m_phases = nullptr;
    std::array<tarn::TarnGlassButton*, responseViewerTabs.size()> m_tabButtons{};
    QStackedWidget* m_pages = nullptr;

    QWidget* m_placeholder = nullptr;
    QLabel* m_placeholderText = nullptr;

    QWidget* m_pretty = nullptr;
    QLineEdit* m_filter = nullptr;
    tarn::TarnGlassButton* m_copyBody = nullptr;
    QStackedWidget* m_bodyStack = nullptr;
    QPlainTextEdit* m_body = nullptr;
    QLabel* m_bodyTooLarge = nullptr;
    bool m_prettyDirty = true;
    PiecewiseTextFeeder* m_bodyFeeder = nullptr;

    QWidget* m_headersPage = nullptr;
    QWidget* m_headersContent = nullptr;
    QWidget* m_assertionsPage = nullptr;
    QWidget* m_assertionsContent = nullptr;

    QWidget* m_diffPage = nullptr;
    QLabel* m_diffMessage = nullptr;
    QPlainTextEdit* m_diff = nullptr;
    DiffHighlighter* m_diffHighlighter = nullptr;
    PiecewiseTextFeeder* m_diffFeeder = nullptr;
    bool m_diffDirty = true;

    QWidget* m_codePage = nullptr;
    std::array<tarn::TarnGlassButton*, 4> m_languageButtons{};
    tarn::TarnPrimaryButton* m_copySnippet = nullptr;
    QPlainTextEdit* m_snippet = nullptr;
    bool m_codeDirty = true;
};

} // namespace quiller::workbench
