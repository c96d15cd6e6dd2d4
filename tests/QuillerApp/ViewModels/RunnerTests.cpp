#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quiller::testing {
namespace {

CollectionRunStepResult step(int status, int passed, int total,
                             std::optional<std::string> error = std::nullopt) {
    return CollectionRunStepResult{.statusCode = status,
                                   .passedAssertions = passed,
                                   .totalAssertions = total,
                                   .errorMessage = std::move(error)};
}

class RunnerTest : public ViewModelTest {};

TEST_F(RunnerTest, CollectionRunCountsPassedStepsInTheToast) {
    struct Case {
        std::string label;
        std::vector<CollectionRunStepResult> steps;
        tarn::TarnLanguage language;
        std::string toast;
    };
    const std::vector<Case> cases = {
        {"ok, 404, transport error",
         {step(200, 2, 2), step(404, 0, 0), step(0, 0, 0, "timed out")},
         tarn::TarnLanguage::en,
         "Collection run finished: 1/3 passed."},
        {"Turkish",
         {step(200, 1, 1), step(404, 0, 0)},
         tarn::TarnLanguage::tr,
         "Koleksiyon testi bitti: 1/2 geçti."},
        {"302 passes, failed assertion does not, 399 and 400 edges",
         {step(302, 0, 0), step(200, 0, 1), step(399, 0, 0), step(400, 0, 0), step(199, 0, 0)},
         tarn::TarnLanguage::en,
         "Collection run finished: 2/5 passed."},
        {"empty", {}, tarn::TarnLanguage::en, "Collection run finished: 0/0 passed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        language = c.language;
        runner->onRun = [&c](const auto&, std::stop_token) { return c.steps; };
        makeViewModel();
        vm().runActiveCollectionSuite();
        EXPECT_TRUE(vm().isRunningCollection());
        settle();
        EXPECT_EQ(vm().collectionRunResults(), c.steps);
        EXPECT_FALSE(vm().isRunningCollection());
        EXPECT_EQ(vm().toastMessage(), c.toast);
        EXPECT_FALSE(vm().toastIsError());
    }
}

TEST_F(RunnerTest, CollectionRunUsesTheSelectedOrFirstCollectionWithTheEnvironment) {
    const auto a = makeCollection("A", {makeRequest("a1")});
    const auto b = makeCollection("B", {makeRequest("b1")});
    const auto env = makeEnvironment("Dev", {KeyValueRow{.key = "k", .value = "v"}});
    workspaceStore->payload.collections = {a, b};
    workspaceStore->payload.environments = {env};
    workspaceStore->payload.activeEnvironmentID = env.id;
    makeViewModel();

    vm().setSelectedCollectionID(b.id);
    vm().runActiveCollectionSuite();
    vm().setSelectedCollectionID(tarn::UUID::random()); // matches none
    vm().runActiveCollectionSuite();
    settle();
    ASSERT_EQ(runner->runCalls.size(), 2u);
    EXPECT_EQ(runner->runCalls[0].collection.name, "B");
    EXPECT_EQ(runner->runCalls[1].collection.name, "A");
    EXPECT_EQ(runner->runCalls[0].initialVariables.at("k"), "v");
    EXPECT_TRUE(runner->runCalls[0].extractors.empty());
}

TEST_F(RunnerTest, RunnerActionsWithNothingToRunDoNothing) {
    workspaceStore->payload.collections = {};
    makeViewModel();
    vm().setCollections({});
    notifications.clear();
    vm().runActiveCollectionSuite();
    vm().runLoadBenchmark(10, 2);
    settle();
    EXPECT_TRUE(runner->runCalls.empty());
    EXPECT_TRUE(runner->benchmarkCalls.empty());
    EXPECT_TRUE(notifications.empty());
}

TEST_F(RunnerTest, BenchmarkToastReadsTheSameInEveryLanguage) {
    language = tarn::TarnLanguage::tr;
    runner->onBenchmark = [](const auto& call, std::stop_token) {
        return LoadBenchmarkReport{.totalRequests = call.totalRequests,
                                   .concurrency = call.concurrency,
                                   .requestsPerSecond = 12.46,
                                   .p95Ms = 339.6};
    };
    makeViewModel();
    const auto active = vm().activeRequest();
    ASSERT_TRUE(active);
    vm().runLoadBenchmark(0, 100);
    EXPECT_TRUE(vm().isBenchmarking());
    settle();
    ASSERT_EQ(runner->benchmarkCalls.size(), 1u);
    EXPECT_EQ(runner->benchmarkCalls[0].spec.id, active->id);
    EXPECT_EQ(runner->benchmarkCalls[0].totalRequests, 0);
    EXPECT_EQ(runner->benchmarkCalls[0].concurrency, 100);
    ASSERT_TRUE(vm().latestBenchmark());
    EXPECT_FALSE(vm().isBenchmarking());
    EXPECT_EQ(vm().toastMessage(), "Benchmark: 12.5 req/s · p95 340 ms");
}

TEST_F(RunnerTest, RunnerBusyFlagsFallWhenTheLastJobEnds) {
    makeViewModel();
    vm().runActiveCollectionSuite();
    vm().runActiveCollectionSuite();
    ASSERT_EQ(background->size(), 2u);
    background->run(0);
    main->runUntilIdle();
    EXPECT_TRUE(vm().isRunningCollection());
    background->run(1);
    main->runUntilIdle();
    EXPECT_FALSE(vm().isRunningCollection());
}

} // namespace
} // namespace quiller::testing
