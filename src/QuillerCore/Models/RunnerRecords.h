#pragma once

// What a collection run and a load benchmark report. Plain values; made on a
// background thread and handed to the main thread.

#include "QuillerCore/Models/RequestModel.h"
#include "TarnKit/Platform/UUID.h"

#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace quiller {

// Copies the value a JSON path finds in a step's response into a variable for
// the steps that follow.
struct VariableExtractionRule {
    tarn::UUID id;
    std::string variableName;
    std::string jsonPath;
    bool isEnabled = true;

    friend bool operator==(const VariableExtractionRule&, const VariableExtractionRule&) = default;
};

void to_json(nlohmann::json& json, const VariableExtractionRule& rule);
void from_json(const nlohmann::json& json, VariableExtractionRule& rule);

// One request of a collection run. A failed send has a status of 0, no
// duration and the error's description; a response, whatever its status, has
// no error message.
struct CollectionRunStepResult {
    tarn::UUID id = tarn::UUID::random();
    std::string requestName{};
    TarnHTTPMethod method = TarnHTTPMethod::get;
    std::string resolvedURL{};
    int statusCode = 0;
    double durationMs = 0;
    int passedAssertions = 0;
    int totalAssertions = 0;
    std::map<std::string, std::string> extractedVariables{};
    std::optional<std::string> errorMessage{};

    // A response arrived, with a status in 200...399, and every counted
    // assertion passed: a 404 without assertions is no success, nor is a 200
    // with one failed assertion.
    bool isSuccess() const {
        return !errorMessage && passedAssertions == totalAssertions && statusCode >= 200 &&
               statusCode <= 399;
    }

    friend bool operator==(const CollectionRunStepResult&,
                           const CollectionRunStepResult&) = default;
};

// The summary of one load benchmark. Latencies are the total times of the
// responses that arrived; sends that failed have none.
struct LoadBenchmarkReport {
    // Responses plus failed sends.
    int totalRequests = 0;
    // The worker count the benchmark ran with.
    int concurrency = 0;
    // Responses with a status in 200...399.
    int successCount = 0;
    // Failed sends plus responses with any other status.
    int failureCount = 0;
    // Wall-clock time of the whole benchmark.
    double totalDurationMs = 0;
    double requestsPerSecond = 0;
    double minMs = 0;
    double avgMs = 0;
    double p50Ms = 0;
    double p95Ms = 0;
    double p99Ms = 0;
    double maxMs = 0;
    // Responses per status code, successful or not.
    std::map<int, int> statusCounts{};

    friend bool operator==(const LoadBenchmarkReport&, const LoadBenchmarkReport&) = default;
};

} // namespace quiller
