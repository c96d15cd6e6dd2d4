#include "TarnKit/Utilities/TarnAppVersion.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/UnicodeText.h"

namespace tarn {
namespace {

std::string entryOrFallback(std::optional<std::string_view> entry, const std::string& fallback) {
    if (!entry)
        return fallback;
    const std::string_view trimmed = text::trimmingWhitespaceAndNewlines(*entry);
    return trimmed.empty() ? fallback : std::string(trimmed);
}

} // namespace

TarnAppVersion TarnAppVersion::current(const std::string& fallbackVersion,
                                       const std::string& fallbackBuild) {
    return fromEntries(buildinfo::version, buildinfo::build, fallbackVersion, fallbackBuild);
}

TarnAppVersion TarnAppVersion::fromEntries(std::optional<std::string_view> versionEntry,
                                           std::optional<std::string_view> buildEntry,
                                           const std::string& fallbackVersion,
                                           const std::string& fallbackBuild) {
    return TarnAppVersion{entryOrFallback(versionEntry, fallbackVersion),
                          entryOrFallback(buildEntry, fallbackBuild)};
}

std::string TarnAppVersion::tag() const {
    return "v" + shortVersion;
}

std::string TarnAppVersion::detailedDisplay() const {
    return "v" + shortVersion + " (" + buildNumber + ")";
}

std::optional<TarnSemVer> TarnAppVersion::semVer() const {
    return TarnSemVer::parsing(shortVersion);
}

} // namespace tarn
