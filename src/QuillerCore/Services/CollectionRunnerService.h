#pragma once

// The collection runner and the load benchmark over the network: the runner
// engine with every request sent by HTTPAndSSEClientService::execute. Same
// contract as the engine's functions (blocking, never on the main thread).

#include "QuillerCore/Engine/CollectionRunnerAndBenchmarkEngine.h"

namespace quiller::CollectionRunnerService {

using CollectionRunnerAndBenchmarkEngine::ExtractionRules;

std::vector<CollectionRunStepResult> runCollection(const APIRequestCollection& collection,
                                                   const VariableMap& initialVariables,
                                                   const ExtractionRules& extractorsByRequestID,
                                                   std::stop_token stop);

LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec& spec, const VariableMap& variables,
                                     int totalRequests, int concurrency, std::stop_token stop);

} // namespace quiller::CollectionRunnerService
