#include "TarnKit/Design/Emblems/TarnAppEmblem.h"

#include "TarnKit/Design/Emblems/TarnEmblemRenderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tarn {
namespace {

QImage tinted(const QImage& source, const QColor& tint) {
    QImage result = source;
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(result.size()) / result.devicePixelRatio()),
                     tint);
    return result;
}

} // namespace

int emblemViewSide(double size) {
    // Checked before converting: NaN, infinity or a huge size has no int.
    if (!(size > 0) || size > TarnEmblemRenderer::maximumPixelSize)
        return 0;
    return static_cast<int>(std::lround(size));
}

void paintAppEmblem(QPainter& painter, const QRectF& target, TarnAppIdentity app, bool asTemplate,
                    const QColor& tint) {
    const double side = std::min(target.width(), target.height());
    const TarnEmblemImage emblem = TarnEmblemRenderer::image(app, side, 2, asTemplate);
    if (emblem.bitmap.isNull())
        return;
    const QImage shown = asTemplate ? tinted(emblem.bitmap, tint) : emblem.bitmap;
    const QRectF square(target.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(square, shown);
    painter.restore();
}

TarnAppEmblem::TarnAppEmblem(TarnAppIdentity app, double size, bool asTemplate, QWidget* parent)
    : QWidget(parent), m_app(app), m_size(size), m_asTemplate(asTemplate) {
    const int side = emblemViewSide(size);
    setFixedSize(side, side);
}

QSize TarnAppEmblem::sizeHint() const {
    const int side = emblemViewSide(m_size);
    return {side, side};
}

void TarnAppEmblem::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintAppEmblem(painter, rect(), m_app, m_asTemplate, palette().color(foregroundRole()));
}

} // namespace tarn
