#include "TarnKit/Suite/OrrinLiveStatus.h"

#include "TarnKit/Suite/SuiteNumbers.h"
#include "TarnKit/Suite/SuiteRecordCoding.h"

#include <algorithm>
#include <limits>

namespace tarn {

OrrinLiveStatus OrrinLiveStatus::make(OrrinLiveStatus f) {
    for (std::int64_t* count :
         {&f.lockedAppsCount, &f.blockedDomainsCount, &f.completedSessionsToday,
          &f.currentStreakDays, &f.remainingSeconds})
        *count = std::max<std::int64_t>(*count, 0);
    f.totalSeconds = std::max<std::int64_t>(f.totalSeconds, 1);
    f.focusScorePercent = std::clamp<std::int64_t>(f.focusScorePercent, 0, 100);
    f.todayProductiveSeconds =
        suite::clamped(f.todayProductiveSeconds, 0, std::numeric_limits<double>::infinity());
    return f;
}

double OrrinLiveStatus::progress() const {
    const double total = static_cast<double>(std::max<std::int64_t>(totalSeconds, 1));
    return suite::clamped(1.0 - static_cast<double>(remainingSeconds) / total, 0, 1);
}

void writeFields(suite::detail::FieldWriter& out, const OrrinLiveStatus& r) {
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("isRunning", r.isRunning);
    out.add("isBreak", r.isBreak);
    out.add("sessionModeRaw", r.sessionModeRaw);
    out.add("remainingSeconds", r.remainingSeconds);
    out.add("totalSeconds", r.totalSeconds);
    out.add("currentIntention", r.currentIntention);
    out.add("activeTaskID", r.activeTaskID);
    out.add("activeTaskTitle", r.activeTaskTitle);
    out.add("activeProjectName", r.activeProjectName);
    out.add("isShieldActive", r.isShieldActive);
    out.add("lockedAppsCount", r.lockedAppsCount);
    out.add("blockedDomainsCount", r.blockedDomainsCount);
    out.add("isStrictMode", r.isStrictMode);
    out.add("isAmbientPlaying", r.isAmbientPlaying);
    out.add("focusScorePercent", r.focusScorePercent);
    out.add("completedSessionsToday", r.completedSessionsToday);
    out.add("currentStreakDays", r.currentStreakDays);
    out.add("todayProductiveSeconds", r.todayProductiveSeconds);
    out.add("isDockedInsidePitlow", r.isDockedInsidePitlow);
}

OrrinLiveStatus readFields(const suite::detail::FieldReader& in,
                           suite::RecordTag<OrrinLiveStatus>) {
    OrrinLiveStatus r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.isRunning = in.valueOr("isRunning", r.isRunning);
    r.isBreak = in.valueOr("isBreak", r.isBreak);
    r.sessionModeRaw = in.valueOr("sessionModeRaw", r.sessionModeRaw);
    r.currentIntention = in.valueOr("currentIntention", r.currentIntention);
    r.activeTaskID = in.optional<std::string>("activeTaskID");
    r.activeTaskTitle = in.optional<std::string>("activeTaskTitle");
    r.activeProjectName = in.optional<std::string>("activeProjectName");
    r.isShieldActive = in.valueOr("isShieldActive", r.isShieldActive);
    r.isStrictMode = in.valueOr("isStrictMode", r.isStrictMode);
    r.isAmbientPlaying = in.valueOr("isAmbientPlaying", r.isAmbientPlaying);
    r.todayProductiveSeconds = in.valueOr("todayProductiveSeconds", r.todayProductiveSeconds);
    r.isDockedInsidePitlow = in.valueOr("isDockedInsidePitlow", r.isDockedInsidePitlow);
    r.remainingSeconds = in.valueOr("remainingSeconds", r.remainingSeconds);
    r.totalSeconds = in.valueOr("totalSeconds", r.totalSeconds);
    r.lockedAppsCount = in.valueOr("lockedAppsCount", r.lockedAppsCount);
    r.blockedDomainsCount = in.valueOr("blockedDomainsCount", r.blockedDomainsCount);
    r.focusScorePercent = in.valueOr("focusScorePercent", r.focusScorePercent);
    r.completedSessionsToday = in.valueOr("completedSessionsToday", r.completedSessionsToday);
    r.currentStreakDays = in.valueOr("currentStreakDays", r.currentStreakDays);
    // Every default already meets its normalisation, so normalising the whole
    // record touches only the values the file gave.
    return OrrinLiveStatus::make(std::move(r));
}

TARN_SUITE_RECORD_CODEC(OrrinLiveStatus)

} // namespace tarn
