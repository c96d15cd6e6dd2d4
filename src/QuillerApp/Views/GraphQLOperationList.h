#pragma once

// The operation list of the GraphQL explorer: a list model over the operations
// the drawer's search kept, and the delegate that paints each as a card with
// its name, return type, arguments, description, deprecation badge and the
// "Generate Query" button, and answers a click on that button.
//
// Threads: the GUI thread.

#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"

#include <QAbstractListModel>
#include <QColor>
#include <QString>
#include <QStyledItemDelegate>
#include <functional>
#include <vector>

namespace quiller {

class GraphQLOperationListModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    // Updates the rows in place when the operations are the same ones in the
    // same order, else replaces them.
    void setOperations(std::vector<GraphQLOperationField> operations);
    const GraphQLOperationField& operation(int row) const;
    const std::vector<GraphQLOperationField>& operations() const { return m_operations; }

    int rowCount(const QModelIndex& parent = {}) const override;
    // Display: the operation's id ("Query.users").
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<GraphQLOperationField> m_operations;
};

class GraphQLOperationDelegate final : public QStyledItemDelegate {
public:
    using GenerateHandler = std::function<void(const GraphQLOperationField&)>;

    GraphQLOperationDelegate(GenerateHandler onGenerate, QObject* parent = nullptr);

    void setAccent(const QColor& accent) { m_accent = accent; }
    void setButtonTitle(const QString& title) { m_buttonTitle = title; }

    // Where the row's "Generate Query" button lies, for a row drawn in `rowRect`.
    QRect generateButtonRect(const QRect& rowRect) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    struct Layout;
    QSize buttonSize() const;
    Layout layoutFor(const GraphQLOperationField& operation, const QRect& rowRect) const;

    GenerateHandler m_onGenerate;
    QColor m_accent;
    QString m_buttonTitle;
};

} // namespace quiller
