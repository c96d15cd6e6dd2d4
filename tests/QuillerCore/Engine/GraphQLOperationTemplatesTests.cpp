#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quiller {

void PrintTo(const GraphQLGeneratedOperation& operation, std::ostream* out) {
    *out << operation.operationName << "\n" << operation.query << "\n" << operation.variablesJSON;
}

namespace {

using Json = nlohmann::json;
using GraphQLIntrospectionEngine::generateOperationTemplate;

// --- Schemas built directly as summaries -------------------------------------------

GraphQLObjectFieldSummary field(std::string name, std::string type, std::string kind,
                                bool deprecated = false, bool requiredArgs = false) {
    return {.name = std::move(name),
            .typeSignature = type,
            .returnTypeName = type,
            .returnTypeKind = std::move(kind),
            .hasRequiredArgs = requiredArgs,
            .isDeprecated = deprecated};
}

GraphQLObjectTypeSummary objectType(std::string name, std::vector<GraphQLObjectFieldSummary> fields,
                                    std::string kind = "OBJECT") {
    return {.name = std::move(name), .kind = std::move(kind), .fields = std::move(fields)};
}

GraphQLFieldArg arg(std::string name, std::string type, std::string kind = "SCALAR",
                    bool isList = false) {
    return {.name = std::move(name),
            .typeSignature = isList ? "[" + type + "]" : type,
            .baseTypeName = type,
            .baseTypeKind = std::move(kind),
            .isList = isList};
}

GraphQLSchemaSummary schemaOf(std::vector<GraphQLObjectTypeSummary> types) {
    GraphQLSchemaSummary schema;
    for (GraphQLObjectTypeSummary& type : types) {
        const std::string name = type.name;
        schema.typesByName[name] = std::move(type);
    }
    return schema;
}

GraphQLOperationField rootField(std::string name, std::string type, std::string kind,
                                std::vector<GraphQLFieldArg> args = {},
                                GraphQLRootKind root = GraphQLRootKind::query) {
    return {.rootKind = root,
            .name = std::move(name),
            .returnTypeName = type,
            .returnTypeSignature = type,
            .returnTypeKind = std::move(kind),
            .args = std::move(args)};
}

std::string lines(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        if (!text.empty())
            text.push_back('\n');
        text.append(part);
    }
    return text;
}

// --- Introspection query and body --------------------------------------------------

TEST(GraphQLIntrospectionQuery, IsTheFixedText) {
    const std::string_view expected = R"(query IntrospectionQuery {
  __schema {
    queryType { name }
    mutationType { name }
    subscriptionType { name }
    types {
      kind
      name
      description
      fields(includeDeprecated: true) {
        name
        description
        isDeprecated
        args {
          name
          description
          defaultValue
          type { ...TypeRef }
        }
        type { ...TypeRef }
      }
      inputFields {
        name
        description
        defaultValue
        type { ...TypeRef }
      }
      enumValues(includeDeprecated: false) {
        name
      }
    }
  }
}

fragment TypeRef on __Type {
  kind
  name
  ofType {
    kind
    name
    ofType {
      kind
      name
      ofType {
        kind
        name
        ofType {
          kind
          name
          ofType {
            kind
            name
            ofType {
              kind
              name
            }
          }
        }
      }
    }
  }
})";
    EXPECT_EQ(GraphQLIntrospectionEngine::introspectionQuery, expected);
    EXPECT_EQ(GraphQLIntrospectionEngine::introspectionQuery.size(), 967u);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 61);
}

TEST(GraphQLIntrospectionQuery, RequestBodyIsCompactWithSortedKeys) {
    std::string escapedQuery;
    for (const char c : GraphQLIntrospectionEngine::introspectionQuery) {
        if (c == '\n')
            escapedQuery.append("\\n");
        else
            escapedQuery.push_back(c);
    }
    const std::string body = GraphQLIntrospectionEngine::introspectionRequestBody();
    EXPECT_EQ(body, R"({"operationName":"IntrospectionQuery","query":")" + escapedQuery + "\"}");
    EXPECT_EQ(Json::parse(body).at("query"), GraphQLIntrospectionEngine::introspectionQuery);
}

// --- Operation templates -----------------------------------------------------------

Json named(const char* kind, const char* name) {
    return {{"kind", kind}, {"name", name}, {"ofType", nullptr}};
}
Json nonNull(Json inner) {
    return {{"kind", "NON_NULL"}, {"name", nullptr}, {"ofType", std::move(inner)}};
}
Json listOf(Json inner) {
    return {{"kind", "LIST"}, {"name", nullptr}, {"ofType", std::move(inner)}};
}
Json introspectedArg(const char* name, Json type) {
    return {{"name", name}, {"type", std::move(type)}, {"defaultValue", nullptr}};
}
Json introspectedField(const char* name, Json type, Json args = Json::array(),
                       bool deprecated = false) {
    return {{"name", name},
            {"args", std::move(args)},
            {"type", std::move(type)},
            {"isDeprecated", deprecated}};
}

// The schema every screen of the explorer is first tried on, read from an
// introspection answer as the server would send it.
GraphQLSchemaSummary workedExampleSchema() {
    const Json user = nonNull(listOf(nonNull(named("OBJECT", "User"))));
    const Json types = Json::array({
        {{"kind", "OBJECT"},
         {"name", "Query"},
         {"fields",
          {introspectedField(
              "users", user,
              {introspectedArg("limit", named("SCALAR", "Int")),
               introspectedArg("filter", nonNull(named("INPUT_OBJECT", "UserFilter"))),
               introspectedArg("ids", listOf(nonNull(named("SCALAR", "ID")))),
               introspectedArg("role", named("ENUM", "Role"))})}}},
        {{"kind", "OBJECT"},
         {"name", "User"},
         {"fields",
          {introspectedField("id", nonNull(named("SCALAR", "ID"))),
           introspectedField("name", named("SCALAR", "String")),
           introspectedField("email", named("SCALAR", "String")),
           introspectedField("role", named("ENUM", "Role")),
           introspectedField("posts", nonNull(listOf(nonNull(named("OBJECT", "Post"))))),
           introspectedField("friends", user,
                             {introspectedArg("first", nonNull(named("SCALAR", "Int")))}),
           introspectedField("manager", named("OBJECT", "User")),
           introspectedField("legacyId", named("SCALAR", "String"), Json::array(), true)}}},
        {{"kind", "OBJECT"},
         {"name", "Post"},
         {"fields",
          {introspectedField("id", nonNull(named("SCALAR", "ID"))),
           introspectedField("title", named("SCALAR", "String")),
           introspectedField("author", named("OBJECT", "User")),
           introspectedField("publishedAt", named("SCALAR", "DateTime"))}}},
        {{"kind", "INPUT_OBJECT"},
         {"name", "UserFilter"},
         {"inputFields",
          {introspectedArg("nameContains", named("SCALAR", "String")),
           introspectedArg("createdAfter", named("SCALAR", "DateTime")),
           introspectedArg("active", named("SCALAR", "Boolean"))}}},
        {{"kind", "ENUM"},
         {"name", "Role"},
         {"enumValues", {{{"name", "ADMIN"}}, {{"name", "MEMBER"}}}}},
        {{"kind", "SCALAR"}, {"name", "DateTime"}},
    });
    return GraphQLIntrospectionEngine::parseIntrospection(
        Json{{"data", {{"__schema", {{"queryType", {{"name", "Query"}}}, {"types", types}}}}}}
            .dump());
}

TEST(GraphQLOperationTemplate, WritesTheWorkedExample) {
    const GraphQLSchemaSummary schema = workedExampleSchema();
    ASSERT_EQ(schema.operations.size(), 1u);
    const GraphQLGeneratedOperation generated =
        generateOperationTemplate(schema.operations[0], schema, 2);

    EXPECT_EQ(generated.operationName, "Users");
    EXPECT_EQ(generated.query,
              lines({"query Users($limit: Int, $filter: UserFilter!, $ids: [ID!], $role: Role) {",
                     "  users(limit: $limit, filter: $filter, ids: $ids, role: $role) {", "    id",
                     "    name", "    email", "    role", "    posts {", "      id", "      title",
                     "      publishedAt", "    }", "  }", "}"}));
    EXPECT_EQ(generated.variablesJSON, lines({
                                           R"({)",
                                           R"(  "filter" : {)",
                                           R"(    "active" : true,)",
                                           R"(    "createdAfter" : "2026-01-01T00:00:00Z",)",
                                           R"(    "nameContains" : "sample_nameContains")",
                                           R"(  },)",
                                           R"(  "ids" : [)",
                                           R"(    "id_1")",
                                           R"(  ],)",
                                           R"(  "limit" : 10,)",
                                           R"(  "role" : "ADMIN")",
                                           R"(})",
                                       }));
}

TEST(GraphQLOperationTemplate, LeafResultsAndArgumentlessFields) {
    const GraphQLSchemaSummary schema =
        schemaOf({objectType("User", {field("id", "ID", "SCALAR")})});
    const GraphQLFieldArg id{.name = "id",
                             .typeSignature = "ID!",
                             .baseTypeName = "ID",
                             .baseTypeKind = "SCALAR",
                             .isNonNull = true};
    const GraphQLGeneratedOperation deleteUser = generateOperationTemplate(
        rootField("deleteUser", "Boolean", "SCALAR", {id}, GraphQLRootKind::mutation), schema, 2);
    EXPECT_EQ(deleteUser, (GraphQLGeneratedOperation{
                              .operationName = "DeleteUser",
                              .query = "mutation DeleteUser($id: ID!) {\n  deleteUser(id: $id)\n}",
                              .variablesJSON = "{\n  \"id\" : \"id_1\"\n}",
                          }));

    const GraphQLGeneratedOperation me =
        generateOperationTemplate(rootField("me", "User", "OBJECT"), schema, 2);
    EXPECT_EQ(me.query, "query Me {\n  me {\n    id\n  }\n}");
    EXPECT_EQ(me.variablesJSON, "{}");

    const GraphQLGeneratedOperation ticks = generateOperationTemplate(
        rootField("ticks", "Tick", "ENUM", {}, GraphQLRootKind::subscription), schema, 2);
    EXPECT_EQ(ticks.query, "subscription Ticks {\n  ticks\n}");
}

TEST(GraphQLOperationTemplate, UpperCasesTheFirstCharacterWithoutTheLocale) {
    const struct {
        const char* field;
        const char* name;
    } cases[] = {
        {"createUser", "CreateUser"},
        {"items", "Items"}, // never "İtems", whatever the process locale
        {"_private", "_private"},
        {"éclair", "Éclair"},
        {"e\xCC\x81t\xC3\xA9", "E\xCC\x81t\xC3\xA9"}, // a letter with a combining accent
        {"", "Operation"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            generateOperationTemplate(rootField(c.field, "Int", "SCALAR"), {}, 2).operationName,
            c.name);
    }
}

std::vector<GraphQLObjectFieldSummary>
numberedFields(const char* prefix, int count, const std::string& type, const std::string& kind) {
    std::vector<GraphQLObjectFieldSummary> fields;
    for (int i = 1; i <= count; ++i)
        fields.push_back(field(prefix + std::to_string(i), type, kind));
    return fields;
}

TEST(GraphQLOperationTemplate, BoundsAndShapesTheSelection) {
    auto concat = [](std::vector<GraphQLObjectFieldSummary> a,
                     const std::vector<GraphQLObjectFieldSummary>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const GraphQLSchemaSummary schema = schemaOf({
        objectType("Wide", numberedFields("s", 20, "String", "SCALAR")),
        objectType("Leaf", {field("id", "ID", "SCALAR")}),
        objectType("Branches", numberedFields("o", 6, "Leaf", "OBJECT")),
        objectType("Mixed",
                   concat({field("id", "ID", "SCALAR")}, numberedFields("o", 6, "Leaf", "OBJECT"))),
        objectType("Locked", {field("a", "ID", "SCALAR", false, true),
                              field("b", "Leaf", "OBJECT", false, true)}),
        objectType("Old",
                   {field("a", "ID", "SCALAR", true), field("b", "ID", "SCALAR", false, true)}),
        objectType("Fresh", {field("old", "ID", "SCALAR", true), field("new", "ID", "SCALAR")}),
        objectType("Result", {}, "UNION"),
        objectType("Holder", {field("id", "ID", "SCALAR"), field("result", "Result", "UNION")}),
        objectType("OnlyObjects", {field("leaf", "Leaf", "OBJECT")}),
        objectType("Node", {field("id", "ID", "SCALAR"), field("parent", "Node", "OBJECT"),
                            field("self", "Node", "INTERFACE"), field("leaf", "Leaf", "OBJECT")}),
        objectType("Person",
                   {field("home", "Address", "OBJECT"), field("work", "Address", "OBJECT")}),
        objectType("Address",
                   {field("city", "String", "SCALAR"), field("owner", "Person", "OBJECT")}),
        objectType("Deep", {field("next", "Deeper", "OBJECT")}),
        objectType("Deeper", {field("next", "Deepest", "OBJECT")}),
        objectType("Deepest", {field("id", "ID", "SCALAR")}),
    });
    const auto block = [](std::string_view name, std::string_view line) {
        return "    " + std::string(name) + " {\n      " + std::string(line) + "\n    }";
    };
    std::string wideLines, sixBlocks, twoBlocks;
    for (int i = 1; i <= 16; ++i)
        wideLines += "\n    s" + std::to_string(i);
    for (int i = 1; i <= 4; ++i)
        sixBlocks += "\n" + block("o" + std::to_string(i), "id");
    twoBlocks = "\n    id\n" + block("o1", "id") + "\n" + block("o2", "id");

    const struct {
        const char* type;
        const char* kind;
        int maxDepth;
        std::string selection; // the lines between "  f {" and "  }"
    } cases[] = {
        {"Wide", "OBJECT", 2, wideLines},
        {"Branches", "OBJECT", 2, sixBlocks},
        {"Mixed", "OBJECT", 2, twoBlocks},
        {"Locked", "OBJECT", 2, "\n    __typename"},
        {"Old", "OBJECT", 2, "\n    a"},     // deprecated fields only when nothing else
        {"Fresh", "OBJECT", 2, "\n    new"}, // and never beside other candidates
        {"Result", "UNION", 2, "\n    __typename"},
        {"Missing", "OBJECT", 2, "\n    __typename"},
        {"Holder", "OBJECT", 2, "\n    id\n" + block("result", "__typename")},
        {"Mixed", "OBJECT", 0, "\n    id"},
        {"OnlyObjects", "OBJECT", 0, "\n    __typename"},
        // A type is not expanded again inside itself, under any kind.
        {"Node", "OBJECT", 2, "\n    id\n" + block("leaf", "id")},
        // Siblings of one type are both expanded; the path back is not.
        {"Person", "INTERFACE", 2, "\n" + block("home", "city") + "\n" + block("work", "city")},
        {"Deep", "OBJECT", 1, "\n    next {\n      __typename\n    }"},
        {"Deep", "OBJECT", 2, "\n    next {\n      next {\n        id\n      }\n    }"},
    };
    for (const auto& c : cases) {
        const GraphQLGeneratedOperation generated =
            generateOperationTemplate(rootField("f", c.type, c.kind), schema, c.maxDepth);
        EXPECT_EQ(generated.query, "query F {\n  f {" + c.selection + "\n  }\n}")
            << c.type << " at depth " << c.maxDepth;
    }
}

// --- Sample variables --------------------------------------------------------------

TEST(GraphQLOperationTemplate, ChoosesSampleValuesFromNamesAndTypes) {
    GraphQLObjectTypeSummary wideInput{.name = "Wide", .kind = "INPUT_OBJECT"};
    Json wideSample = Json::object();
    for (int i = 1; i <= 15; ++i) {
        const std::string name = "f" + (i < 10 ? "0" + std::to_string(i) : std::to_string(i));
        wideInput.inputFields.push_back(arg(name, "Boolean"));
        if (i <= 12)
            wideSample[name] = true;
    }
    const GraphQLSchemaSummary schema = schemaOf({
        {.name = "Role", .kind = "ENUM", .enumValues = {"ADMIN", "MEMBER"}},
        {.name = "Empty", .kind = "ENUM"},
        wideInput,
        {.name = "Tree",
         .kind = "INPUT_OBJECT",
         .inputFields = {arg("label", "String"), arg("children", "Tree", "INPUT_OBJECT", true),
                         arg("role", "Role", "ENUM")}},
        // Reaches Tree twice on different paths: each path opens it afresh.
        {.name = "Pair",
         .kind = "INPUT_OBJECT",
         .inputFields = {arg("left", "Tree", "INPUT_OBJECT"),
                         arg("right", "Tree", "INPUT_OBJECT")}},
    });
    const Json tree = {
        {"label", "sample_label"}, {"children", {Json::object()}}, {"role", "ADMIN"}};
    const struct {
        GraphQLFieldArg arg;
        Json expected;
    } cases[] = {
        {arg("pageCount", "Int"), 10},
        {arg("LIMIT", "Int"), 10},
        {arg("firstN", "Int"), 10},
        {arg("offset", "Int"), 1},
        {arg("first", "Int", "SCALAR", true), Json::array({10})},
        {arg("q", "String"), "sample_q"},
        {arg("ratio", "Float"), 1.5},
        {arg("on", "Boolean"), true},
        {arg("key", "ID"), "id_1"},
        {arg("at", "Timestamp"), "2026-01-01T00:00:00Z"},
        {arg("day", "LocalDATE"), "2026-01-01T00:00:00Z"},
        {arg("ref", "UUID"), "00000000-0000-0000-0000-000000000000"},
        {arg("meta", "JSON"), "sample_meta"},
        {arg("n", "int"), "sample_n"}, // built-in names are matched exactly
        {arg("role", "Role", "ENUM"), "ADMIN"},
        {arg("empty", "Empty", "ENUM"), "VALUE"},
        {arg("gone", "Gone", "ENUM"), "VALUE"},
        {arg("gone", "Gone", "INPUT_OBJECT"), Json::object()},
        {arg("wide", "Wide", "INPUT_OBJECT"), wideSample},
        {arg("tree", "Tree", "INPUT_OBJECT"), tree},
        {arg("pair", "Pair", "INPUT_OBJECT"), {{"left", tree}, {"right", tree}}},
        // The kind decides before the name does.
        {arg("id", "ID", "ENUM"), "VALUE"},
    };
    for (const auto& c : cases) {
        const GraphQLGeneratedOperation generated =
            generateOperationTemplate(rootField("f", "Int", "SCALAR", {c.arg}), schema, 2);
        const Json variables = Json::parse(generated.variablesJSON);
        EXPECT_EQ(variables, Json({{c.arg.name, c.expected}}))
            << c.arg.name << ": " << generated.variablesJSON;
    }

    // Whole numbers carry no fraction; a later argument of the same name wins.
    const GraphQLGeneratedOperation generated =
        generateOperationTemplate(rootField("f", "Int", "SCALAR",
                                            {arg("limit", "Int"), arg("ratio", "Float"),
                                             arg("x", "Int"), arg("x", "String")}),
                                  schema, 2);
    EXPECT_EQ(generated.variablesJSON,
              "{\n  \"limit\" : 10,\n  \"ratio\" : 1.5,\n  \"x\" : \"sample_x\"\n}");
}

TEST(GraphQLOperationTemplate, SampleInputsStayBoundedOnDenseSchemas) {
    // Forty input types, each with twelve fields of the next one: one path per
    // choice of field at every level, far too many to walk. The sample stays
    // small and the call returns at once.
    GraphQLSchemaSummary schema;
    for (int level = 0; level < 40; ++level) {
        GraphQLObjectTypeSummary type{.name = "In" + std::to_string(level), .kind = "INPUT_OBJECT"};
        for (int i = 0; i < 12; ++i)
            type.inputFields.push_back(
                arg("f" + std::to_string(i), "In" + std::to_string(level + 1), "INPUT_OBJECT"));
        schema.typesByName[type.name] = type;
    }
    const GraphQLGeneratedOperation generated = generateOperationTemplate(
        rootField("f", "Int", "SCALAR", {arg("where", "In0", "INPUT_OBJECT")}), schema, 2);
    const Json variables = Json::parse(generated.variablesJSON);
    std::size_t members = 0;
    const auto count = [&members](const auto& self, const Json& value) -> void {
        if (!value.is_object())
            return;
        members += value.size();
        for (const Json& member : value)
            self(self, member);
    };
    count(count, variables);
    EXPECT_GT(members, 12u);
    EXPECT_LE(members, 1001u);

    // A chain of input types nested deeper than JSON allows gives "{}".
    GraphQLSchemaSummary chain;
    for (int level = 0; level < 600; ++level) {
        GraphQLObjectTypeSummary type{.name = "C" + std::to_string(level), .kind = "INPUT_OBJECT"};
        type.inputFields.push_back(arg("next", "C" + std::to_string(level + 1), "INPUT_OBJECT"));
        chain.typesByName[type.name] = type;
    }
    EXPECT_EQ(generateOperationTemplate(
                  rootField("f", "Int", "SCALAR", {arg("where", "C0", "INPUT_OBJECT")}), chain, 2)
                  .variablesJSON,
              "{}");
}

} // namespace
} // namespace quiller
