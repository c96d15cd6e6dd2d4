#pragma once

// Small pieces the benchmarks share.

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quiller::bench {

// A fresh folder under the temporary folder, removed with all it holds when
// the object goes.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quiller-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Sends the application's shared log (and anything else kept under the XDG
// data folder) to a scratch folder for the rest of the process.
class ScratchDataHome {
public:
    ScratchDataHome() { ::setenv("XDG_DATA_HOME", m_folder.path().c_str(), 1); }

private:
    ScratchFolder m_folder;
};

// The value of "--name=value" among the arguments, "" for a bare "--name", or
// nothing when it is not given.
inline std::optional<std::string> option(int argc, char** argv, std::string_view name) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == name)
            return std::string();
        if (argument.starts_with(name) && argument.size() > name.size() &&
            argument[name.size()] == '=')
            return std::string(argument.substr(name.size() + 1));
    }
    return std::nullopt;
}

// Runs the registered benchmarks as BENCHMARK_MAIN would.
inline int runRegisteredBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace quiller::bench
