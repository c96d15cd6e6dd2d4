#include "TarnKit/Design/TarnProgressIndicator.h"

#include <QPainter>
#include <QTimer>

namespace tarn {

namespace {
constexpr int kFrameMs = 33;
constexpr int kDegreesPerFrame = 360 * kFrameMs / 1000;
} // namespace

TarnProgressIndicator::TarnProgressIndicator(const QColor& colour, int diameter, QWidget* parent)
    : QWidget(parent), m_colour(colour), m_diameter(diameter), m_timer(new QTimer(this)) {
    setFixedSize(diameter, diameter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer->setInterval(kFrameMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + kDegreesPerFrame) % 360;
        update();
    });
}

void TarnProgressIndicator::showEvent(QShowEvent*) {
    m_timer->start();
}

void TarnProgressIndicator::hideEvent(QHideEvent*) {
    m_timer->stop();
}

void TarnProgressIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double width = std::max(1.5, m_diameter / 7.0);
    const QRectF ring = QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2);
    QColor track = m_colour;
    track.setAlphaF(m_colour.alphaF() * 0.25);
    painter.setPen(QPen(track, width));
    painter.drawEllipse(ring);
    painter.setPen(QPen(m_colour, width, Qt::SolidLine, Qt::RoundCap));
    // Qt counts sixteenths of a degree, counter-clockwise: the arc turns clockwise.
    painter.drawArc(ring, -m_angle * 16, 270 * 16);
}

} // namespace tarn
