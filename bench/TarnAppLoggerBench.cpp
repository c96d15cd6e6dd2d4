// One log line as the mock server writes it for every request: CPU time per
// line (Google Benchmark's CPU column) with no secrets set and with a few
// secret values to mask. The system calls of a line show under
// `strace -c -f build/release/bench/TarnAppLoggerBench --benchmark_filter=Plain`
// (the target is three or fewer; without a syslog daemon it is one read of
// the log folder's watch and a write).
#include "BenchSupport.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <string>

namespace {

using quiller::bench::ScratchFolder;

void logLines(benchmark::State& state, bool withSecrets) {
    const ScratchFolder folder;
    tarn::TarnAppLogger logger("Quiller", folder.path(), 2'097'152, 5, [] {
        return tarn::TarnAppVersion{"1.4.2", "57"};
    });
    if (withSecrets)
        logger.setSecretValues({"s3cr3t-token-value", "hunter2", "pa ss/word"});
    const std::string message = "Captured GET /api/v1/users?page=2&sort=name -> HTTP 200 [echo]";
    for (auto _ : state)
        logger.info(message, "proxy");
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK_CAPTURE(logLines, Plain, false);
BENCHMARK_CAPTURE(logLines, WithSecrets, true);

int main(int argc, char** argv) {
    return quiller::bench::runRegisteredBenchmarks(argc, argv);
}
