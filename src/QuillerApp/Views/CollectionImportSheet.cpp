#include "QuillerApp/Views/CollectionImportSheet.h"

#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace quiller {

namespace fonts = tarn::fonts;
namespace tokens = tarn::TarnGlassTokens;

CollectionImportSheet::CollectionImportSheet(const std::string& draft, tarn::TarnLanguage language,
                                             Actions actions, QWidget* parent)
    : QDialog(parent, Qt::Sheet), m_actions(std::move(actions)) {
    setObjectName(QStringLiteral("collectionImportSheet"));
    setWindowModality(Qt::WindowModal);
    setFixedWidth(560);

    auto* ground = new tarn::TarnGroundBackground(tarn::TarnProductPalette::deepIndigo, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(ground);

    auto* column = new QVBoxLayout(ground);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(12);

    m_title = makeLabel(fonts::font(tarn::TarnTextStyle::headline),
                        tarn::qColor(tokens::textPrimary), ground);
    m_title->setObjectName(QStringLiteral("collectionImportTitle"));
    column->addWidget(m_title);

    m_editor = new QPlainTextEdit(ground);
    m_editor->setObjectName(QStringLiteral("importDraftEditor"));
    m_editor->setFont(fonts::system(12, QFont::Normal, true));
    m_editor->setFixedHeight(220);
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Base, tarn::qColor(tarn::TarnColor::black(0.28)));
    palette.setColor(QPalette::Text, tarn::qColor(tokens::textPrimary));
    m_editor->setPalette(palette);
    tarn::bindings::refresh(m_editor, draft);
    tarn::bindings::bindPlainTextEdit(m_editor, [this](const std::string& text) {
        if (m_actions.draftEdited)
            m_actions.draftEdited(text);
    });
    column->addWidget(m_editor);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    m_cancel = new tarn::TarnGlassButton(QString(), false, ground);
    m_cancel->setObjectName(QStringLiteral("collectionImportCancel"));
    m_import = new tarn::TarnPrimaryButton(QString(), ground);
    m_import->setObjectName(QStringLiteral("collectionImportConfirm"));
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_import);
    column->addLayout(buttons);

    connect(m_cancel, &QAbstractButton::clicked, this, [this] { reject(); });
    connect(m_import, &QAbstractButton::clicked, this, [this] {
        if (m_actions.import)
            m_actions.import();
    });
    setLanguage(language);
}

void CollectionImportSheet::setLanguage(tarn::TarnLanguage language) {
    m_title->setText(viewText("Import OpenAPI 3.0 or Postman v2.1 JSON",
                              "OpenAPI 3.0 veya Postman v2.1 JSON İçe Aktar", language));
    m_cancel->setText(viewText("Cancel", "İptal", language));
    m_import->setText(viewText("Import Collection", "Koleksiyonu Aktar", language));
}

void CollectionImportSheet::reject() {
    // The owner decides whether the sheet goes; it closes it by deleting it.
    if (m_actions.cancel)
        m_actions.cancel();
}

} // namespace quiller
