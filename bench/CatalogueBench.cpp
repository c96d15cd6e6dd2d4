// Catalogue lookups: the brand mark and the suite sheets resolve names while a
// view is built, so a hit must stay within 5 µs.
#include "TarnKit/Utilities/TarnAppIdentity.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

void resolveName(benchmark::State& state, const std::string& name) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::appidentity::resolve(name));
}

BENCHMARK_CAPTURE(resolveName, bundleIdentifier, std::string("com.corvane.quiller"));
BENCHMARK_CAPTURE(resolveName, displayName, std::string("Quiller"));
BENCHMARK_CAPTURE(resolveName, formerName, std::string("Pennock"));
BENCHMARK_CAPTURE(resolveName, nonASCII, std::string("Wortley\xE2\x84\xA2"));
BENCHMARK_CAPTURE(resolveName, miss, std::string("org.example.Unknown Tool"));

void fromRaw(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::appidentity::fromRaw("vantry"));
}
BENCHMARK(fromRaw);

void current(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::appidentity::current());
}
BENCHMARK(current);

} // namespace

BENCHMARK_MAIN();
