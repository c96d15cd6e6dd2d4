#pragma once

#include "TarnKit/Suite/SuiteRecordCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Orrin's live status ("orrin-live.json"): the focus session, its task, the
// distraction shield and the day's figures. Read leniently: only timestamp
// and senderPID are required, a missing or null key takes the default below,
// and counts and durations are normalised on reading as in make(). A present
// value of the wrong type still fails the whole record.
struct OrrinLiveStatus {
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    bool isRunning = false;
    bool isBreak = false;
    std::string sessionModeRaw = "pomodoro25";
    std::int64_t remainingSeconds = 1500;
    std::int64_t totalSeconds = 1500;
    std::string currentIntention;
    std::optional<std::string> activeTaskID;
    std::optional<std::string> activeTaskTitle;
    std::optional<std::string> activeProjectName;
    bool isShieldActive = false;
    std::int64_t lockedAppsCount = 0;
    std::int64_t blockedDomainsCount = 0;
    bool isStrictMode = false;
    bool isAmbientPlaying = false;
    std::int64_t focusScorePercent = 0;
    std::int64_t completedSessionsToday = 0;
    std::int64_t currentStreakDays = 0;
    double todayProductiveSeconds = 0;
    bool isDockedInsidePitlow = false;

    // The initialiser: counts and remainingSeconds at least 0, totalSeconds
    // at least 1, focusScorePercent within 0...100, productive time at least 0.
    static OrrinLiveStatus make(OrrinLiveStatus fields);

    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }
    // The elapsed share of the session or break, 0...1.
    double progress() const;

    friend bool operator==(const OrrinLiveStatus&, const OrrinLiveStatus&) = default;
};

std::optional<std::string> encodeRecord(const OrrinLiveStatus& record);
[[nodiscard]] std::optional<OrrinLiveStatus> decodeRecord(std::string_view text,
                                                          suite::RecordTag<OrrinLiveStatus>);

} // namespace tarn
