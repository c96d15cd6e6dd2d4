#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarn::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the scope ends.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "quiller-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder() {
        // Tests take permissions away; give them back so everything can go.
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
            if (it->is_directory(ignored))
                ::chmod(it->path().c_str(), 0700);
        ::chmod(m_path.c_str(), 0700);
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

    // Writes `bytes` to the file `name` in the folder, replacing it; returns
    // the file's path.
    std::filesystem::path write(const std::string& name, const std::string& bytes) const {
        std::filesystem::path file = m_path / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

private:
    std::filesystem::path m_path;
};

// Sets the process umask for one scope.
class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_previous(::umask(mask)) {}
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;
    ~UmaskScope() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

// The permission bits of a path (without following a final link), or 0.
inline mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

} // namespace tarn::testing
