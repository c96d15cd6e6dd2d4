// The collection runner and the load benchmark.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/Numbers.h"

#include <algorithm>

namespace quiller {

void QuillerViewModel::runActiveCollectionSuite() {
    const auto index = selectedCollectionIndex();
    if (!index)
        return;
    beginBusy(BusyKind::runningCollection);
    runJob(
        [service = m_ports.collectionRunner, collection = m_collections[*index],
         variables = activeVariables()](std::stop_token stop) {
            // No variable is extracted between the steps of this run.
            return service->runCollection(collection, variables, {}, stop);
        },
        [this](std::vector<CollectionRunStepResult> steps) {
            const auto passed = std::count_if(steps.begin(), steps.end(),
                                              [](const auto& step) { return step.isSuccess(); });
            const auto total = static_cast<long long>(steps.size());
            setCollectionRunResults(std::move(steps));
            endBusy(BusyKind::runningCollection);
            const std::string p = tarn::numbers::formatInteger(passed);
            const std::string t = tarn::numbers::formatInteger(total);
            showToast(text("Collection run finished: " + p + "/" + t + " passed.",
                           "Koleksiyon testi bitti: " + p + "/" + t + " geçti."),
                      false);
        },
        [this](const JobFailure& failure) {
            // The runner reports failed requests in its steps; should it fail
            // as a whole, the flag must still fall and the user hear why.
            endBusy(BusyKind::runningCollection);
            showToast(failure.description, true);
        });
}

void QuillerViewModel::runLoadBenchmark(int totalRequests, int concurrency) {
    auto spec = activeRequest();
    if (!spec)
        return;
    beginBusy(BusyKind::benchmarking);
    runJob(
        [service = m_ports.collectionRunner, spec = std::move(*spec), variables = activeVariables(),
         totalRequests, concurrency](std::stop_token stop) {
            return service->runLoadBenchmark(spec, variables, totalRequests, concurrency, stop);
        },
        [this](LoadBenchmarkReport report) {
            // The same in every language.
            const std::string message =
                "Benchmark: " + tarn::numbers::formatFixed(report.requestsPerSecond, 1) +
                " req/s · p95 " + tarn::numbers::formatFixed(report.p95Ms, 0) + " ms";
            setLatestBenchmark(std::move(report));
            endBusy(BusyKind::benchmarking);
            showToast(message, false);
        },
        [this](const JobFailure& failure) {
            endBusy(BusyKind::benchmarking);
            showToast(failure.description, true);
        });
}

} // namespace quiller
