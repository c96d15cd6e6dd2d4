#pragma once

#include "TarnKit/Suite/SuiteRecordCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// A window frame on the screen in logical pixels. Decoding keeps the four
// values as written (a negative width stays negative); all four keys are
// required.
struct TarnScreenRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    // The initialiser: a negative (or NaN) width or height becomes 0.
    static TarnScreenRect make(double x, double y, double width, double height);

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }

    friend bool operator==(const TarnScreenRect&, const TarnScreenRect&) = default;
};

// Pitlow's live status ("pitlow-live.json"): the day's tasks, the next task
// and the frames of its two windows. Read leniently like OrrinLiveStatus.
struct PitlowLiveStatus {
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    std::int64_t openTodayCount = 0;
    std::int64_t completedTodayCount = 0;
    std::int64_t overdueCount = 0;
    std::int64_t inProgressCount = 0;
    std::int64_t plannedMinutesToday = 0;
    std::int64_t dailyCapacityMinutes = 360;
    std::optional<std::string> nextBestTaskID;
    std::optional<std::string> nextBestTaskTitle;
    std::int64_t nextBestTaskMinutes = 25;
    std::optional<TarnScreenRect> miniPanelFrame;
    std::optional<TarnScreenRect> studioWindowFrame;
    bool isOrrinDockedInside = false;

    // The initialiser: counts at least 0, daily capacity at least 30 minutes,
    // the next task at least 5 minutes.
    static PitlowLiveStatus make(PitlowLiveStatus fields);

    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }

    friend bool operator==(const PitlowLiveStatus&, const PitlowLiveStatus&) = default;
};

std::optional<std::string> encodeRecord(const TarnScreenRect& record);
[[nodiscard]] std::optional<TarnScreenRect> decodeRecord(std::string_view text,
                                                         suite::RecordTag<TarnScreenRect>);
std::optional<std::string> encodeRecord(const PitlowLiveStatus& record);
[[nodiscard]] std::optional<PitlowLiveStatus> decodeRecord(std::string_view text,
                                                           suite::RecordTag<PitlowLiveStatus>);

} // namespace tarn
