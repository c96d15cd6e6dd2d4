#pragma once

// The lists of the stream consoles: a list model over one of the view model's
// newest-first lists (the SSE events, the WebSocket frames) and the delegate
// that paints a row as a small card.
//
// The model copies nothing: it reads each row from the view model when the
// view asks and keeps only the number of rows the view knows. The bridge hands
// it a turn's change records at once, so the events of one event-loop turn
// arrive in the view as one insertion at the top, however many there were.
// The lists have no length limit, so every row is one line high: the view
// lays out 100,000 rows as cheaply as ten.
//
// Threads: the GUI thread.

#include "QuillerApp/ViewModels/QuillerViewModelChange.h"

#include <QAbstractListModel>
#include <QColor>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <cstddef>
#include <functional>
#include <optional>

namespace quiller {

struct ViewModelChanges;

class NewestFirstListModel final : public QAbstractListModel {
public:
    enum Role {
        // The row's full text: an event's data, a frame's payload.
        textRole = Qt::DisplayRole,
        // An event's type.
        titleRole = Qt::UserRole + 1,
        // Whether a frame went out.
        outgoingRole,
    };

    using Size = std::function<std::size_t()>;
    // The value of `role` for the view model's row at a position.
    using Data = std::function<QVariant(std::size_t position, int role)>;

    NewestFirstListModel(QuillerViewModelField field, Size size, Data data,
                         QObject* parent = nullptr);

    // Takes in one turn's changes of the field.
    void apply(const ViewModelChanges& changes);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The view model's position of the view's row: rows that arrived at the
    // top since the last turn come before the ones the view knows.
    std::optional<std::size_t> sourcePosition(int row) const;

    QuillerViewModelField m_field;
    Size m_size;
    Data m_data;
    int m_rowCount = 0;
};

// Paints a console row: an SSE event (its type in the accent colour above its
// data) or a WebSocket frame (a direction symbol beside its payload), on a
// rounded surface2 card. The text is shown on one line; a click on a row opens
// a read-only field over it in which the whole text can be selected and copied.
class ConsoleRowDelegate final : public QStyledItemDelegate {
public:
    enum class Style { event, frame };

    ConsoleRowDelegate(Style style, QObject* parent = nullptr);

    void setAccent(const QColor& accent) { m_accent = accent; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    // Where the row's text line lies, for a row drawn in `rowRect`.
    QRect textRect(const QRect& rowRect) const;

    Style m_style;
    QColor m_accent;
    // The row whose field is open.
    mutable QPersistentModelIndex m_editing;
};

} // namespace quiller
