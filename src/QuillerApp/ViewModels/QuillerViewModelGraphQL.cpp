// GraphQL: fetching a schema by introspection and writing an operation template
// into the active request.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <string>

namespace quiller {

namespace {

// How deep the generated selection set nests.
constexpr int templateSelectionDepth = 2;

} // namespace

void QuillerViewModel::fetchGraphQLSchema(const std::optional<APIRequestSpec>& spec) {
    auto request = spec ? spec : activeRequest();
    if (!request)
        return;
    VariableMap variables = activeVariables();

    beginBusy(BusyKind::introspecting);
    setGraphQLIntrospectionError(std::nullopt);
    setShowGraphQLSchemaExplorer(true);

    // Not kept: a fetch runs to its end and is never cancelled. Overlapping
    // fetches each end their own share of the busy flag.
    runJob(
        [execution = m_ports.requestExecution, request = std::move(*request),
         variables = std::move(variables)](std::stop_token stop) {
            return execution->executeGraphQLIntrospection(request, variables, stop);
        },
        [this](GraphQLSchemaSummary summary) {
            const auto queries = std::to_string(summary.queries().size());
            const auto mutations = std::to_string(summary.mutations().size());
            setGraphQLSchema(std::move(summary));
            endBusy(BusyKind::introspecting);
            showToast(text("Introspected " + queries + " queries & " + mutations + " mutations.",
                           queries + " sorgu ve " + mutations + " mutasyon keşfedildi."),
                      false);
        },
        [this](JobFailure failure) {
            endBusy(BusyKind::introspecting);
            setGraphQLIntrospectionError(failure.description);
            showToast(failure.description, true);
        });
}

void QuillerViewModel::applyGraphQLTemplate(const GraphQLOperationField& field) {
    if (!m_graphQLSchema)
        return;
    const auto operation = GraphQLIntrospectionEngine::generateOperationTemplate(
        field, *m_graphQLSchema, templateSelectionDepth);
    const auto indices = activeRequestIndices();
    if (indices) {
        auto& request = m_collections[indices->col].requests[indices->req];
        request.method = TarnHTTPMethod::post;
        request.bodyKind = RequestBodyKind::graphql;
        request.bodyText = operation.query;
        request.graphQLVariables = operation.variablesJSON;
        announceUpdate(Field::collections, indices->req, request.id,
                       m_collections[indices->col].id);
        persist();
    }
    const std::string kind{rawValue(field.rootKind)};
    m_logger.info("Generated GraphQL template for " + kind + "." + field.name + " (" +
                      std::to_string(field.args.size()) + " args)",
                  "graphql");
    if (indices)
        showToast(text("Loaded " + kind + " '" + field.name + "' into request body.",
                       "'" + field.name + "' sorgusu istek gövdesine yüklendi."),
                  false);
}

} // namespace quiller
