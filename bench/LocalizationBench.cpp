// Text lookup speed: tarnText for the languages whose texts are in the code,
// and the template path of a pack with 5,000 templates.

#include "TarnKit/Localization/TarnLocalizationStore.h"
#include "TarnKit/Localization/TarnText.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using tarn::TarnLanguage;

// A made-up word for a number, so that templates spread over many index keys
// the way real English sentences do.
std::string word(std::size_t number) {
    static constexpr std::string_view consonants = "bcdfghklmnprstvz";
    static constexpr std::string_view vowels = "aeiou";
    std::string text;
    do {
        text += consonants[number % consonants.size()];
        number /= consonants.size();
        text += vowels[number % vowels.size()];
        number /= vowels.size();
    } while (number > 0);
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

class PackFolder {
public:
    // The templates start with one of `verbCount` words, so each index bucket
    // holds about templateCount / verbCount of them.
    PackFolder(std::size_t templateCount, std::size_t verbCount) {
        std::string pattern = (fs::temp_directory_path() / "tarn-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
        nlohmann::json templates = nlohmann::json::object();
        for (std::size_t i = 0; i < templateCount; ++i) {
            const std::string source =
                word(i % verbCount + 700) + " {0} " + word(i) + " in {1} items";
            templates[source] = "{1}: {0} " + word(i) + " übersetzt";
        }
        nlohmann::json pack = {{"code", "de"}, {"templates", templates}};
        std::ofstream(m_path / "de.json") << pack.dump();
    }
    ~PackFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void tarnTextEnglish(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::tarnText("Save Request", "İsteği Kaydet", TarnLanguage::en));
}
BENCHMARK(tarnTextEnglish);

void tarnTextTurkish(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::tarnText("Save Request", "İsteği Kaydet", TarnLanguage::tr));
}
BENCHMARK(tarnTextTurkish);

// Argument: the number of distinct first words. 40 gives buckets of 125
// templates, like a real pack; 1 puts all 5,000 into one bucket.
void tarnTextTemplate(benchmark::State& state) {
    const auto verbCount = static_cast<std::size_t>(state.range(0));
    const PackFolder folder(5000, verbCount);
    tarn::TarnLocalizationStore::shared().registerSearchDirectory(folder.path());
    // The last template of its bucket: templates of equal weight are tried in
    // the order of their English text, and this one sorts late.
    const std::string text =
        word(4999 % verbCount + 700) + " 12 " + word(4999) + " in the workspace items";
    const std::string expected = "the workspace: 12 " + word(4999) + " übersetzt";
    if (tarn::tarnText(text, "", TarnLanguage::de) != expected)
        state.SkipWithError("the template did not match");
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::tarnText(text, "", TarnLanguage::de));
    tarn::TarnLocalizationStore::shared().reloadCatalogs();
}
BENCHMARK(tarnTextTemplate)->Arg(40)->Arg(1)->Unit(benchmark::kMicrosecond);

void tarnTextTemplateMiss(benchmark::State& state) {
    const PackFolder folder(5000, static_cast<std::size_t>(state.range(0)));
    tarn::TarnLocalizationStore::shared().registerSearchDirectory(folder.path());
    // Shares a busy bucket's key but matches nothing: every template of the
    // bucket is tried before English is given back.
    const std::string text = word(700) + " 12 requests were imported";
    for (auto _ : state)
        benchmark::DoNotOptimize(tarn::tarnText(text, "", TarnLanguage::de));
    tarn::TarnLocalizationStore::shared().reloadCatalogs();
}
BENCHMARK(tarnTextTemplateMiss)->Arg(40)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
