#pragma once

#include "TarnKit/Utilities/TarnSemVer.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The application's marketing version and build number. A plain value: safe
// to copy and read from any thread.
struct TarnAppVersion {
    std::string shortVersion;
    std::string buildNumber;

    // The version and build compiled into this program (the CMake project
    // version and QUILLER_BUILD_NUMBER), each trimmed of white space; a value
    // that is empty after trimming gives the fallback as passed.
    static TarnAppVersion current(const std::string& fallbackVersion = "1.0.0",
                                  const std::string& fallbackBuild = "100");

    // The rule of `current` applied to given entries, where nullopt stands for
    // an entry that is missing.
    static TarnAppVersion fromEntries(std::optional<std::string_view> versionEntry,
                                      std::optional<std::string_view> buildEntry,
                                      const std::string& fallbackVersion,
                                      const std::string& fallbackBuild);

    // "v1.4.2"
    std::string tag() const;
    // "v1.4.2 (57)"
    std::string detailedDisplay() const;
    // The short version as a semantic version, when it is one.
    std::optional<TarnSemVer> semVer() const;

    friend bool operator==(const TarnAppVersion&, const TarnAppVersion&) = default;
};

} // namespace tarn
