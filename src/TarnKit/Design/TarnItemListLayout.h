#pragma once

#include <QLayout>
#include <QList>
#include <vector>

namespace tarn {

// The item list the design system's own layouts keep: items in the order
// added, owned by the layout, without margins at first. Subclasses place them.
// Main thread.
class TarnItemListLayout : public QLayout {
    Q_OBJECT
public:
    explicit TarnItemListLayout(QWidget* parent = nullptr);
    ~TarnItemListLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

protected:
    // The items that take part: a hidden widget takes no place (not even its
    // spacing), as in every Qt layout.
    std::vector<QLayoutItem*> shownItems() const;

private:
    QList<QLayoutItem*> m_items;
};

} // namespace tarn
