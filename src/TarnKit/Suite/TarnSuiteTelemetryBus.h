#pragma once

#include "TarnKit/Suite/DistributedNotificationCenter.h"
#include "TarnKit/Suite/HeddleLiveStatus.h"
#include "TarnKit/Suite/KelbyLiveStatus.h"
#include "TarnKit/Suite/OrrinLiveStatus.h"
#include "TarnKit/Suite/PitlowLiveStatus.h"
#include "TarnKit/Suite/SkettoLiveStatus.h"
#include "TarnKit/Suite/TarnLiveActivityTile.h"
#include "TarnKit/Suite/TarnSuiteApp.h"
#include "TarnKit/Suite/TarnVirtualMemorySummary.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The shared, file-based channel through which the suite applications tell
// each other what they are doing: one live-status file per status
// application and one live tile per application in the telemetry folder,
// announced by a distributed notification so that peers re-read at once.
//
// Writers replace whole files atomically (folders 0700, files 0600: a live
// status says what the user is doing and is nobody else's business); readers
// take a record only while it is fresh and its writer alive. Nothing is
// cached and nothing is locked. No operation throws: writers answer whether
// the file was written, readers a record or nothing.
//
// Every member may be called from any thread, except the observe functions
// (main thread). The bus does not own the notification centre, which must
// outlive it; without one, nothing is posted and nothing can be observed.
class TarnSuiteTelemetryBus {
public:
    // "<application support>/Corvane/SuiteTelemetry".
    static std::filesystem::path defaultDirectory();

    static std::string telemetryUpdatedNotification();
    static std::string focusDockHoverNotification();

    // nullopt: the default folder; another folder is used as given.
    explicit TarnSuiteTelemetryBus(
        std::optional<std::filesystem::path> baseDirectory = std::nullopt,
        DistributedNotificationCenter* notifications = nullptr,
        std::optional<VirtualMemorySources> memorySources = std::nullopt);

    const std::filesystem::path& baseDirectory() const { return m_baseDirectory; }

    bool publishHeddleStatus(const HeddleLiveStatus& status, bool notifyPeers);
    bool publishSkettoStatus(const SkettoLiveStatus& status);
    bool publishTavlorStatus(const TavlorLiveStatus& status);
    bool publishKelbyStatus(const KelbyLiveStatus& status, bool notifyPeers);
    bool publishLankinStatus(const LankinLiveStatus& status, bool notifyPeers);
    bool publishOrrinStatus(const OrrinLiveStatus& status, bool notifyPeers);
    bool publishPitlowStatus(const PitlowLiveStatus& status, bool notifyPeers);

    std::optional<HeddleLiveStatus> readHeddleStatus(suite::Date now, double maxAgeSeconds) const;
    std::optional<SkettoLiveStatus> readSkettoStatus(suite::Date now, double maxAgeSeconds) const;
    std::optional<TavlorLiveStatus> readTavlorStatus(suite::Date now, double maxAgeSeconds) const;
    std::optional<KelbyLiveStatus> readKelbyStatus(suite::Date now, double maxAgeSeconds) const;
    std::optional<LankinLiveStatus> readLankinStatus(suite::Date now, double maxAgeSeconds) const;
    std::optional<OrrinLiveStatus> readOrrinStatus(suite::Date now, double maxAgeSeconds) const;
    std::optional<PitlowLiveStatus> readPitlowStatus(suite::Date now, double maxAgeSeconds) const;

    // Deletes the application's status file; nothing for an application
    // without one.
    void clearStatus(TarnSuiteApp app);
    // The file of a status application ("heddle-live.json"), else nothing.
    static std::optional<std::string> statusFileName(TarnSuiteApp app);

    // Writes "LiveTiles/<lower-cased raw value>.json". A tile that cannot be
    // encoded is neither written nor announced.
    bool publishLiveTile(const TarnLiveActivityTile& tile, bool notifyPeers);
    void clearLiveTile(TarnSuiteApp app);
    // Every fresh tile of a live sender: files ending in ".json" in any
    // letter case, hidden files skipped; higher priority first, then the
    // newer, then by file name.
    std::vector<TarnLiveActivityTile> readLiveTiles(suite::Date now, double maxAgeSeconds) const;

    // The handler runs on the main executor, once per notification.
    NotificationSubscription observeTelemetryUpdates(std::function<void()> handler);

    static bool isPIDAlive(std::int32_t pid) { return suite::isPIDAlive(pid); }

    // Focus-dock hover: "mini", "studio", or "none" for no target.
    bool postFocusDockHoverTarget(const std::optional<std::string>& target);
    // The handler receives "mini" or "studio", and nothing for anything else.
    NotificationSubscription
    observeFocusDockHover(std::function<void(std::optional<std::string>)> handler);
    // "mini" when the dragged frame is over the mini panel (centre inside, or
    // at least 22 % of its area overlapping), else "studio" by the same test,
    // else nothing. Frames of 1 point or less in either direction never qualify.
    static std::optional<std::string>
    detectDockDropTarget(const TarnScreenRect& draggedFrame,
                         const std::optional<TarnScreenRect>& miniFrame,
                         const std::optional<TarnScreenRect>& studioFrame);

    // From Heddle's status when it is at most 18 s from `now` and its writer
    // lives, else from the kernel and the mounted sparse disks.
    TarnVirtualMemorySummary readVirtualMemorySummary(suite::Date now) const;

private:
    template <class Record> bool publish(TarnSuiteApp app, const Record& record, bool notifyPeers);
    template <class Record>
    std::optional<Record> read(TarnSuiteApp app, suite::Date now, double maxAgeSeconds) const;
    void notifyUpdated();

    std::filesystem::path m_baseDirectory;
    DistributedNotificationCenter* m_notifications;
    std::optional<VirtualMemorySources> m_memorySources;
};

namespace suite {

// Writes `bytes` whole and atomically to `file`, creating missing folders
// 0700 and the file 0600; false on any failure.
bool writePrivateFile(const std::filesystem::path& file, std::string_view bytes);
// The file's content, or nothing when it is missing or unreadable.
std::optional<std::string> readFileQuietly(const std::filesystem::path& file);

} // namespace suite
} // namespace tarn
