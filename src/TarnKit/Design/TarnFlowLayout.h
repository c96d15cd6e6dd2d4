#pragma once

#include "TarnKit/Design/TarnItemListLayout.h"

#include <optional>

namespace tarn {

// Places its widgets left to right at their size hints and wraps them into
// lines (see TarnFlowGeometry.h for the rules). Children are never stretched
// or shrunk. Main thread.
class TarnFlowLayout : public TarnItemListLayout {
    Q_OBJECT
public:
    TarnFlowLayout(double spacing, double lineSpacing, QWidget* parent = nullptr);

    // The space between neighbours on a line (QLayout's spacing).
    int spacing() const override;
    void setSpacing(int spacing) override;
    double lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(double lineSpacing);

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    QSize measured(std::optional<int> width) const;

    double m_spacing;
    double m_lineSpacing;
};

} // namespace tarn
