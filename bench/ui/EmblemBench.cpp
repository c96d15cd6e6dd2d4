// The emblem artwork. Targets: one emblem drawn at 64 pixels in 2 ms or
// less; all 75 emblems drawn at 256 pixels in 300 ms or less; an image served
// from the cache in 5 µs or less.

#include "TarnKit/Design/Emblems/TarnEmblemRenderer.h"
#include "TarnKit/Design/Emblems/TarnEmblemTone.h"

#include <QImage>
#include <benchmark/benchmark.h>

namespace {

using tarn::TarnAppIdentity;
namespace renderer = tarn::TarnEmblemRenderer;

// A cache miss: the emblem with the most shapes of its family, drawn afresh.
void BM_EmblemDrawn64(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            renderer::bitmap(TarnAppIdentity::varrow, 64, tarn::TarnEmblemTone::whiteGlass()));
}
BENCHMARK(BM_EmblemDrawn64)->Unit(benchmark::kMicrosecond);

void BM_AllEmblemsDrawn256(benchmark::State& state) {
    for (auto _ : state) {
        for (const TarnAppIdentity app : tarn::appidentity::allCases())
            benchmark::DoNotOptimize(
                renderer::bitmap(app, 256, tarn::TarnEmblemTone::whiteGlass()));
    }
}
BENCHMARK(BM_AllEmblemsDrawn256)->Unit(benchmark::kMillisecond);

void BM_EmblemCacheHit(benchmark::State& state) {
    renderer::image(TarnAppIdentity::heddle, 32, 2, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer::image(TarnAppIdentity::heddle, 32, 2, false));
}
BENCHMARK(BM_EmblemCacheHit)->Unit(benchmark::kNanosecond);

} // namespace
