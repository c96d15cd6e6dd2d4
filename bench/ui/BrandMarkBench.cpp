// Painting the suite's design widgets. Target: the brand mark at 64 pixels in
// 1 ms or less.

#include "TarnKit/Design/Emblems/TarnEmblemRenderer.h"
#include "TarnKit/Design/TarnBrandMark.h"

#include <QImage>
#include <benchmark/benchmark.h>

namespace {

using tarn::TarnAppIdentity;
using tarn::TarnBrandMark;
using tarn::TarnBrandMarkStyle;

void renderRepeatedly(benchmark::State& state, TarnBrandMark& mark) {
    QImage target(mark.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        target.fill(Qt::transparent);
        mark.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

// The header's case: the application's emblem, drawn once and then served
// from the renderer's cache.
void BM_BrandMarkEmblem64(benchmark::State& state) {
    TarnBrandMark mark(64, TarnBrandMarkStyle::app(TarnAppIdentity::quiller));
    renderRepeatedly(state, mark);
}
BENCHMARK(BM_BrandMarkEmblem64);

// The suite's vector mark, painted from its polygons every time.
void BM_BrandMarkSuite64(benchmark::State& state) {
    TarnBrandMark mark(64, TarnBrandMarkStyle::brindleSuite());
    renderRepeatedly(state, mark);
}
BENCHMARK(BM_BrandMarkSuite64);

// A cache miss of the 64-pixel mark (128 pixels at scale 2), with the PNG
// encoding on top.
void BM_EmblemDrawnAndEncoded128(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::TarnEmblemRenderer::pngData(TarnAppIdentity::quiller, 128));
}
BENCHMARK(BM_EmblemDrawnAndEncoded128);

} // namespace
