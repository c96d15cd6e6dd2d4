// Saving the workspace after an edit, as the application does after every
// keystroke that changes it: 1,000 requests and 50 variables, 20 of them
// secrets the keychain already holds. The in-memory keychain counts calls, so
// a run that reaches the keychain fails instead of reporting a time.

#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "TarnKit/System/InMemoryKeychain.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using quiller::QuillerWorkspacePayload;

QuillerWorkspacePayload largeWorkspace() {
    QuillerWorkspacePayload payload = QuillerWorkspacePayload::defaults();
    payload.collections.clear();
    for (int c = 0; c < 10; ++c) {
        quiller::APIRequestCollection collection{.name = "Collection " + std::to_string(c)};
        for (int r = 0; r < 100; ++r) {
            const std::string n = std::to_string(c * 100 + r);
            collection.requests.push_back(quiller::APIRequestSpec{
                .name = "Request " + n,
                .method = r % 2 == 0 ? quiller::TarnHTTPMethod::get : quiller::TarnHTTPMethod::post,
                .url = "{{baseUrl}}/v1/items/" + n + "?expand=owner",
                .queryParams = {quiller::KeyValueRow{.key = "page", .value = n}},
                .bodyKind =
                    r % 2 == 0 ? quiller::RequestBodyKind::none : quiller::RequestBodyKind::json,
                .bodyText = r % 2 == 0 ? "" : "{\n  \"id\": " + n + ",\n  \"name\": \"item\"\n}",
            });
        }
        payload.collections.push_back(std::move(collection));
    }
    payload.environments.clear();
    for (int e = 0; e < 5; ++e) {
        quiller::APIEnvironmentProfile environment{.name = "Environment " + std::to_string(e)};
        for (int v = 0; v < 10; ++v) {
            const bool isSecret = v < 4; // 4 per environment, 20 in all
            environment.variables.push_back(quiller::KeyValueRow{
                .key = "variable" + std::to_string(v),
                .value = isSecret ? "secret-" + std::to_string(e) + "-" + std::to_string(v)
                                  : "https://api.example.com/" + std::to_string(v),
                .isSecret = isSecret,
            });
        }
        payload.environments.push_back(std::move(environment));
    }
    return payload;
}

class Fixture {
public:
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "quiller-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        m_folder = pattern;
        m_store.emplace(m_folder, m_keychain);
        m_payload = largeWorkspace();
        m_store->save(m_payload); // the secrets reach the keychain once
        m_keychain.resetCalls();
    }
    ~Fixture() {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    quiller::QuillerWorkspaceStore& store() { return *m_store; }
    QuillerWorkspacePayload& payload() { return m_payload; }
    tarn::InMemoryKeychain& keychain() { return m_keychain; }

private:
    fs::path m_folder;
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
