#include "TarnKit/Design/TarnGroundBackground.h"

#include "TarnKit/Design/TarnGlassPainting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace tarn {

TarnGroundBackground::TarnGroundBackground(TarnProductPalette palette, QWidget* parent)
    : QWidget(parent), m_palette(palette) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TarnGroundBackground::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = rect();
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    const QPointF topLeading = rightToLeft ? area.topRight() : area.topLeft();
    const QPointF bottomTrailing = rightToLeft ? area.bottomLeft() : area.bottomRight();

    const TarnGroundStops stops = productpalette::groundStops(m_palette);
    QLinearGradient ground(topLeading, bottomTrailing);
    ground.setColorAt(0, qColor(stops.topLeft));
    ground.setColorAt(0.5, qColor(stops.middle));
    ground.setColorAt(1, qColor(stops.bottomRight));
    painter.fillRect(area, ground);

    // Full strength within 20 points of the corner, nothing beyond 520.
    QRadialGradient glow(topLeading, 520, topLeading, 20);
    glow.setColorAt(0, qColor(TarnColor::white(0.09)));
    glow.setColorAt(1, qColor(TarnColor::white(0)));
    painter.fillRect(area, glow);
}

} // namespace tarn
