#pragma once

// What the runner and benchmark screen shows of a run and a benchmark, as
// pure functions of the view model's values: the texts built from numbers are
// the same in every language, so nothing here needs the language.
//
// Pure functions, any thread.

#include "QuillerApp/Views/ViewColours.h"
#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RunnerRecords.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quiller::RunnerPresentation {

// The import sheet's first draft: a small OpenAPI 3.0 document.
std::string_view sampleOpenAPIDocument();

// One result row of a collection run.
struct StepRow {
    bool passed = false;
    std::string_view symbol{};
    ColourRole symbolRole = ColourRole::success;
    std::string method{};
    std::string name{};
    // The error message when there is one, else the resolved URL.
    std::string detail{};
    std::string status{};     // "HTTP 200"
    std::string duration{};   // "13ms"
    std::string assertions{}; // "2/3 tests"

    friend bool operator==(const StepRow&, const StepRow&) = default;
};
StepRow stepRow(const CollectionRunStepResult& step);

// The line above the rows: "3 / 4 PASSED", in success when every step passed.
struct RunSummary {
    std::string text{};
    ColourRole role = ColourRole::success;

    friend bool operator==(const RunSummary&, const RunSummary&) = default;
};
RunSummary runSummary(const std::vector<CollectionRunStepResult>& steps);

// The six tiles of a benchmark report, in their order.
struct MetricTile {
    std::string_view title{};
    std::string value{};

    friend bool operator==(const MetricTile&, const MetricTile&) = default;
};
std::array<MetricTile, 6> metricTiles(const LoadBenchmarkReport& report);

// "Target: GET {{baseUrl}}/users": the stored URL, templates unresolved.
std::string targetLine(const APIRequestSpec& request);

} // namespace quiller::RunnerPresentation
