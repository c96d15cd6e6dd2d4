#pragma once

#include <QWidget>

class QTimer;

namespace tarn {

// The small indeterminate spinner a button shows in place of its label while
// its work runs: a three-quarter ring turning once a second. It turns only
// while visible. Main thread.
class TarnProgressIndicator : public QWidget {
    Q_OBJECT
public:
    explicit TarnProgressIndicator(const QColor& colour, int diameter = 14,
                                   QWidget* parent = nullptr);

    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QColor m_colour;
    int m_diameter;
    int m_angle = 0;
    QTimer* m_timer;
};

} // namespace tarn
