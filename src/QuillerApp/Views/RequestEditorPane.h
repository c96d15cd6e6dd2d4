#pragma once

// The workbench's request editor: headers, query parameters, authentication,
// body (with the GraphQL variables and the introspection action) and
// assertions of the active request. Every edit goes straight into the
// request active at that moment and saves; the shown tab and the drafts of
// new rows live in the workbench's ClientUIState.
//
// Threads: the GUI thread.

#include "QuillerApp/Views/ClientUIState.h"
#include "QuillerApp/Views/ViewModelBridge.h"

#include <QWidget>
#include <array>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStackedWidget;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller::workbench {

class BusyIndicator;
class DeletableRowList;
class KeyValueRowEditor;

class RequestEditorPane final : public QWidget {
    Q_OBJECT
public:
    RequestEditorPane(QuillerViewModel& model, ClientUIState& ui, QWidget* parent = nullptr);

    void showRequest(const APIRequestSpec& request);
    void apply(const ViewModelChanges& changes);

    void selectTab(RequestEditorTab tab);

private:
    QWidget* makeAuthPage();
    QWidget* makeBodyPage();
    QWidget* makeAssertionsPage();
    void showBodyKind(RequestBodyKind kind);
    void showAuthKind(RequestAuthKind kind);
    void showAssertionDraft();
    void showIntrospection();
    void retranslate();
    void addAssertion();

    QuillerViewModel& m_model;
    ClientUIState& m_ui;
    std::array<tarn::TarnGlassButton*, requestEditorTabs.size()> m_tabButtons{};
    QStackedWidget* m_pages = nullptr;

    KeyValueRowEditor* m_headers = nullptr;
    KeyValueRowEditor* m_params = nullptr;

    QComboBox* m_authKind = nullptr;
    QLineEdit* m_bearerToken = nullptr;
    QLineEdit* m_basicUsername = nullptr;
    QLineEdit* m_basicPassword = nullptr;
    QLineEdit* m_apiKeyHeaderName = nullptr;
    QLineEdit* m_apiKeyValue = nullptr;

    std::array<tarn::TarnGlassButton*, 5> m_bodyKindButtons{};
    QWidget* m_noBody = nullptr;
    QLabel* m_noBodyMessage = nullptr;
    QPlainTextEdit* m_body = nullptr;
    QWidget* m_graphQL = nullptr;
    tarn::TarnGlassButton* m_introspect = nullptr;
    BusyIndicator* m_introspecting = nullptr;
    QPlainTextEdit* m_variables = nullptr;
    // The texts the two editors show, as the model holds them: a refresh
    // compares these instead of reading back a large editor.
    std::string m_shownBody;
    std::string m_shownVariables;
    RequestBodyKind m_bodyKind = RequestBodyKind::none;

    QComboBox* m_assertKind = nullptr;
    QLineEdit* m_assertPath = nullptr;
    QLineEdit* m_assertExpected = nullptr;
    DeletableRowList* m_assertions = nullptr;
};

} // namespace quiller::workbench
