#pragma once

#include "TarnKit/Utilities/TarnAppVersion.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

enum class TarnLogLevel { debug, info, warn, error };

// The suite's runtime log: one logger per application name, shared by every
// caller in the process. Every operation may be called from any thread.
class TarnAppLogger {
public:
    using VersionProvider = std::function<TarnAppVersion()>;

    // The one logger for `appName`; created on first use with the default folder,
    // a 2 MiB live file and 5 rotated files.
    static TarnAppLogger& shared(const std::string& appName,
                                 VersionProvider versionProvider = nullptr);

    TarnAppLogger(std::string appName, std::optional<std::filesystem::path> directory,
                  std::uint64_t maxFileBytes, long maxRotatedFiles,
                  VersionProvider versionProvider);
    ~TarnAppLogger();
    TarnAppLogger(const TarnAppLogger&) = delete;
    TarnAppLogger& operator=(const TarnAppLogger&) = delete;

    // Records one event; never fails to the caller.
    void log(TarnLogLevel level, std::string_view category, std::string_view message);
    void debug(std::string_view message, std::string_view category) {
        log(TarnLogLevel::debug, category, message);
    }
    void info(std::string_view message, std::string_view category) {
        log(TarnLogLevel::info, category, message);
    }
    void warn(std::string_view message, std::string_view category) {
        log(TarnLogLevel::warn, category, message);
    }
    void error(std::string_view message, std::string_view category) {
        log(TarnLogLevel::error, category, message);
    }

    const std::string& appName() const { return m_appName; }

private:
    std::string m_appName;
    VersionProvider m_versionProvider;
};

} // namespace tarn
