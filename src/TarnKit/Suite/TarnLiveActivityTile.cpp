#include "TarnKit/Suite/TarnLiveActivityTile.h"

#include "TarnKit/Suite/SuiteNumbers.h"
#include "TarnKit/Suite/SuiteRecordCoding.h"

#include <array>

namespace tarn {
namespace {

constexpr std::array<std::string_view, 5> kToneNames = {"neutral", "active", "success", "warning",
                                                        "danger"};

} // namespace

TarnLiveActivityTile TarnLiveActivityTile::make(TarnSuiteApp app, suite::Date timestamp,
                                                std::int32_t senderPID, std::string titleEN,
                                                std::string titleTR, std::string primaryMetric,
                                                std::optional<std::string> secondaryMetric,
                                                std::optional<double> progress,
                                                std::optional<std::string> symbolName, Tone tone,
                                                std::int64_t priority) {
    if (progress)
        progress = suite::clamped(*progress, 0, 1);
    std::string symbol =
        symbolName ? std::move(*symbolName) : std::string(suiteapp::symbolName(app));
    return {app,
            timestamp,
            senderPID,
            std::move(titleEN),
            std::move(titleTR),
            std::move(primaryMetric),
            std::move(secondaryMetric),
            progress,
            std::move(symbol),
            tone,
            priority};
}

std::string_view rawValue(TarnLiveActivityTile::Tone tone) {
    return kToneNames[static_cast<std::size_t>(tone)];
}

std::optional<TarnLiveActivityTile::Tone> toneFromRaw(std::string_view text) {
    for (std::size_t i = 0; i < kToneNames.size(); ++i)
        if (kToneNames[i] == text)
            return static_cast<TarnLiveActivityTile::Tone>(i);
    return std::nullopt;
}

void writeFields(suite::detail::FieldWriter& out, const TarnLiveActivityTile& r) {
    out.add("app", std::string(suiteapp::rawValue(r.app)));
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("titleEN", r.titleEN);
    out.add("titleTR", r.titleTR);
    out.add("primaryMetric", r.primaryMetric);
    out.add("secondaryMetric", r.secondaryMetric);
    out.add("progress", r.progress);
    out.add("symbolName", r.symbolName);
    out.add("tone", std::string(rawValue(r.tone)));
    out.add("priority", r.priority);
}

TarnLiveActivityTile readFields(const suite::detail::FieldReader& in,
                                suite::RecordTag<TarnLiveActivityTile>) {
    TarnLiveActivityTile r;
    r.app = in.requiredEnum<TarnSuiteApp>("app", suiteapp::fromRaw);
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.titleEN = in.required<std::string>("titleEN");
    r.titleTR = in.required<std::string>("titleTR");
    r.primaryMetric = in.required<std::string>("primaryMetric");
    r.secondaryMetric = in.optional<std::string>("secondaryMetric");
    r.progress = in.optional<double>("progress");
    r.symbolName = in.required<std::string>("symbolName");
    r.tone = in.requiredEnum<TarnLiveActivityTile::Tone>("tone", toneFromRaw);
    r.priority = in.required<std::int64_t>("priority");
    return r;
}

TARN_SUITE_RECORD_CODEC(TarnLiveActivityTile)

} // namespace tarn
