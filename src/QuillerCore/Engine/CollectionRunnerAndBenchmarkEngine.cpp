// The collection runner.

#include "QuillerCore/Engine/CollectionRunnerAndBenchmarkEngine.h"

#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

namespace quiller::CollectionRunnerAndBenchmarkEngine {
namespace {

using Clock = std::chrono::steady_clock;

CollectionRunStepResult failedStep(const APIRequestSpec& request, const VariableMap& variables,
                                   const std::exception& error) {
    return CollectionRunStepResult{
        .requestName = request.name,
        .method = request.method,
        // What the user would recognise as the target; the query rows are
        // not part of it, as nothing was composed.
        .resolvedURL = EnvironmentTemplateEngine::interpolate(request.url, variables),
        // Every rule the request has, enabled or not: none of them could run.
        .totalAssertions = static_cast<int>(request.assertions.size()),
        .errorMessage = error.what(),
    };
}

// Sends one request and applies its extraction rules to the working map.
CollectionRunStepResult runStep(const APIRequestSpec& request, VariableMap& working,
                                const ExtractionRules& extractorsByRequestID,
                                const RequestSender& send, const std::stop_token& stop) {
    HTTPResponseSnapshot snapshot;
    try {
        snapshot = send(request, working, true, stop);
    } catch (const std::exception& error) {
        return failedStep(request, working, error);
    }

    CollectionRunStepResult step{
        .requestName = request.name,
        .method = request.method,
        .resolvedURL = std::move(snapshot.resolvedURL),
        .statusCode = snapshot.statusCode,
        .durationMs = snapshot.timing.totalMs,
        .passedAssertions = static_cast<int>(
            std::count_if(snapshot.assertions.begin(), snapshot.assertions.end(),
                          [](const AssertionEvaluationResult& result) { return result.passed; })),
        .totalAssertions = static_cast<int>(snapshot.assertions.size()),
    };
    // Error statuses are extracted from too: an error body often carries what
    // the next step needs to report on.
    if (const auto rules = extractorsByRequestID.find(request.id);
        rules != extractorsByRequestID.end()) {
        for (const VariableExtractionRule& rule : rules->second) {
            if (!rule.isEnabled || rule.variableName.empty())
                continue;
            std::optional<std::string> value =
                JSONInspectorEngine::extractJSONPath(rule.jsonPath, snapshot.bodyData.str());
            if (!value)
                continue;
            working.insert_or_assign(rule.variableName, *value);
            step.extractedVariables.insert_or_assign(rule.variableName, std::move(*value));
        }
    }
    return step;
}

} // namespace

std::vector<CollectionRunStepResult> runCollection(const APIRequestCollection& collection,
                                                   const VariableMap& initialVariables,
                                                   const ExtractionRules& extractorsByRequestID,
                                                   const RequestSender& send,
                                                   std::stop_token stop) {
    const Clock::time_point start = Clock::now();
    VariableMap working = initialVariables;
    std::vector<CollectionRunStepResult> steps;
    steps.reserve(collection.requests.size());
    // Strictly one after another, so that a value extracted by one step is
    // there for every later one.
    for (const APIRequestSpec& request : collection.requests)
        steps.push_back(runStep(request, working, extractorsByRequestID, send, stop));

    const auto passed =
        std::count_if(steps.begin(), steps.end(),
                      [](const CollectionRunStepResult& step) { return step.isSuccess(); });
    const auto total = static_cast<long long>(steps.size());
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    tarn::TarnAppLogger::shared("Quiller").log(
        tarn::TarnLogLevel::info, "runner",
        "Collection Runner '" + collection.name + "': " + tarn::numbers::formatInteger(passed) +
            "/" + tarn::numbers::formatInteger(total) + " passed (" +
            tarn::numbers::formatInteger(total - passed) + " failed) in " +
            tarn::numbers::formatInteger(tarn::numbers::roundToInteger(elapsedMs).value_or(0)) +
            "ms");
    return steps;
}

} // namespace quiller::CollectionRunnerAndBenchmarkEngine
