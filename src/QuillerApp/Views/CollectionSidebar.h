#pragma once

// The workbench's leading column: every collection with its requests, the
// active request highlighted, a click selects, the context menu deletes, "+"
// adds a request to the selected collection and "cURL" opens the import
// sheet. The rows are one list model under a delegate, so a workspace of
// thousands of requests stays quick: a rename repaints its row, an added or
// removed request moves only the rows after it, a selection change repaints
// two rows.
//
// Threads: the GUI thread.

#include "QuillerApp/Views/ViewModelBridge.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QListView;
class QMenu;

namespace tarn {
class TarnGlassButton;
}

namespace quiller::workbench {

// One row per collection (its header) followed by one per request.
class CollectionSidebarModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        IsHeaderRole = Qt::UserRole + 1,
        MethodRole,       // the method's raw value ("GET"), requests only
        MethodColourRole, // QColor of the method label
        SelectedRole,     // whether the row's request is the active request
        RequestIDRole,    // QString of the request's id
        CollectionIDRole, // QString of the collection's id
        TopGapRole,       // extra space above a header that follows other rows
    };

    explicit CollectionSidebarModel(QuillerViewModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Follows one turn of the view model's changes.
    void apply(const ViewModelChanges& changes);

    // The request (and its collection) shown in `row`; nothing for a header.
    struct RequestRef {
        tarn::UUID requestID;
        tarn::UUID collectionID;
    };
    std::optional<RequestRef> requestAt(int row) const;
    // The row of the request, -1 when it is not listed.
    int rowOf(const tarn::UUID& requestID) const;

    // The colour of a method's label.
    static QColor methodColour(TarnHTTPMethod method);

private:
    struct Entry {
        bool isHeader = false;
        tarn::UUID collectionID;
        tarn::UUID requestID;
        QString text;
        TarnHTTPMethod method = TarnHTTPMethod::get;

        bool sameData(const Entry& other) const {
            return text == other.text && method == other.method;
        }
    };

    std::vector<Entry> entriesFromModel() const;
    void rebuild();
    // Applies one record of the requests of one collection; false when the
    // record cannot be applied row by row.
    bool applyRequestChange(const ViewModelChange& change);
    // Compares the rows with the model: repaints rows whose texts changed, or
    // rebuilds when the rows no longer stand for the model's requests.
    void reconcile();
    void updateActiveRequest();
    void repaintRow(int row);
    // Flat row of the first request of the collection, -1 when unknown.
    int firstRequestRow(const tarn::UUID& collectionID) const;
    const APIRequestSpec* findRequest(const tarn::UUID& collectionID,
                                      const tarn::UUID& requestID) const;
    static Entry requestEntry(const APIRequestCollection& collection,
                              const APIRequestSpec& request);

    QuillerViewModel& m_model;
    std::vector<Entry> m_entries;
    std::optional<tarn::UUID> m_activeID;
};

// Paints header and request rows from the model's roles.
class CollectionSidebarDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class CollectionSidebar final : public QWidget {
    Q_OBJECT
public:
    // `openCurlImporter` is called by the "cURL" button.
    CollectionSidebar(QuillerViewModel& model, ViewModelBridge& bridge,
                      std::function<void()> openCurlImporter, QWidget* parent = nullptr);

    CollectionSidebarModel* listModel() const { return m_listModel; }
    QListView* listView() const { return m_list; }

    // Selects the request of `row` as a click does.
    void selectRow(int row);
    // The row's context menu, built for `row` (nothing for a header row).
    QMenu* contextMenuFor(int row);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void retranslate();

    QuillerViewModel& m_model;
    CollectionSidebarModel* m_listModel;
    QListView* m_list;
    QLabel* m_title;
};

} // namespace quiller::workbench
