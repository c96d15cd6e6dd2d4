#include "TarnKit/Suite/SkettoLiveStatus.h"

#include "TarnKit/Suite/SuiteRecordCoding.h"

namespace tarn {

std::optional<double> SkettoLiveStatus::headlineTempCelsius() const {
    if (cpuTempCelsius)
        return cpuTempCelsius;
    if (socTempCelsius)
        return socTempCelsius;
    return gpuTempCelsius;
}

void writeFields(suite::detail::FieldWriter& out, const SkettoLiveStatus& r) {
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("cpuTotalPercent", r.cpuTotalPercent);
    out.add("gpuTotalPercent", r.gpuTotalPercent);
    out.add("memoryUsedPercent", r.memoryUsedPercent);
    out.add("swapUsedBytes", r.swapUsedBytes);
    out.add("cpuTempCelsius", r.cpuTempCelsius);
    out.add("gpuTempCelsius", r.gpuTempCelsius);
    out.add("socTempCelsius", r.socTempCelsius);
    out.add("fanMaxRPM", r.fanMaxRPM);
    out.add("systemWatts", r.systemWatts);
    out.add("healthScore", r.healthScore);
    out.add("thermalState", r.thermalState);
    out.add("nvmeHealthPercent", r.nvmeHealthPercent);
}

SkettoLiveStatus readFields(const suite::detail::FieldReader& in,
                            suite::RecordTag<SkettoLiveStatus>) {
    SkettoLiveStatus r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.cpuTotalPercent = in.required<double>("cpuTotalPercent");
    r.gpuTotalPercent = in.required<double>("gpuTotalPercent");
    r.memoryUsedPercent = in.required<double>("memoryUsedPercent");
    r.swapUsedBytes = in.required<std::int64_t>("swapUsedBytes");
    r.cpuTempCelsius = in.optional<double>("cpuTempCelsius");
    r.gpuTempCelsius = in.optional<double>("gpuTempCelsius");
    r.socTempCelsius = in.optional<double>("socTempCelsius");
    r.fanMaxRPM = in.optional<std::int64_t>("fanMaxRPM");
    r.systemWatts = in.optional<double>("systemWatts");
    r.healthScore = in.required<std::int64_t>("healthScore");
    r.thermalState = in.required<std::string>("thermalState");
    r.nvmeHealthPercent = in.optional<std::int64_t>("nvmeHealthPercent");
    return r;
}

void writeFields(suite::detail::FieldWriter& out, const TavlorLiveStatus& r) {
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("totalProcessCount", r.totalProcessCount);
    out.add("unresponsiveCount", r.unresponsiveCount);
    out.add("problematicCount", r.problematicCount);
    out.add("unresponsiveAppNames", r.unresponsiveAppNames);
    out.add("memoryLeakCount", r.memoryLeakCount);
    out.add("autoFrozenPIDs", r.autoFrozenPIDs);
    out.add("activeFocusProfileName", r.activeFocusProfileName);
    out.add("reclaimedFocusBytes", r.reclaimedFocusBytes);
    out.add("listeningPortCount", r.listeningPortCount);
}

TavlorLiveStatus readFields(const suite::detail::FieldReader& in,
                            suite::RecordTag<TavlorLiveStatus>) {
    TavlorLiveStatus r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.totalProcessCount = in.required<std::int64_t>("totalProcessCount");
    r.unresponsiveCount = in.required<std::int64_t>("unresponsiveCount");
    r.problematicCount = in.required<std::int64_t>("problematicCount");
    r.unresponsiveAppNames = in.required<std::vector<std::string>>("unresponsiveAppNames");
    r.memoryLeakCount = in.required<std::int64_t>("memoryLeakCount");
    r.autoFrozenPIDs = in.required<std::vector<std::int32_t>>("autoFrozenPIDs");
    r.activeFocusProfileName = in.optional<std::string>("activeFocusProfileName");
    r.reclaimedFocusBytes = in.required<std::int64_t>("reclaimedFocusBytes");
    r.listeningPortCount = in.required<std::int64_t>("listeningPortCount");
    return r;
}

TARN_SUITE_RECORD_CODEC(SkettoLiveStatus)
TARN_SUITE_RECORD_CODEC(TavlorLiveStatus)

} // namespace tarn
