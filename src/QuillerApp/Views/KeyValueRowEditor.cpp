#include "QuillerApp/Views/KeyValueRowEditor.h"

#include "QuillerApp/Views/DeletableRowList.h"
#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/WorkbenchSupport.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/PlatformQt/QtConversions.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quiller::workbench {

KeyValueRowEditor::KeyValueRowEditor(std::string& keyDraft, std::string& valueDraft,
                                     AddHandler onAdd, DeleteHandler onDelete, QWidget* parent)
    : QWidget(parent), m_keyDraft(keyDraft), m_valueDraft(valueDraft), m_onAdd(std::move(onAdd)),
      m_keyField(new QLineEdit(this)), m_valueField(new QLineEdit(this)),
      m_addButton(new tarn::TarnPrimaryButton(QStringLiteral("+"), this)),
      m_rows(new DeletableRowList({studioAccent(), QFont::DemiBold, true}, std::move(onDelete),
                                  this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* entry = new QHBoxLayout;
    m_keyField->setObjectName(QStringLiteral("keyField"));
    m_keyField->setPlaceholderText(QStringLiteral("Key"));
    m_valueField->setObjectName(QStringLiteral("valueField"));
    m_valueField->setPlaceholderText(QStringLiteral("Value"));
    m_addButton->setObjectName(QStringLiteral("addRowButton"));
    for (QLineEdit* field : {m_keyField, m_valueField}) {
        styleField(field);
        entry->addWidget(field, 1);
    }
    entry->addWidget(m_addButton);
    column->addLayout(entry);
    column->addWidget(m_rows, 1);

    tarn::bindings::refresh(m_keyField, m_keyDraft);
    tarn::bindings::refresh(m_valueField, m_valueDraft);
    tarn::bindings::bindLineEdit(m_keyField,
                                 [this](const std::string& text) { m_keyDraft = text; });
    tarn::bindings::bindLineEdit(m_valueField,
                                 [this](const std::string& text) { m_valueDraft = text; });
    connect(m_addButton, &QAbstractButton::clicked, this, &KeyValueRowEditor::add);
}

void KeyValueRowEditor::add() {
    // Only the empty string is empty: a key of blanks is a key.
    if (m_keyDraft.empty())
        return;
    if (m_onAdd)
        m_onAdd(m_keyDraft, m_valueDraft);
    m_keyDraft.clear();
    m_valueDraft.clear();
    tarn::bindings::refresh(m_keyField, m_keyDraft);
    tarn::bindings::refresh(m_valueField, m_valueDraft);
}

void KeyValueRowEditor::setRows(const std::vector<KeyValueRow>& rows) {
    std::vector<DeletableRowList::Row> shown;
    shown.reserve(rows.size());
    for (const KeyValueRow& row : rows)
        shown.push_back({row.id, toQString(row.key), toQString(row.value)});
    m_rows->setRows(shown);
}

} // namespace quiller::workbench
