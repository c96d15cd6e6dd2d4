#pragma once

// The result rows of a collection run, painted by one widget as tall as all
// its rows (the page around it scrolls), so a run over a large imported
// collection costs no widgets per row. Only the rows in the exposed area are
// painted.
//
// Threads: the GUI thread.

#include "QuillerApp/Views/RunnerPresentation.h"

#include <QColor>
#include <QWidget>
#include <vector>

namespace quiller {

class RunStepList final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int rowCount READ rowCount)
public:
    explicit RunStepList(const QColor& accent, QWidget* parent = nullptr);

    // Repaints only when the rows changed.
    void setRows(std::vector<RunnerPresentation::StepRow> rows);
    const std::vector<RunnerPresentation::StepRow>& rows() const { return m_rows; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }

    // One row's height and the gap between rows.
    int rowHeight() const;
    static constexpr int rowGap = 12;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_accent;
    QFont m_methodFont;
    QFont m_nameFont;
    QFont m_detailFont;
    QFont m_statusFont;
    QFont m_durationFont;
    QFont m_assertionsFont;
    std::vector<RunnerPresentation::StepRow> m_rows;
};

} // namespace quiller
