#include "TarnKit/System/TarnBinaryLocator.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::TarnBinaryLocator {
namespace {

// "<folder>/<name>" as text, so that a name with a leading "/" stays inside
// the folder instead of replacing it as path concatenation would.
std::filesystem::path inFolder(const std::filesystem::path& folder, std::string_view name) {
    std::string text = folder.string();
    text += '/';
    text += name;
    return text;
}

} // namespace

// The system's own folders, preceded by the shared Homebrew-on-Linux prefix.
const std::vector<std::filesystem::path> wellKnownDirectories = {
    "/home/linuxbrew/.linuxbrew/bin", "/usr/local/bin", "/usr/bin", "/bin"};

std::vector<std::filesystem::path>
candidates(std::string_view name, const TarnBundle& bundle,
           const std::vector<std::filesystem::path>& extraSearchDirectories) {
    std::vector<std::filesystem::path> result;
    if (!bundle.resourceDirectory.empty()) {
        result.push_back(inFolder(bundle.resourceDirectory / "bin", name));
        result.push_back(inFolder(bundle.resourceDirectory, name));
    }
    for (const auto& folder : extraSearchDirectories)
        result.push_back(inFolder(folder, name));
    for (const auto& folder : wellKnownDirectories)
        result.push_back(inFolder(folder, name));
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const std::string_view piece = rest.substr(0, colon);
            if (!piece.empty())
                result.push_back(inFolder(std::string(piece), name));
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    return result;
}

bool isExecutableFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::optional<std::filesystem::path>
locate(std::string_view name, const TarnBundle& bundle,
       const std::vector<std::filesystem::path>& extraSearchDirectories) {
    for (auto& candidate : candidates(name, bundle, extraSearchDirectories))
        if (isExecutableFile(candidate))
            return std::move(candidate);
    return std::nullopt;
}

} // namespace tarn::TarnBinaryLocator
