#include "QuillerCore/Services/HTTPAndSSEClientService.h"

#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "QuillerCore/Services/SSEStreamParser.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/Platform/UUID.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace quiller::HTTPAndSSEClientService {
namespace {

using Clock = std::chrono::steady_clock;
using tarn::TarnLogLevel;

constexpr const char* kErrorDomain = "Quiller";
constexpr std::chrono::seconds kStreamIdleTimeout{60};

tarn::TarnAppLogger& applicationLog() {
    return tarn::TarnAppLogger::shared("Quiller");
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Milliseconds as the log lines write them: rounded, halves away from zero.
std::string roundedMilliseconds(double milliseconds) {
    return tarn::numbers::formatInteger(tarn::numbers::roundToInteger(milliseconds).value_or(0));
}

tarn::HTTPTransferRequest transferRequestFor(ComposedRequest request) {
    tarn::HTTPTransferRequest transfer;
    transfer.url = std::move(request.url);
    transfer.method = std::move(request.method);
    transfer.headers.reserve(request.headers.size());
    for (const HTTPHeaderField& field : request.headers.fields())
        transfer.headers.push_back({field.name, field.value});
    transfer.body = std::move(request.body);
    transfer.idleTimeout = request.idleTimeout;
    return transfer;
}

// Header pairs sorted by name, ignoring case by Unicode's rules (never the
// process locale's); fields with equal names keep their order. Texts are
// repaired so that every later consumer (views, JSON files) gets valid UTF-8.
std::vector<HTTPHeaderPair> sortedHeaders(const std::vector<tarn::HTTPTransferHeader>& fields) {
    struct Keyed {
        std::string folded;
        HTTPHeaderPair pair;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(fields.size());
    for (const tarn::HTTPTransferHeader& field : fields) {
        std::string key = tarn::text::repairUTF8(field.name);
        keyed.push_back({tarn::text::caseFolded(key),
                         HTTPHeaderPair{std::move(key), tarn::text::repairUTF8(field.value)}});
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.folded < b.folded; });
    std::vector<HTTPHeaderPair> pairs;
    pairs.reserve(keyed.size());
    for (Keyed& entry : keyed)
        pairs.push_back(std::move(entry.pair));
    return pairs;
}

// The measured phases, or the wall-clock time alone when the transfer could
// not say how long it took.
TimingWaterfall waterfallFor(const tarn::HTTPPhaseTimings& phases, double elapsedMs) {
    if (phases.totalMs > 0)
        return phases;
    TimingWaterfall fallback;
    fallback.totalMs = elapsedMs;
    return fallback;
}

// Thrown out of the body consumer to end a stream whose caller asked to stop.
struct StreamStopped {};

// Runs `work` and lets only error values with words for the user out: running
// out of memory, or an exception of a library, would otherwise show the
// standard library's own text ("std::bad_alloc").
template <typename Work> auto withUserFacingErrors(Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const tarn::PlatformError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw tarn::PlatformError(tarn::kURLErrorDomain, tarn::URLErrorCode::unknown,
                                  "There is not enough memory to complete the request.");
    } catch (const std::exception&) {
        throw tarn::PlatformError(tarn::kURLErrorDomain, tarn::URLErrorCode::unknown,
                                  "The operation couldn’t be completed.");
    }
}

} // namespace

namespace {

HTTPResponseSnapshot executeRequest(const APIRequestSpec& spec, const VariableMap& variables,
                                    bool logExecution, std::stop_token stop) {
    RequestComposition composition = EnvironmentTemplateEngine::buildURLRequest(spec, variables);
    const std::string label = RequestHistoryEngine::sanitizedHostAndPath(composition.resolvedURL);
    const std::string_view category =
        spec.bodyKind == RequestBodyKind::graphql ? "graphql" : "http";
    const std::string method(rawValue(spec.method));

    const Clock::time_point start = Clock::now();
    tarn::HTTPTransferResponse response;
    try {
        response = withUserFacingErrors([&] {
            return tarn::HTTPTransfer::perform(transferRequestFor(std::move(composition.request)),
                                               std::move(stop));
        });
    } catch (const std::exception& error) {
        if (logExecution)
            applicationLog().log(TarnLogLevel::error, category,
                                 method + " " + label + " failed after " +
                                     roundedMilliseconds(millisecondsSince(start)) +
                                     "ms: " + error.what());
        throw;
    }
    const double elapsedMs = millisecondsSince(start);

    HTTPResponseSnapshot snapshot;
    snapshot.requestName = spec.name;
    snapshot.method = spec.method;
    snapshot.resolvedURL = std::move(composition.resolvedURL);
    snapshot.statusCode = response.isHTTP ? response.statusCode : 0;
    if (response.isHTTP)
        snapshot.headers = sortedHeaders(response.headers);
    // The received string itself, with the parser's padding behind it; a
    // body that is valid UTF-8 is its own text, one string for both.
    snapshot.bodyData = std::move(response.body);
    const std::string& body = snapshot.bodyData;
    snapshot.bodyText = tarn::text::isValidUTF8(body) ? snapshot.bodyData
                                                      : SharedText(tarn::text::repairUTF8(body));
    snapshot.prettyBodyText = JSONInspectorEngine::prettyPrint(body);
    snapshot.timing = waterfallFor(response.timings, elapsedMs);
    snapshot.assertions = JSONInspectorEngine::evaluateAssertions(
        spec.assertions, snapshot.statusCode, body, snapshot.bodyText, snapshot.timing.totalMs);

    if (logExecution) {
        const int status = snapshot.statusCode;
        applicationLog().log(
            status >= 1 && status <= 399 ? TarnLogLevel::info : TarnLogLevel::warn, category,
            method + " " + label + " -> HTTP " + tarn::numbers::formatInteger(status) + " (" +
                roundedMilliseconds(snapshot.timing.totalMs) + "ms, " +
                tarn::numbers::formatInteger(snapshot.bodyData.size()) + "B)");
    }
    snapshot.receivedAt = std::chrono::system_clock::now();
    return snapshot;
}

} // namespace

HTTPResponseSnapshot execute(const APIRequestSpec& spec, const VariableMap& variables,
                             bool logExecution, std::stop_token stop) {
    return withUserFacingErrors(
        [&] { return executeRequest(spec, variables, logExecution, std::move(stop)); });
}

GraphQLSchemaSummary executeGraphQLIntrospection(const APIRequestSpec& spec,
                                                 const VariableMap& variables,
                                                 std::stop_token stop) {
    APIRequestSpec introspection = spec;
    introspection.method = TarnHTTPMethod::post;
    introspection.bodyKind = RequestBodyKind::rawText;
    introspection.bodyText = GraphQLIntrospectionEngine::introspectionRequestBody();
    RequestComposition composition =
        EnvironmentTemplateEngine::buildURLRequest(introspection, variables);
    composition.request.headers.set("Content-Type", "application/json");
    if (!composition.request.headers.contains("Accept"))
        composition.request.headers.set("Accept", "application/json");
    const std::string label = RequestHistoryEngine::sanitizedHostAndPath(composition.resolvedURL);

    const Clock::time_point start = Clock::now();
    try {
        const tarn::HTTPTransferResponse response = withUserFacingErrors([&] {
            return tarn::HTTPTransfer::perform(transferRequestFor(std::move(composition.request)),
                                               std::move(stop));
        });
        const std::string milliseconds = roundedMilliseconds(millisecondsSince(start));
        const int status = response.isHTTP ? response.statusCode : 0;
        if (status >= 200 && status <= 299) {
            GraphQLSchemaSummary summary =
                GraphQLIntrospectionEngine::parseIntrospection(response.body);
            applicationLog().log(
                TarnLogLevel::info, "graphql",
                "Introspection " + label + " succeeded in " + milliseconds +
                    "ms (queries: " + tarn::numbers::formatInteger(summary.queries().size()) +
                    ", mutations: " + tarn::numbers::formatInteger(summary.mutations().size()) +
                    ", types: " + tarn::numbers::formatInteger(summary.typesByName.size()) + ")");
            return summary;
        }
        const std::string statusText = tarn::numbers::formatInteger(status);
        applicationLog().log(TarnLogLevel::warn, "graphql",
                             "Introspection " + label + " -> HTTP " + statusText + " (" +
                                 milliseconds + "ms)");
        throw tarn::PlatformError(kErrorDomain, introspectionFailedErrorCode,
                                  "GraphQL introspection failed with HTTP " + statusText + ".");
    } catch (const std::exception& error) {
        applicationLog().log(TarnLogLevel::error, "graphql",
                             "Introspection " + label + " failed: " + error.what());
        throw;
    }
}

void streamSSE(const std::string& urlString, const std::vector<SSEHeaderPair>& headers,
               const std::optional<std::string>& body, TarnHTTPMethod method,
               const SSEEventHandler& onEvent, std::stop_token stop) {
    const std::optional<tarn::URLComponents> components = tarn::URLComponents::parse(urlString);
    if (!components || !components->string())
        throw tarn::PlatformError(kErrorDomain, invalidSSEURLErrorCode, "Invalid SSE URL.");

    HTTPHeaderFields fields;
    fields.set("Accept", "text/event-stream");
    for (const auto& [name, value] : headers)
        if (!name.empty())
            fields.set(name, value);
    ComposedRequest request;
    request.url = urlString;
    request.method = std::string(rawValue(method));
    if (body && !body->empty()) {
        request.body = *body;
        if (!fields.contains("Content-Type"))
            fields.set("Content-Type", "application/json");
    }
    request.headers = std::move(fields);
    request.idleTimeout = kStreamIdleTimeout;

    SSELineSplitter splitter;
    SSEEventReader reader;
    // What the caller's handler threw reaches the caller unchanged.
    std::exception_ptr handlerFailure;
    const SSELineSplitter::LineHandler handleLine = [&](std::string_view line) {
        if (stop.stop_requested())
            return false;
        if (std::optional<SSEEventLine> event = reader.read(line)) {
            try {
                onEvent(SSEStreamEvent{tarn::UUID::random(), std::move(event->eventType),
                                       std::move(event->data), std::chrono::system_clock::now()});
            } catch (...) {
                handlerFailure = std::current_exception();
                return false;
            }
        }
        return true;
    };
    try {
        withUserFacingErrors([&] {
            tarn::HTTPTransfer::stream(transferRequestFor(std::move(request)), stop,
                                       [&](std::string_view bytes) {
                                           if (!splitter.feed(bytes, handleLine))
                                               throw StreamStopped{};
                                       });
            splitter.finish(handleLine);
        });
    } catch (const StreamStopped&) {
    } catch (const tarn::PlatformError& error) {
        // Stopping is how the caller ends a stream, not a failure.
        if (!stop.stop_requested() || error.domain() != tarn::kURLErrorDomain ||
            error.code() != tarn::URLErrorCode::cancelled)
            throw;
    }
    if (handlerFailure)
        std::rethrow_exception(handlerFailure);
}

} // namespace quiller::HTTPAndSSEClientService
