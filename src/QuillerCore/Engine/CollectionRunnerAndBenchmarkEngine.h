#pragma once

// The collection runner, which sends the requests of a collection one after
// another and carries values from each response into the variables of the
// requests that follow, and the load benchmark, which sends one request many
// times with a bounded number of sends in flight.
//
// Both block the calling thread until every send has ended and must not run on
// the main thread; any number of runs may go on at the same time. Neither
// fails as a whole: a failed send becomes part of the result. A stop requested
// on the token does not end a run early either: every send still to come is
// handed the stopped token and fails at once, so a stopped run ends promptly
// and still accounts for every request. Each run writes one summary line to
// the "Quiller" application log.

#include "QuillerCore/Engine/EnvironmentTemplateEngine.h"
#include "QuillerCore/Engine/MCPToolSampleArguments.h"
#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RunnerRecords.h"
#include "QuillerCore/Models/RuntimeRecords.h"
#include "TarnKit/Platform/UUID.h"

#include <functional>
#include <map>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace quiller::CollectionRunnerAndBenchmarkEngine {

// The extraction rules of each request, by the request's id, applied in order.
using ExtractionRules = std::map<tarn::UUID, std::vector<VariableExtractionRule>>;

// How a request reaches the network (CollectionRunnerService sends through
// HTTPAndSSEClientService::execute); a stand-in keeps its contract: a snapshot
// for any HTTP status, an exception for a send that failed. The benchmark calls
// it from several threads at once.
using RequestSender =
    std::function<HTTPResponseSnapshot(const APIRequestSpec& spec, const VariableMap& variables,
                                       bool logExecution, std::stop_token stop)>;

inline constexpr int maxBenchmarkRequests = 200;
inline constexpr int maxBenchmarkWorkers = 24;

// One row per request of `collection`, in its order. Each request is sent
// (and logged) with the working variables: `initialVariables` plus whatever
// the enabled, named rules of the earlier steps found in their response
// bodies, the later value winning. The caller's map is not changed.
std::vector<CollectionRunStepResult> runCollection(const APIRequestCollection& collection,
                                                   const VariableMap& initialVariables,
                                                   const ExtractionRules& extractorsByRequestID,
                                                   const RequestSender& send, std::stop_token stop);

// Sends `spec` `totalRequests` times (1...200) on `concurrency` workers
// (1...24); values outside are brought into range. Never more than that many
// sends are in flight, and a new one starts as soon as any ends. The sends
// themselves are not logged.
LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec& spec, const VariableMap& variables,
                                     int totalRequests, int concurrency, const RequestSender& send,
                                     std::stop_token stop);

// The report of the samples in any order. Percentiles pick the sorted sample
// at p × (n − 1) rounded half away from zero, with no interpolation; a
// `totalWallMs` of 0 (or less) gives 0 requests per second.
LoadBenchmarkReport buildBenchmarkReport(std::vector<double> latenciesMs,
                                         const std::vector<int>& statusCodes, int failures,
                                         int concurrency, double totalWallMs);

// The benchmark's log message, the same under every process locale:
// "Load Benchmark GET host/path (N req, W workers): 12.3 req/s · ok=N fail=N ·
// p50=12ms p95=20ms p99=31ms", the fixed-point numbers rounded as C's printf
// rounds them.
std::string benchmarkLogMessage(TarnHTTPMethod method, std::string_view urlLabel,
                                const LoadBenchmarkReport& report);

} // namespace quiller::CollectionRunnerAndBenchmarkEngine
