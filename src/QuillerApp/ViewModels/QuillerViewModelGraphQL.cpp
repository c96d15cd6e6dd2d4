// GraphQL: fetching a schema by introspection and writing an operation template
// into the active request.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::fetchGraphQLSchema(const std::optional<APIRequestSpec>&) {}

void QuillerViewModel::applyGraphQLTemplate(const GraphQLOperationField&) {}

} // namespace quiller
