#include "TarnKit/Utilities/TarnAppVersion.h"

#include "TarnKit/Platform/BuildInfo.h"

namespace tarn {

TarnAppVersion TarnAppVersion::current(const std::string& fallbackVersion,
                                       const std::string& fallbackBuild) {
    const std::string version = buildinfo::version;
    const std::string build = buildinfo::build;
    return TarnAppVersion{version.empty() ? fallbackVersion : version,
                          build.empty() ? fallbackBuild : build};
}

} // namespace tarn
