#pragma once

#include "TarnKit/Suite/SuiteRecordCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// One channel of Kelby's mixer. Identified by `id`.
struct KelbyAudioAppItem {
    std::string id;
    std::string bundleID;
    std::string appName;
    bool isPlayingAudio = false;
    bool isMuted = false;
    double volume = 1;
    float rmsLevel = 0;

    // The writer's initialiser: volume clamped to 0...2, rmsLevel at least 0
    // (NaN counts as 0). Decoding keeps the file's values.
    static KelbyAudioAppItem make(KelbyAudioAppItem fields);

    friend bool operator==(const KelbyAudioAppItem&, const KelbyAudioAppItem&) = default;
};

// Kelby's live status ("kelby-live.json"); every key is required.
struct KelbyLiveStatus {
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    double masterVolume = 1;
    std::string outputDeviceName;
    std::vector<KelbyAudioAppItem> channels;

    // The writer's initialiser: masterVolume clamped to 0...1.
    static KelbyLiveStatus make(KelbyLiveStatus fields);

    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }
    // Channels that play and are not muted.
    std::int64_t activePlayingCount() const;
    std::int64_t mutedCount() const;

    friend bool operator==(const KelbyLiveStatus&, const KelbyLiveStatus&) = default;
};

// Lankin's live status ("lankin-live.json"); every key is required.
struct LankinLiveStatus {
    suite::Date timestamp{};
    std::int32_t senderPID = 0;
    std::string title;
    std::string artist;
    std::string album;
    std::string qualityBadge;
    bool isPlaying = false;
    double elapsedSeconds = 0;
    double durationSeconds = 0;
    double volume = 1;

    // The writer's initialiser: elapsed and duration at least 0, volume
    // clamped to 0...1.
    static LankinLiveStatus make(LankinLiveStatus fields);

    bool isFresh(suite::Date now, double maxAgeSeconds) const {
        return suite::isFresh(timestamp, senderPID, now, maxAgeSeconds);
    }
    // elapsed / duration within 0...1; 0 without a positive duration.
    double progress() const;

    friend bool operator==(const LankinLiveStatus&, const LankinLiveStatus&) = default;
};

std::optional<std::string> encodeRecord(const KelbyAudioAppItem& record);
[[nodiscard]] std::optional<KelbyAudioAppItem> decodeRecord(std::string_view text,
                                                            suite::RecordTag<KelbyAudioAppItem>);
std::optional<std::string> encodeRecord(const KelbyLiveStatus& record);
[[nodiscard]] std::optional<KelbyLiveStatus> decodeRecord(std::string_view text,
                                                          suite::RecordTag<KelbyLiveStatus>);
std::optional<std::string> encodeRecord(const LankinLiveStatus& record);
[[nodiscard]] std::optional<LankinLiveStatus> decodeRecord(std::string_view text,
                                                           suite::RecordTag<LankinLiveStatus>);

} // namespace tarn
