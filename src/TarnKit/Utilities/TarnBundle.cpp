#include "TarnKit/Utilities/TarnBundle.h"

#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/BuildInfo.h"

#include <cerrno>
#include <system_error>

namespace tarn {
namespace {

namespace fs = std::filesystem;

fs::path installedDataDirectory() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error || executable.empty())
        return {};
    const fs::path folder = executable.parent_path().parent_path() / "share" /
                            ascii::lowercased(std::string(buildinfo::productName));
    if (!fs::is_directory(folder, error))
        return {};
    return folder.lexically_normal();
}

} // namespace

const TarnBundle& TarnBundle::main() {
    static const TarnBundle bundle{
        .bundleIdentifier = buildinfo::bundleIdentifier,
        .displayName = std::string(buildinfo::productName),
        .name = std::string(buildinfo::productName),
        .resourceDirectory = installedDataDirectory(),
    };
    return bundle;
}

std::optional<std::filesystem::path> TarnBundle::resourcePath(std::string_view resourceName,
                                                              std::string_view extension) const {
    if (resourceDirectory.empty())
        return std::nullopt;
    std::string fileName(resourceName);
    if (!extension.empty()) {
        fileName += '.';
        fileName += extension;
    }
    const fs::path path = resourceDirectory / fileName;
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    return path;
}

std::string processName() {
    return program_invocation_short_name;
}

} // namespace tarn
