#pragma once

#include <QWidget>

namespace tarn {

// A rounded translucent panel around one content widget, `padding` points
// from each edge. Main thread.
class TarnGlassCard : public QWidget {
    Q_OBJECT
public:
    TarnGlassCard(double padding, double cornerRadius, QWidget* parent = nullptr);

    // Takes ownership; replaces (and deletes) the previous content.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }
    double padding() const { return m_padding; }
    double cornerRadius() const { return m_cornerRadius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_padding;
    double m_cornerRadius;
    QWidget* m_content = nullptr;
};

} // namespace tarn
