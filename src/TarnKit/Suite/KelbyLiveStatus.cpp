#include "TarnKit/Suite/KelbyLiveStatus.h"

#include "TarnKit/Suite/SuiteNumbers.h"
#include "TarnKit/Suite/SuiteRecordCoding.h"

#include <algorithm>
#include <limits>

namespace tarn {

KelbyAudioAppItem KelbyAudioAppItem::make(KelbyAudioAppItem fields) {
    fields.volume = suite::clamped(fields.volume, 0, 2);
    fields.rmsLevel = static_cast<float>(
        suite::clamped(fields.rmsLevel, 0, std::numeric_limits<double>::infinity()));
    return fields;
}

KelbyLiveStatus KelbyLiveStatus::make(KelbyLiveStatus fields) {
    fields.masterVolume = suite::clamped(fields.masterVolume, 0, 1);
    return fields;
}

std::int64_t KelbyLiveStatus::activePlayingCount() const {
    return std::count_if(channels.begin(), channels.end(),
                         [](const KelbyAudioAppItem& c) { return c.isPlayingAudio && !c.isMuted; });
}

std::int64_t KelbyLiveStatus::mutedCount() const {
    return std::count_if(channels.begin(), channels.end(),
                         [](const KelbyAudioAppItem& c) { return c.isMuted; });
}

LankinLiveStatus LankinLiveStatus::make(LankinLiveStatus fields) {
    const double unbounded = std::numeric_limits<double>::infinity();
    fields.elapsedSeconds = suite::clamped(fields.elapsedSeconds, 0, unbounded);
    fields.durationSeconds = suite::clamped(fields.durationSeconds, 0, unbounded);
    fields.volume = suite::clamped(fields.volume, 0, 1);
    return fields;
}

double LankinLiveStatus::progress() const {
    if (!(durationSeconds > 0))
        return 0;
    return suite::clamped(elapsedSeconds / durationSeconds, 0, 1);
}

void writeFields(suite::detail::FieldWriter& out, const KelbyAudioAppItem& r) {
    out.add("id", r.id);
    out.add("bundleID", r.bundleID);
    out.add("appName", r.appName);
    out.add("isPlayingAudio", r.isPlayingAudio);
    out.add("isMuted", r.isMuted);
    out.add("volume", r.volume);
    out.add("rmsLevel", r.rmsLevel);
}

KelbyAudioAppItem readFields(const suite::detail::FieldReader& in,
                             suite::RecordTag<KelbyAudioAppItem>) {
    KelbyAudioAppItem r;
    r.id = in.required<std::string>("id");
    r.bundleID = in.required<std::string>("bundleID");
    r.appName = in.required<std::string>("appName");
    r.isPlayingAudio = in.required<bool>("isPlayingAudio");
    r.isMuted = in.required<bool>("isMuted");
    r.volume = in.required<double>("volume");
    r.rmsLevel = in.required<float>("rmsLevel");
    return r;
}

void writeFields(suite::detail::FieldWriter& out, const KelbyLiveStatus& r) {
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("masterVolume", r.masterVolume);
    out.add("outputDeviceName", r.outputDeviceName);
    out.add("channels", r.channels);
}

KelbyLiveStatus readFields(const suite::detail::FieldReader& in,
                           suite::RecordTag<KelbyLiveStatus>) {
    KelbyLiveStatus r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.masterVolume = in.required<double>("masterVolume");
    r.outputDeviceName = in.required<std::string>("outputDeviceName");
    r.channels = in.required<std::vector<KelbyAudioAppItem>>("channels");
    return r;
}

void writeFields(suite::detail::FieldWriter& out, const LankinLiveStatus& r) {
    out.add("timestamp", r.timestamp);
    out.add("senderPID", r.senderPID);
    out.add("title", r.title);
    out.add("artist", r.artist);
    out.add("album", r.album);
    out.add("qualityBadge", r.qualityBadge);
    out.add("isPlaying", r.isPlaying);
    out.add("elapsedSeconds", r.elapsedSeconds);
    out.add("durationSeconds", r.durationSeconds);
    out.add("volume", r.volume);
}

LankinLiveStatus readFields(const suite::detail::FieldReader& in,
                            suite::RecordTag<LankinLiveStatus>) {
    LankinLiveStatus r;
    r.timestamp = in.required<suite::Date>("timestamp");
    r.senderPID = in.required<std::int32_t>("senderPID");
    r.title = in.required<std::string>("title");
    r.artist = in.required<std::string>("artist");
    r.album = in.required<std::string>("album");
    r.qualityBadge = in.required<std::string>("qualityBadge");
    r.isPlaying = in.required<bool>("isPlaying");
    r.elapsedSeconds = in.required<double>("elapsedSeconds");
    r.durationSeconds = in.required<double>("durationSeconds");
    r.volume = in.required<double>("volume");
    return r;
}

TARN_SUITE_RECORD_CODEC(KelbyAudioAppItem)
TARN_SUITE_RECORD_CODEC(KelbyLiveStatus)
TARN_SUITE_RECORD_CODEC(LankinLiveStatus)

} // namespace tarn
