#include "QuillerApp/Views/URLActionBar.h"

#include "QuillerApp/Views/ViewParts.h"
#include "QuillerApp/Views/WorkbenchSupport.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quiller::workbench {
namespace {

using Field = QuillerViewModelField;
namespace bindings = tarn::bindings;

int methodIndex(TarnHTTPMethod method) {
    const auto cases = allCases<TarnHTTPMethod>();
    for (std::size_t i = 0; i < cases.size(); ++i)
        if (cases[i] == method)
            return static_cast<int>(i);
    return 0;
}

QIcon sendIcon() {
    return tarn::symbolIcon("paperplane.fill", tarn::qColor(tarn::TarnColor::black(0.9)), 13);
}

} // namespace

URLActionBar::URLActionBar(QuillerViewModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_name(new QLineEdit(this)), m_method(new QComboBox(this)),
      m_url(new QLineEdit(this)), m_schemaExplorer(new tarn::TarnGlassButton({}, false, this)),
      m_copyCurl(new tarn::TarnGlassButton({}, false, this)),
      m_send(new tarn::TarnPrimaryButton({}, this)),
      m_sending(attachBusyIndicator(m_send, tarn::qColor(tarn::TarnColor::black(0.7)))) {
    setObjectName(QStringLiteral("urlActionBar"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* first = new QHBoxLayout;
    first->setSpacing(8);
    m_name->setObjectName(QStringLiteral("requestNameField"));
    m_name->setFrame(false);
    m_name->setFont(tarn::fonts::system(13, QFont::DemiBold));
    m_name->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
    setTextColour(m_name, tarn::qColor(tarn::TarnGlassTokens::textPrimary));
    first->addWidget(m_name, 1);
    const QColor iconColour = tarn::qColor(tarn::TarnGlassTokens::textPrimary);
    m_schemaExplorer->setObjectName(QStringLiteral("schemaExplorerButton"));
    m_schemaExplorer->setIcon(
        tarn::symbolIcon("point.3.connected.trianglepath.dotted", iconColour, 13));
    m_schemaExplorer->setIconSize(QSize(13, 13));
    m_schemaExplorer->hide();
    first->addWidget(m_schemaExplorer);
    m_copyCurl->setObjectName(QStringLiteral("copyCurlButton"));
    m_copyCurl->setIcon(tarn::symbolIcon("terminal", iconColour, 13));
    m_copyCurl->setIconSize(QSize(13, 13));
    first->addWidget(m_copyCurl);
    column->addLayout(first);

    auto* second = new QHBoxLayout;
    second->setSpacing(8);
    styleComboBox(m_method);
    m_method->setObjectName(QStringLiteral("methodPicker"));
    for (const TarnHTTPMethod method : allCases<TarnHTTPMethod>())
        m_method->addItem(toQString(rawValue(method)));
    m_method->setFixedWidth(98);
    second->addWidget(m_method);
    m_url->setObjectName(QStringLiteral("urlField"));
    m_url->setPlaceholderText(QStringLiteral("https://api.example.com/v1/items"));
    styleField(m_url, true, 13);
    second->addWidget(m_url, 1);
    m_send->setObjectName(QStringLiteral("sendButton"));
    m_send->setIcon(sendIcon());
    m_send->setIconSize(QSize(13, 13));
    second->addWidget(m_send);
    column->addLayout(second);

    bindings::bindLineEdit(m_name, [this](const std::string& text) {
        editActiveRequest(m_model, [&](APIRequestSpec& request) { request.name = text; });
    });
    bindings::bindLineEdit(m_url, [this](const std::string& text) {
        editActiveRequest(m_model, [&](APIRequestSpec& request) { request.url = text; });
    });
    bindings::bindComboBox(m_method, [this](int row) {
        const auto cases = allCases<TarnHTTPMethod>();
        if (row < 0 || static_cast<std::size_t>(row) >= cases.size())
            return;
        editActiveRequest(m_model, [&](APIRequestSpec& request) {
            request.method = cases[static_cast<std::size_t>(row)];
        });
    });
    // Return sends even while a send is in flight: the view model starts
    // another one, as the Part of the bar asks.
    connect(m_url, &QLineEdit::returnPressed, this, [this] { m_model.sendActiveRequest(); });
    connect(m_send, &QAbstractButton::clicked, this, [this] { m_model.sendActiveRequest(); });
    connect(m_copyCurl, &QAbstractButton::clicked, this, [this] {
        m_model.copyText(m_model.generatedCodeSnippet(),
                         std::string(rawValue(m_model.snippetLanguage())));
    });
    connect(m_schemaExplorer, &QAbstractButton::clicked, this,
            [this] { m_model.setShowGraphQLSchemaExplorer(!m_model.showGraphQLSchemaExplorer()); });

    retranslate();
    showSending();
    showDrawerToggle();
}

void URLActionBar::showRequest(const APIRequestSpec& request) {
    bindings::refresh(m_name, request.name);
    bindings::refresh(m_url, request.url);
    bindings::refresh(m_method, methodIndex(request.method));
    m_isGraphQL = request.bodyKind == RequestBodyKind::graphql;
    showDrawerToggle();
}

void URLActionBar::apply(const ViewModelChanges& changes) {
    if (changes.contains(Field::language))
        retranslate();
    if (changes.contains(Field::isSending))
        showSending();
    if (changes.contains(Field::showGraphQLSchemaExplorer))
        showDrawerToggle();
}

void URLActionBar::showSending() {
    showBusy(m_send, m_sending, m_model.isSending(), text(m_model, sendLabelEn, sendLabelTr),
             sendIcon());
}

void URLActionBar::showDrawerToggle() {
    m_schemaExplorer->setVisible(m_isGraphQL);
    m_schemaExplorer->setActive(m_model.showGraphQLSchemaExplorer());
}

void URLActionBar::retranslate() {
    m_name->setPlaceholderText(text(m_model, "Request Name", "\u0130stek Ad\u0131"));
    m_schemaExplorer->setText(text(m_model, "Schema Explorer", "\u015Eema Gezgini"));
    m_copyCurl->setText(text(m_model, "Copy cURL", "cURL Kopyala"));
    if (!m_model.isSending())
        m_send->setText(text(m_model, sendLabelEn, sendLabelTr));
    for (QWidget* button : {static_cast<QWidget*>(m_schemaExplorer),
                            static_cast<QWidget*>(m_copyCurl), static_cast<QWidget*>(m_send)})
        button->updateGeometry();
}

} // namespace quiller::workbench
