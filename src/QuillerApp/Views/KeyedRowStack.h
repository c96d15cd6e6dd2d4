#pragma once

// One widget per row of a model list, keyed by the row's identity, stacked in
// a vertical layout. sync() keeps the widgets of rows that stay (updating them
// in place), makes widgets only for new rows, drops those of rows that went
// and restores the model's order: a row put in front of a hundred costs one
// new widget, not a hundred.
//
// Call sync() from the view's refresh, never from a handler of a row's own
// widgets: the widgets of rows that went are deleted at once.
//
// Threads: the GUI thread.

#include <QBoxLayout>
#include <QWidget>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quiller {

class KeyedRowStack {
public:
    // Rows go to `layout` from `firstIndex` on; anything after them (a
    // stretch) stays behind them.
    explicit KeyedRowStack(QBoxLayout* layout, int firstIndex = 0)
        : m_layout(layout), m_first(firstIndex) {}

    // `keyOf(row)` gives the identity as text, `make(row)` a new widget and
    // `update(widget, row)` refreshes a kept one.
    template <class Rows, class KeyOf, class Make, class Update>
    void sync(const Rows& rows, KeyOf keyOf, Make make, Update update) {
        // A multimap: two rows may share an identity (a server can list a tool twice).
        std::unordered_multimap<std::string, QWidget*> kept;
        kept.reserve(m_rows.size());
        for (auto& [key, widget] : m_rows)
            kept.emplace(key, widget);

        std::vector<std::pair<std::string, QWidget*>> next;
        next.reserve(std::size(rows));
        for (const auto& row : rows) {
            std::string key = keyOf(row);
            QWidget* widget = nullptr;
            if (const auto found = kept.find(key); found != kept.end()) {
                widget = found->second;
                kept.erase(found);
                update(widget, row);
            } else {
                widget = make(row);
            }
            next.emplace_back(std::move(key), widget);
        }
        for (auto& [key, widget] : kept) {
            m_layout->removeWidget(widget);
            delete widget;
        }
        m_rows = std::move(next);
        placeInOrder();
    }

    std::size_t size() const { return m_rows.size(); }
    QWidget* widgetAt(std::size_t index) const { return m_rows.at(index).second; }

private:
    void placeInOrder() {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            const int at = m_first + static_cast<int>(i);
            QWidget* wanted = m_rows[i].second;
            QLayoutItem* item = m_layout->itemAt(at);
            if (item && item->widget() == wanted)
                continue;
            m_layout->removeWidget(wanted);
            m_layout->insertWidget(at, wanted);
            wanted->show();
        }
    }

    QBoxLayout* m_layout;
    int m_first;
    std::vector<std::pair<std::string, QWidget*>> m_rows;
};

} // namespace quiller
