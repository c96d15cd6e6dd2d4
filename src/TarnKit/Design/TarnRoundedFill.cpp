#include "TarnKit/Design/TarnRoundedFill.h"

#include "TarnKit/Design/TarnGlassPainting.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarn {

TarnRoundedFill::TarnRoundedFill(QColor fill, double cornerRadius, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_cornerRadius(cornerRadius) {}

void TarnRoundedFill::setFillColor(const QColor& fill) {
    if (fill == m_fill)
        return;
    m_fill = fill;
    update();
}

void TarnRoundedFill::setBorderColor(const QColor& border) {
    if (border == m_border)
        return;
    m_border = border;
    update();
}

void TarnRoundedFill::setFill(QColor fill, QColor border) {
    setFillColor(fill);
    setBorderColor(border);
}

void TarnRoundedFill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintGlassShape(painter, rect(), m_cornerRadius, m_fill, m_border);
}

void TarnRoundedFill::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void TarnRoundedFill::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

} // namespace tarn
