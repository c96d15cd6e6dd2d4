#include "TarnKit/Suite/TarnVirtualMemorySummary.h"

#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Suite/SuiteNumbers.h"
#include "TarnKit/Utilities/TarnByteFormatter.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tarn {
namespace {

std::int64_t sum(std::initializer_list<std::int64_t> values) {
    std::int64_t total = 0;
    for (const std::int64_t value : values)
        total = suite::saturatingAdd(total, value);
    return total;
}

double percent(std::int64_t part, std::int64_t whole) {
    if (whole <= 0)
        return 0;
    return suite::clamped(static_cast<double>(part) / static_cast<double>(whole) * 100, 0, 100);
}

std::int64_t positiveOr(std::int64_t value, std::int64_t fallback) {
    return value > 0 ? value : fallback;
}

std::string withUnit(double value, int precision, char unit) {
    return numbers::formatFixed(value, precision) + unit;
}

} // namespace

TarnVirtualMemorySummary
TarnVirtualMemorySummary::fromKernel(const kernelmemory::Statistics& kernel,
                                     MountedSparseDisks sparseDisks) {
    TarnVirtualMemorySummary s;
    s.physicalTotalBytes = kernel.physicalTotalBytes;
    s.physicalUsedBytes = kernel.physicalUsedBytes;
    s.compressedBytes = kernel.compressedBytes;
    s.swapTotalBytes = kernel.swapTotalBytes;
    s.swapUsedBytes = kernel.swapUsedBytes;
    s.swapEncrypted = kernel.swapEncrypted;
    s.pressureLevel = kernel.pressureLevel;
    s.mountedSparseDiskCount = sparseDisks.count;
    s.sparseDiskVirtualBytes = sparseDisks.virtualBytes;
    s.sparseDiskActualBytes = sparseDisks.actualBytes;
    s.sparseDiskNames = std::move(sparseDisks.names);
    return s;
}

TarnVirtualMemorySummary
TarnVirtualMemorySummary::fromHeddle(const HeddleLiveStatus& status,
                                     const kernelmemory::Statistics& kernel) {
    TarnVirtualMemorySummary s;
    s.physicalTotalBytes = positiveOr(status.physicalTotalBytes, kernel.physicalTotalBytes);
    s.physicalUsedBytes = positiveOr(status.physicalUsedBytes, kernel.physicalUsedBytes);
    s.compressedBytes = positiveOr(status.compressedBytes, kernel.compressedBytes);
    s.swapTotalBytes = std::max(status.swapTotalBytes, kernel.swapTotalBytes);
    s.swapUsedBytes = std::max(status.swapUsedBytes, kernel.swapUsedBytes);
    s.swapFileCount = status.swapFileCount;
    s.swapEncrypted = status.swapEncrypted;
    s.pressureLevel = status.pressureLevel;
    s.isHeddleRunning = true;
    s.activeDiskPoolCount = status.activeDiskPoolCount;
    s.diskPoolVirtualBytes = status.diskPoolVirtualBytes;
    s.diskPoolActualDiskBytes = status.diskPoolActualDiskBytes;
    s.diskPoolNames = status.diskPoolNames;
    s.mountedSparseDiskCount = status.mountedSparseDiskCount;
    s.sparseDiskVirtualBytes = status.sparseDiskVirtualBytes;
    s.sparseDiskActualBytes = status.sparseDiskActualBytes;
    s.sparseDiskNames = status.sparseDiskNames;
    s.mountedRAMDiskCount = status.mountedRAMDiskCount;
    s.ramDiskTotalBytes = status.ramDiskTotalBytes;
    s.ramDiskNames = status.ramDiskNames;
    s.frozenAppCount = status.frozenAppCount;
    s.frozenPIDs = status.frozenPIDs;
    s.reclaimedFromFrozenBytes = status.reclaimedFromFrozenBytes;
    return s;
}

bool TarnVirtualMemorySummary::isHeddleVirtualExpansionActive() const {
    return activeDiskPoolCount > 0 || mountedSparseDiskCount > 0 || mountedRAMDiskCount > 0;
}

bool TarnVirtualMemorySummary::isAnyVirtualMemoryActive() const {
    return isHeddleVirtualExpansionActive() || swapUsedBytes > 0;
}

bool TarnVirtualMemorySummary::isSwapActive() const {
    return swapUsedBytes > 0 || swapTotalBytes > 0;
}

double TarnVirtualMemorySummary::physicalUsedPercent() const {
    return percent(physicalUsedBytes, physicalTotalBytes);
}

double TarnVirtualMemorySummary::swapUsedPercent() const {
    return percent(swapUsedBytes, swapTotalBytes);
}

double TarnVirtualMemorySummary::virtualUsedPercent() const {
    return percent(totalVirtualUsedBytes(), totalVirtualAllocatedBytes());
}

std::int64_t TarnVirtualMemorySummary::totalVirtualUsedBytes() const {
    return sum({swapUsedBytes, diskPoolActualDiskBytes, sparseDiskActualBytes, ramDiskTotalBytes});
}

std::int64_t TarnVirtualMemorySummary::totalVirtualAllocatedBytes() const {
    return sum({std::max(swapTotalBytes, swapUsedBytes), diskPoolVirtualBytes,
                sparseDiskVirtualBytes, ramDiskTotalBytes});
}

std::int64_t TarnVirtualMemorySummary::totalHeddleVirtualCapacityBytes() const {
    return sum({diskPoolVirtualBytes, sparseDiskVirtualBytes, ramDiskTotalBytes});
}

std::int64_t TarnVirtualMemorySummary::totalEffectiveMemoryCapacityBytes() const {
    return sum({physicalTotalBytes, totalVirtualAllocatedBytes()});
}

std::int64_t TarnVirtualMemorySummary::totalEffectiveUsedBytes() const {
    return sum({physicalUsedBytes, totalVirtualUsedBytes()});
}

std::string TarnVirtualMemorySummary::virtualSpaceUsageText() const {
    const std::int64_t allocated = totalVirtualAllocatedBytes();
    if (allocated < 1)
        return "0 B";
    return TarnByteFormatter::format(totalVirtualUsedBytes()) + " / " +
           TarnByteFormatter::format(allocated);
}

std::string TarnVirtualMemorySummary::compactVirtualUsedToken() const {
    const std::int64_t used = totalVirtualUsedBytes();
    if (used > 0) {
        const double gigabytes = static_cast<double>(used) / 1e9;
        if (gigabytes >= 100)
            return withUnit(gigabytes, 0, 'G');
        if (gigabytes >= 1)
            return withUnit(gigabytes, 1, 'G');
        return withUnit(static_cast<double>(used) / 1e6, 0, 'M');
    }
    const std::int64_t allocated = totalVirtualAllocatedBytes();
    if (allocated <= 0)
        return "0G";
    const double gigabytes = static_cast<double>(allocated) / 1e9;
    return withUnit(gigabytes, gigabytes >= 10 ? 0 : 1, 'G');
}

std::string TarnVirtualMemorySummary::compactBadgeText() const {
    std::vector<std::string> parts;
    if (activeDiskPoolCount >= 1)
        parts.push_back("Pool " + TarnByteFormatter::format(diskPoolVirtualBytes));
    if (mountedSparseDiskCount >= 1)
        parts.push_back("vDisk " + TarnByteFormatter::format(sparseDiskVirtualBytes));
    if (mountedRAMDiskCount >= 1)
        parts.push_back("RAMDisk " + TarnByteFormatter::format(ramDiskTotalBytes));
    if (swapUsedBytes >= 1)
        parts.push_back("Swap " + TarnByteFormatter::format(swapUsedBytes));
    else if (swapTotalBytes >= 1 && parts.empty())
        parts.push_back("Swap 0 B / " + TarnByteFormatter::format(swapTotalBytes));
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty())
            text += " + ";
        text += part;
    }
    return text;
}

namespace {

// The sparse image format Heddle keeps its pools in on Linux.
constexpr std::string_view kSparseImageExtension = ".img";

std::string userName() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(4096);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr)
        return found->pw_name;
    const char* variable = std::getenv("USER");
    return variable != nullptr ? variable : "";
}

std::int64_t blocksToBytes(unsigned long long blocks, unsigned long long blockSize) {
    unsigned long long bytes = 0;
    if (__builtin_mul_overflow(blocks, blockSize, &bytes) ||
        bytes > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max()))
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(bytes);
}

// A folder that is a mount point lies on another device than its parent; a
// leftover empty folder would otherwise report the root file system.
std::optional<VirtualMemorySources::VolumeCapacity>
mountedVolumeCapacity(const std::filesystem::path& path) {
    struct stat self {};
    struct stat parent {};
    if (::stat(path.c_str(), &self) != 0 || ::stat(path.parent_path().c_str(), &parent) != 0 ||
        self.st_dev == parent.st_dev)
        return std::nullopt;
    struct statvfs volume {};
    if (::statvfs(path.c_str(), &volume) != 0)
        return std::nullopt;
    return VirtualMemorySources::VolumeCapacity{blocksToBytes(volume.f_blocks, volume.f_frsize),
                                                blocksToBytes(volume.f_bavail, volume.f_frsize)};
}

std::optional<std::filesystem::path>
customPoolFolder(const std::filesystem::path& applicationSupport) {
    try {
        const std::optional<std::string> text =
            files::readFile(applicationSupport / "Heddle" / "config.json");
        if (!text)
            return std::nullopt;
        const std::optional<nlohmann::json> config = json::parse(*text);
        if (!config || !config->is_object())
            return std::nullopt;
        const auto found = config->find("customPoolDirectory");
        if (found == config->end() || !found->is_string())
            return std::nullopt;
        const std::string_view trimmed =
            text::trimmingWhitespaceAndNewlines(found->get_ref<const std::string&>());
        if (trimmed.empty())
            return std::nullopt;
        return std::filesystem::path(trimmed);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

VirtualMemorySources VirtualMemorySources::system() {
    VirtualMemorySources sources;
    sources.cachesDirectory = files::cachesDirectory();
    sources.applicationSupportDirectory = files::applicationSupportDirectory();
    const std::string user = userName();
    if (!user.empty())
        sources.volumeFolders = {std::filesystem::path("/run/media") / user,
                                 std::filesystem::path("/media") / user};
    sources.volumeCapacity = mountedVolumeCapacity;
    return sources;
}

MountedSparseDisks scanMountedSparseDisks(const VirtualMemorySources& sources) {
    std::vector<std::filesystem::path> poolFolders = {sources.cachesDirectory / "Heddle" / "Pools"};
    if (auto custom = customPoolFolder(sources.applicationSupportDirectory))
        poolFolders.push_back(std::move(*custom));

    MountedSparseDisks result;
    std::set<std::string, std::less<>> seen;
    for (const std::filesystem::path& folder : poolFolders) {
        std::error_code error;
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::filesystem::path& path = entry.path();
            const std::string fileName = path.filename().string();
            if (fileName.starts_with(".") ||
                text::lowercased(path.extension().string()) != kSparseImageExtension)
                continue;
            names.push_back(path.stem().string());
        }
        // A stable order: the listing order of a folder is the file system's whim.
        std::sort(names.begin(), names.end());
        for (std::string& name : names) {
            if (!seen.insert(name).second)
                continue;
            for (const std::filesystem::path& volumes : sources.volumeFolders) {
                const auto capacity =
                    sources.volumeCapacity ? sources.volumeCapacity(volumes / name) : std::nullopt;
                if (!capacity)
                    continue;
                if (capacity->totalBytes >= 1) {
                    ++result.count;
                    result.virtualBytes =
                        suite::saturatingAdd(result.virtualBytes, capacity->totalBytes);
                    result.actualBytes = suite::saturatingAdd(
                        result.actualBytes,
                        std::max<std::int64_t>(suite::saturatingSubtract(capacity->totalBytes,
                                                                         capacity->availableBytes),
                                               0));
                    result.names.push_back(name);
                }
                break;
            }
        }
    }
    return result;
}

} // namespace tarn
