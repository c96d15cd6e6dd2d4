#include "TarnKit/Utilities/TarnAppLogger.h"

#include <map>
#include <mutex>

namespace tarn {

TarnAppLogger& TarnAppLogger::shared(const std::string& appName, VersionProvider versionProvider) {
    static std::mutex registryLock;
    static auto* registry = new std::map<std::string, std::unique_ptr<TarnAppLogger>>();
    const std::lock_guard lock(registryLock);
    auto& slot = (*registry)[appName];
    if (!slot)
        slot = std::make_unique<TarnAppLogger>(appName, std::nullopt, 2'097'152, 5,
                                               std::move(versionProvider));
    return *slot;
}

TarnAppLogger::TarnAppLogger(std::string appName, std::optional<std::filesystem::path>,
                             std::uint64_t, long, VersionProvider versionProvider)
    : m_appName(std::move(appName)), m_versionProvider(std::move(versionProvider)) {}

TarnAppLogger::~TarnAppLogger() = default;

void TarnAppLogger::log(TarnLogLevel, std::string_view, std::string_view) {
    // Writing, rotation and redaction are built on top of this interface.
}

} // namespace tarn
