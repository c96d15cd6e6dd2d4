#pragma once

// The GraphQL schema explorer: the drawer beside the request editor in which
// the user introspects the active request's endpoint, browses the root
// operations by kind, searches them and turns one into the request's body.
//
// Everything that matters (the schema, the progress flag, the last error,
// whether the drawer is shown) lives in the view model; the drawer keeps only
// its search text and chosen kind, for as long as it is shown: when the view
// model's showGraphQLSchemaExplorer falls, they go back to an empty search and
// the Query kind, whether the host destroys the drawer or only hides it. The
// host decides the drawer's width.
//
// Threads: the GUI thread.

#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"

#include <QColor>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;
struct ViewModelChanges;
class GraphQLOperationListModel;

// The drawer's own state, never saved.
struct GraphQLExplorerUIState {
    std::string searchText{};
    GraphQLRootKind selectedKind = GraphQLRootKind::query;

    friend bool operator==(const GraphQLExplorerUIState&, const GraphQLExplorerUIState&) = default;
};

// What the drawer shows of a schema: pure functions, any thread.
namespace graphQLExplorer {

// The kinds that get a button: Query and Mutation always (also with no
// operation), Subscription only when the schema has one.
std::vector<GraphQLRootKind> availableRootKinds(const GraphQLSchemaSummary& schema);
// Every operation of the kind, whatever the search.
std::size_t operationCount(const GraphQLSchemaSummary& schema, GraphQLRootKind kind);
// "Query (12)": not translated.
std::string kindButtonTitle(GraphQLRootKind kind, std::size_t count);
// "<operations> ops · <kept types> types": not translated.
std::string summaryText(const GraphQLSchemaSummary& schema);
// "(id: ID!, first: Int)" in the schema's order; nothing without arguments.
std::optional<std::string> argumentsText(const GraphQLOperationField& operation);
// The description as stored; nothing when it is absent or blank.
std::optional<std::string> descriptionText(const GraphQLOperationField& operation);

} // namespace graphQLExplorer

class GraphQLSchemaExplorerDrawer final : public QWidget {
    Q_OBJECT
    // The host's accent colour: return types, the empty state's symbol.
    Q_PROPERTY(QColor accent READ accent WRITE setAccent)
public:
    GraphQLSchemaExplorerDrawer(QuillerViewModel& model, ViewModelBridge& bridge,
                                QWidget* parent = nullptr);
    ~GraphQLSchemaExplorerDrawer() override;

    const GraphQLExplorerUIState& uiState() const { return m_ui; }

    QColor accent() const { return m_accent; }
    void setAccent(const QColor& accent);

private:
    void build();
    // Shows the view model as it is now; `changes` limits the work to what
    // changed in the turn, nullptr means everything.
    void refresh(const ViewModelChanges* changes);
    void refreshTexts();
    void refreshActionRow();
    void refreshError();
    void refreshContent();
    void rebuildKindBar(const GraphQLSchemaSummary& schema);
    void chooseKind(GraphQLRootKind kind);
    void resetUIState();
    QString text(const char* en, const char* tr) const;

    QuillerViewModel& m_model;
    GraphQLExplorerUIState m_ui{};
    QColor m_accent;

    QLabel* m_titleIcon = nullptr;
    QLabel* m_title = nullptr;
    QToolButton* m_closeButton = nullptr;
    tarn::TarnPrimaryButton* m_introspectButton = nullptr;
    QTimer* m_spinner = nullptr;
    int m_spinnerStep = 0;
    QLabel* m_summary = nullptr;
    QWidget* m_errorBox = nullptr;
    QLabel* m_errorText = nullptr;
    QStackedWidget* m_content = nullptr;
    QWidget* m_loadedPage = nullptr;
    QWidget* m_emptyPage = nullptr;
    QWidget* m_nothingPage = nullptr;
    QLabel* m_emptySymbol = nullptr;
    QLabel* m_emptyText = nullptr;
    QWidget* m_kindBar = nullptr;
    std::vector<std::pair<GraphQLRootKind, tarn::TarnGlassButton*>> m_kindButtons;
    QLineEdit* m_search = nullptr;
    QStackedWidget* m_listArea = nullptr;
    QLabel* m_noMatch = nullptr;
    QListView* m_list = nullptr;
    GraphQLOperationListModel* m_operations = nullptr;
};

} // namespace quiller
