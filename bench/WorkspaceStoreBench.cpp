// Saving the workspace after an edit, as the application does after every
// keystroke that changes it: 1,000 requests and 50 variables, 20 of them
// secrets the keychain already holds. The in-memory keychain counts calls, so
// a run that reaches the keychain fails instead of reporting a time.

#include "BenchSupport.h"
#include "LargeWorkspace.h"
#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "TarnKit/System/InMemoryKeychain.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using quiller::QuillerWorkspacePayload;

class Fixture {
public:
    Fixture() {
        m_store.emplace(m_folder.path(), m_keychain);
        m_payload = quiller::bench::largeWorkspace();
        m_store->save(m_payload); // the secrets reach the keychain once
        m_keychain.resetCalls();
    }

    quiller::QuillerWorkspaceStore& store() { return *m_store; }
    QuillerWorkspacePayload& payload() { return m_payload; }
    tarn::InMemoryKeychain& keychain() { return m_keychain; }

private:
    quiller::bench::ScratchFolder m_folder;
    tarn::InMemoryKeychain m_keychain;
    std::optional<quiller::QuillerWorkspaceStore> m_store;
    QuillerWorkspacePayload m_payload;
};

// An edit changes one request's name, so every save writes the file.
void saveAfterEdit(benchmark::State& state) {
    Fixture fixture;
    std::size_t edit = 0;
    for (auto _ : state) {
        fixture.payload().collections[3].requests[42].name = "Edited " + std::to_string(++edit);
        fixture.store().save(fixture.payload());
    }
    if (fixture.keychain().calls().total() != 0)
        state.SkipWithError("an unchanged secret reached the keychain");
}

// Nothing changed: no keychain call and no write.
void saveUnchanged(benchmark::State& state) {
    Fixture fixture;
    for (auto _ : state)
        fixture.store().save(fixture.payload());
    if (fixture.keychain().calls().total() != 0)
        state.SkipWithError("an unchanged secret reached the keychain");
}

} // namespace

BENCHMARK(saveAfterEdit)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK(saveUnchanged)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK_MAIN();
