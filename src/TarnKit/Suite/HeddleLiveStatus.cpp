#include "TarnKit/Suite/HeddleLiveStatus.h"

#include "TarnKit/Suite/SuiteNumbers.h"
#include "TarnKit/Suite/SuiteRecordCoding.h"

#include <algorithm>

namespace tarn {

HeddleOffloadLiveProgress HeddleOffloadLiveProgress::make(HeddleOffloadLiveProgress fields) {
    fields.totalSteps = std::max<std::int64_t>(fields.totalSteps, 1);
    fields.fractionCompleted = suite::clamped(fields.fractionCompleted, 0, 1);
    return fields;
}

bool HeddleLiveStatus::hasVirtualDiskExpansion() const {
    return activeDiskPoolCount > 0 || mountedSparseDiskCount > 0 || mountedRAMDiskCount > 0;
}

std::int64_t HeddleLiveStatus::totalVirtualPoolCapacityBytes() const {
    return suite::saturatingAdd(diskPoolVirtualBytes, sparseDiskVirtualBytes);
}

std::int64_t HeddleLiveStatus::totalVirtualDiskActualBytes() const {
    return suite::saturatingAdd(diskPoolActualDiskBytes, sparseDiskActualBytes);
}

void writeFields(suite::detail::FieldWriter& out, const HeddleOffloadLiveProgress& r) {
    out.add("timestamp", r.timestamp);
    out.add("isRunning", r.isRunning);
    out.add("isCompletedSummary", r.isCompletedSummary);
    out.add("stepIndex", r.stepIndex);
    out.add("totalSteps", r.totalSteps);
    out.add("fractionCompleted", r.fractionCompleted);
    out.add("phaseTitleEN", r.phaseTitleEN);
    out.add("phaseTitleTR", r.phaseTitleTR);
    out.add("detailEN", r.detailEN);
    out.add("detailTR", r.detailTR);
    out.add("allocatedBytes", r.allocatedBytes);
    out.add("targetBytes", r.targetBytes);
    out.add("frozenAppNames", r.frozenAppNames);
    out.add("livePressure", r.livePressure);
}

HeddleOffloadLiveProgress readFields(const suite::detail::FieldReader& in,
                                     suite::RecordTag<HeddleOffloadLiveProgress>) {
    HeddleOffloadLiveProgress r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.isRunning = in.required<bool>("isRunning");
    r.isCompletedSummary = in.required<bool>("isCompletedSummary");
    r.stepIndex = in.required<std::int64_t>("stepIndex");
    r.totalSteps = in.required<std::int64_t>("totalSteps");
    r.fractionCompleted = in.required<double>("fractionCompleted");
    r.phaseTitleEN = in.required<std::string>("phaseTitleEN");
    r.phaseTitleTR = in.required<std::string>("phaseTitleTR");
    r.detailEN = in.required<std::string>("detailEN");
    r.detailTR = in.required<std::string>("detailTR");
    r.allocatedBytes = in.required<std::int64_t>("allocatedBytes");
    r.targetBytes = in.required<std::int64_t>("targetBytes");
    r.frozenAppNames = in.required<std::vector<std::string>>("frozenAppNames");
    r.livePressure = in.required<std::string>("livePressure");
    return r;
}

void writeFields(suite::detail::FieldWriter& out, const HeddleLiveStatus& r) {
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("physicalTotalBytes", r.physicalTotalBytes);
    out.add("physicalUsedBytes", r.physicalUsedBytes);
    out.add("compressedBytes", r.compressedBytes);
    out.add("usedPercent", r.usedPercent);
    out.add("swapTotalBytes", r.swapTotalBytes);
    out.add("swapUsedBytes", r.swapUsedBytes);
    out.add("swapFileCount", r.swapFileCount);
    out.add("swapEncrypted", r.swapEncrypted);
    out.add("pressureLevel", r.pressureLevel);
    out.add("healthScore", r.healthScore);
    out.add("activeDiskPoolCount", r.activeDiskPoolCount);
    out.add("diskPoolVirtualBytes", r.diskPoolVirtualBytes);
    out.add("diskPoolActualDiskBytes", r.diskPoolActualDiskBytes);
    out.add("diskPoolNames", r.diskPoolNames);
    out.add("mountedSparseDiskCount", r.mountedSparseDiskCount);
    out.add("sparseDiskVirtualBytes", r.sparseDiskVirtualBytes);
    out.add("sparseDiskActualBytes", r.sparseDiskActualBytes);
    out.add("sparseDiskNames", r.sparseDiskNames);
    out.add("mountedRAMDiskCount", r.mountedRAMDiskCount);
    out.add("ramDiskTotalBytes", r.ramDiskTotalBytes);
    out.add("ramDiskNames", r.ramDiskNames);
    out.add("frozenAppCount", r.frozenAppCount);
    out.add("frozenPIDs", r.frozenPIDs);
    out.add("reclaimedFromFrozenBytes", r.reclaimedFromFrozenBytes);
    out.add("offloadProgress", r.offloadProgress);
}

HeddleLiveStatus readFields(const suite::detail::FieldReader& in,
                            suite::RecordTag<HeddleLiveStatus>) {
    HeddleLiveStatus r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.physicalTotalBytes = in.required<std::int64_t>("physicalTotalBytes");
    r.physicalUsedBytes = in.required<std::int64_t>("physicalUsedBytes");
    r.compressedBytes = in.required<std::int64_t>("compressedBytes");
    r.usedPercent = in.required<double>("usedPercent");
    r.swapTotalBytes = in.required<std::int64_t>("swapTotalBytes");
    r.swapUsedBytes = in.required<std::int64_t>("swapUsedBytes");
    r.swapFileCount = in.required<std::int64_t>("swapFileCount");
    r.swapEncrypted = in.required<bool>("swapEncrypted");
    r.pressureLevel = in.required<std::string>("pressureLevel");
    r.healthScore = in.required<std::int64_t>("healthScore");
    r.activeDiskPoolCount = in.required<std::int64_t>("activeDiskPoolCount");
    r.diskPoolVirtualBytes = in.required<std::int64_t>("diskPoolVirtualBytes");
    r.diskPoolActualDiskBytes = in.required<std::int64_t>("diskPoolActualDiskBytes");
    r.diskPoolNames = in.required<std::vector<std::string>>("diskPoolNames");
    r.mountedSparseDiskCount = in.required<std::int64_t>("mountedSparseDiskCount");
    r.sparseDiskVirtualBytes = in.required<std::int64_t>("sparseDiskVirtualBytes");
    r.sparseDiskActualBytes = in.required<std::int64_t>("sparseDiskActualBytes");
    r.sparseDiskNames = in.required<std::vector<std::string>>("sparseDiskNames");
    r.mountedRAMDiskCount = in.required<std::int64_t>("mountedRAMDiskCount");
    r.ramDiskTotalBytes = in.required<std::int64_t>("ramDiskTotalBytes");
    r.ramDiskNames = in.required<std::vector<std::string>>("ramDiskNames");
    r.frozenAppCount = in.required<std::int64_t>("frozenAppCount");
    r.frozenPIDs = in.required<std::vector<std::int32_t>>("frozenPIDs");
    r.reclaimedFromFrozenBytes = in.required<std::int64_t>("reclaimedFromFrozenBytes");
    r.offloadProgress = in.optional<HeddleOffloadLiveProgress>("offloadProgress");
    return r;
}

TARN_SUITE_RECORD_CODEC(HeddleOffloadLiveProgress)
TARN_SUITE_RECORD_CODEC(HeddleLiveStatus)

} // namespace tarn
