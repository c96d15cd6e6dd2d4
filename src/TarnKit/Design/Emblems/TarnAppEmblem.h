#pragma once

#include "TarnKit/Utilities/TarnAppIdentity.h"

#include <QColor>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace tarn {

// Paints the emblem of `app` fitted into `target` (aspect kept, centred),
// from the renderer's cache at scale 2. A template emblem takes `tint` in
// place of its own colours. Main thread.
void paintAppEmblem(QPainter& painter, const QRectF& target, TarnAppIdentity app, bool asTemplate,
                    const QColor& tint);

// The side in whole pixels of a square view asked for `size`; 0 (an empty
// view) for a size that is not positive, not finite or beyond what the
// renderer draws.
int emblemViewSide(double size);

// One application emblem as a square of `size` logical pixels. A template
// emblem is tinted with the widget's foreground colour. Main thread.
class TarnAppEmblem : public QWidget {
    Q_OBJECT
public:
    TarnAppEmblem(TarnAppIdentity app, double size, bool asTemplate, QWidget* parent = nullptr);

    TarnAppIdentity app() const { return m_app; }
    double emblemSize() const { return m_size; }
    bool asTemplate() const { return m_asTemplate; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TarnAppIdentity m_app;
    double m_size;
    bool m_asTemplate;
};

} // namespace tarn
