#pragma once

#include <string>

namespace tarn {

// The application's marketing version and build number.
struct TarnAppVersion {
    std::string shortVersion;
    std::string buildNumber;

    // The version compiled into this build, with the given fallbacks for empty values.
    static TarnAppVersion current(const std::string& fallbackVersion = "1.0.0",
                                  const std::string& fallbackBuild = "100");

    friend bool operator==(const TarnAppVersion&, const TarnAppVersion&) = default;
};

} // namespace tarn
