#include "TarnKit/Design/TarnItemListLayout.h"

namespace tarn {

TarnItemListLayout::TarnItemListLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
}

TarnItemListLayout::~TarnItemListLayout() {
    qDeleteAll(m_items);
}

void TarnItemListLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
    invalidate();
}

QLayoutItem* TarnItemListLayout::itemAt(int index) const {
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* TarnItemListLayout::takeAt(int index) {
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

std::vector<QLayoutItem*> TarnItemListLayout::shownItems() const {
    std::vector<QLayoutItem*> shown;
    for (QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            shown.push_back(item);
    }
    return shown;
}

} // namespace tarn
