#include "TarnKit/Design/TarnGlassPainting.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tarn {

QColor qColor(const TarnColor& colour) {
    return QColor::fromRgbF(static_cast<float>(colour.red), static_cast<float>(colour.green),
                            static_cast<float>(colour.blue), static_cast<float>(colour.alpha));
}

QPainterPath glassShape(const QRectF& rect, double cornerRadius) {
    const double radius = std::clamp(cornerRadius, 0.0, capsuleRadius(rect));
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void paintGlassShape(QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& fill,
                     const QColor& border, double lineWidth) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(glassShape(rect, cornerRadius), fill);
    const double inset = lineWidth / 2;
    const QRectF inner = rect.adjusted(inset, inset, -inset, -inset);
    QPen pen(border, lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(glassShape(inner, std::max(cornerRadius - inset, 0.0)));
    painter.restore();
}

} // namespace tarn
