#pragma once

// The GraphQL schema as the workbench holds it for browsing and for generating
// operation templates (a digest, not a validating schema model), the parser of
// introspection answers, and the texts the engine writes: the introspection
// query and request body, and operation templates with sample variables.
//
// Everything here is a pure function over values: any thread may call it, the
// same functions from many threads at once included.

#include "QuillerCore/Models/Enumeration.h"
#include "TarnKit/Platform/PlatformError.h"

#include <chrono>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

enum class GraphQLRootKind { query, mutation, subscription };

// "Query", "Mutation", "Subscription": the kind's identity, its JSON form and
// the label shown beside each kind's count.
std::string_view rawValue(GraphQLRootKind kind);
template <> std::span<const GraphQLRootKind> allCases<GraphQLRootKind>();
// The keyword that opens an operation of this kind: "query", "mutation",
// "subscription".
std::string_view operationKeyword(GraphQLRootKind kind);

// One argument of a field, or one input field of an input object type.
struct GraphQLFieldArg {
    std::string name{};
    std::optional<std::string> description{};
    // The type as written, e.g. "[String!]!".
    std::string typeSignature{};
    // The innermost named type and its introspection kind ("SCALAR", "ENUM",
    // "INPUT_OBJECT", ...).
    std::string baseTypeName{};
    std::string baseTypeKind{};
    // The outermost wrapper is non-null.
    bool isNonNull = false;
    // A list, once an outer non-null wrapper is set aside.
    bool isList = false;
    // A GraphQL literal in text form, as the schema gives it.
    std::optional<std::string> defaultValue{};

    const std::string& id() const { return name; }
    // A caller has to supply it: non-null, and no default to fall back on.
    bool isRequired() const;

    friend bool operator==(const GraphQLFieldArg&, const GraphQLFieldArg&) = default;
};

// One field of a named type; its arguments are summed up in hasRequiredArgs.
struct GraphQLObjectFieldSummary {
    std::string name{};
    std::optional<std::string> description{};
    std::string typeSignature{};
    std::string returnTypeName{};
    std::string returnTypeKind{};
    bool hasRequiredArgs = false;
    bool isDeprecated = false;

    const std::string& id() const { return name; }

    friend bool operator==(const GraphQLObjectFieldSummary&,
                           const GraphQLObjectFieldSummary&) = default;
};

// One named type of the schema, whatever its kind. All lists keep schema order.
struct GraphQLObjectTypeSummary {
    std::string name{};
    std::string kind{};
    std::optional<std::string> description{};
    std::vector<GraphQLObjectFieldSummary> fields{};
    std::vector<GraphQLFieldArg> inputFields{};
    std::vector<std::string> enumValues{};

    const std::string& id() const { return name; }

    friend bool operator==(const GraphQLObjectTypeSummary&,
                           const GraphQLObjectTypeSummary&) = default;
};

// One field of a root type: a query, mutation or subscription.
struct GraphQLOperationField {
    GraphQLRootKind rootKind = GraphQLRootKind::query;
    std::string name{};
    std::optional<std::string> description{};
    std::string returnTypeName{};
    std::string returnTypeSignature{};
    std::string returnTypeKind{};
    std::vector<GraphQLFieldArg> args{};
    bool isDeprecated = false;

    // "Query.users", "Mutation.users": the root keeps equal names apart.
    std::string id() const;

    friend bool operator==(const GraphQLOperationField&, const GraphQLOperationField&) = default;
};

// The digest of one introspection answer.
struct GraphQLSchemaSummary {
    std::optional<std::string> queryTypeName{};
    std::optional<std::string> mutationTypeName{};
    std::optional<std::string> subscriptionTypeName{};
    // Query root fields first, then mutation, then subscription; each group in
    // the order of the answer.
    std::vector<GraphQLOperationField> operations{};
    // Every named type except the introspection types ("__" prefix).
    std::map<std::string, GraphQLObjectTypeSummary, std::less<>> typesByName{};
    std::chrono::system_clock::time_point fetchedAt{};

    std::vector<GraphQLOperationField> queries() const;
    std::vector<GraphQLOperationField> mutations() const;
    std::vector<GraphQLOperationField> subscriptions() const;

    // The operations of `kind` (every kind when absent) whose name, return type
    // name, description or any argument name contains the trimmed search text,
    // compared case-insensitively by Unicode's rules (never the process
    // locale's). A blank search keeps every operation of the kind.
    std::vector<GraphQLOperationField> filteredOperations(std::optional<GraphQLRootKind> kind,
                                                          std::string_view search) const;

    friend bool operator==(const GraphQLSchemaSummary&, const GraphQLSchemaSummary&) = default;
};

// The operation text and sample variables made for one root operation.
struct GraphQLGeneratedOperation {
    std::string operationName{};
    std::string query{};
    // A pretty-printed JSON object with one sample value per argument.
    std::string variablesJSON{};

    friend bool operator==(const GraphQLGeneratedOperation&,
                           const GraphQLGeneratedOperation&) = default;
};

// Why an introspection answer could not be read. Its description is the text
// callers show.
class GraphQLIntrospectionError : public tarn::PlatformError {
public:
    enum class Kind { serverError, invalidJSON, missingSchemaPayload };

    static GraphQLIntrospectionError serverError(std::string message);
    static GraphQLIntrospectionError invalidJSON();
    static GraphQLIntrospectionError missingSchemaPayload();

    Kind kind() const noexcept { return m_kind; }
    // The server's message; empty for the other kinds.
    const std::string& serverMessage() const noexcept { return m_serverMessage; }

    friend bool operator==(const GraphQLIntrospectionError& a, const GraphQLIntrospectionError& b) {
        return a.m_kind == b.m_kind && a.m_serverMessage == b.m_serverMessage;
    }

private:
    GraphQLIntrospectionError(Kind kind, std::string serverMessage);

    Kind m_kind;
    std::string m_serverMessage;
};

namespace GraphQLIntrospectionEngine {

// The fixed introspection query (62 lines, no line feed at the end).
extern const std::string_view introspectionQuery;

// The JSON request body carrying introspectionQuery: compact, keys sorted, so
// it opens with "operationName".
std::string introspectionRequestBody();

// Reads the body of an introspection answer (UTF-8 bytes; a text answer is
// passed as its bytes). Accepts the schema under data.__schema or under a
// top-level __schema. Throws GraphQLIntrospectionError and nothing else;
// malformed parts below the schema object are dropped or defaulted, never
// fatal.
[[nodiscard]] GraphQLSchemaSummary parseIntrospection(std::string_view data);

// A ready-to-edit operation for `operation`, selecting a bounded sample of its
// return type: nested blocks go no deeper than `maxDepth`, no type is expanded
// again inside itself, and each level has at most 16 leaf lines and 4 blocks (2
// beside leaf lines). Never fails.
GraphQLGeneratedOperation generateOperationTemplate(const GraphQLOperationField& operation,
                                                    const GraphQLSchemaSummary& schema,
                                                    int maxDepth);

} // namespace GraphQLIntrospectionEngine

// JSON forms: records as objects under their field names, absent optionals
// left out (read back from a missing or null member), the root kind as its
// raw value and fetchedAt as ISO 8601 text with milliseconds.
void to_json(nlohmann::json& json, GraphQLRootKind kind);
void from_json(const nlohmann::json& json, GraphQLRootKind& kind);
void to_json(nlohmann::json& json, const GraphQLFieldArg& arg);
void from_json(const nlohmann::json& json, GraphQLFieldArg& arg);
void to_json(nlohmann::json& json, const GraphQLObjectFieldSummary& field);
void from_json(const nlohmann::json& json, GraphQLObjectFieldSummary& field);
void to_json(nlohmann::json& json, const GraphQLObjectTypeSummary& type);
void from_json(const nlohmann::json& json, GraphQLObjectTypeSummary& type);
void to_json(nlohmann::json& json, const GraphQLOperationField& operation);
void from_json(const nlohmann::json& json, GraphQLOperationField& operation);
void to_json(nlohmann::json& json, const GraphQLSchemaSummary& schema);
void from_json(const nlohmann::json& json, GraphQLSchemaSummary& schema);

} // namespace quiller
