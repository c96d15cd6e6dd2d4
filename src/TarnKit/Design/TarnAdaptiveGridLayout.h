#pragma once

#include "TarnKit/Design/TarnItemListLayout.h"

namespace tarn {

// As many columns of at least `minimumColumnWidth` as the width holds, each
// stretched to an equal share (no upper bound), filled row by row; a row is as
// tall as its tallest item and every item is centred vertically in it.
// Hidden widgets take no cell. Main thread.
class TarnAdaptiveGridLayout : public TarnItemListLayout {
    Q_OBJECT
public:
    TarnAdaptiveGridLayout(double minimumColumnWidth, double columnSpacing, double rowSpacing,
                           QWidget* parent = nullptr);

    // max(1, ⌊(width + spacing) / (minimum + spacing)⌋), at most 4096; 1 for
    // a width that is NaN or infinite and for a column measure that is not
    // positive.
    static int columnCount(double width, double minimumColumnWidth, double columnSpacing);

    double minimumColumnWidth() const { return m_minimumColumnWidth; }
    int columnCountFor(int width) const;

    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Lays the items out in `rect` (when `apply`) and answers the height used.
    int arrange(const QRect& rect, bool apply) const;

    double m_minimumColumnWidth;
    double m_columnSpacing;
    double m_rowSpacing;
};

} // namespace tarn
