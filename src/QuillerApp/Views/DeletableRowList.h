#pragma once

// A scrolling column of rows, each a leading text, an optional second text
// and a trash button, on surface2 in rounded rectangles: the listed headers,
// parameters and assertion rules of the request editor. Rows are identified
// by their id: the list is rebuilt only when the ids change, otherwise the
// texts are updated in place.
//
// Threads: the GUI thread.

#include "QuillerCore/Models/RequestModel.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace quiller::workbench {

class DeletableRowList final : public QWidget {
    Q_OBJECT
public:
    struct Row {
        tarn::UUID id;
        QString lead{};
        QString trail{};
    };
    struct Look {
        QColor leadColour;
        int leadWeight = 400;
        bool showsTrail = true;
    };
    using DeleteHandler = std::function<void(const tarn::UUID&)>;

    DeletableRowList(Look look, DeleteHandler onDelete, QWidget* parent = nullptr);

    void setRows(const std::vector<Row>& rows);
    // The row widgets in order (each named "row"; its button "deleteRowButton").
    std::vector<QWidget*> rowWidgets() const;

private:
    struct Shown {
        tarn::UUID id;
        QWidget* row = nullptr;
        QLabel* lead = nullptr;
        QLabel* trail = nullptr;
    };
    QWidget* makeRow(const Row& row, Shown& shown);

    Look m_look;
    DeleteHandler m_onDelete;
    QVBoxLayout* m_column = nullptr;
    std::vector<Shown> m_shown;
};

} // namespace quiller::workbench
