#pragma once

#include "TarnKit/Suite/SuiteRecordCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// A memory offload that is running or has just finished, as Heddle reports it
// inside its live status. Values; safe to copy between threads.
struct HeddleOffloadLiveProgress {
    suite::Date timestamp{};
    bool isRunning = false;
    bool isCompletedSummary = false;
    std::int64_t stepIndex = 0;
    std::int64_t totalSteps = 1;
    double fractionCompleted = 0;
    std::string phaseTitleEN;
    std::string phaseTitleTR;
    std::string detailEN;
    std::string detailTR;
    std::int64_t allocatedBytes = 0;
    std::int64_t targetBytes = 0;
    std::vector<std::string> frozenAppNames;
    std::string livePressure;

    // The writer's initialiser: totalSteps at least 1, fractionCompleted
    // clamped to 0...1 (a NaN fraction counts as 0). Decoding keeps the file's
    // values as written.
    static HeddleOffloadLiveProgress make(HeddleOffloadLiveProgress fields);

    friend bool operator==(const HeddleOffloadLiveProgress&,
                           const HeddleOffloadLiveProgress&) = default;
};

// Heddle's live status ("heddle-live.json"): memory, swap, disk pools,
// virtual disks and frozen applications. Every field but offloadProgress is
// required when decoding.
struct HeddleLiveStatus {
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    std::int64_t physicalTotalBytes = 0;
    std::int64_t physicalUsedBytes = 0;
    std::int64_t compressedBytes = 0;
    double usedPercent = 0;
    std::int64_t swapTotalBytes = 0;
    std::int64_t swapUsedBytes = 0;
    std::int64_t swapFileCount = 0;
    bool swapEncrypted = false;
    std::string pressureLevel;
    std::int64_t healthScore = 0;
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
    std::optional<HeddleOffloadLiveProgress> offloadProgress;

    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }
    bool hasVirtualDiskExpansion() const;
    // Pools plus sparse disks (RAM disks are not counted); the sums saturate
    // at the ends of the 64-bit range, so a hostile file cannot overflow them.
    std::int64_t totalVirtualPoolCapacityBytes() const;
    std::int64_t totalVirtualDiskActualBytes() const;

    friend bool operator==(const HeddleLiveStatus&, const HeddleLiveStatus&) = default;
};

std::optional<std::string> encodeRecord(const HeddleOffloadLiveProgress& record);
[[nodiscard]] std::optional<HeddleOffloadLiveProgress>
decodeRecord(std::string_view text, suite::RecordTag<HeddleOffloadLiveProgress>);
std::optional<std::string> encodeRecord(const HeddleLiveStatus& record);
[[nodiscard]] std::optional<HeddleLiveStatus> decodeRecord(std::string_view text,
                                                           suite::RecordTag<HeddleLiveStatus>);

} // namespace tarn
