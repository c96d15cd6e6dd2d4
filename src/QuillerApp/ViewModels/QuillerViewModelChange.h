#pragma once

// What an observer of QuillerViewModel hears: the published fields, and one
// change record per notification.
//
// The fields. QUILLER_VIEW_MODEL_FIELDS(X) calls X(name) once per published
// field, in declaration order; it yields QuillerViewModelField, fieldCount and
// fieldNames below, so an observer can keep a std::bitset<fieldCount> indexed
// by fieldIndex(field) instead of a list of its own.
//
// The change record. Every notification carries one ViewModelChange:
// - `field`: the field that changed (always set).
// - `kind`: what happened to a list field:
//     none      the field is not a list (a flag, a text, an optional value);
//     reset     the whole list was replaced (any row may have changed);
//     inserted  rows [first, first + count) are new, positions in the list
//               after the change;
//     removed   rows [first, first + count) are gone, positions in the list
//               before the change;
//     updated   rows [first, first + count) changed in place (same identity).
// - `identity`: the identifier of the row when the change touches exactly one
//   row that has one (a request, an environment, a variable, a history entry,
//   a response, an event, a frame, a route, a tool, an exchange).
// - `parent`: for the nested lists, the owner of the list the positions refer
//   to: the collection whose requests changed, the environment whose variables
//   changed. Absent for a change of the field's own list (collections,
//   environments, and every flat list).
//
// One operation may send several notifications, one per step, in the order it
// applies them (an insertion at the front followed by the removal of the rows
// that fell off the end); the positions of each record refer to the list as it
// stands right after that step. A list model that applies the records in order
// stays in step with the view model without resetting.
//
// The list fields are collections (with the requests of each collection),
// environments (with the variables of each environment), responseHistory,
// executionHistory, collectionRunResults, sseEvents, wsFrames, mcpTools,
// mockRoutes and capturedExchanges.

#include "TarnKit/Platform/UUID.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#define QUILLER_VIEW_MODEL_FIELDS(X)                                                               \
    X(selectedTab)                                                                                 \
    X(collections)                                                                                 \
    X(selectedCollectionID)                                                                        \
    X(selectedRequestID)                                                                           \
    X(environments)                                                                                \
    X(activeEnvironmentID)                                                                         \
    X(isSending)                                                                                   \
    X(latestResponse)                                                                              \
    X(previousResponse)                                                                            \
    X(responseHistory)                                                                             \
    X(executionHistory)                                                                            \
    X(jsonPathQuery)                                                                               \
    X(snippetLanguage)                                                                             \
    X(graphQLSchema)                                                                               \
    X(isIntrospectingGraphQL)                                                                      \
    X(graphQLIntrospectionError)                                                                   \
    X(showGraphQLSchemaExplorer)                                                                   \
    X(isRunningCollection)                                                                         \
    X(collectionRunResults)                                                                        \
    X(isBenchmarking)                                                                              \
    X(latestBenchmark)                                                                             \
    X(sseURL)                                                                                      \
    X(isSSEStreaming)                                                                              \
    X(sseEvents)                                                                                   \
    X(wsURL)                                                                                       \
    X(wsDraftMessage)                                                                              \
    X(isWSConnected)                                                                               \
    X(wsFrames)                                                                                    \
    X(mcpCommandLine)                                                                              \
    X(isInspectingMCP)                                                                             \
    X(mcpTools)                                                                                    \
    X(selectedMCPToolName)                                                                         \
    X(mcpArgumentsJSON)                                                                            \
    X(mcpRawLog)                                                                                   \
    X(proxyPortText)                                                                               \
    X(isProxyRunning)                                                                              \
    X(activeProxyPort)                                                                             \
    X(mockRoutes)                                                                                  \
    X(capturedExchanges)                                                                           \
    X(language)                                                                                    \
    X(launchAtLogin)                                                                               \
    X(toastMessage)                                                                                \
    X(toastIsError)

namespace quiller {

// One case per published field, in declaration order; the cases count from 0.
enum class QuillerViewModelField {
#define QUILLER_VIEW_MODEL_FIELD_CASE(name) name,
    QUILLER_VIEW_MODEL_FIELDS(QUILLER_VIEW_MODEL_FIELD_CASE)
#undef QUILLER_VIEW_MODEL_FIELD_CASE
};

namespace viewModelFields {

// The field names as written in the code, indexed by fieldIndex().
inline constexpr std::array fieldNames = {
#define QUILLER_VIEW_MODEL_FIELD_NAME(name) std::string_view(#name),
    QUILLER_VIEW_MODEL_FIELDS(QUILLER_VIEW_MODEL_FIELD_NAME)
#undef QUILLER_VIEW_MODEL_FIELD_NAME
};

inline constexpr std::size_t fieldCount = fieldNames.size();

constexpr std::size_t fieldIndex(QuillerViewModelField field) {
    return static_cast<std::size_t>(field);
}

constexpr std::string_view fieldName(QuillerViewModelField field) {
    return fieldNames[fieldIndex(field)];
}

// Whether the field holds a list whose changes are described row by row.
constexpr bool isListField(QuillerViewModelField field) {
    using enum QuillerViewModelField;
    switch (field) {
    case collections:
    case environments:
    case responseHistory:
    case executionHistory:
    case collectionRunResults:
    case sseEvents:
    case wsFrames:
    case mcpTools:
    case mockRoutes:
    case capturedExchanges:
        return true;
    default:
        return false;
    }
}

} // namespace viewModelFields

// What happened to a list field; see the top of this file.
enum class ListChangeKind { none, reset, inserted, removed, updated };

struct ViewModelChange {
    QuillerViewModelField field{};
    ListChangeKind kind = ListChangeKind::none;
    std::size_t first = 0;
    std::size_t count = 0;
    std::optional<tarn::UUID> identity{};
    std::optional<tarn::UUID> parent{};

    friend bool operator==(const ViewModelChange&, const ViewModelChange&) = default;
};

} // namespace quiller
