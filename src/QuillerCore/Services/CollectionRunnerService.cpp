#include "QuillerCore/Services/CollectionRunnerService.h"

#include "QuillerCore/Services/HTTPAndSSEClientService.h"

#include <utility>

namespace quiller::CollectionRunnerService {

std::vector<CollectionRunStepResult> runCollection(const APIRequestCollection& collection,
                                                   const VariableMap& initialVariables,
                                                   const ExtractionRules& extractorsByRequestID,
                                                   std::stop_token stop) {
    return CollectionRunnerAndBenchmarkEngine::runCollection(
        collection, initialVariables, extractorsByRequestID, HTTPAndSSEClientService::execute,
        std::move(stop));
}

LoadBenchmarkReport runLoadBenchmark(const APIRequestSpec& spec, const VariableMap& variables,
                                     int totalRequests, int concurrency, std::stop_token stop) {
    return CollectionRunnerAndBenchmarkEngine::runLoadBenchmark(
        spec, variables, totalRequests, concurrency, HTTPAndSSEClientService::execute,
        std::move(stop));
}

} // namespace quiller::CollectionRunnerService
