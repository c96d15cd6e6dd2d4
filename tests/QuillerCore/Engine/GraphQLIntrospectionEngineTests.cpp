#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"
#include "TarnKit/Platform/JSONCoding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quiller {
namespace {

using Json = nlohmann::json;
using GraphQLIntrospectionEngine::parseIntrospection;

// --- Introspection answers as a server writes them -------------------------------

Json named(const char* kind, const char* name) {
    return {{"kind", kind}, {"name", name}, {"ofType", nullptr}};
}
Json nonNull(Json inner) {
    return {{"kind", "NON_NULL"}, {"name", nullptr}, {"ofType", std::move(inner)}};
}
Json listOf(Json inner) {
    return {{"kind", "LIST"}, {"name", nullptr}, {"ofType", std::move(inner)}};
}
Json argument(const char* name, Json type, Json defaultValue = nullptr) {
    return {{"name", name},
            {"description", nullptr},
            {"type", std::move(type)},
            {"defaultValue", std::move(defaultValue)}};
}
Json field(const char* name, Json type, Json args = Json::array(), bool deprecated = false,
           Json description = nullptr) {
    return {{"name", name},
            {"description", std::move(description)},
            {"args", std::move(args)},
            {"type", std::move(type)},
            {"isDeprecated", deprecated}};
}
Json objectType(const char* name, Json fields) {
    return {{"kind", "OBJECT"},       {"name", name},
            {"description", nullptr}, {"fields", std::move(fields)},
            {"inputFields", nullptr}, {"enumValues", nullptr}};
}
Json schemaObject(Json types, Json queryType = {{"name", "Query"}}, Json mutationType = nullptr,
                  Json subscriptionType = nullptr) {
    return {{"queryType", std::move(queryType)},
            {"mutationType", std::move(mutationType)},
            {"subscriptionType", std::move(subscriptionType)},
            {"types", std::move(types)}};
}
std::string answer(Json schema) {
    return Json{{"data", {{"__schema", std::move(schema)}}}}.dump();
}

void expectSameSchema(GraphQLSchemaSummary a, GraphQLSchemaSummary b) {
    a.fetchedAt = b.fetchedAt = {};
    EXPECT_EQ(a, b);
}

// --- Failures ----------------------------------------------------------------------

TEST(GraphQLIntrospectionParse, FailsWithTheThreeErrorsAndTheirTexts) {
    using Kind = GraphQLIntrospectionError::Kind;
    const std::string missingText = "Response did not contain a GraphQL data.__schema payload. "
                                    "Introspection may be disabled on this endpoint.";
    const std::string invalidText = "Invalid JSON received from GraphQL endpoint.";
    const struct {
        std::string body;
        Kind kind;
        std::string description;
    } cases[] = {
        {"not json", Kind::invalidJSON, invalidText},
        {"", Kind::invalidJSON, invalidText},
        {R"([{"data":{"__schema":{}}}])", Kind::invalidJSON, invalidText},
        {R"("a text")", Kind::invalidJSON, invalidText},
        {"{\"data\":{\"__schema\":{\"types\":[{\"name\":\"\xC3\x28\"}]}}}", Kind::invalidJSON,
         invalidText},
        {std::string(600, '[') + std::string(600, ']'), Kind::invalidJSON, invalidText},
        {R"({"errors":[{"message":"Not authorised"}]})", Kind::serverError,
         "GraphQL introspection error: Not authorised"},
        // Elements without a text message are passed over; the message is not trimmed.
        {R"({"errors":[{"code":1},{"message":7},{"message":" second "}]})", Kind::serverError,
         "GraphQL introspection error:  second "},
        {R"({"data":null,"errors":[{"message":"Forbidden"},{"message":"later"}]})",
         Kind::serverError, "GraphQL introspection error: Forbidden"},
        // Only the first message counts, even when it is empty.
        {R"({"errors":[{"message":""},{"message":"later"}]})", Kind::missingSchemaPayload,
         missingText},
        {R"({"errors":[]})", Kind::missingSchemaPayload, missingText},
        {R"({"errors":[{"code":1}]})", Kind::missingSchemaPayload, missingText},
        // One element that is not an object voids the whole list.
        {R"({"errors":["oops",{"message":"m"}]})", Kind::missingSchemaPayload, missingText},
        {R"({"errors":{"message":"m"}})", Kind::missingSchemaPayload, missingText},
        {R"({"data":null})", Kind::missingSchemaPayload, missingText},
        {R"({"data":{"__schema":null}})", Kind::missingSchemaPayload, missingText},
        {R"({"data":{"__schema":[]}})", Kind::missingSchemaPayload, missingText},
        {R"({"data":{}})", Kind::missingSchemaPayload, missingText},
        {"{}", Kind::missingSchemaPayload, missingText},
    };
    for (const auto& c : cases) {
        try {
            (void)parseIntrospection(c.body);
            ADD_FAILURE() << "parsed: " << c.body.substr(0, 80);
        } catch (const GraphQLIntrospectionError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.body.substr(0, 80);
            EXPECT_EQ(error.description(), c.description) << c.body.substr(0, 80);
        }
    }
}

TEST(GraphQLIntrospectionParse, ErrorsCompareByValueAndAreCaughtAsPlatformErrors) {
    EXPECT_EQ(GraphQLIntrospectionError::serverError("a"),
              GraphQLIntrospectionError::serverError("a"));
    EXPECT_FALSE(GraphQLIntrospectionError::serverError("a") ==
                 GraphQLIntrospectionError::serverError("b"));
    EXPECT_FALSE(GraphQLIntrospectionError::invalidJSON() ==
                 GraphQLIntrospectionError::missingSchemaPayload());
    try {
        (void)parseIntrospection(R"({"errors":[{"message":"Not authorised"}]})");
        ADD_FAILURE();
    } catch (const tarn::PlatformError& error) {
        EXPECT_STREQ(error.what(), "GraphQL introspection error: Not authorised");
    }
}

// --- Schema shapes and types -------------------------------------------------------

TEST(GraphQLIntrospectionParse, AcceptsBothAnswerShapesAndPrefersData) {
    const Json schema = schemaObject(
        Json::array({objectType("Query", Json::array({field("me", named("SCALAR", "ID"))}))}));
    const GraphQLSchemaSummary underData = parseIntrospection(answer(schema));
    const GraphQLSchemaSummary atTop = parseIntrospection(Json{{"__schema", schema}}.dump());
    expectSameSchema(underData, atTop);
    ASSERT_EQ(underData.operations.size(), 1u);

    Json other = schema;
    other["queryType"]["name"] = "Other";
    const GraphQLSchemaSummary both =
        parseIntrospection(Json{{"data", {{"__schema", schema}}}, {"__schema", other}}.dump());
    EXPECT_EQ(both.queryTypeName, "Query");

    // A schema is read even when the answer also reports errors.
    const GraphQLSchemaSummary withErrors = parseIntrospection(
        Json{{"data", {{"__schema", schema}}}, {"errors", {{{"message", "partial"}}}}}.dump());
    expectSameSchema(withErrors, underData);
}

TEST(GraphQLIntrospectionParse, UnwrapsTypeReferences) {
    const struct {
        const char* name;
        Json type;
        const char* signature;
        const char* baseName;
        const char* baseKind;
        bool isNonNull;
        bool isList;
    } cases[] = {
        {"nonNullListOfNonNull", nonNull(listOf(nonNull(named("OBJECT", "User")))), "[User!]!",
         "User", "OBJECT", true, true},
        {"listOfNonNull", listOf(nonNull(named("OBJECT", "User"))), "[User!]", "User", "OBJECT",
         false, true},
        {"nonNullInt", nonNull(named("SCALAR", "Int")), "Int!", "Int", "SCALAR", true, false},
        {"nonNullInsideList", listOf(listOf(nonNull(named("ENUM", "Role")))), "[[Role!]]", "Role",
         "ENUM", false, true},
        {"missing", nullptr, "String", "String", "SCALAR", false, false},
        {"notAnObject", "Int", "String", "String", "SCALAR", false, false},
        {"nonNullWithoutInner", {{"kind", "NON_NULL"}}, "String!", "String", "SCALAR", true, false},
        {"noKind", {{"name", "Date"}}, "Date", "Date", "SCALAR", false, false},
        {"noName", {{"kind", "INPUT_OBJECT"}}, "String", "String", "INPUT_OBJECT", false, false},
        // The wrapper kinds are matched exactly.
        {"lowerCaseWrapper",
         {{"kind", "non_null"}, {"name", "X"}, {"ofType", named("SCALAR", "Int")}},
         "X",
         "X",
         "non_null",
         false,
         false},
    };
    Json args = Json::array();
    for (const auto& c : cases)
        args.push_back(argument(c.name, c.type));
    const GraphQLSchemaSummary schema = parseIntrospection(answer(schemaObject(Json::array(
        {objectType("Query", Json::array({field("f", named("SCALAR", "ID"), args)}))}))));

    ASSERT_EQ(schema.operations.size(), 1u);
    const std::vector<GraphQLFieldArg>& parsed = schema.operations[0].args;
    ASSERT_EQ(parsed.size(), std::size(cases));
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(parsed[i].name, c.name);
        EXPECT_EQ(parsed[i].typeSignature, c.signature) << c.name;
        EXPECT_EQ(parsed[i].baseTypeName, c.baseName) << c.name;
        EXPECT_EQ(parsed[i].baseTypeKind, c.baseKind) << c.name;
        EXPECT_EQ(parsed[i].isNonNull, c.isNonNull) << c.name;
        EXPECT_EQ(parsed[i].isList, c.isList) << c.name;
    }
}

TEST(GraphQLIntrospectionParse, StoresEveryNamedTypeButTheIntrospectionOnes) {
    Json typeWithoutKind = objectType("Loose", Json::array({field("bare", nullptr)}));
    typeWithoutKind.erase("kind");
    typeWithoutKind["fields"].push_back({{"name", ""}});                // dropped: empty name
    typeWithoutKind["fields"].push_back({{"description", "nameless"}}); // dropped: no name
    const Json types = Json::array({
        objectType("Query", Json::array()),
        objectType("__Type", Json::array({field("kind", named("ENUM", "__TypeKind"))})),
        {{"kind", "SCALAR"}, {"name", "String"}, {"description", "Text"}},
        typeWithoutKind,
        objectType("", Json::array()),
        {{"kind", "OBJECT"}},
        {{"kind", "ENUM"},
         {"name", "Role"},
         {"enumValues", {{{"name", "ADMIN"}}, {{"name", 3}}, {{"name", "MEMBER"}}}}},
        {{"kind", "INPUT_OBJECT"},
         {"name", "Filter"},
         {"inputFields",
          {argument("term", nonNull(named("SCALAR", "String")), "\"x\""), {{"name", nullptr}}}}},
        // A later type of the same name replaces the earlier one.
        {{"kind", "UNION"}, {"name", "Role"}},
    });
    const GraphQLSchemaSummary schema = parseIntrospection(answer(schemaObject(types)));

    std::vector<std::string> names;
    for (const auto& [name, type] : schema.typesByName)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Filter", "Loose", "Query", "Role", "String"}));

    const GraphQLObjectTypeSummary& string = schema.typesByName.at("String");
    EXPECT_EQ(string.kind, "SCALAR");
    EXPECT_EQ(string.description, "Text");
    EXPECT_TRUE(string.fields.empty());

    const GraphQLObjectTypeSummary& loose = schema.typesByName.at("Loose");
    EXPECT_EQ(loose.kind, "OBJECT");
    ASSERT_EQ(loose.fields.size(), 1u);
    EXPECT_EQ(loose.fields[0], (GraphQLObjectFieldSummary{.name = "bare",
                                                          .typeSignature = "String",
                                                          .returnTypeName = "String",
                                                          .returnTypeKind = "SCALAR"}));

    EXPECT_EQ(schema.typesByName.at("Role").kind, "UNION");
    EXPECT_TRUE(schema.typesByName.at("Role").enumValues.empty());

    const GraphQLObjectTypeSummary& filter = schema.typesByName.at("Filter");
    ASSERT_EQ(filter.inputFields.size(), 1u);
    EXPECT_EQ(filter.inputFields[0].defaultValue, "\"x\"");
    EXPECT_FALSE(filter.inputFields[0].isRequired());
}

TEST(GraphQLIntrospectionParse, KeepsEnumValuesInOrderSkippingNonTexts) {
    const GraphQLSchemaSummary schema = parseIntrospection(answer(schemaObject(Json::array({
        {{"kind", "ENUM"},
         {"name", "Role"},
         {"enumValues", {{{"name", "ADMIN"}}, {{"name", 3}}, {{"name", "MEMBER"}}}}},
    }))));
    EXPECT_EQ(schema.typesByName.at("Role").enumValues,
              (std::vector<std::string>{"ADMIN", "MEMBER"}));
}

TEST(GraphQLIntrospectionParse, RequiredArgumentsNeedNonNullAndNoDefault) {
    const struct {
        const char* name;
        Json type;
        Json defaultValue;
        bool required;
    } cases[] = {
        {"withDefault", nonNull(named("SCALAR", "Int")), "10", false},
        {"emptyDefault", nonNull(named("SCALAR", "Int")), "", true},
        {"noDefault", nonNull(named("SCALAR", "Int")), nullptr, true},
        {"numericDefault", nonNull(named("SCALAR", "Int")), 10, true}, // not a text: absent
        {"nullable", named("SCALAR", "Int"), nullptr, false},
        {"nullableList", listOf(nonNull(named("SCALAR", "Int"))), nullptr, false},
    };
    Json fields = Json::array();
    for (const auto& c : cases)
        fields.push_back(field(c.name, named("SCALAR", "ID"),
                               Json::array({argument("a", c.type, c.defaultValue)})));
    const GraphQLSchemaSummary schema =
        parseIntrospection(answer(schemaObject(Json::array({objectType("Query", fields)}))));

    const GraphQLObjectTypeSummary& query = schema.typesByName.at("Query");
    ASSERT_EQ(query.fields.size(), std::size(cases));
    ASSERT_EQ(schema.operations.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(query.fields[i].hasRequiredArgs, cases[i].required) << cases[i].name;
        EXPECT_EQ(schema.operations[i].args.at(0).isRequired(), cases[i].required) << cases[i].name;
    }
}

// --- Root operations ---------------------------------------------------------------

TEST(GraphQLIntrospectionParse, GroupsRootOperationsByKindInAnswerOrder) {
    const Json types = Json::array({
        objectType("Subs", Json::array({field("ticks", named("SCALAR", "Int"))})),
        objectType("Mutation", Json::array({field("users", named("SCALAR", "Int")),
                                            field("deleteUser", named("SCALAR", "Boolean"))})),
        objectType("Query", Json::array({field("users", nonNull(listOf(named("OBJECT", "User"))),
                                               Json::array(), true, "All users"),
                                         field("me", named("OBJECT", "User"))})),
    });
    const GraphQLSchemaSummary schema = parseIntrospection(answer(
        schemaObject(types, {{"name", "Query"}}, {{"name", "Mutation"}}, {{"name", "Subs"}})));

    std::vector<std::string> ids;
    for (const GraphQLOperationField& operation : schema.operations)
        ids.push_back(operation.id());
    EXPECT_EQ(ids, (std::vector<std::string>{"Query.users", "Query.me", "Mutation.users",
                                             "Mutation.deleteUser", "Subscription.ticks"}));
    EXPECT_EQ(schema.queries().size(), 2u);
    EXPECT_EQ(schema.mutations().size(), 2u);
    ASSERT_EQ(schema.subscriptions().size(), 1u);
    EXPECT_EQ(schema.subscriptionTypeName, "Subs");

    EXPECT_EQ(schema.operations[0], (GraphQLOperationField{.rootKind = GraphQLRootKind::query,
                                                           .name = "users",
                                                           .description = "All users",
                                                           .returnTypeName = "User",
                                                           .returnTypeSignature = "[User]!",
                                                           .returnTypeKind = "OBJECT",
                                                           .isDeprecated = true}));
}

TEST(GraphQLIntrospectionParse, FindsRootsOnlyThroughTheNamedTypes) {
    const Json types = Json::array({
        objectType("Query", Json::array({field("a", named("SCALAR", "Int"))})),
        objectType("Mutation", Json::array({field("b", named("SCALAR", "Int"))})),
    });
    // The query root names a type that is not there; no mutation root is named.
    GraphQLSchemaSummary schema =
        parseIntrospection(answer(schemaObject(types, {{"name", "Root"}}, nullptr)));
    EXPECT_EQ(schema.queryTypeName, "Root");
    EXPECT_FALSE(schema.mutationTypeName);
    EXPECT_TRUE(schema.operations.empty());
    EXPECT_EQ(schema.typesByName.size(), 2u);

    // One type named for two roots serves the first only.
    schema =
        parseIntrospection(answer(schemaObject(types, {{"name", "Query"}}, {{"name", "Query"}})));
    ASSERT_EQ(schema.operations.size(), 1u);
    EXPECT_EQ(schema.operations[0].id(), "Query.a");

    // A root without a text name is absent.
    schema = parseIntrospection(answer(schemaObject(types, {{"name", 5}}, {{"name", "Mutation"}})));
    EXPECT_FALSE(schema.queryTypeName);
    ASSERT_EQ(schema.operations.size(), 1u);
    EXPECT_EQ(schema.operations[0].id(), "Mutation.b");
}

// --- Filtering ---------------------------------------------------------------------

GraphQLOperationField operation(GraphQLRootKind kind, std::string name, std::string returnType,
                                std::optional<std::string> description = std::nullopt,
                                std::vector<std::string> argNames = {}) {
    GraphQLOperationField result{.rootKind = kind,
                                 .name = std::move(name),
                                 .description = std::move(description),
                                 .returnTypeName = std::move(returnType)};
    for (std::string& argName : argNames)
        result.args.push_back(GraphQLFieldArg{.name = std::move(argName),
                                              .description = "user",
                                              .typeSignature = "UserID",
                                              .baseTypeName = "UserID"});
    return result;
}

TEST(GraphQLSchemaFilter, MatchesNameReturnTypeDescriptionAndArgumentNames) {
    using enum GraphQLRootKind;
    GraphQLSchemaSummary schema;
    schema.operations = {
        operation(query, "getUsers", "Page"),
        operation(query, "page", "UserPage"),
        operation(query, "accounts", "Account", "Lists user accounts"),
        operation(query, "lookup", "Account", std::nullopt, {"userId"}),
        operation(query, "posts", "Post", "Posts", {"id"}), // argument description and type unread
        operation(mutation, "createUser", "User"),
        operation(query, "listİtems", "Item"),
        operation(query, "listItems", "Item"),
    };
    const auto names = [&](std::optional<GraphQLRootKind> kind, std::string_view search) {
        std::vector<std::string> result;
        for (const GraphQLOperationField& found : schema.filteredOperations(kind, search))
            result.push_back(found.name);
        return result;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(names(std::nullopt, "  user \n"),
              (Names{"getUsers", "page", "accounts", "lookup", "createUser"}));
    EXPECT_EQ(names(query, "USER"), (Names{"getUsers", "page", "accounts", "lookup"}));
    EXPECT_EQ(names(mutation, "user"), (Names{"createUser"}));
    EXPECT_EQ(names(subscription, ""), Names{});
    EXPECT_EQ(names(mutation, " \t"), (Names{"createUser"}));
    EXPECT_EQ(names(std::nullopt, "").size(), schema.operations.size());
    // Unicode's case rules, never the process locale's: "I" matches "i" and
    // "İ" matches "i̇" under a Turkish locale as well.
    EXPECT_EQ(names(std::nullopt, "LISTITEMS"), (Names{"listItems"}));
    EXPECT_EQ(names(std::nullopt, "listi\xCC\x87tems"), (Names{"listİtems"}));
    EXPECT_EQ(names(std::nullopt, "nothing"), Names{});
}

// --- JSON forms --------------------------------------------------------------------

TEST(GraphQLSchemaCoding, RoundTripsAndLeavesAbsentOptionalsOut) {
    GraphQLSchemaSummary schema;
    schema.queryTypeName = "Query";
    schema.subscriptionTypeName = "Subscription";
    schema.operations = {
        operation(GraphQLRootKind::subscription, "ticks", "Int", "Ticks", {"every"})};
    schema.operations[0].args[0].defaultValue = "5";
    schema.typesByName["Role"] =
        GraphQLObjectTypeSummary{.name = "Role", .kind = "ENUM", .enumValues = {"ADMIN"}};
    schema.typesByName["User"] = GraphQLObjectTypeSummary{
        .name = "User",
        .kind = "OBJECT",
        .description = "A person",
        .fields = {{.name = "id",
                    .typeSignature = "ID!",
                    .returnTypeName = "ID",
                    .returnTypeKind = "SCALAR",
                    .hasRequiredArgs = true}},
        .inputFields = {GraphQLFieldArg{.name = "x", .isList = true}},
    };
    schema.fetchedAt = *tarn::json::parseISO8601("2026-03-04T05:06:07.890Z");

    const Json json = schema;
    EXPECT_FALSE(json.contains("mutationTypeName"));
    EXPECT_EQ(json.at("fetchedAt"), "2026-03-04T05:06:07.890Z");
    EXPECT_EQ(json.at("operations").at(0).at("rootKind"), "Subscription");
    EXPECT_FALSE(json.at("typesByName").at("Role").contains("description"));
    EXPECT_EQ(json.at("typesByName").at("User").at("fields").at(0).at("hasRequiredArgs"), true);
    EXPECT_EQ(json.get<GraphQLSchemaSummary>(), schema);

    // Null reads back as absent; a kind in another spelling is refused.
    Json edited = json;
    edited["mutationTypeName"] = nullptr;
    EXPECT_EQ(edited.get<GraphQLSchemaSummary>(), schema);
    edited["operations"][0]["rootKind"] = "subscription";
    try {
        (void)edited.get<GraphQLSchemaSummary>();
        ADD_FAILURE();
    } catch (const tarn::json::DecodingError& error) {
        EXPECT_EQ(error.path(), "operations[0].rootKind");
    }
    edited = json;
    edited["typesByName"]["User"].erase("kind");
    try {
        (void)edited.get<GraphQLSchemaSummary>();
        ADD_FAILURE();
    } catch (const tarn::json::DecodingError& error) {
        EXPECT_EQ(error.path(), "typesByName.User.kind");
    }
}

TEST(GraphQLRootKindTest, RawValuesKeywordsAndOrder) {
    std::vector<std::string> texts;
    for (const GraphQLRootKind kind : allCases<GraphQLRootKind>()) {
        texts.emplace_back(rawValue(kind));
        texts.emplace_back(operationKeyword(kind));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Query", "query", "Mutation", "mutation",
                                               "Subscription", "subscription"}));
    EXPECT_EQ(fromRaw<GraphQLRootKind>("Mutation"), GraphQLRootKind::mutation);
    EXPECT_FALSE(fromRaw<GraphQLRootKind>("mutation"));
}

} // namespace
} // namespace quiller
