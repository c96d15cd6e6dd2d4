#pragma once

#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QWidget>

namespace tarn {

// The full-window backdrop: the palette's ground gradient from the top-leading
// to the bottom-trailing corner, with a soft white glow at the top-leading
// corner. Clicks pass through it. Main thread.
class TarnGroundBackground : public QWidget {
    Q_OBJECT
public:
    explicit TarnGroundBackground(TarnProductPalette palette, QWidget* parent = nullptr);

    TarnProductPalette palette() const { return m_palette; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TarnProductPalette m_palette;
};

} // namespace tarn
