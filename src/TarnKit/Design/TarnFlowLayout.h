#pragma once

#include <QLayout>
#include <QList>
#include <optional>

namespace tarn {

// Places its widgets left to right at their size hints and wraps them into
// lines (see TarnFlowGeometry.h for the rules). Children are never stretched
// or shrunk. Main thread.
class TarnFlowLayout : public QLayout {
    Q_OBJECT
public:
    TarnFlowLayout(double spacing, double lineSpacing, QWidget* parent = nullptr);
    ~TarnFlowLayout() override;

    // The space between neighbours on a line (QLayout's spacing).
    int spacing() const override;
    void setSpacing(int spacing) override;
    double lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(double lineSpacing);

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    QSize measured(std::optional<int> width) const;

    QList<QLayoutItem*> m_items;
    double m_spacing;
    double m_lineSpacing;
};

} // namespace tarn
