#pragma once

#include "TarnKit/Suite/SuiteRecordCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Sketto's live status ("sketto-live.json"): load, temperatures, power and
// health of the machine. The temperatures, fan speed, power and disk health
// are optional; values are stored as written. Values; safe between threads.
struct SkettoLiveStatus {
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    double cpuTotalPercent = 0;
    double gpuTotalPercent = 0;
    double memoryUsedPercent = 0;
    std::int64_t swapUsedBytes = 0;
    std::optional<double> cpuTempCelsius;
    std::optional<double> gpuTempCelsius;
    std::optional<double> socTempCelsius;
    std::optional<std::int64_t> fanMaxRPM;
    std::optional<double> systemWatts;
    std::int64_t healthScore = 0;
    std::string thermalState;
    std::optional<std::int64_t> nvmeHealthPercent;

    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }
    // Processor, else system-on-chip, else graphics processor.
    std::optional<double> headlineTempCelsius() const;

    friend bool operator==(const SkettoLiveStatus&, const SkettoLiveStatus&) = default;
};

// Tavlor's live status ("tavlor-live.json"): process counts, hung and
// problematic applications, frozen processes and listening ports.
struct TavlorLiveStatus {
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    std::int64_t totalProcessCount = 0;
    std::int64_t unresponsiveCount = 0;
    std::int64_t problematicCount = 0;
    std::vector<std::string> unresponsiveAppNames;
    std::int64_t memoryLeakCount = 0;
    std::vector<std::int32_t> autoFrozenPIDs;
    std::optional<std::string> activeFocusProfileName;
    std::int64_t reclaimedFocusBytes = 0;
    std::int64_t listeningPortCount = 0;

    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }

    friend bool operator==(const TavlorLiveStatus&, const TavlorLiveStatus&) = default;
};

std::optional<std::string> encodeRecord(const SkettoLiveStatus& record);
[[nodiscard]] std::optional<SkettoLiveStatus> decodeRecord(std::string_view text,
                                                           suite::RecordTag<SkettoLiveStatus>);
std::optional<std::string> encodeRecord(const TavlorLiveStatus& record);
[[nodiscard]] std::optional<TavlorLiveStatus> decodeRecord(std::string_view text,
                                                           suite::RecordTag<TavlorLiveStatus>);

} // namespace tarn
