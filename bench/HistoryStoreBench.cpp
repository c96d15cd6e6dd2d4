// The history is saved after every request and loaded at start-up. Target: a
// full history (200 entries, each with an 8 KiB request body and a 400-character
// snippet) saves and loads in 50 ms or less each.
#include "QuillerCore/Engine/RequestHistoryStore.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quiller;

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "quiller-history-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

std::vector<RequestHistoryEntry> fullHistory() {
    // JSON-like text with quotes and slashes, which the writer has to escape.
    std::string body;
    while (body.size() < 8192)
        body += "{\"path\": \"/v1/items/42\", \"note\": \"caf\xC3\xA9\"},\n";
    body.resize(8192);
    std::vector<RequestHistoryEntry> entries(RequestHistoryEngine::maxEntries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        RequestHistoryEntry& entry = entries[i];
        entry.timestamp =
            std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000 + i));
        entry.requestName = "Request " + std::to_string(i);
        entry.method = TarnHTTPMethod::post;
        entry.sanitizedURL = "https://api.example.test/v1/items/" + std::to_string(i) + "?page=2";
        entry.statusCode = 200;
        entry.durationMs = 123.456;
        entry.responseBytes = 20'000;
        entry.responseSnippet = body.substr(0, 400);
        entry.sourceRequestID = tarn::UUID::random();
        entry.requestSnapshot = RedactedRequestSnapshot{
            .url = entry.sanitizedURL,
            .method = entry.method,
            .headers = {KeyValueRow{.key = "Accept", .value = "application/json"},
                        KeyValueRow{.key = "Content-Type", .value = "application/json"},
                        KeyValueRow{.key = "Authorization",
                                    .value = std::string(RequestHistoryEngine::redactedPlaceholder),
                                    .isSecret = true}},
            .bodyKind = RequestBodyKind::json,
            .bodyText = body,
            .graphQLVariables = "{}",
        };
    }
    return entries;
}

void saveFullHistory(benchmark::State& state) {
    TemporaryFolder folder;
    RequestHistoryStore store(folder.path(), RequestHistoryEngine::maxEntries,
                              [](const std::string&) {});
    const std::vector<RequestHistoryEntry> entries = fullHistory();
    for (auto _ : state)
        store.save(entries);
    state.counters["bytes"] = static_cast<double>(fs::file_size(store.fileURL()));
}
BENCHMARK(saveFullHistory)->Unit(benchmark::kMillisecond);

void loadFullHistory(benchmark::State& state) {
    TemporaryFolder folder;
    RequestHistoryStore store(folder.path(), RequestHistoryEngine::maxEntries,
                              [](const std::string&) {});
    store.save(fullHistory());
    for (auto _ : state) {
        std::vector<RequestHistoryEntry> loaded = store.load();
        if (loaded.size() != RequestHistoryEngine::maxEntries)
            state.SkipWithError("the history did not load");
        benchmark::DoNotOptimize(loaded);
    }
}
BENCHMARK(loadFullHistory)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
