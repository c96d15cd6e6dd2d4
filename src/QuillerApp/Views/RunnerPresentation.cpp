#include "QuillerApp/Views/RunnerPresentation.h"

#include "QuillerApp/Views/DurationText.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/SymbolName.h"

#include <algorithm>

namespace quiller::RunnerPresentation {

namespace numbers = tarn::numbers;

std::string_view sampleOpenAPIDocument() {
    return "{\n"
           "  \"openapi\": \"3.0.0\",\n"
           "  \"info\": { \"title\": \"Sample Pet API\" },\n"
           "  \"servers\": [{ \"url\": \"https://httpbin.org\" }],\n"
           "  \"paths\": {\n"
           "    \"/get\": { \"get\": { \"summary\": \"List Pets\" } },\n"
           "    \"/post\": { \"post\": { \"summary\": \"Create Pet\" } }\n"
           "  }\n"
           "}";
}

StepRow stepRow(const CollectionRunStepResult& step) {
    StepRow row;
    row.passed = step.isSuccess();
    row.symbol = row.passed ? tarn::symbolNamed("checkmark.circle.fill")
                            : tarn::symbolNamed("xmark.octagon.fill");
    row.symbolRole = row.passed ? ColourRole::success : ColourRole::danger;
    row.method = std::string(rawValue(step.method));
    row.name = step.requestName;
    row.detail = step.errorMessage ? *step.errorMessage : step.resolvedURL;
    row.status = "HTTP " + numbers::formatInteger(step.statusCode);
    row.duration = DurationText::milliseconds(step.durationMs, "ms");
    row.assertions = numbers::formatInteger(step.passedAssertions) + "/" +
                     numbers::formatInteger(step.totalAssertions) + " tests";
    return row;
}

RunSummary runSummary(const std::vector<CollectionRunStepResult>& steps) {
    const auto passed = std::count_if(
        steps.begin(), steps.end(), [](const CollectionRunStepResult& s) { return s.isSuccess(); });
    const auto total = static_cast<long long>(steps.size());
    return {numbers::formatInteger(passed) + " / " + numbers::formatInteger(total) + " PASSED",
            passed == total ? ColourRole::success : ColourRole::warning};
}

std::array<MetricTile, 6> metricTiles(const LoadBenchmarkReport& report) {
    return {{
        {"Req / sec", DurationText::oneDecimal(report.requestsPerSecond)},
        {"Success", numbers::formatInteger(report.successCount) + "/" +
                        numbers::formatInteger(report.totalRequests)},
        {"Avg", DurationText::milliseconds(report.avgMs)},
        {"p50", DurationText::milliseconds(report.p50Ms)},
        {"p95", DurationText::milliseconds(report.p95Ms)},
        {"p99", DurationText::milliseconds(report.p99Ms)},
    }};
}

std::string targetLine(const APIRequestSpec& request) {
    std::string line = "Target: ";
    line += rawValue(request.method);
    line += ' ';
    line += request.url;
    return line;
}

} // namespace quiller::RunnerPresentation
