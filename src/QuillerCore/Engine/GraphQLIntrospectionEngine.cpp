#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"

#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>
#include <utility>

namespace quiller {
namespace {

using Json = nlohmann::json;

constexpr GraphQLRootKind rootKindCases[] = {
    GraphQLRootKind::query,
    GraphQLRootKind::mutation,
    GraphQLRootKind::subscription,
};

// --- Reading the answer --------------------------------------------------------
// A value of the wrong JSON type, null included, counts as missing; none of
// these ever throws.

const Json* member(const Json& object, std::string_view key) {
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

const Json* objectAt(const Json& object, std::string_view key) {
    const Json* value = member(object, key);
    return value != nullptr && value->is_object() ? value : nullptr;
}

std::optional<std::string> textAt(const Json& object, std::string_view key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

std::optional<bool> boolAt(const Json& object, std::string_view key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

// An array whose elements are all objects; one other element voids the list.
std::span<const Json> objectListAt(const Json& object, std::string_view key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_array())
        return {};
    const auto& elements = value->get_ref<const Json::array_t&>();
    if (!std::all_of(elements.begin(), elements.end(),
                     [](const Json& element) { return element.is_object(); }))
        return {};
    return elements;
}

std::optional<std::string> nonEmptyName(const Json& object) {
    std::optional<std::string> name = textAt(object, "name");
    if (name && name->empty())
        return std::nullopt;
    return name;
}

struct ResolvedTypeRef {
    std::string signature;
    std::string baseName;
    std::string baseKind;
    bool isNonNull;
    bool isList;
};

// The JSON reader refuses documents nested deeper than tarn::json::maxDepth,
// so the recursion over "ofType" is bounded by that.
ResolvedTypeRef unwrapTypeRef(const Json* reference) {
    if (reference == nullptr)
        return {"String", "String", "SCALAR", false, false};
    std::string kind = textAt(*reference, "kind").value_or("SCALAR");
    if (kind == "NON_NULL") {
        ResolvedTypeRef inner = unwrapTypeRef(objectAt(*reference, "ofType"));
        inner.signature.push_back('!');
        inner.isNonNull = true;
        return inner;
    }
    if (kind == "LIST") {
        ResolvedTypeRef inner = unwrapTypeRef(objectAt(*reference, "ofType"));
        inner.signature = "[" + inner.signature + "]";
        inner.isNonNull = false;
        inner.isList = true;
        return inner;
    }
    std::string name = textAt(*reference, "name").value_or("String");
    return {name, name, std::move(kind), false, false};
}

std::optional<GraphQLFieldArg> parseArg(const Json& object) {
    std::optional<std::string> name = nonEmptyName(object);
    if (!name)
        return std::nullopt;
    ResolvedTypeRef type = unwrapTypeRef(objectAt(object, "type"));
    return GraphQLFieldArg{
        .name = std::move(*name),
        .description = textAt(object, "description"),
        .typeSignature = std::move(type.signature),
        .baseTypeName = std::move(type.baseName),
        .baseTypeKind = std::move(type.baseKind),
        .isNonNull = type.isNonNull,
        .isList = type.isList,
        .defaultValue = textAt(object, "defaultValue"),
    };
}

std::vector<GraphQLFieldArg> parseArgs(std::span<const Json> objects) {
    std::vector<GraphQLFieldArg> args;
    args.reserve(objects.size());
    for (const Json& object : objects) {
        if (std::optional<GraphQLFieldArg> arg = parseArg(object))
            args.push_back(std::move(*arg));
    }
    return args;
}

std::optional<GraphQLObjectFieldSummary> parseObjectField(const Json& object) {
    std::optional<std::string> name = nonEmptyName(object);
    if (!name)
        return std::nullopt;
    ResolvedTypeRef type = unwrapTypeRef(objectAt(object, "type"));
    const std::vector<GraphQLFieldArg> args = parseArgs(objectListAt(object, "args"));
    return GraphQLObjectFieldSummary{
        .name = std::move(*name),
        .description = textAt(object, "description"),
        .typeSignature = std::move(type.signature),
        .returnTypeName = std::move(type.baseName),
        .returnTypeKind = std::move(type.baseKind),
        .hasRequiredArgs = std::any_of(args.begin(), args.end(),
                                       [](const GraphQLFieldArg& arg) { return arg.isRequired(); }),
        .isDeprecated = boolAt(object, "isDeprecated").value_or(false),
    };
}

std::optional<GraphQLOperationField> parseOperationField(const Json& object,
                                                         GraphQLRootKind rootKind) {
    std::optional<std::string> name = nonEmptyName(object);
    if (!name)
        return std::nullopt;
    ResolvedTypeRef type = unwrapTypeRef(objectAt(object, "type"));
    return GraphQLOperationField{
        .rootKind = rootKind,
        .name = std::move(*name),
        .description = textAt(object, "description"),
        .returnTypeName = std::move(type.baseName),
        .returnTypeSignature = std::move(type.signature),
        .returnTypeKind = std::move(type.baseKind),
        .args = parseArgs(objectListAt(object, "args")),
        .isDeprecated = boolAt(object, "isDeprecated").value_or(false),
    };
}

std::optional<std::string> rootTypeName(const Json& schema, std::string_view key) {
    const Json* root = objectAt(schema, key);
    return root == nullptr ? std::nullopt : textAt(*root, "name");
}

// Reached only when the answer holds no schema: the first "message" text among
// the errors, if it says anything.
[[noreturn]] void throwMissingSchema(const Json& answer) {
    for (const Json& error : objectListAt(answer, "errors")) {
        if (std::optional<std::string> message = textAt(error, "message")) {
            if (message->empty())
                break;
            throw GraphQLIntrospectionError::serverError(std::move(*message));
        }
    }
    throw GraphQLIntrospectionError::missingSchemaPayload();
}

// --- JSON forms of the model ---------------------------------------------------

using tarn::json::required;

void putOptional(Json& json, const char* key, const std::optional<std::string>& value) {
    if (value)
        json[key] = *value;
}

// Missing and null both read back as absent; any other value must be text.
std::optional<std::string> optionalText(const Json& json, std::string_view key) {
    const Json* value = member(json, key);
    if (value == nullptr || value->is_null())
        return std::nullopt;
    try {
        return tarn::json::decode<std::string>(*value);
    } catch (tarn::json::DecodingError& error) {
        error.prependKey(key);
        throw;
    }
}

} // namespace

std::string_view rawValue(GraphQLRootKind kind) {
    switch (kind) {
    case GraphQLRootKind::query:
        return "Query";
    case GraphQLRootKind::mutation:
        return "Mutation";
    case GraphQLRootKind::subscription:
        return "Subscription";
    }
    return "Query";
}

template <> std::span<const GraphQLRootKind> allCases<GraphQLRootKind>() {
    return rootKindCases;
}

std::string_view operationKeyword(GraphQLRootKind kind) {
    switch (kind) {
    case GraphQLRootKind::query:
        return "query";
    case GraphQLRootKind::mutation:
        return "mutation";
    case GraphQLRootKind::subscription:
        return "subscription";
    }
    return "query";
}

bool GraphQLFieldArg::isRequired() const {
    return isNonNull && (!defaultValue || defaultValue->empty());
}

std::string GraphQLOperationField::id() const {
    std::string identity(rawValue(rootKind));
    identity.push_back('.');
    identity.append(name);
    return identity;
}

namespace {

std::vector<GraphQLOperationField> operationsOf(const std::vector<GraphQLOperationField>& all,
                                                GraphQLRootKind kind) {
    std::vector<GraphQLOperationField> result;
    std::copy_if(all.begin(), all.end(), std::back_inserter(result),
                 [kind](const GraphQLOperationField& field) { return field.rootKind == kind; });
    return result;
}

} // namespace

std::vector<GraphQLOperationField> GraphQLSchemaSummary::queries() const {
    return operationsOf(operations, GraphQLRootKind::query);
}

std::vector<GraphQLOperationField> GraphQLSchemaSummary::mutations() const {
    return operationsOf(operations, GraphQLRootKind::mutation);
}

std::vector<GraphQLOperationField> GraphQLSchemaSummary::subscriptions() const {
    return operationsOf(operations, GraphQLRootKind::subscription);
}

std::vector<GraphQLOperationField>
GraphQLSchemaSummary::filteredOperations(std::optional<GraphQLRootKind> kind,
                                         std::string_view search) const {
    // The needle is folded once here rather than once per comparison.
    const std::string needle =
        tarn::text::caseFolded(tarn::text::trimmingWhitespaceAndNewlines(search));
    const auto contains = [&needle](std::string_view haystack) {
        return tarn::text::caseFolded(haystack).find(needle) != std::string::npos;
    };
    std::vector<GraphQLOperationField> result;
    for (const GraphQLOperationField& operation : operations) {
        if (kind && operation.rootKind != *kind)
            continue;
        const bool matches =
            needle.empty() || contains(operation.name) || contains(operation.returnTypeName) ||
            (operation.description && contains(*operation.description)) ||
            std::any_of(operation.args.begin(), operation.args.end(),
                        [&contains](const GraphQLFieldArg& arg) { return contains(arg.name); });
        if (matches)
            result.push_back(operation);
    }
    return result;
}

namespace {

std::string describe(GraphQLIntrospectionError::Kind kind, const std::string& serverMessage) {
    switch (kind) {
    case GraphQLIntrospectionError::Kind::serverError:
        return "GraphQL introspection error: " + serverMessage;
    case GraphQLIntrospectionError::Kind::invalidJSON:
        return "Invalid JSON received from GraphQL endpoint.";
    case GraphQLIntrospectionError::Kind::missingSchemaPayload:
        break;
    }
    return "Response did not contain a GraphQL data.__schema payload. "
           "Introspection may be disabled on this endpoint.";
}

} // namespace

// The domain names the error type and the code is the case's position, as
// callers that only know platform errors would see them.
GraphQLIntrospectionError::GraphQLIntrospectionError(Kind kind, std::string serverMessage)
    : tarn::PlatformError("QuillerCore.GraphQLIntrospectionError", static_cast<long>(kind),
                          describe(kind, serverMessage)),
      m_kind(kind), m_serverMessage(std::move(serverMessage)) {}

GraphQLIntrospectionError GraphQLIntrospectionError::serverError(std::string message) {
    return GraphQLIntrospectionError(Kind::serverError, std::move(message));
}

GraphQLIntrospectionError GraphQLIntrospectionError::invalidJSON() {
    return GraphQLIntrospectionError(Kind::invalidJSON, {});
}

GraphQLIntrospectionError GraphQLIntrospectionError::missingSchemaPayload() {
    return GraphQLIntrospectionError(Kind::missingSchemaPayload, {});
}

namespace GraphQLIntrospectionEngine {

GraphQLSchemaSummary parseIntrospection(std::string_view data) {
    const std::optional<Json> answer = tarn::json::parse(data);
    if (!answer || !answer->is_object())
        throw GraphQLIntrospectionError::invalidJSON();

    const Json* schema = nullptr;
    if (const Json* payload = objectAt(*answer, "data"))
        schema = objectAt(*payload, "__schema");
    if (schema == nullptr)
        schema = objectAt(*answer, "__schema");
    if (schema == nullptr)
        throwMissingSchema(*answer);

    GraphQLSchemaSummary summary;
    summary.queryTypeName = rootTypeName(*schema, "queryType");
    summary.mutationTypeName = rootTypeName(*schema, "mutationType");
    summary.subscriptionTypeName = rootTypeName(*schema, "subscriptionType");

    // Raw field lists of the root types, by GraphQLRootKind.
    std::span<const Json> rootFields[std::size(rootKindCases)];
    const std::optional<std::string>* rootNames[] = {
        &summary.queryTypeName, &summary.mutationTypeName, &summary.subscriptionTypeName};

    for (const Json& typeObject : objectListAt(*schema, "types")) {
        std::optional<std::string> name = nonEmptyName(typeObject);
        if (!name || name->starts_with("__"))
            continue;
        const std::span<const Json> fields = objectListAt(typeObject, "fields");
        for (std::size_t root = 0; root < std::size(rootNames); ++root) {
            if (*rootNames[root] == *name) {
                rootFields[root] = fields;
                break;
            }
        }

        GraphQLObjectTypeSummary type{
            .name = *name,
            .kind = textAt(typeObject, "kind").value_or("OBJECT"),
            .description = textAt(typeObject, "description"),
            .inputFields = parseArgs(objectListAt(typeObject, "inputFields")),
        };
        type.fields.reserve(fields.size());
        for (const Json& fieldObject : fields) {
            if (std::optional<GraphQLObjectFieldSummary> field = parseObjectField(fieldObject))
                type.fields.push_back(std::move(*field));
        }
        for (const Json& value : objectListAt(typeObject, "enumValues")) {
            if (std::optional<std::string> valueName = textAt(value, "name"))
                type.enumValues.push_back(std::move(*valueName));
        }
        summary.typesByName.insert_or_assign(std::move(*name), std::move(type));
    }

    for (std::size_t root = 0; root < std::size(rootKindCases); ++root) {
        for (const Json& fieldObject : rootFields[root]) {
            if (std::optional<GraphQLOperationField> operation =
                    parseOperationField(fieldObject, rootKindCases[root]))
                summary.operations.push_back(std::move(*operation));
        }
    }
    summary.fetchedAt = std::chrono::system_clock::now();
    return summary;
}

} // namespace GraphQLIntrospectionEngine

// --- JSON forms ------------------------------------------------------------------

void to_json(Json& json, GraphQLRootKind kind) {
    json = std::string(rawValue(kind));
}

void from_json(const Json& json, GraphQLRootKind& kind) {
    kind = tarn::json::decodeEnum<GraphQLRootKind>(
        json, [](std::string_view text) { return fromRaw<GraphQLRootKind>(text); });
}

void to_json(Json& json, const GraphQLFieldArg& arg) {
    json = Json::object();
    json["name"] = arg.name;
    putOptional(json, "description", arg.description);
    json["typeSignature"] = arg.typeSignature;
    json["baseTypeName"] = arg.baseTypeName;
    json["baseTypeKind"] = arg.baseTypeKind;
    json["isNonNull"] = arg.isNonNull;
    json["isList"] = arg.isList;
    putOptional(json, "defaultValue", arg.defaultValue);
}

void from_json(const Json& json, GraphQLFieldArg& arg) {
    tarn::json::expectObject(json);
    arg = GraphQLFieldArg{
        .name = required<std::string>(json, "name"),
        .description = optionalText(json, "description"),
        .typeSignature = required<std::string>(json, "typeSignature"),
        .baseTypeName = required<std::string>(json, "baseTypeName"),
        .baseTypeKind = required<std::string>(json, "baseTypeKind"),
        .isNonNull = required<bool>(json, "isNonNull"),
        .isList = required<bool>(json, "isList"),
        .defaultValue = optionalText(json, "defaultValue"),
    };
}

void to_json(Json& json, const GraphQLObjectFieldSummary& field) {
    json = Json::object();
    json["name"] = field.name;
    putOptional(json, "description", field.description);
    json["typeSignature"] = field.typeSignature;
    json["returnTypeName"] = field.returnTypeName;
    json["returnTypeKind"] = field.returnTypeKind;
    json["hasRequiredArgs"] = field.hasRequiredArgs;
    json["isDeprecated"] = field.isDeprecated;
}

void from_json(const Json& json, GraphQLObjectFieldSummary& field) {
    tarn::json::expectObject(json);
    field = GraphQLObjectFieldSummary{
        .name = required<std::string>(json, "name"),
        .description = optionalText(json, "description"),
        .typeSignature = required<std::string>(json, "typeSignature"),
        .returnTypeName = required<std::string>(json, "returnTypeName"),
        .returnTypeKind = required<std::string>(json, "returnTypeKind"),
        .hasRequiredArgs = required<bool>(json, "hasRequiredArgs"),
        .isDeprecated = required<bool>(json, "isDeprecated"),
    };
}

void to_json(Json& json, const GraphQLObjectTypeSummary& type) {
    json = Json::object();
    json["name"] = type.name;
    json["kind"] = type.kind;
    putOptional(json, "description", type.description);
    json["fields"] = type.fields;
    json["inputFields"] = type.inputFields;
    json["enumValues"] = type.enumValues;
}

void from_json(const Json& json, GraphQLObjectTypeSummary& type) {
    tarn::json::expectObject(json);
    type = GraphQLObjectTypeSummary{
        .name = required<std::string>(json, "name"),
        .kind = required<std::string>(json, "kind"),
        .description = optionalText(json, "description"),
        .fields = required<std::vector<GraphQLObjectFieldSummary>>(json, "fields"),
        .inputFields = required<std::vector<GraphQLFieldArg>>(json, "inputFields"),
        .enumValues = required<std::vector<std::string>>(json, "enumValues"),
    };
}

void to_json(Json& json, const GraphQLOperationField& operation) {
    json = Json::object();
    json["rootKind"] = operation.rootKind;
    json["name"] = operation.name;
    putOptional(json, "description", operation.description);
    json["returnTypeName"] = operation.returnTypeName;
    json["returnTypeSignature"] = operation.returnTypeSignature;
    json["returnTypeKind"] = operation.returnTypeKind;
    json["args"] = operation.args;
    json["isDeprecated"] = operation.isDeprecated;
}

void from_json(const Json& json, GraphQLOperationField& operation) {
    tarn::json::expectObject(json);
    operation = GraphQLOperationField{
        .rootKind = required<GraphQLRootKind>(json, "rootKind"),
        .name = required<std::string>(json, "name"),
        .description = optionalText(json, "description"),
        .returnTypeName = required<std::string>(json, "returnTypeName"),
        .returnTypeSignature = required<std::string>(json, "returnTypeSignature"),
        .returnTypeKind = required<std::string>(json, "returnTypeKind"),
        .args = required<std::vector<GraphQLFieldArg>>(json, "args"),
        .isDeprecated = required<bool>(json, "isDeprecated"),
    };
}

void to_json(Json& json, const GraphQLSchemaSummary& schema) {
    json = Json::object();
    putOptional(json, "queryTypeName", schema.queryTypeName);
    putOptional(json, "mutationTypeName", schema.mutationTypeName);
    putOptional(json, "subscriptionTypeName", schema.subscriptionTypeName);
    json["operations"] = schema.operations;
    Json types = Json::object();
    for (const auto& [name, type] : schema.typesByName)
        types[name] = type;
    json["typesByName"] = std::move(types);
    json["fetchedAt"] =
        tarn::json::formatISO8601(schema.fetchedAt, tarn::json::DatePrecision::milliseconds);
}

void from_json(const Json& json, GraphQLSchemaSummary& schema) {
    tarn::json::expectObject(json);
    GraphQLSchemaSummary result{
        .queryTypeName = optionalText(json, "queryTypeName"),
        .mutationTypeName = optionalText(json, "mutationTypeName"),
        .subscriptionTypeName = optionalText(json, "subscriptionTypeName"),
        .operations = required<std::vector<GraphQLOperationField>>(json, "operations"),
        .fetchedAt = required<std::chrono::system_clock::time_point>(json, "fetchedAt"),
    };
    const Json& types = tarn::json::detail::member(json, "typesByName");
    try {
        tarn::json::expectObject(types);
        for (const auto& [name, type] : types.items()) {
            try {
                result.typesByName.insert_or_assign(
                    name, tarn::json::decode<GraphQLObjectTypeSummary>(type));
            } catch (tarn::json::DecodingError& error) {
                error.prependKey(name);
                throw;
            }
        }
    } catch (tarn::json::DecodingError& error) {
        error.prependKey("typesByName");
        throw;
    }
    schema = std::move(result);
}

} // namespace quiller
