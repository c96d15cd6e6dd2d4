#include "QuillerApp/Views/CurlImportSheet.h"

#include "QuillerApp/Views/WorkbenchSupport.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace quiller::workbench {

CurlImportSheet::CurlImportSheet(QuillerViewModel& model, ClientUIState& ui, QWidget* parent)
    : QDialog(parent), m_model(model), m_ui(ui),
      m_title(label({}, 13, QFont::DemiBold, false,
                    tarn::qColor(tarn::TarnGlassTokens::textPrimary), this)),
      m_draft(new QPlainTextEdit(this)), m_cancel(new tarn::TarnGlassButton({}, false, this)),
      m_import(new tarn::TarnPrimaryButton({}, this)) {
    setObjectName(QStringLiteral("curlImportSheet"));
    setWindowModality(Qt::WindowModal);
    setFixedWidth(520);
    setAutoFillBackground(true);
    QPalette backdrop = palette();
    backdrop.setColor(QPalette::Window, QColor::fromRgb(0x22, 0x25, 0x31));
    setPalette(backdrop);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(12);
    m_title->setObjectName(QStringLiteral("curlSheetTitle"));
    column->addWidget(m_title);
    m_draft->setObjectName(QStringLiteral("curlDraftEditor"));
    styleTextPane(m_draft, 6, 12.5);
    m_draft->setFixedHeight(150);
    column->addWidget(m_draft);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel->setObjectName(QStringLiteral("curlCancelButton"));
    m_import->setObjectName(QStringLiteral("curlImportButton"));
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_import);
    column->addLayout(buttons);

    tarn::bindings::refresh(m_draft, m_ui.curlDraft);
    tarn::bindings::bindPlainTextEdit(m_draft,
                                      [this](const std::string& text) { m_ui.curlDraft = text; });
    connect(m_cancel, &QAbstractButton::clicked, this, &CurlImportSheet::closeSheet);
    connect(m_import, &QAbstractButton::clicked, this, &CurlImportSheet::importDraft);
    // Escape and the window's close button reject the dialog.
    connect(this, &QDialog::rejected, this, [this] { m_ui.showCurlImporter = false; });
    retranslate();
}

void CurlImportSheet::present() {
    m_ui.showCurlImporter = true;
    tarn::bindings::refresh(m_draft, m_ui.curlDraft);
    open();
    m_draft->setFocus();
}

void CurlImportSheet::importDraft() {
    // The text as typed, not trimmed; the sheet closes whatever the outcome.
    const std::string draft = m_ui.curlDraft;
    m_model.importCurl(draft);
    closeSheet();
}

void CurlImportSheet::closeSheet() {
    m_ui.showCurlImporter = false;
    hide();
}

void CurlImportSheet::retranslate() {
    m_title->setText(text(m_model, "Import cURL Command", "cURL Komutunu \u0130\u00E7e Aktar"));
    m_cancel->setText(text(m_model, "Cancel", "\u0130ptal"));
    m_import->setText(text(m_model, "Import", "\u0130\u00E7e Aktar"));
    m_cancel->updateGeometry();
    m_import->updateGeometry();
}

} // namespace quiller::workbench
