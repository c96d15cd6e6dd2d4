#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The application's identity and its installed resources. The identity comes
// from the constants compiled into the build; the resources live in the
// installed data folder, found relative to the executable as
// "<executable folder>/../share/<product name in lower case>".
//
// Services take a bundle as an argument so that tests can point them at a
// fixture folder. A value; safe to copy and read from any thread.
struct TarnBundle {
    std::string bundleIdentifier;
    std::optional<std::string> displayName;  // Info value "CFBundleDisplayName"
    std::optional<std::string> name;         // Info value "CFBundleName"
    std::filesystem::path resourceDirectory; // empty when there is none

    // This application. The data folder is looked up once; when it does not
    // exist (a build that is not installed) the bundle has no resources.
    static const TarnBundle& main();

    // "<resourceDirectory>/<name>.<extension>" when that is a regular file.
    std::optional<std::filesystem::path> resourcePath(std::string_view resourceName,
                                                      std::string_view extension) const;

    friend bool operator==(const TarnBundle&, const TarnBundle&) = default;
};

// The name the running process was started under, without its folder.
std::string processName();

} // namespace tarn
