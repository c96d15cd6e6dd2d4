#pragma once

#include <QColor>
#include <QWidget>

namespace tarn {

// A rounded rectangle (continuous corners) filled with one colour behind its
// children, optionally outlined by a 1-wide border inside the shape: rows,
// tiles, wells and chips. A press and release inside it is a click.
// Main thread.
class TarnRoundedFill : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
public:
    TarnRoundedFill(QColor fill, double cornerRadius, QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    // Each setter repaints only when its colour changed.
    void setFillColor(const QColor& fill);
    QColor borderColor() const { return m_border; }
    // Transparent for none.
    void setBorderColor(const QColor& border);
    void setFill(QColor fill, QColor border = Qt::transparent);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor m_fill;
    QColor m_border = Qt::transparent;
    double m_cornerRadius;
    bool m_pressed = false;
};

} // namespace tarn
