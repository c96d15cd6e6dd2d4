#pragma once

#include "TarnKit/Suite/HeddleLiveStatus.h"
#include "TarnKit/Suite/KernelMemoryStatistics.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Heddle's sparse disk images that are mounted, found without Heddle.
struct MountedSparseDisks {
    std::int64_t count = 0;
    std::int64_t virtualBytes = 0;
    std::int64_t actualBytes = 0;
    std::vector<std::string> names;

    friend bool operator==(const MountedSparseDisks&, const MountedSparseDisks&) = default;
};

// How much memory the machine has, how much is used and how much virtual
// memory is in play, from a fresh Heddle status or else the kernel. A value,
// built whole and never changed; safe to hand between threads.
//
// The figures may come from another process's file, so every sum saturates
// and every percentage stays within 0...100: a file of huge numbers gives
// odd texts, never undefined behaviour.
struct TarnVirtualMemorySummary {
    std::int64_t physicalTotalBytes = 0;
    std::int64_t physicalUsedBytes = 0;
    std::int64_t compressedBytes = 0;
    std::int64_t swapTotalBytes = 0;
    std::int64_t swapUsedBytes = 0;
    std::int64_t swapFileCount = 0;
    bool swapEncrypted = false;
    std::string pressureLevel;
    bool isHeddleRunning = false;
    std::int64_t activeDiskPoolCount = 0;
    std::int64_t diskPoolVirtualBytes = 0;
    std::int64_t diskPoolActualDiskBytes = 0;
    std::vector<std::string> diskPoolNames;
    std::int64_t mountedSparseDiskCount = 0;
    std::int64_t sparseDiskVirtualBytes = 0;
    std::int64_t sparseDiskActualBytes = 0;
    std::vector<std::string> sparseDiskNames;
    std::int64_t mountedRAMDiskCount = 0;
    std::int64_t ramDiskTotalBytes = 0;
    std::vector<std::string> ramDiskNames;
    std::int64_t frozenAppCount = 0;
    std::vector<std::int32_t> frozenPIDs;
    std::int64_t reclaimedFromFrozenBytes = 0;

    // From the kernel's figures and the scan of mounted sparse disks: no
    // Heddle, no pools, no RAM disks, no frozen applications.
    static TarnVirtualMemorySummary fromKernel(const kernelmemory::Statistics& kernel,
                                               MountedSparseDisks sparseDisks);
    // From a fresh Heddle status, the kernel filling in what it lacks.
    static TarnVirtualMemorySummary fromHeddle(const HeddleLiveStatus& status,
                                               const kernelmemory::Statistics& kernel);

    bool isHeddleVirtualExpansionActive() const;
    bool isAnyVirtualMemoryActive() const;
    bool isSwapActive() const;
    double physicalUsedPercent() const;
    double swapUsedPercent() const;
    double virtualUsedPercent() const;
    // Swap used, pools' disk use, sparse disks' use and RAM disks.
    std::int64_t totalVirtualUsedBytes() const;
    // The larger of swap total and swap used, plus the capacities of pools,
    // sparse disks and RAM disks.
    std::int64_t totalVirtualAllocatedBytes() const;
    std::int64_t totalHeddleVirtualCapacityBytes() const;
    std::int64_t totalEffectiveMemoryCapacityBytes() const;
    std::int64_t totalEffectiveUsedBytes() const;
    // "0 B", or "<used> / <allocated>" in byte texts.
    std::string virtualSpaceUsageText() const;
    // "12G", "3.4G", "512M", "0G".
    std::string compactVirtualUsedToken() const;
    // "Pool 64.00 GB + Swap 1.50 GB" and the like; empty with nothing active.
    std::string compactBadgeText() const;

    friend bool operator==(const TarnVirtualMemorySummary&,
                           const TarnVirtualMemorySummary&) = default;
};

// Where the summary looks when Heddle is not running. Tests point every
// member at fixtures.
struct VirtualMemorySources {
    struct VolumeCapacity {
        std::int64_t totalBytes = 0;
        std::int64_t availableBytes = 0;
    };

    kernelmemory::Folders kernel;
    // Heddle's default pool folder is "<caches>/Heddle/Pools"; its
    // configuration "<application support>/Heddle/config.json" may name another.
    std::filesystem::path cachesDirectory;
    std::filesystem::path applicationSupportDirectory;
    // Where removable volumes are mounted, in the order they are looked at.
    std::vector<std::filesystem::path> volumeFolders;
    // The capacity of the volume mounted at a path; nothing when no volume is
    // mounted there or it cannot be read.
    std::function<std::optional<VolumeCapacity>(const std::filesystem::path&)> volumeCapacity;

    // The real folders: /proc, /sys, the XDG folders, "/run/media/<user>" and
    // "/media/<user>", and a probe that asks statvfs about mount points only.
    static VirtualMemorySources system();
};

// Heddle's sparse disk images ("<name>.img" in its pool folders, hidden files
// skipped, each name once) whose volume "<name>" is mounted in one of the
// volume folders with a capacity of at least one byte.
MountedSparseDisks scanMountedSparseDisks(const VirtualMemorySources& sources);

} // namespace tarn
