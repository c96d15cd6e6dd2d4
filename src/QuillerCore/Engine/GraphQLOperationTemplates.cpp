// The texts GraphQLIntrospectionEngine writes: the introspection query and its
// request body, and operation templates with sample variables.

#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>

namespace quiller {
namespace {

using Json = nlohmann::json;
using TypeNameSet = std::set<std::string, std::less<>>;

constexpr std::size_t maxLeafLines = 16;
constexpr int maxBlocksBesideLeaves = 2;
constexpr int maxBlocksWithoutLeaves = 4;
constexpr std::size_t maxInputObjectMembers = 12;

// The per-path visited set alone lets sample input objects grow with the
// number of paths through the schema's input types, which is exponential in
// schemas whose filter types refer to one another (one per table, each with
// its relations). Once this many input-object members have been written in one
// variables object, no more are: the input objects still to come stay empty
// (the one being filled stops short). Ordinary schemas stay far below it.
constexpr std::size_t maxSampleInputMembers = 1000;

bool isLeafKind(std::string_view kind) {
    return kind == "SCALAR" || kind == "ENUM";
}

std::vector<std::string> buildSelectionLines(std::string_view typeName, std::string_view typeKind,
                                             const GraphQLSchemaSummary& schema, int indentLevel,
                                             int depth, int maxDepth,
                                             const TypeNameSet& visitedTypes) {
    if (isLeafKind(typeKind))
        return {};
    const std::string indent(2 * static_cast<std::size_t>(indentLevel), ' ');
    const auto type = schema.typesByName.find(typeName);
    if (typeKind == "UNION" || visitedTypes.contains(typeName) || type == schema.typesByName.end())
        return {indent + "__typename"};

    // Fields with required arguments cannot be selected without values for
    // them; deprecated ones only when nothing else is left.
    std::vector<const GraphQLObjectFieldSummary*> candidates;
    for (const GraphQLObjectFieldSummary& field : type->second.fields) {
        if (!field.isDeprecated && !field.hasRequiredArgs)
            candidates.push_back(&field);
    }
    if (candidates.empty()) {
        for (const GraphQLObjectFieldSummary& field : type->second.fields) {
            if (!field.hasRequiredArgs)
                candidates.push_back(&field);
        }
    }

    std::vector<std::string> lines;
    for (const GraphQLObjectFieldSummary* field : candidates) {
        if (lines.size() == maxLeafLines)
            break;
        if (isLeafKind(field->returnTypeKind))
            lines.push_back(indent + field->name);
    }

    if (depth < maxDepth) {
        TypeNameSet openTypes = visitedTypes;
        openTypes.emplace(typeName);
        const int blockLimit = lines.empty() ? maxBlocksWithoutLeaves : maxBlocksBesideLeaves;
        int blocks = 0;
        for (const GraphQLObjectFieldSummary* field : candidates) {
            if (blocks == blockLimit)
                break;
            if (isLeafKind(field->returnTypeKind) || openTypes.contains(field->returnTypeName))
                continue;
            std::vector<std::string> nested =
                buildSelectionLines(field->returnTypeName, field->returnTypeKind, schema,
                                    indentLevel + 1, depth + 1, maxDepth, openTypes);
            if (nested.empty())
                continue;
            lines.push_back(indent + field->name + " {");
            lines.insert(lines.end(), std::make_move_iterator(nested.begin()),
                         std::make_move_iterator(nested.end()));
            lines.push_back(indent + "}");
            ++blocks;
        }
    }

    if (lines.empty())
        return {indent + "__typename"};
    return lines;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

Json sampleBaseValue(std::string_view argName, std::string_view baseTypeName,
                     std::string_view baseTypeKind, const GraphQLSchemaSummary& schema,
                     const TypeNameSet& visitedInputs, std::size_t& membersLeft);

Json sampleValue(const GraphQLFieldArg& arg, const GraphQLSchemaSummary& schema,
                 const TypeNameSet& visitedInputs, std::size_t& membersLeft) {
    Json value = sampleBaseValue(arg.name, arg.baseTypeName, arg.baseTypeKind, schema,
                                 visitedInputs, membersLeft);
    if (arg.isList)
        return Json::array({std::move(value)});
    return value;
}

Json sampleBaseValue(std::string_view argName, std::string_view baseTypeName,
                     std::string_view baseTypeKind, const GraphQLSchemaSummary& schema,
                     const TypeNameSet& visitedInputs, std::size_t& membersLeft) {
    const auto type = schema.typesByName.find(baseTypeName);
    const bool isKnown = type != schema.typesByName.end();
    if (baseTypeKind == "ENUM") {
        if (!isKnown || type->second.enumValues.empty())
            return "VALUE";
        return type->second.enumValues.front();
    }
    if (baseTypeKind == "INPUT_OBJECT") {
        Json object = Json::object();
        if (!isKnown || visitedInputs.contains(baseTypeName))
            return object;
        TypeNameSet openInputs = visitedInputs;
        openInputs.emplace(baseTypeName);
        const std::vector<GraphQLFieldArg>& inputFields = type->second.inputFields;
        const std::size_t count = std::min(inputFields.size(), maxInputObjectMembers);
        for (std::size_t i = 0; i < count && membersLeft > 0; ++i) {
            --membersLeft;
            object[inputFields[i].name] =
                sampleValue(inputFields[i], schema, openInputs, membersLeft);
        }
        return object;
    }
    if (baseTypeName == "ID")
        return "id_1";
    if (baseTypeName == "Int") {
        const std::string name = tarn::text::lowercased(argName);
        const bool asksForMany =
            contains(name, "limit") || contains(name, "first") || contains(name, "count");
        return asksForMany ? 10 : 1;
    }
    if (baseTypeName == "Float")
        return 1.5;
    if (baseTypeName == "Boolean")
        return true;
    if (baseTypeName == "String")
        return "sample_" + std::string(argName);
    const std::string name = tarn::text::lowercased(baseTypeName);
    if (contains(name, "date") || contains(name, "time"))
        return "2026-01-01T00:00:00Z";
    if (contains(name, "uuid"))
        return "00000000-0000-0000-0000-000000000000";
    return "sample_" + std::string(argName);
}

std::string generateSampleVariablesJSON(const std::vector<GraphQLFieldArg>& args,
                                        const GraphQLSchemaSummary& schema) {
    if (args.empty())
        return "{}";
    try {
        Json variables = Json::object();
        std::size_t membersLeft = maxSampleInputMembers;
        for (const GraphQLFieldArg& arg : args)
            variables[arg.name] = sampleValue(arg, schema, {}, membersLeft);
        return tarn::json::pretty(variables);
    } catch (const std::exception&) {
        // Input types nested deeper than the writer allows.
        return "{}";
    }
}

// The first character upper-cased by Unicode's rules, the rest as it is.
std::string operationNameFor(std::string_view fieldName) {
    if (fieldName.empty())
        return "Operation";
    const std::string_view first = tarn::text::prefixCharacters(fieldName, 1);
    return tarn::text::uppercased(first) + std::string(fieldName.substr(first.size()));
}

template <class Format>
std::string joinedInParentheses(const std::vector<GraphQLFieldArg>& args, Format format) {
    if (args.empty())
        return {};
    std::string text = "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            text.append(", ");
        format(text, args[i]);
    }
    text.push_back(')');
    return text;
}

} // namespace

namespace GraphQLIntrospectionEngine {

const std::string_view introspectionQuery = R"(query IntrospectionQuery {
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

std::string introspectionRequestBody() {
    try {
        return tarn::json::compact(Json{
            {"operationName", "IntrospectionQuery"},
            {"query", std::string(introspectionQuery)},
        });
    } catch (const std::exception&) {
        return "{}";
    }
}

GraphQLGeneratedOperation generateOperationTemplate(const GraphQLOperationField& operation,
                                                    const GraphQLSchemaSummary& schema,
                                                    int maxDepth) {
    const std::string operationName = operationNameFor(operation.name);
    const std::string variableDefinitions =
        joinedInParentheses(operation.args, [](std::string& text, const GraphQLFieldArg& arg) {
            text.append("$").append(arg.name).append(": ").append(arg.typeSignature);
        });
    const std::string argumentList =
        joinedInParentheses(operation.args, [](std::string& text, const GraphQLFieldArg& arg) {
            text.append(arg.name).append(": $").append(arg.name);
        });
    const std::vector<std::string> selection = buildSelectionLines(
        operation.returnTypeName, operation.returnTypeKind, schema, 2, 0, maxDepth, {});

    std::string query(operationKeyword(operation.rootKind));
    query.append(" ").append(operationName).append(variableDefinitions).append(" {\n  ");
    query.append(operation.name).append(argumentList);
    if (selection.empty()) {
        query.append("\n}");
    } else {
        query.append(" {\n");
        for (const std::string& line : selection)
            query.append(line).push_back('\n');
        query.append("  }\n}");
    }

    return GraphQLGeneratedOperation{
        .operationName = operationName,
        .query = std::move(query),
        .variablesJSON = generateSampleVariablesJSON(operation.args, schema),
    };
}

} // namespace GraphQLIntrospectionEngine
} // namespace quiller
