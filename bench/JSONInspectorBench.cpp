// The response inspector's hot paths on large inputs: pretty printing and a
// JSON path on a 50 MB body, and the line diff of two 20,000-line bodies with
// 1% of their lines changed and of two unrelated 50,000-line bodies.
//
// Extra options, read before Google Benchmark's own:
//   --write-fixtures=DIR  writes the generated inputs to DIR and exits, so that
//                         peer tools can run on the same bytes
//   --fixtures=DIR        reads the inputs from DIR instead of generating them
// and, to compare whole processes with a peer tool's (start-up, reading the
// files and writing the output included), one piece of work on files:
//   --pretty=FILE         writes the pretty print of FILE to standard output
//   --path=PATH --body=FILE  writes the value PATH picks out of FILE
//   --diff=OLD,NEW        writes the line diff, one row a line: "+", "-" or " ",
//                         then the line
//
// Each benchmark also reports the peak memory of one call beyond what the
// process held before it (peak_extra_MB), from the kernel's high-water mark in
// /proc/self/status; the call runs on a fresh thread, so the parser's buffers
// that a thread keeps between calls are counted too. The bodies lie in strings
// with room for the parser's padding, as a received body does.
#include "BenchSupport.h"
#include "QuillerCore/Engine/JSONInspectorEngine.h"
#include "TarnKit/Platform/Memory.h"

#include <benchmark/benchmark.h>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <malloc.h>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using quiller::JSONInspectorEngine::diffLines;
using quiller::JSONInspectorEngine::extractJSONPath;
using quiller::JSONInspectorEngine::prettyPrint;

constexpr std::size_t kBodyBytes = 50u << 20;
constexpr std::size_t kSmallDiffLines = 20'000;
constexpr std::size_t kLargeDiffLines = 50'000;
constexpr const char* kPath = "$.data[1000].name";

struct Fixture {
    const char* fileName;
    std::string text;
};

struct Fixtures {
    Fixture body{"body.json", {}};
    Fixture smallPrevious{"diff-20k-previous.txt", {}};
    Fixture smallCurrent{"diff-20k-current.txt", {}};
    Fixture largePrevious{"diff-50k-previous.txt", {}};
    Fixture largeCurrent{"diff-50k-current.txt", {}};

    std::vector<Fixture*> all() {
        return {&body, &smallPrevious, &smallCurrent, &largePrevious, &largeCurrent};
    }
};

// --- Generated inputs --------------------------------------------------------------------

class Generator {
public:
    explicit Generator(std::uint64_t seed) : m_random(seed) {}

    std::uint64_t below(std::uint64_t limit) { return m_random() % limit; }

    void number(std::string& out, std::uint64_t value) {
        char buffer[24];
        const char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        out.append(buffer, static_cast<std::size_t>(end - buffer));
    }
    void number(std::string& out, double value) {
        char buffer[32];
        const char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        out.append(buffer, static_cast<std::size_t>(end - buffer));
    }
    void word(std::string& out) {
        static constexpr std::string_view words[] = {
            "alpha", "beta",   "gamma", "delta", "Zürich", "naïve", "café",    "東京",
            "kilo",  "lambda", "mu",    "omega", "sigma",  "tau",   "upsilon", "zeta"};
        out.append(words[below(std::size(words))]);
    }

private:
    std::mt19937_64 m_random;
};

// A compact API answer, keys in no particular order, with strings that need
// escaping, non-ASCII text, integers of every size, doubles, nulls and nesting.
void appendUser(Generator& g, std::string& out, std::uint64_t id) {
    out.append(R"({"name":"User )");
    g.number(out, id);
    out.append(R"(","id":)");
    g.number(out, id);
    out.append(R"(,"email":"user)");
    g.number(out, id);
    out.append(R"(@example.test","active":)");
    out.append(g.below(2) ? "true" : "false");
    out.append(R"(,"score":)");
    g.number(out, static_cast<double>(g.below(10'000)) / 100.0);
    out.append(R"(,"balance":)");
    g.number(out, g.below(UINT64_MAX));
    out.append(R"(,"tags":[")");
    g.word(out);
    out.append(R"(",")");
    g.word(out);
    out.append(R"("],"address":{"street":")");
    g.number(out, g.below(999) + 1);
    out.append(R"( Main St","city":")");
    g.word(out);
    out.append(R"(","zip":")");
    g.number(out, g.below(90'000) + 10'000);
    out.append(R"(","geo":{"lng":)");
    g.number(out, static_cast<double>(g.below(3'600'000)) / 10'000.0 - 180.0);
    out.append(R"(,"lat":)");
    g.number(out, static_cast<double>(g.below(1'800'000)) / 10'000.0 - 90.0);
    out.append(R"(}},"bio":"Line one\nLine \"two\" — )");
    g.word(out);
    out.append(R"( ✓","avatar":"https://cdn.example.test/avatars/)");
    g.number(out, id);
    out.append(R"(.png","manager":null,"visits":[)");
    for (std::uint64_t i = 0, count = g.below(6); i < count; ++i) {
        out.append(i ? "," : "");
        g.number(out, g.below(100'000));
    }
    out.append("]}");
}

void appendOrder(Generator& g, std::string& out, std::uint64_t id) {
    out.append(R"({"order":)");
    g.number(out, id * 7 + 1'000'000);
    out.append(R"(,"status":")");
    out.append(g.below(3) == 0 ? "shipped" : g.below(2) ? "pending" : "cancelled");
    out.append(R"(","total":)");
    g.number(out, static_cast<double>(g.below(1'000'000)) / 100.0);
    out.append(R"(,"items":[)");
    for (std::uint64_t i = 0, count = g.below(4) + 1; i < count; ++i) {
        out.append(i ? R"(,{"sku":")" : R"({"sku":")");
        g.word(out);
        out.push_back('-');
        g.number(out, g.below(100'000));
        out.append(R"(","quantity":)");
        g.number(out, g.below(9) + 1);
        out.push_back('}');
    }
    out.append(R"(],"note":")");
    g.word(out);
    out.append("\"}");
}

template <class Append>
std::string answer(std::uint64_t seed, std::size_t minimumBytes, Append append) {
    Generator g(seed);
    std::string out;
    out.reserve(minimumBytes + 4096);
    out.append(R"({"meta":{"page":1,"next":"https://api.example.test/v1/items?page=2"},"data":[)");
    for (std::uint64_t id = 0; out.size() < minimumBytes; ++id) {
        out.append(id ? "," : "");
        append(g, out, id);
    }
    out.append(R"(],"count":0})");
    return out;
}

// The first `count` lines of the pretty print of a generated answer.
std::string prettyLines(std::uint64_t seed, std::size_t count, bool orders) {
    const std::string body =
        orders ? answer(seed, count * 30, appendOrder) : answer(seed, count * 30, appendUser);
    std::string pretty = prettyPrint(body);
    std::size_t end = 0;
    for (std::size_t line = 0; line < count; ++line) {
        end = pretty.find('\n', end);
        if (end == std::string::npos)
            std::abort(); // the estimate of bytes per line is off
        ++end;
    }
    pretty.resize(end - 1);
    return pretty;
}

// The same lines with `percent` of them, chosen at random, edited in place.
std::string withChangedLines(std::string_view text, std::size_t percent) {
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    Generator g(99);
    std::vector<bool> changed(lines.size());
    for (std::size_t edits = lines.size() * percent / 100; edits > 0;) {
        const std::size_t line = g.below(lines.size());
        if (changed[line])
            continue;
        changed[line] = true;
        lines[line].append(" changed");
        --edits;
    }
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i)
        out.append(i ? "\n" : "").append(lines[i]);
    return out;
}

void generate(Fixtures& fixtures) {
    fixtures.body.text = answer(1, kBodyBytes, appendUser);
    fixtures.body.text.reserve(fixtures.body.text.size() +
                               quiller::JSONInspectorEngine::kBodyPaddingBytes);
    fixtures.smallPrevious.text = prettyLines(2, kSmallDiffLines, false);
    fixtures.smallCurrent.text = withChangedLines(fixtures.smallPrevious.text, 1);
    fixtures.largePrevious.text = prettyLines(3, kLargeDiffLines, false);
    fixtures.largeCurrent.text = prettyLines(4, kLargeDiffLines, true);
}

// --- Memory ------------------------------------------------------------------------------

std::size_t statusKilobytes(std::string_view field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with(field))
            continue;
        std::size_t value = 0;
        const auto first = line.find_first_of("0123456789");
        if (first != std::string::npos)
            std::from_chars(line.data() + first, line.data() + line.size(), value);
        return value;
    }
    return 0;
}

// Peak resident memory of one call beyond the resident memory before it, in
// bytes; 0 when the kernel does not let the high-water mark be reset. Free heap
// memory goes back to the system first, so that the call's allocations are
// counted even where they reuse it.
template <class Work> double peakExtraBytes(Work work) {
    malloc_trim(0);
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
        reset.close();
        if (!reset)
            return 0;
    }
    const std::size_t before = statusKilobytes("VmRSS:");
    std::thread(work).join();
    const std::size_t peak = statusKilobytes("VmHWM:");
    return static_cast<double>(peak > before ? peak - before : 0) * 1024.0;
}

void reportMemory(benchmark::State& state, double extraBytes, std::size_t inputBytes) {
    state.counters["peak_extra_MB"] = extraBytes / (1 << 20);
    state.counters["peak_extra_per_input"] = extraBytes / static_cast<double>(inputBytes);
}

// --- Benchmarks --------------------------------------------------------------------------

// One pass of `work` over the large body: its peak extra memory once, then
// its throughput.
template <class Work> auto overBody(const Fixtures& fixtures, Work work) {
    return [&fixtures, work](benchmark::State& state) {
        const std::string& body = fixtures.body.text;
        reportMemory(state, peakExtraBytes([&] { benchmark::DoNotOptimize(work(body)); }),
                     body.size());
        for (auto _ : state)
            benchmark::DoNotOptimize(work(body));
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
    };
}

void registerBenchmarks(const Fixtures& fixtures) {
    const auto print = [](const std::string& body) { return prettyPrint(body); };
    benchmark::RegisterBenchmark("PrettyPrint/50MB", overBody(fixtures, print))
        ->Unit(benchmark::kMillisecond);

    // The same body through the parsed document that smaller bodies take,
    // for comparison.
    const auto printParsed = [](const std::string& body) {
        constexpr quiller::JSONInspectorEngine::detail::PrettyLimits parsed{
            .twoPassFromBytes = std::numeric_limits<std::size_t>::max()};
        return quiller::JSONInspectorEngine::detail::prettyPrint(body, parsed);
    };
    benchmark::RegisterBenchmark("PrettyPrintParsed/50MB", overBody(fixtures, printParsed))
        ->Unit(benchmark::kMillisecond);

    const auto extract = [](const std::string& body) { return extractJSONPath(kPath, body); };
    const auto extractWhenFound = [&fixtures, extract](benchmark::State& state) {
        if (!extract(fixtures.body.text)) {
            state.SkipWithError("the path finds nothing in this body");
            return;
        }
        overBody(fixtures, extract)(state);
    };
    benchmark::RegisterBenchmark("ExtractJSONPath/50MB", extractWhenFound)
        ->Unit(benchmark::kMillisecond);

    const auto diff = [](const Fixture& previous, const Fixture& current) {
        return [&previous, &current](benchmark::State& state) {
            const std::string& a = previous.text;
            const std::string& b = current.text;
            std::size_t rows = 0;
            reportMemory(state, peakExtraBytes([&] { rows = diffLines(a, b).size(); }),
                         a.size() + b.size());
            for (auto _ : state)
                benchmark::DoNotOptimize(diffLines(a, b));
            state.counters["rows"] = static_cast<double>(rows);
        };
    };
    benchmark::RegisterBenchmark("DiffLines/20k-lines-1pct-changed",
                                 diff(fixtures.smallPrevious, fixtures.smallCurrent))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DiffLines/50k-lines-unrelated",
                                 diff(fixtures.largePrevious, fixtures.largeCurrent))
        ->Unit(benchmark::kMillisecond);
}

// The whole file, in a string with room for the JSON parser's padding.
bool readFile(const std::filesystem::path& path, std::string& text) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error)
        return false;
    text.reserve(static_cast<std::size_t>(size) + quiller::JSONInspectorEngine::kBodyPaddingBytes);
    tarn::memory::preferHugePages(text.data(), text.capacity());
    text.resize(static_cast<std::size_t>(size));
    std::ifstream in(path, std::ios::binary);
    in.read(text.data(), static_cast<std::streamsize>(size));
    return static_cast<bool>(in);
}

bool writeOut(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// One piece of work on files for a whole-process comparison; nullopt when
// none was asked for, else the exit status.
std::optional<int> runOnFiles(int argc, char** argv) {
    using quiller::bench::option;
    std::string body;
    if (const auto file = option(argc, argv, "--pretty")) {
        if (!readFile(*file, body))
            return 1;
        return writeOut(prettyPrint(body)) && writeOut("\n") ? 0 : 1;
    }
    if (const auto path = option(argc, argv, "--path")) {
        const auto file = option(argc, argv, "--body");
        if (!file || !readFile(*file, body))
            return 1;
        const auto value = extractJSONPath(*path, body);
        return value && writeOut(*value) && writeOut("\n") ? 0 : 1;
    }
    if (const auto files = option(argc, argv, "--diff")) {
        const std::size_t comma = files->find(',');
        std::string previous;
        std::string current;
        if (comma == std::string::npos || !readFile(files->substr(0, comma), previous) ||
            !readFile(files->substr(comma + 1), current))
            return 2;
        std::string out;
        bool changed = false;
        for (const auto& row : diffLines(previous, current)) {
            using Kind = quiller::DiffLineItem::Kind;
            out += row.kind == Kind::added ? '+' : row.kind == Kind::removed ? '-' : ' ';
            out += row.text;
            out += '\n';
            changed = changed || row.kind != Kind::unchanged;
        }
        return writeOut(out) ? (changed ? 1 : 0) : 2;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto status = runOnFiles(argc, argv))
        return *status;
    std::string fixturesDir;
    std::string writeDir;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument.starts_with("--fixtures="))
            fixturesDir = argument.substr(11);
        else if (argument.starts_with("--write-fixtures="))
            writeDir = argument.substr(17);
        else
            rest.push_back(argv[i]);
    }

    Fixtures fixtures;
    if (fixturesDir.empty()) {
        generate(fixtures);
    } else {
        for (Fixture* fixture : fixtures.all()) {
            if (!readFile(std::filesystem::path(fixturesDir) / fixture->fileName, fixture->text)) {
                std::cerr << "cannot read " << fixture->fileName << " in " << fixturesDir << '\n';
                return 1;
            }
        }
    }
    if (!writeDir.empty()) {
        std::filesystem::create_directories(writeDir);
        for (Fixture* fixture : fixtures.all()) {
            std::ofstream out(std::filesystem::path(writeDir) / fixture->fileName,
                              std::ios::binary);
            out.write(fixture->text.data(), static_cast<std::streamsize>(fixture->text.size()));
            if (!out) {
                std::cerr << "cannot write " << fixture->fileName << " in " << writeDir << '\n';
                return 1;
            }
        }
        return 0;
    }

    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 1;
    registerBenchmarks(fixtures);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
