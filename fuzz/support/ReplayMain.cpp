// Replays a fuzz target's seed corpus as an ordinary test: every file in the
// folders (or the files) named on the command line is fed to the target once.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replayFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << file << '\n';
        return 1;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root(argv[i]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(root)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.push_back(root);
        }
        for (const auto& file : files) {
            failures += replayFile(file);
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::cerr << "no seed inputs found\n";
        return 1;
    }
    std::cout << "replayed " << replayed << " inputs\n";
    return failures == 0 ? 0 : 1;
}
