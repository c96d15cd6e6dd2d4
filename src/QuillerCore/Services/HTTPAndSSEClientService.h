#pragma once

// The one road by which requests reach the network: request execution with
// phase timings, the GraphQL introspection request, and Server-Sent-Events
// streams.
//
// Every function blocks the calling thread until it is done and must not run
// on the main thread. Any number may run at the same time on different
// threads; they share nothing but the application log. A stop requested on
// the token ends the network work within a few milliseconds.

#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Engine/GraphQLIntrospectionEngine.h"
#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RuntimeRecords.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace quiller::HTTPAndSSEClientService {

// Errors thrown as tarn::PlatformError in the domain "Quiller".
inline constexpr long invalidSSEURLErrorCode = 1010;
inline constexpr long introspectionFailedErrorCode = 1020;

// Composes `spec` with `variables`, sends it on a transfer of its own (no
// shared cookies, connections or cache) and returns the final response: the
// headers sorted by name (stable, ignoring case), the body as bytes, as text
// (invalid UTF-8 shown as U+FFFD) and pretty-printed, the phase timings, and
// the results of the request's enabled assertions. Any HTTP status is a
// result. With `logExecution` one line goes to the application log per call
// (category "graphql" for a GraphQL body, else "http").
//
// Throws the composition errors 1001 and 1002 before anything is sent or
// logged, and transport errors (kURLErrorDomain, a stop as "cancelled")
// unchanged.
HTTPResponseSnapshot execute(const APIRequestSpec& spec, const VariableMap& variables,
                             bool logExecution, std::stop_token stop);

// Sends the standard introspection query as a POST with the request's URL,
// query rows, headers and authentication ("Content-Type" always and "Accept"
// unless given set to "application/json") and parses the answer. Always
// logged, in the category "graphql".
//
// Throws composition errors unlogged; otherwise logs and throws 1020 "GraphQL
// introspection failed with HTTP <status>." for a status outside 200...299,
// the GraphQLIntrospectionError of an unreadable answer, or the transport
// error.
GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec& spec,
                                                 const VariableMap& variables,
                                                 std::stop_token stop);

using SSEHeaderPair = std::pair<std::string, std::string>;
using SSEEventHandler = std::function<void(const SSEStreamEvent&)>;

// Opens an event stream at `urlString` (used as given) with "Accept:
// text/event-stream", then `headers` in order (a pair with an empty name is
// skipped; a later pair replaces an earlier one of the same name), and `body`
// when not empty (as JSON unless a "Content-Type" was given). Calls `onEvent`
// on the calling thread once per "data:" line, in arrival order, whatever the
// status of the response. Waits at most 60 seconds for each next piece of the
// stream.
//
// Returns at the end of the stream, and when a stop is requested (the line in
// hand is then not handled). Throws 1010 "Invalid SSE URL." before any network
// activity when the text is no URL, transport errors, and whatever `onEvent`
// throws.
void streamSSE(const std::string& urlString, const std::vector<SSEHeaderPair>& headers,
               const std::optional<std::string>& body, TarnHTTPMethod method,
               const SSEEventHandler& onEvent, std::stop_token stop);

} // namespace quiller::HTTPAndSSEClientService
