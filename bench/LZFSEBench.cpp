// LZFSE decoding speed on the streams of the format's reference encoder in
// ../shared/testdata/lzfse (or the folder given with --testdata=), one
// benchmark per stream; bytes_per_second counts decoded bytes.

#include "BenchSupport.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/LZFSE.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Stream {
    std::string name;
    std::string bytes;
    std::size_t decodedSize = 0;
};

// The streams MANIFEST.tsv lists, with the size each decodes to.
std::vector<Stream> loadStreams(const std::filesystem::path& folder) {
    std::vector<Stream> streams;
    const auto manifest = tarn::files::readFile(folder / "MANIFEST.tsv");
    if (!manifest)
        return streams;
    std::istringstream lines(*manifest);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.starts_with('#'))
            continue;
        std::istringstream fields(line);
        Stream stream;
        if (!std::getline(fields, stream.name, '\t') || !(fields >> stream.decodedSize))
            continue;
        if (auto bytes = tarn::files::readFile(folder / stream.name)) {
            stream.bytes = std::move(*bytes);
            streams.push_back(std::move(stream));
        }
    }
    return streams;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        quiller::bench::option(argc, argv, "--testdata")
            .value_or(std::string(QUILLER_SHARED_TESTDATA) + "/lzfse");
    const std::vector<Stream> streams = loadStreams(folder);
    if (streams.empty()) {
        std::cerr << "no LZFSE streams in " << folder << '\n';
        return 1;
    }
    for (const Stream& stream : streams) {
        benchmark::RegisterBenchmark(
            ("Decompress/" + stream.name).c_str(), [&stream](benchmark::State& state) {
                for (auto _ : state)
                    benchmark::DoNotOptimize(
                        tarn::lzfse::decompress(stream.bytes, stream.decodedSize));
                state.SetBytesProcessed(
                    static_cast<std::int64_t>(state.iterations() * stream.decodedSize));
            });
    }
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i)
        if (!std::string_view(argv[i]).starts_with("--testdata"))
            rest.push_back(argv[i]);
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
