#include "QuillerApp/Views/DeletableRowList.h"

#include "QuillerApp/Views/ViewParts.h"
#include "QuillerApp/Views/WorkbenchSupport.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace quiller::workbench {

DeletableRowList::DeletableRowList(Look look, DeleteHandler onDelete, QWidget* parent)
    : QWidget(parent), m_look(look), m_onDelete(std::move(onDelete)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    const ScrollColumn list = makeScrollColumn(6, this);
    m_column = list.column;
    outer->addWidget(list.area);
}

QWidget* DeletableRowList::makeRow(const Row& row, Shown& shown) {
    auto* panel = new tarn::TarnRoundedFill(tarn::qColor(tarn::TarnGlassTokens::surface2), 8);
    panel->setObjectName(QStringLiteral("row"));
    auto* line = new QHBoxLayout(panel);
    line->setContentsMargins(8, 8, 8, 8);
    shown.id = row.id;
    shown.row = panel;
    shown.lead = label(row.lead, 12, m_look.leadWeight, true, m_look.leadColour, panel);
    shown.lead->setObjectName(QStringLiteral("rowLead"));
    shown.lead->setWordWrap(true);
    line->addWidget(shown.lead);
    if (m_look.showsTrail) {
        shown.trail = label(row.trail, 12, QFont::Normal, true,
                            tarn::qColor(tarn::TarnGlassTokens::textPrimary), panel);
        shown.trail->setObjectName(QStringLiteral("rowTrail"));
        shown.trail->setWordWrap(true);
        line->addWidget(shown.trail, 1);
    } else {
        line->addStretch(1);
    }
    auto* remove = new QToolButton(panel);
    remove->setObjectName(QStringLiteral("deleteRowButton"));
    remove->setAutoRaise(true);
    remove->setCursor(Qt::PointingHandCursor);
    remove->setIcon(tarn::symbolIcon("trash", tarn::qColor(tarn::TarnGlassTokens::danger), 14));
    remove->setIconSize(QSize(14, 14));
    const tarn::UUID id = row.id;
    connect(remove, &QToolButton::clicked, this, [this, id] {
        if (m_onDelete)
            m_onDelete(id);
    });
    line->addWidget(remove);
    return panel;
}

void DeletableRowList::setRows(const std::vector<Row>& rows) {
    std::vector<tarn::UUID> shownIds;
    shownIds.reserve(m_shown.size());
    for (const Shown& shown : m_shown)
        shownIds.push_back(shown.id);
    const bool sameIds =
        tarn::bindings::sameIdentities(shownIds, rows, [](const Row& row) { return row.id; });
    if (!sameIds) {
        for (Shown& shown : m_shown)
            delete shown.row;
        m_shown.assign(rows.size(), Shown{});
        for (std::size_t i = 0; i < rows.size(); ++i)
            m_column->insertWidget(static_cast<int>(i), makeRow(rows[i], m_shown[i]));
        return;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (m_shown[i].lead->text() != rows[i].lead)
            m_shown[i].lead->setText(rows[i].lead);
        if (m_shown[i].trail && m_shown[i].trail->text() != rows[i].trail)
            m_shown[i].trail->setText(rows[i].trail);
    }
}

std::vector<QWidget*> DeletableRowList::rowWidgets() const {
    std::vector<QWidget*> widgets;
    widgets.reserve(m_shown.size());
    for (const Shown& shown : m_shown)
        widgets.push_back(shown.row);
    return widgets;
}

} // namespace quiller::workbench
