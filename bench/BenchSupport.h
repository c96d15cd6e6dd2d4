#pragma once

// Small pieces the benchmarks share.

#include <cstdlib>
#include <filesystem>
#include <string>
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

} // namespace quiller::bench
