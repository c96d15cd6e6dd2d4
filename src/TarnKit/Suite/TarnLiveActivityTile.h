#pragma once

#include "TarnKit/Suite/SuiteRecordCodec.h"
#include "TarnKit/Suite/TarnSuiteApp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// One small, uniform card of what a suite application is doing, filed as
// "LiveTiles/<lower-cased raw value>.json". Identified by its `app`.
struct TarnLiveActivityTile {
    enum class Tone { neutral, active, success, warning, danger };

    TarnSuiteApp app = TarnSuiteApp::quiller;
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    std::string titleEN;
    std::string titleTR;
    std::string primaryMetric;
    std::optional<std::string> secondaryMetric;
    std::optional<double> progress;
    std::string symbolName;
    Tone tone = Tone::neutral;
    std::int64_t priority = 0;

    // The publisher's initialiser: a given progress is clamped to 0...1 (NaN
    // counts as 0) and an absent symbol name becomes the roster's symbol of
    // `app`.
    static TarnLiveActivityTile
    make(TarnSuiteApp app, suite::Date timestamp, std::int32_t senderPID, std::string titleEN,
         std::string titleTR, std::string primaryMetric, std::optional<std::string> secondaryMetric,
         std::optional<double> progress, std::optional<std::string> symbolName, Tone tone,
         std::int64_t priority);

    std::string_view id() const { return suiteapp::rawValue(app); }
    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }

    friend bool operator==(const TarnLiveActivityTile&, const TarnLiveActivityTile&) = default;
};

std::string_view rawValue(TarnLiveActivityTile::Tone tone);
// Exact, case-sensitive case name.
std::optional<TarnLiveActivityTile::Tone> toneFromRaw(std::string_view text);

std::optional<std::string> encodeRecord(const TarnLiveActivityTile& record);
[[nodiscard]] std::optional<TarnLiveActivityTile>
decodeRecord(std::string_view text, suite::RecordTag<TarnLiveActivityTile>);

} // namespace tarn
