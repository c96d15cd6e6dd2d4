#include "TarnKit/Suite/PitlowLiveStatus.h"

#include "TarnKit/Suite/SuiteNumbers.h"
#include "TarnKit/Suite/SuiteRecordCoding.h"

#include <algorithm>
#include <limits>

namespace tarn {

TarnScreenRect TarnScreenRect::make(double x, double y, double width, double height) {
    const double unbounded = std::numeric_limits<double>::infinity();
    return {x, y, suite::clamped(width, 0, unbounded), suite::clamped(height, 0, unbounded)};
}

PitlowLiveStatus PitlowLiveStatus::make(PitlowLiveStatus f) {
    for (std::int64_t* count : {&f.openTodayCount, &f.completedTodayCount, &f.overdueCount,
                                &f.inProgressCount, &f.plannedMinutesToday})
        *count = std::max<std::int64_t>(*count, 0);
    f.dailyCapacityMinutes = std::max<std::int64_t>(f.dailyCapacityMinutes, 30);
    f.nextBestTaskMinutes = std::max<std::int64_t>(f.nextBestTaskMinutes, 5);
    return f;
}

void writeFields(suite::detail::FieldWriter& out, const TarnScreenRect& r) {
    out.add("x", r.x);
    out.add("y", r.y);
    out.add("width", r.width);
    out.add("height", r.height);
}

TarnScreenRect readFields(const suite::detail::FieldReader& in, suite::RecordTag<TarnScreenRect>) {
    return {in.required<double>("x"), in.required<double>("y"), in.required<double>("width"),
            in.required<double>("height")};
}

void writeFields(suite::detail::FieldWriter& out, const PitlowLiveStatus& r) {
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("openTodayCount", r.openTodayCount);
    out.add("completedTodayCount", r.completedTodayCount);
    out.add("overdueCount", r.overdueCount);
    out.add("inProgressCount", r.inProgressCount);
    out.add("plannedMinutesToday", r.plannedMinutesToday);
    out.add("dailyCapacityMinutes", r.dailyCapacityMinutes);
    out.add("nextBestTaskID", r.nextBestTaskID);
    out.add("nextBestTaskTitle", r.nextBestTaskTitle);
    out.add("nextBestTaskMinutes", r.nextBestTaskMinutes);
    out.add("miniPanelFrame", r.miniPanelFrame);
    out.add("studioWindowFrame", r.studioWindowFrame);
    out.add("isOrrinDockedInside", r.isOrrinDockedInside);
}

PitlowLiveStatus readFields(const suite::detail::FieldReader& in,
                            suite::RecordTag<PitlowLiveStatus>) {
    PitlowLiveStatus r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.openTodayCount = in.valueOr("openTodayCount", r.openTodayCount);
    r.completedTodayCount = in.valueOr("completedTodayCount", r.completedTodayCount);
    r.overdueCount = in.valueOr("overdueCount", r.overdueCount);
    r.inProgressCount = in.valueOr("inProgressCount", r.inProgressCount);
    r.plannedMinutesToday = in.valueOr("plannedMinutesToday", r.plannedMinutesToday);
    r.dailyCapacityMinutes = in.valueOr("dailyCapacityMinutes", r.dailyCapacityMinutes);
    r.nextBestTaskID = in.optional<std::string>("nextBestTaskID");
    r.nextBestTaskTitle = in.optional<std::string>("nextBestTaskTitle");
    r.nextBestTaskMinutes = in.valueOr("nextBestTaskMinutes", r.nextBestTaskMinutes);
    r.miniPanelFrame = in.optional<TarnScreenRect>("miniPanelFrame");
    r.studioWindowFrame = in.optional<TarnScreenRect>("studioWindowFrame");
    r.isOrrinDockedInside = in.valueOr("isOrrinDockedInside", r.isOrrinDockedInside);
    // The defaults (360 and 25 minutes) already meet their normalisation.
    return PitlowLiveStatus::make(std::move(r));
}

TARN_SUITE_RECORD_CODEC(TarnScreenRect)
TARN_SUITE_RECORD_CODEC(PitlowLiveStatus)

} // namespace tarn
