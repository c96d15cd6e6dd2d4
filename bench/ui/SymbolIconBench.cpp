// symbolIcon for a name, colour and size already asked for: the views call it
// on every refresh and repaint, so a cached lookup must cost next to nothing
// (target: 5 µs or less).

#include "TarnKit/Design/TarnSymbols.h"

#include <QColor>
#include <QIcon>
#include <benchmark/benchmark.h>
#include <string_view>
#include <vector>

namespace {

void BM_SymbolIconCachedLookup(benchmark::State& state) {
    const QColor colour = QColor::fromRgbF(0.35f, 0.7f, 1.0f);
    // A screen's worth of different symbols, all cached before timing.
    const std::vector<std::string_view> names = tarn::symbolNames();
    for (const std::string_view name : names)
        benchmark::DoNotOptimize(tarn::symbolIcon(name, colour, 13));
    std::size_t next = 0;
    for (auto _ : state) {
        QIcon icon = tarn::symbolIcon(names[next], colour, 13);
        benchmark::DoNotOptimize(icon);
        next = next + 1 == names.size() ? 0 : next + 1;
    }
}
BENCHMARK(BM_SymbolIconCachedLookup);

// The first drawing of a symbol in a colour, for comparison: what a cache
// miss costs (two pictures, 1x and 2x, at 16 px).
void BM_SymbolIconFirstDrawing(benchmark::State& state) {
    const std::vector<std::string_view> names = tarn::symbolNames();
    int shade = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        // A colour never asked for before.
        QIcon icon =
            tarn::symbolIcon(names[next], QColor::fromRgb(QRgb(0xff000000u + ++shade)), 16);
        benchmark::DoNotOptimize(icon);
        next = next + 1 == names.size() ? 0 : next + 1;
    }
}
BENCHMARK(BM_SymbolIconFirstDrawing)->Iterations(2000);

} // namespace
