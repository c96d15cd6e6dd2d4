#include "QuillerApp/Views/RequestEditorPane.h"

#include "QuillerApp/Views/DeletableRowList.h"
#include "QuillerApp/Views/KeyValueRowEditor.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace quiller::workbench {
namespace {

using Field = QuillerViewModelField;
namespace bindings = tarn::bindings;
using RowList = std::vector<KeyValueRow> APIRequestSpec::*;

template <class Cases, class Enum> int caseIndexIn(const Cases& cases, Enum value) {
    const auto found = std::find(std::begin(cases), std::end(cases), value);
    return found == std::end(cases) ? 0 : static_cast<int>(found - std::begin(cases));
}

template <class Enum> int caseIndex(Enum value) {
    return caseIndexIn(allCases<Enum>(), value);
}

template <class Enum> std::optional<Enum> caseAt(int row) {
    const auto cases = allCases<Enum>();
    if (row < 0 || static_cast<std::size_t>(row) >= cases.size())
        return std::nullopt;
    return cases[static_cast<std::size_t>(row)];
}

QString ruleText(const ResponseAssertionRule& rule) {
    // An empty path leaves two blanks between label and expected value.
    return toQString(std::string(label(rule.kind)) + " " + rule.targetPath + " " +
                     rule.expectedValue);
}

// Refreshes an editor from the model unless it already shows that text.
void refreshEditor(QPlainTextEdit* editor, std::string& shown, const std::string& value) {
    if (shown == value)
        return;
    shown = value;
    bindings::refresh(editor, value);
}

} // namespace

RequestEditorPane::RequestEditorPane(QuillerViewModel& model, ClientUIState& ui, QWidget* parent)
    : QWidget(parent), m_model(model), m_ui(ui) {
    setObjectName(QStringLiteral("requestEditorPane"));
    auto* layout = columnLayout(this, 10);

    std::vector<QString> titles;
    std::vector<QString> names;
    for (const RequestEditorTab tab : requestEditorTabs) {
        titles.push_back(toQString(tabTitle(tab)));
        names.push_back(QStringLiteral("editorTab.") + toQString(rawValue(tab)));
    }
    layout->addLayout(glassButtonRow(
        this, titles, names, 6, [this](std::size_t i) { selectTab(requestEditorTabs[i]); },
        m_tabButtons));
    layout->addWidget(divider(Qt::Horizontal, this));

    const auto addRow = [this](RowList list) {
        return [this, list](const std::string& key, const std::string& value) {
            editActiveRequest(m_model, [&](APIRequestSpec& request) {
                (request.*list).push_back(KeyValueRow{.key = key, .value = value});
            });
        };
    };
    const auto deleteRow = [this](RowList list) {
        return [this, list](const tarn::UUID& id) {
            editActiveRequest(m_model, [&](APIRequestSpec& request) {
                std::erase_if(request.*list, [&](const KeyValueRow& row) { return row.id == id; });
            });
        };
    };
    m_headers = new KeyValueRowEditor(m_ui.newHeaderKey, m_ui.newHeaderVal,
                                      addRow(&APIRequestSpec::headers),
                                      deleteRow(&APIRequestSpec::headers));
    m_headers->setObjectName(QStringLiteral("headersEditor"));
    m_params = new KeyValueRowEditor(m_ui.newParamKey, m_ui.newParamVal,
                                     addRow(&APIRequestSpec::queryParams),
                                     deleteRow(&APIRequestSpec::queryParams));
    m_params->setObjectName(QStringLiteral("paramsEditor"));

    // Pages in the order of the tabs.
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("editorPages"));
    m_pages->addWidget(m_headers);
    m_pages->addWidget(m_params);
    m_pages->addWidget(makeAuthPage());
    m_pages->addWidget(makeBodyPage());
    m_pages->addWidget(makeAssertionsPage());
    layout->addWidget(m_pages, 1);

    retranslate();
    showAssertionDraft();
    showIntrospection();
    selectTab(m_ui.editorTab);
}

QWidget* RequestEditorPane::makeAuthPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("authPage"));
    auto* layout = columnLayout(page, 10);
    auto* pickerRow = new QHBoxLayout;
    pickerRow->addWidget(label(QStringLiteral("Auth"), 13, QFont::Normal, false,
                               tarn::qColor(tarn::TarnGlassTokens::textPrimary), page));
    m_authKind = new QComboBox(page);
    styleComboBox(m_authKind);
    m_authKind->setObjectName(QStringLiteral("authKindPicker"));
    for (const RequestAuthKind kind : allCases<RequestAuthKind>())
        m_authKind->addItem(toQString(label(kind)));
    pickerRow->addWidget(m_authKind);
    pickerRow->addStretch(1);
    layout->addLayout(pickerRow);

    using AuthText = std::string RequestAuthConfig::*;
    const auto field = [&](const char* name, const char* placeholder, AuthText member) {
        auto* edit = new QLineEdit(page);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setPlaceholderText(QString::fromUtf8(placeholder));
        styleField(edit);
        bindings::bindLineEdit(edit, [this, member](const std::string& text) {
            editActiveRequest(m_model,
                              [&](APIRequestSpec& request) { request.auth.*member = text; });
        });
        layout->addWidget(edit);
        return edit;
    };
    m_bearerToken = field("bearerTokenField", "Bearer Token (supports {{apiToken}})",
                          &RequestAuthConfig::bearerToken);
    m_basicUsername = field("basicUsernameField", "Username", &RequestAuthConfig::basicUsername);
    m_basicPassword = field("basicPasswordField", "Password", &RequestAuthConfig::basicPassword);
    m_basicPassword->setEchoMode(QLineEdit::Password);
    m_apiKeyHeaderName =
        field("apiKeyHeaderNameField", "Header Name", &RequestAuthConfig::apiKeyHeaderName);
    m_apiKeyValue = field("apiKeyValueField", "API Key Value", &RequestAuthConfig::apiKeyValue);
    layout->addStretch(1);

    bindings::bindComboBox(m_authKind, [this](int row) {
        const auto kind = caseAt<RequestAuthKind>(row);
        if (!kind)
            return;
        editActiveRequest(m_model, [&](APIRequestSpec& request) { request.auth.kind = *kind; });
        // Shown at once; the refresh of the turn finds the same kind.
        showAuthKind(*kind);
    });
    showAuthKind(RequestAuthKind::none);
    return page;
}

QWidget* RequestEditorPane::makeBodyPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("bodyPage"));
    auto* layout = columnLayout(page, 10);

    std::vector<QString> titles;
    std::vector<QString> names;
    for (const RequestBodyKind kind : allCases<RequestBodyKind>()) {
        titles.push_back(toQString(label(kind)));
        names.push_back(QStringLiteral("bodyKind.") + toQString(rawValue(kind)));
    }
    layout->addLayout(glassButtonRow(
        page, titles, names, 4,
        [this](std::size_t i) {
            const RequestBodyKind kind = allCases<RequestBodyKind>()[i];
            editActiveRequest(m_model, [&](APIRequestSpec& request) { request.bodyKind = kind; });
        },
        m_bodyKindButtons));

    m_noBody = new QWidget(page);
    m_noBody->setObjectName(QStringLiteral("noBody"));
    auto* noBodyColumn = columnLayout(m_noBody, 0);
    m_noBodyMessage = label({}, 13, QFont::Normal, false,
                            tarn::qColor(tarn::TarnGlassTokens::textMuted), m_noBody);
    m_noBodyMessage->setObjectName(QStringLiteral("noBodyMessage"));
    m_noBodyMessage->setAlignment(Qt::AlignCenter);
    m_noBodyMessage->setWordWrap(true);
    noBodyColumn->addStretch(1);
    noBodyColumn->addWidget(m_noBodyMessage);
    noBodyColumn->addStretch(1);
    layout->addWidget(m_noBody, 1);

    m_body = new QPlainTextEdit(page);
    m_body->setObjectName(QStringLiteral("bodyEditor"));
    styleTextPane(m_body, 8, 12.5);
    layout->addWidget(m_body, 1);
    bindings::bindPlainTextEdit(m_body, [this](const std::string& text) {
        m_shownBody = text;
        editActiveRequest(m_model, [&](APIRequestSpec& request) { request.bodyText = text; });
    });

    m_graphQL = new QWidget(page);
    m_graphQL->setObjectName(QStringLiteral("graphQLSection"));
    auto* graphQLColumn = columnLayout(m_graphQL, 10);
    auto* caption = new QHBoxLayout;
    caption->setSpacing(8);
    caption->addWidget(label(QStringLiteral("GraphQL Variables (JSON)"), 11, QFont::DemiBold, false,
                             tarn::qColor(tarn::TarnGlassTokens::textSecondary), m_graphQL));
    caption->addStretch(1);
    m_introspect = new tarn::TarnGlassButton({}, false, m_graphQL);
    m_introspect->setObjectName(QStringLiteral("introspectButton"));
    m_introspect->setFont(tarn::fonts::system(11, QFont::DemiBold));
    m_introspect->setIconSize(QSize(11, 11));
    m_introspecting =
        attachBusyIndicator(m_introspect, tarn::qColor(tarn::TarnGlassTokens::textPrimary));
    connect(m_introspect, &QAbstractButton::clicked, this,
            [this] { m_model.fetchGraphQLSchema(std::nullopt); });
    caption->addWidget(m_introspect);
    graphQLColumn->addLayout(caption);
    m_variables = new QPlainTextEdit(m_graphQL);
    m_variables->setObjectName(QStringLiteral("graphQLVariablesEditor"));
    styleTextPane(m_variables, 6, 12);
    m_variables->setFixedHeight(85);
    graphQLColumn->addWidget(m_variables);
    bindings::bindPlainTextEdit(m_variables, [this](const std::string& text) {
        m_shownVariables = text;
        editActiveRequest(m_model,
                          [&](APIRequestSpec& request) { request.graphQLVariables = text; });
    });
    layout->addWidget(m_graphQL);

    showBodyKind(RequestBodyKind::none);
    return page;
}

QWidget* RequestEditorPane::makeAssertionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("assertionsPage"));
    auto* layout = columnLayout(page, 8);
    auto* addRow = new QHBoxLayout;
    m_assertKind = new QComboBox(page);
    styleComboBox(m_assertKind);
    m_assertKind->setObjectName(QStringLiteral("assertKindPicker"));
    for (const AssertionKind kind : allCases<AssertionKind>())
        m_assertKind->addItem(toQString(label(kind)));
    m_assertKind->setFixedWidth(135);
    addRow->addWidget(m_assertKind);
    m_assertPath = new QLineEdit(page);
    m_assertPath->setObjectName(QStringLiteral("assertPathField"));
    m_assertPath->setPlaceholderText(QStringLiteral("$.data.id"));
    styleField(m_assertPath);
    addRow->addWidget(m_assertPath, 1);
    m_assertExpected = new QLineEdit(page);
    m_assertExpected->setObjectName(QStringLiteral("assertExpectedField"));
    m_assertExpected->setPlaceholderText(QStringLiteral("Expected"));
    styleField(m_assertExpected);
    addRow->addWidget(m_assertExpected, 1);
    auto* add = new tarn::TarnPrimaryButton(QStringLiteral("+"), page);
    add->setObjectName(QStringLiteral("addAssertionButton"));
    addRow->addWidget(add);
    layout->addLayout(addRow);

    m_assertions = new DeletableRowList(
        {tarn::qColor(tarn::TarnGlassTokens::textPrimary), QFont::Normal, false},
        [this](const tarn::UUID& id) {
            editActiveRequest(m_model, [&](APIRequestSpec& request) {
                std::erase_if(request.assertions,
                              [&](const ResponseAssertionRule& rule) { return rule.id == id; });
            });
        },
        page);
    m_assertions->setObjectName(QStringLiteral("assertionRules"));
    layout->addWidget(m_assertions, 1);

    bindings::bindComboBox(m_assertKind, [this](int row) {
        if (const auto kind = caseAt<AssertionKind>(row)) {
            m_ui.newAssertKind = *kind;
            showAssertionDraft();
        }
    });
    bindings::bindLineEdit(m_assertPath,
                           [this](const std::string& text) { m_ui.newAssertPath = text; });
    bindings::bindLineEdit(m_assertExpected,
                           [this](const std::string& text) { m_ui.newAssertExpected = text; });
    connect(add, &QAbstractButton::clicked, this, &RequestEditorPane::addAssertion);
    return page;
}

void RequestEditorPane::addAssertion() {
    // The path is taken whatever the kind, also while its field is hidden;
    // the drafts stay, so "+" again adds an equal rule with its own id.
    ResponseAssertionRule rule{.kind = m_ui.newAssertKind,
                               .targetPath = m_ui.newAssertPath,
                               .expectedValue = m_ui.newAssertExpected,
                               .isEnabled = true};
    editActiveRequest(m_model,
                      [&](APIRequestSpec& request) { request.assertions.push_back(rule); });
}

void RequestEditorPane::selectTab(RequestEditorTab tab) {
    m_ui.editorTab = tab;
    const int index = caseIndexIn(requestEditorTabs, tab);
    setActiveButton(m_tabButtons, static_cast<std::size_t>(index));
    m_pages->setCurrentIndex(index);
}

void RequestEditorPane::showRequest(const APIRequestSpec& request) {
    m_headers->setRows(request.headers);
    m_params->setRows(request.queryParams);

    bindings::refresh(m_authKind, caseIndex(request.auth.kind));
    showAuthKind(request.auth.kind);
    bindings::refresh(m_bearerToken, request.auth.bearerToken);
    bindings::refresh(m_basicUsername, request.auth.basicUsername);
    bindings::refresh(m_basicPassword, request.auth.basicPassword);
    bindings::refresh(m_apiKeyHeaderName, request.auth.apiKeyHeaderName);
    bindings::refresh(m_apiKeyValue, request.auth.apiKeyValue);

    showBodyKind(request.bodyKind);
    refreshEditor(m_body, m_shownBody, request.bodyText);
    refreshEditor(m_variables, m_shownVariables, request.graphQLVariables);

    std::vector<DeletableRowList::Row> rules;
    rules.reserve(request.assertions.size());
    for (const ResponseAssertionRule& rule : request.assertions)
        rules.push_back({rule.id, ruleText(rule), {}});
    m_assertions->setRows(rules);
}

void RequestEditorPane::apply(const ViewModelChanges& changes) {
    if (changes.contains(Field::language))
        retranslate();
    if (changes.containsAny(
            {Field::isIntrospectingGraphQL, Field::showGraphQLSchemaExplorer, Field::language}))
        showIntrospection();
}

void RequestEditorPane::showBodyKind(RequestBodyKind kind) {
    m_bodyKind = kind;
    setActiveButton(m_bodyKindButtons, static_cast<std::size_t>(caseIndex(kind)));
    m_noBody->setVisible(kind == RequestBodyKind::none);
    m_body->setVisible(kind != RequestBodyKind::none);
    m_graphQL->setVisible(kind == RequestBodyKind::graphql);
}

void RequestEditorPane::showAuthKind(RequestAuthKind kind) {
    m_bearerToken->setVisible(kind == RequestAuthKind::bearer);
    m_basicUsername->setVisible(kind == RequestAuthKind::basic);
    m_basicPassword->setVisible(kind == RequestAuthKind::basic);
    m_apiKeyHeaderName->setVisible(kind == RequestAuthKind::apiKeyHeader);
    m_apiKeyValue->setVisible(kind == RequestAuthKind::apiKeyHeader);
}

void RequestEditorPane::showAssertionDraft() {
    bindings::refresh(m_assertKind, caseIndex(m_ui.newAssertKind));
    m_assertPath->setVisible(m_ui.newAssertKind == AssertionKind::jsonPathEquals);
    bindings::refresh(m_assertPath, m_ui.newAssertPath);
    bindings::refresh(m_assertExpected, m_ui.newAssertExpected);
}

void RequestEditorPane::showIntrospection() {
    m_introspect->setActive(m_model.showGraphQLSchemaExplorer());
    showBusy(m_introspect, m_introspecting, m_model.isIntrospectingGraphQL(),
             text(m_model, "Introspect Schema", "\u015Eemay\u0131 Ke\u015Ffet"),
             tarn::symbolIcon("sparkles", tarn::qColor(tarn::TarnGlassTokens::textPrimary), 11));
}

void RequestEditorPane::retranslate() {
    m_noBodyMessage->setText(text(m_model, "This request has no body payload.",
                                  "Bu iste\u011Fin g\u00F6vde verisi yok."));
}

} // namespace quiller::workbench
