#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace quiller::testing {
namespace {

GraphQLOperationField rootField(GraphQLRootKind kind, std::string name, std::size_t args = 0) {
    GraphQLOperationField field;
    field.rootKind = kind;
    field.name = std::move(name);
    field.returnTypeName = "String";
    field.returnTypeSignature = "String";
    field.returnTypeKind = "SCALAR";
    for (std::size_t i = 0; i < args; ++i)
        field.args.push_back(
            GraphQLFieldArg{.name = "arg" + std::to_string(i), .typeSignature = "String"});
    return field;
}

GraphQLSchemaSummary schemaWith(std::size_t queries, std::size_t mutations) {
    GraphQLSchemaSummary schema;
    schema.queryTypeName = "Query";
    schema.mutationTypeName = "Mutation";
    for (std::size_t i = 0; i < queries; ++i)
        schema.operations.push_back(rootField(GraphQLRootKind::query, "q" + std::to_string(i)));
    for (std::size_t i = 0; i < mutations; ++i)
        schema.operations.push_back(rootField(GraphQLRootKind::mutation, "m" + std::to_string(i)));
    return schema;
}

class GraphQLTest : public ViewModelTest {
protected:
    void SetUp() override {
        first.url = "https://{{host}}/graphql";
        workspaceStore->payload.collections = {makeCollection("A", {first, second})};
        workspaceStore->payload.environments = {
            makeEnvironment("Local", {KeyValueRow{.key = "host", .value = "local.test"}})};
        workspaceStore->payload.activeEnvironmentID = std::nullopt;
        makeViewModel();
    }

    APIRequestSpec first = makeRequest("First");
    APIRequestSpec second = makeRequest("Second");
};

TEST_F(GraphQLTest, FetchIntrospectsTheActiveRequestAndKeepsTheSchema) {
    execution->onIntrospect = [](const auto&, std::stop_token) { return schemaWith(2, 1); };
    vm().setGraphQLIntrospectionError("old");
    vm().fetchGraphQLSchema();
    EXPECT_TRUE(vm().isIntrospectingGraphQL());
    EXPECT_TRUE(vm().showGraphQLSchemaExplorer());
    EXPECT_FALSE(vm().graphQLIntrospectionError());

    settle();
    ASSERT_EQ(execution->introspectionCalls.size(), 1u);
    EXPECT_EQ(execution->introspectionCalls[0].spec.id, first.id);
    EXPECT_EQ(execution->introspectionCalls[0].variables.at("host"), "local.test");
    EXPECT_FALSE(vm().isIntrospectingGraphQL());
    ASSERT_TRUE(vm().graphQLSchema());
    EXPECT_EQ(vm().graphQLSchema()->operations.size(), 3u);
    EXPECT_EQ(vm().toastMessage(), "Introspected 2 queries & 1 mutations.");
    EXPECT_FALSE(vm().toastIsError());
}

TEST_F(GraphQLTest, FetchUsesTheGivenRequestAndDoesNothingWithoutAny) {
    vm().fetchGraphQLSchema(second);
    settle();
    ASSERT_EQ(execution->introspectionCalls.size(), 1u);
    EXPECT_EQ(execution->introspectionCalls[0].spec.id, second.id);

    vm().setCollections({makeCollection("Empty", {})});
    vm().setShowGraphQLSchemaExplorer(false);
    vm().fetchGraphQLSchema();
    settle();
    EXPECT_EQ(execution->introspectionCalls.size(), 1u);
    EXPECT_FALSE(vm().showGraphQLSchemaExplorer());
    EXPECT_FALSE(vm().isIntrospectingGraphQL());
}

TEST_F(GraphQLTest, FailedFetchKeepsThePreviousSchemaAndShowsTheError) {
    vm().setGraphQLSchema(schemaWith(1, 0));
    vm().setLanguage(tarn::TarnLanguage::tr);
    execution->onIntrospect = [](const auto&, std::stop_token) -> GraphQLSchemaSummary {
        throw tarn::PlatformError("NSURLErrorDomain", -1004, "Endpoint unreachable.");
    };
    vm().fetchGraphQLSchema();
    settle();
    EXPECT_FALSE(vm().isIntrospectingGraphQL());
    EXPECT_EQ(vm().graphQLIntrospectionError(), "Endpoint unreachable.");
    EXPECT_EQ(vm().toastMessage(), "Endpoint unreachable.");
    EXPECT_TRUE(vm().toastIsError());
    ASSERT_TRUE(vm().graphQLSchema());
    EXPECT_EQ(vm().graphQLSchema()->operations.size(), 1u);
}

TEST_F(GraphQLTest, OverlappingFetchesClearTheFlagOnlyWhenTheLastEnds) {
    int calls = 0;
    execution->onIntrospect = [&](const auto&, std::stop_token) {
        ++calls;
        return schemaWith(static_cast<std::size_t>(calls), 0);
    };
    vm().fetchGraphQLSchema();
    vm().fetchGraphQLSchema();
    ASSERT_EQ(background->size(), 2u);
    background->run(1);
    main->runUntilIdle();
    EXPECT_TRUE(vm().isIntrospectingGraphQL());
    background->run(0);
    main->runUntilIdle();
    EXPECT_FALSE(vm().isIntrospectingGraphQL());
    // Whichever finished last wins.
    EXPECT_EQ(vm().graphQLSchema()->queries().size(), 2u);
}

TEST_F(GraphQLTest, TemplateRewritesOnlyTheBodyOfTheActiveRequest) {
    const auto field = rootField(GraphQLRootKind::mutation, "createUser", 2);
    vm().applyGraphQLTemplate(field);
    EXPECT_EQ(vm().collections()[0].requests[0], first);
    EXPECT_TRUE(workspaceSaves().empty());

    const auto schema = schemaWith(0, 0);
    vm().setGraphQLSchema(schema);
    vm().setSelectedRequestID(second.id);
    changes.clear();
    vm().applyGraphQLTemplate(field);
    // One request updated in place, then the toast.
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0], (QuillerViewModel::Change{QuillerViewModel::Field::collections,
                                                    ListChangeKind::updated, 1, 1, second.id,
                                                    vm().collections()[0].id}));

    const auto expected = GraphQLIntrospectionEngine::generateOperationTemplate(field, schema, 2);
    const auto& changed = vm().collections()[0].requests[1];
    EXPECT_EQ(changed.method, TarnHTTPMethod::post);
    EXPECT_EQ(changed.bodyKind, RequestBodyKind::graphql);
    EXPECT_EQ(changed.bodyText, expected.query);
    EXPECT_EQ(changed.graphQLVariables, expected.variablesJSON);
    EXPECT_EQ(changed.url, second.url);
    EXPECT_EQ(changed.headers, second.headers);
    EXPECT_EQ(changed.assertions, second.assertions);
    EXPECT_EQ(vm().collections()[0].requests[0], first);
    EXPECT_EQ(workspaceSaves().back().collections[0].requests[1], changed);
    EXPECT_EQ(vm().toastMessage(), "Loaded Mutation 'createUser' into request body.");
    EXPECT_EQ(logEntries()[0].category, "graphql");
    EXPECT_EQ(logEntries()[0].message,
              "Generated GraphQL template for Mutation.createUser (2 args)");
}

TEST_F(GraphQLTest, TemplateWithoutARequestOnlyLogs) {
    vm().setGraphQLSchema(schemaWith(1, 0));
    vm().setCollections({makeCollection("Empty", {})});
    vm().applyGraphQLTemplate(rootField(GraphQLRootKind::query, "users"));
    EXPECT_FALSE(vm().toastMessage());
    EXPECT_TRUE(workspaceSaves().empty());
    EXPECT_EQ(logEntries()[0].message, "Generated GraphQL template for Query.users (0 args)");
}

} // namespace
} // namespace quiller::testing
