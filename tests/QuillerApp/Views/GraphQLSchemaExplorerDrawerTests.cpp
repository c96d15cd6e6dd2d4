#include "QuillerApp/Views/GraphQLOperationList.h"
#include "QuillerApp/Views/GraphQLSchemaExplorerDrawer.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "support/QtViewModelTest.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace quiller {
namespace {

using tarn::TarnLanguage;
namespace explorer = graphQLExplorer;

GraphQLOperationField operation(GraphQLRootKind kind, std::string name,
                                std::vector<GraphQLFieldArg> args = {},
                                std::optional<std::string> description = std::nullopt) {
    GraphQLOperationField field;
    field.rootKind = kind;
    field.name = std::move(name);
    field.returnTypeName = "User";
    field.returnTypeSignature = "[User!]!";
    field.args = std::move(args);
    field.description = std::move(description);
    return field;
}

GraphQLFieldArg argument(std::string name, std::string signature) {
    GraphQLFieldArg arg;
    arg.name = std::move(name);
    arg.typeSignature = std::move(signature);
    return arg;
}

GraphQLSchemaSummary schemaOf(std::vector<GraphQLOperationField> operations, int types = 3) {
    GraphQLSchemaSummary schema;
    schema.operations = std::move(operations);
    for (int i = 0; i < types; ++i)
        schema.typesByName["Type" + std::to_string(i)] = GraphQLObjectTypeSummary{};
    return schema;
}

constexpr auto Q = GraphQLRootKind::query;
constexpr auto M = GraphQLRootKind::mutation;
constexpr auto S = GraphQLRootKind::subscription;

TEST(GraphQLExplorerPresentation, KindsTitlesSummaryArgumentsAndDescriptions) {
    const GraphQLSchemaSummary noSubscriptions = schemaOf({operation(M, "createUser")}, 0);
    EXPECT_EQ(explorer::availableRootKinds(noSubscriptions), (std::vector{Q, M}))
        << "Query stays even with no query";
    const GraphQLSchemaSummary all =
        schemaOf({operation(Q, "users"), operation(Q, "user"), operation(M, "createUser"),
                  operation(S, "userAdded")},
                 5);
    EXPECT_EQ(explorer::availableRootKinds(all), (std::vector{Q, M, S}));
    EXPECT_EQ(explorer::kindButtonTitle(Q, explorer::operationCount(all, Q)), "Query (2)");
    EXPECT_EQ(explorer::kindButtonTitle(M, explorer::operationCount(noSubscriptions, Q)),
              "Mutation (0)");
    EXPECT_EQ(explorer::kindButtonTitle(S, 12), "Subscription (12)");
    EXPECT_EQ(explorer::summaryText(all), "4 ops \u00B7 5 types");
    EXPECT_EQ(explorer::summaryText(schemaOf({}, 0)), "0 ops \u00B7 0 types");

    struct Row {
        GraphQLOperationField field;
        std::optional<std::string> arguments;
        std::optional<std::string> description;
    };
    const Row rows[] = {
        {operation(Q, "users"), std::nullopt, std::nullopt},
        {operation(Q, "user", {argument("id", "ID!")}, " \n\t "), "(id: ID!)", std::nullopt},
        {operation(Q, "search", {argument("text", "String!"), argument("first", "[Int]")},
                   "  Finds people \n"),
         "(text: String!, first: [Int])", "  Finds people \n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.field.name);
        EXPECT_EQ(explorer::argumentsText(row.field), row.arguments);
        EXPECT_EQ(explorer::descriptionText(row.field), row.description);
    }
}

class DrawerTest : public testing::QtViewModelTest {
protected:
    DrawerTest() : drawer(vm(), *bridge) {
        drawer.resize(310, 640);
        drawer.show();
        settleTurns();
    }

    static void settleTurns() {
        for (int i = 0; i < 3; ++i)
            endTurn();
    }

    template <class T> T* child(const QString& name) {
        T* found = drawer.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QAbstractButton* introspectButton() {
        return child<QAbstractButton>(QStringLiteral("graphQLIntrospectButton"));
    }
    QLineEdit* search() { return child<QLineEdit>(QStringLiteral("graphQLSearchField")); }
    QListView* list() { return child<QListView>(QStringLiteral("graphQLOperationList")); }

    // The kind buttons in order: title and whether it is active.
    std::vector<std::pair<std::string, bool>> kindBar() {
        std::vector<std::pair<std::string, bool>> shown;
        auto* bar = child<QWidget>(QStringLiteral("graphQLKindBar"));
        for (int i = 0; i < bar->layout()->count(); ++i)
            if (auto* button =
                    qobject_cast<tarn::TarnGlassButton*>(bar->layout()->itemAt(i)->widget()))
                shown.emplace_back(tarn::qt::toStdString(button->text()), button->isActive());
        return shown;
    }
    void pressKind(const char* raw) {
        QTest::mouseClick(
            child<QAbstractButton>(QStringLiteral("graphQLKind") + QLatin1String(raw)),
            Qt::LeftButton);
        settleTurns();
    }
    // The listed operations' ids, or the no-match text when that shows.
    std::vector<std::string> listed() {
        std::vector<std::string> ids;
        auto* area = static_cast<QStackedWidget*>(list()->parentWidget());
        if (area->currentWidget() != list())
            return {tarn::qt::toStdString(child<QLabel>(QStringLiteral("graphQLNoMatch"))->text())};
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            ids.push_back(tarn::qt::toStdString(list()->model()->index(row, 0).data().toString()));
        return ids;
    }
    void typeSearch(const char* text) {
        search()->selectAll();
        QTest::keyClicks(search(), text);
        if (QString::fromUtf8(text).isEmpty())
            QTest::keyClick(search(), Qt::Key_Backspace);
        settleTurns();
    }
    // Which of the stacked situations shows below the action row.
    std::string situation() {
        auto* content = static_cast<QStackedWidget*>(
            child<QWidget>(QStringLiteral("graphQLKindBar"))->parentWidget()->parentWidget());
        const int page = content->currentIndex();
        return page == 0 ? "loaded" : page == 1 ? "empty" : "nothing";
    }
    bool errorShown() { return child<QWidget>(QStringLiteral("graphQLErrorBox"))->isVisible(); }

    GraphQLSchemaExplorerDrawer drawer;
};

TEST_F(DrawerTest, KindButtonsCountEveryOperationAndPickTheListedKind) {
    vm().setGraphQLSchema(schemaOf(
        {operation(M, "createUser"), operation(M, "deleteUser"), operation(S, "userAdded")}));
    settleTurns();
    EXPECT_EQ(kindBar(),
              (std::vector<std::pair<std::string, bool>>{
                  {"Query (0)", true}, {"Mutation (2)", false}, {"Subscription (1)", false}}));
    EXPECT_EQ(listed(), (std::vector<std::string>{"No matching Query fields."}));
    EXPECT_EQ(child<QLabel>(QStringLiteral("graphQLSchemaSummary"))->text(),
              QStringLiteral("3 ops \u00B7 3 types"));

    pressKind("Mutation");
    EXPECT_EQ(listed(), (std::vector<std::string>{"Mutation.createUser", "Mutation.deleteUser"}));
    EXPECT_EQ(kindBar()[1], (std::pair<std::string, bool>{"Mutation (2)", true}));

    // Counts stay those of the whole schema while a search narrows the list.
    typeSearch("delete");
    EXPECT_EQ(listed(), (std::vector<std::string>{"Mutation.deleteUser"}));
    EXPECT_EQ(kindBar()[1].first, "Mutation (2)");
    EXPECT_EQ(child<QLabel>(QStringLiteral("graphQLSchemaSummary"))->text(),
              QStringLiteral("3 ops \u00B7 3 types"));

    vm().setLanguage(TarnLanguage::tr);
    typeSearch("nothing-like-this");
    EXPECT_EQ(listed(), (std::vector<std::string>{"Eşleşen Mutation alanı bulunamadı."}));
    EXPECT_EQ(kindBar()[1].first, "Mutation (2)") << "kind titles are not translated";
}

TEST_F(DrawerTest, ANewSchemaKeepsKindAndSearchEvenWhenTheKindIsGone) {
    vm().setGraphQLSchema(
        schemaOf({operation(Q, "users"), operation(S, "userAdded"), operation(S, "userRemoved")}));
    settleTurns();
    pressKind("Subscription");
    typeSearch("   ");
    EXPECT_EQ(listed(),
              (std::vector<std::string>{"Subscription.userAdded", "Subscription.userRemoved"}))
        << "a search of blanks keeps every operation";
    typeSearch("add");
    EXPECT_EQ(listed(), (std::vector<std::string>{"Subscription.userAdded"}));

    vm().setGraphQLSchema(schemaOf({operation(Q, "users"), operation(M, "addUser")}));
    settleTurns();
    EXPECT_EQ(kindBar(), (std::vector<std::pair<std::string, bool>>{{"Query (1)", false},
                                                                    {"Mutation (1)", false}}));
    EXPECT_EQ(listed(), (std::vector<std::string>{"No matching Subscription fields."}));
    EXPECT_EQ(search()->text(), QStringLiteral("add"));

    pressKind("Mutation");
    EXPECT_EQ(listed(), (std::vector<std::string>{"Mutation.addUser"}));
}

TEST_F(DrawerTest, SituationsFollowTheSchemaTheProgressFlagAndTheError) {
    struct Case {
        const char* name;
        bool schema;
        bool introspecting;
        std::optional<std::string> error;
        const char* shows;
        const char* buttonTitle;
        bool buttonEnabled;
    };
    const Case cases[] = {
        {"idle", false, false, std::nullopt, "empty", "Introspect Schema", true},
        {"first load", false, true, std::nullopt, "nothing", "Introspecting...", false},
        {"loaded", true, false, std::nullopt, "loaded", "Introspect Schema", true},
        {"reloading", true, true, std::nullopt, "loaded", "Introspecting...", false},
        {"failed beside an old schema", true, false, "Bad gateway", "loaded", "Introspect Schema",
         true},
        {"failed", false, false, "Bad gateway", "empty", "Introspect Schema", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vm().setGraphQLSchema(c.schema ? std::optional(schemaOf({operation(Q, "users")}))
                                       : std::nullopt);
        vm().setIsIntrospectingGraphQL(c.introspecting);
        vm().setGraphQLIntrospectionError(c.error);
        settleTurns();
        EXPECT_EQ(situation(), c.shows);
        EXPECT_EQ(introspectButton()->text().toStdString(), c.buttonTitle);
        EXPECT_EQ(introspectButton()->isEnabled(), c.buttonEnabled);
        EXPECT_EQ(errorShown(), c.error.has_value());
        if (c.error) {
            EXPECT_EQ(child<QLabel>(QStringLiteral("graphQLErrorText"))->text().toStdString(),
                      *c.error);
        }
        EXPECT_EQ(child<QLabel>(QStringLiteral("graphQLSchemaSummary"))->text().isEmpty(),
                  !c.schema);
    }

    vm().setLanguage(TarnLanguage::tr);
    settleTurns();
    EXPECT_EQ(introspectButton()->text(), QStringLiteral("Şemayı Keşfet"));
    EXPECT_EQ(child<QLabel>(QStringLiteral("graphQLDrawerTitle"))->text(),
              QStringLiteral("GraphQL Şema Gezgini"));
}

TEST_F(DrawerTest, IntrospectNeedsAnActiveRequestAndOpensTheDrawer) {
    const auto collections = vm().collections();
    vm().setCollections({});
    settleTurns();
    EXPECT_FALSE(introspectButton()->isEnabled());

    vm().setCollections(collections);
    settleTurns();
    ASSERT_TRUE(introspectButton()->isEnabled());
    execution->onIntrospect = [](const auto&, std::stop_token) {
        return schemaOf({operation(Q, "users"), operation(Q, "user")});
    };
    QTest::mouseClick(introspectButton(), Qt::LeftButton);
    settleTurns();
    EXPECT_TRUE(vm().showGraphQLSchemaExplorer());
    EXPECT_FALSE(introspectButton()->isEnabled());
    background->runAll();
    settleTurns();
    EXPECT_EQ(listed(), (std::vector<std::string>{"Query.users", "Query.user"}));
    EXPECT_TRUE(introspectButton()->isEnabled());
}

TEST_F(DrawerTest, ClosingForgetsTheKindAndTheSearch) {
    vm().setShowGraphQLSchemaExplorer(true);
    vm().setGraphQLSchema(schemaOf({operation(Q, "users"), operation(M, "addUser")}));
    settleTurns();
    pressKind("Mutation");
    typeSearch("add");
    ASSERT_EQ(drawer.uiState().selectedKind, M);

    QTest::mouseClick(child<QAbstractButton>(QStringLiteral("graphQLDrawerClose")), Qt::LeftButton);
    settleTurns();
    EXPECT_FALSE(vm().showGraphQLSchemaExplorer());
    EXPECT_EQ(drawer.uiState(), GraphQLExplorerUIState{});

    vm().setShowGraphQLSchemaExplorer(true);
    settleTurns();
    EXPECT_EQ(search()->text(), QString());
    EXPECT_EQ(listed(), (std::vector<std::string>{"Query.users"}));
    EXPECT_EQ(kindBar()[0], (std::pair<std::string, bool>{"Query (1)", true}));
}

TEST_F(DrawerTest, GenerateQueryFillsTheActiveRequestAndKeepsTheDrawerOpen) {
    vm().setShowGraphQLSchemaExplorer(true);
    vm().setGraphQLSchema(schemaOf(
        {operation(Q, "users"), operation(Q, "user", {argument("id", "ID!")}, "One user")}));
    settleTurns();
    ASSERT_EQ(listed().size(), 2u);

    auto* delegate = static_cast<GraphQLOperationDelegate*>(list()->itemDelegate());
    const QRect row = list()->visualRect(list()->model()->index(1, 0));
    const QRect button = delegate->generateButtonRect(row);
    ASSERT_TRUE(row.contains(button)) << "the button lies in its row";
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, button.center());
    settleTurns();

    const auto request = vm().activeRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, TarnHTTPMethod::post);
    EXPECT_EQ(request->bodyKind, RequestBodyKind::graphql);
    EXPECT_NE(request->bodyText.find("user(id: $id)"), std::string::npos) << request->bodyText;
    EXPECT_TRUE(vm().showGraphQLSchemaExplorer());

    // A click on the card beside the button generates nothing.
    const std::string body = request->bodyText;
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      list()->visualRect(list()->model()->index(0, 0)).topLeft() + QPoint(12, 12));
    settleTurns();
    EXPECT_NE(vm().activeRequest()->bodyText.find("user(id: $id)"), std::string::npos);
}

} // namespace
} // namespace quiller
