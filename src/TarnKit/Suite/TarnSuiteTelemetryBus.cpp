#include "TarnKit/Suite/TarnSuiteTelemetryBus.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tarn {
namespace {

constexpr std::string_view kLiveTilesFolder = "LiveTiles";
// The one fixed window: the virtual-memory summary trusts Heddle this long.
constexpr double kHeddleSummaryWindowSeconds = 18;

std::filesystem::path tileFile(const std::filesystem::path& base, TarnSuiteApp app) {
    return base / kLiveTilesFolder / (suiteapp::lowercasedRawValue(app) + ".json");
}

bool qualifies(const TarnScreenRect& dragged, const std::optional<TarnScreenRect>& target) {
    if (!target || !(dragged.width > 1 && dragged.height > 1) ||
        !(target->width > 1 && target->height > 1))
        return false;
    // Containment: minimum edges inside, maximum edges outside.
    const double midX = dragged.midX();
    const double midY = dragged.midY();
    if (midX >= target->minX() && midX < target->maxX() && midY >= target->minY() &&
        midY < target->maxY())
        return true;
    const double width =
        std::min(dragged.maxX(), target->maxX()) - std::max(dragged.minX(), target->minX());
    const double height =
        std::min(dragged.maxY(), target->maxY()) - std::max(dragged.minY(), target->minY());
    if (!(width > 0 && height > 0))
        return false;
    return width * height / (dragged.width * dragged.height) >= 0.22;
}

} // namespace

namespace suite {

bool writePrivateFile(const std::filesystem::path& file, std::string_view bytes) {
    try {
        files::createDirectories(file.parent_path());
        files::writeAtomically(file, bytes, 0600);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::string> readFileQuietly(const std::filesystem::path& file) {
    try {
        return files::readFile(file);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace suite

std::filesystem::path TarnSuiteTelemetryBus::defaultDirectory() {
    return files::applicationSupportDirectory() / "Corvane" / "SuiteTelemetry";
}

std::string TarnSuiteTelemetryBus::telemetryUpdatedNotification() {
    return std::string(buildinfo::suitePrefix) + ".suite.telemetryUpdated";
}

std::string TarnSuiteTelemetryBus::focusDockHoverNotification() {
    return std::string(buildinfo::suitePrefix) + ".suite.focusDockHover";
}

TarnSuiteTelemetryBus::TarnSuiteTelemetryBus(std::optional<std::filesystem::path> baseDirectory,
                                             DistributedNotificationCenter* notifications,
                                             std::optional<VirtualMemorySources> memorySources)
    : m_baseDirectory(baseDirectory ? std::move(*baseDirectory) : defaultDirectory()),
      m_notifications(notifications), m_memorySources(std::move(memorySources)) {}

std::optional<std::string> TarnSuiteTelemetryBus::statusFileName(TarnSuiteApp app) {
    switch (app) {
    case TarnSuiteApp::heddle:
    case TarnSuiteApp::sketto:
    case TarnSuiteApp::tavlor:
    case TarnSuiteApp::kelby:
    case TarnSuiteApp::lankin:
    case TarnSuiteApp::orrin:
    case TarnSuiteApp::pitlow:
        return suiteapp::lowercasedRawValue(app) + "-live.json";
    default:
        return std::nullopt;
    }
}

void TarnSuiteTelemetryBus::notifyUpdated() {
    if (m_notifications != nullptr)
        m_notifications->post(telemetryUpdatedNotification());
}

template <class Record>
bool TarnSuiteTelemetryBus::publish(TarnSuiteApp app, const Record& record, bool notifyPeers) {
    const std::optional<std::string> bytes = suite::encode(record);
    const bool written =
        bytes && suite::writePrivateFile(m_baseDirectory / *statusFileName(app), *bytes);
    // Peers re-read even after a failed write and find the previous file.
    if (notifyPeers)
        notifyUpdated();
    return written;
}

template <class Record>
std::optional<Record> TarnSuiteTelemetryBus::read(TarnSuiteApp app, suite::Date now,
                                                  double maxAgeSeconds) const {
    const std::optional<std::string> bytes =
        suite::readFileQuietly(m_baseDirectory / *statusFileName(app));
    if (!bytes)
        return std::nullopt;
    std::optional<Record> record = suite::decode<Record>(*bytes);
    if (!record || !record->isFresh(now, maxAgeSeconds))
        return std::nullopt;
    return record;
}

bool TarnSuiteTelemetryBus::publishHeddleStatus(const HeddleLiveStatus& status, bool notifyPeers) {
    return publish(TarnSuiteApp::heddle, status, notifyPeers);
}
bool TarnSuiteTelemetryBus::publishSkettoStatus(const SkettoLiveStatus& status) {
    return publish(TarnSuiteApp::sketto, status, false);
}
bool TarnSuiteTelemetryBus::publishTavlorStatus(const TavlorLiveStatus& status) {
    return publish(TarnSuiteApp::tavlor, status, false);
}
bool TarnSuiteTelemetryBus::publishKelbyStatus(const KelbyLiveStatus& status, bool notifyPeers) {
    return publish(TarnSuiteApp::kelby, status, notifyPeers);
}
bool TarnSuiteTelemetryBus::publishLankinStatus(const LankinLiveStatus& status, bool notifyPeers) {
    return publish(TarnSuiteApp::lankin, status, notifyPeers);
}
bool TarnSuiteTelemetryBus::publishOrrinStatus(const OrrinLiveStatus& status, bool notifyPeers) {
    return publish(TarnSuiteApp::orrin, status, notifyPeers);
}
bool TarnSuiteTelemetryBus::publishPitlowStatus(const PitlowLiveStatus& status, bool notifyPeers) {
    return publish(TarnSuiteApp::pitlow, status, notifyPeers);
}

std::optional<HeddleLiveStatus>
TarnSuiteTelemetryBus::readHeddleStatus(suite::Date now, double maxAgeSeconds) const {
    return read<HeddleLiveStatus>(TarnSuiteApp::heddle, now, maxAgeSeconds);
}
std::optional<SkettoLiveStatus>
TarnSuiteTelemetryBus::readSkettoStatus(suite::Date now, double maxAgeSeconds) const {
    return read<SkettoLiveStatus>(TarnSuiteApp::sketto, now, maxAgeSeconds);
}
std::optional<TavlorLiveStatus>
TarnSuiteTelemetryBus::readTavlorStatus(suite::Date now, double maxAgeSeconds) const {
    return read<TavlorLiveStatus>(TarnSuiteApp::tavlor, now, maxAgeSeconds);
}
std::optional<KelbyLiveStatus> TarnSuiteTelemetryBus::readKelbyStatus(suite::Date now,
                                                                      double maxAgeSeconds) const {
    return read<KelbyLiveStatus>(TarnSuiteApp::kelby, now, maxAgeSeconds);
}
std::optional<LankinLiveStatus>
TarnSuiteTelemetryBus::readLankinStatus(suite::Date now, double maxAgeSeconds) const {
    return read<LankinLiveStatus>(TarnSuiteApp::lankin, now, maxAgeSeconds);
}
std::optional<OrrinLiveStatus> TarnSuiteTelemetryBus::readOrrinStatus(suite::Date now,
                                                                      double maxAgeSeconds) const {
    return read<OrrinLiveStatus>(TarnSuiteApp::orrin, now, maxAgeSeconds);
}
std::optional<PitlowLiveStatus>
TarnSuiteTelemetryBus::readPitlowStatus(suite::Date now, double maxAgeSeconds) const {
    return read<PitlowLiveStatus>(TarnSuiteApp::pitlow, now, maxAgeSeconds);
}

void TarnSuiteTelemetryBus::clearStatus(TarnSuiteApp app) {
    if (const std::optional<std::string> name = statusFileName(app)) {
        std::error_code ignored;
        std::filesystem::remove(m_baseDirectory / *name, ignored);
    }
}

bool TarnSuiteTelemetryBus::publishLiveTile(const TarnLiveActivityTile& tile, bool notifyPeers) {
    const std::optional<std::string> bytes = suite::encode(tile);
    if (!bytes)
        return false;
    const bool written = suite::writePrivateFile(tileFile(m_baseDirectory, tile.app), *bytes);
    if (notifyPeers)
        notifyUpdated();
    return written;
}

void TarnSuiteTelemetryBus::clearLiveTile(TarnSuiteApp app) {
    std::error_code ignored;
    std::filesystem::remove(tileFile(m_baseDirectory, app), ignored);
}

std::vector<TarnLiveActivityTile> TarnSuiteTelemetryBus::readLiveTiles(suite::Date now,
                                                                       double maxAgeSeconds) const {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(m_baseDirectory / kLiveTilesFolder, error)) {
        const std::filesystem::path& path = entry.path();
        if (path.filename().string().starts_with(".") ||
            text::lowercased(path.extension().string()) != ".json")
            continue;
        files.push_back(path);
    }
    // The listing order of a folder is the file system's whim; ties are
    // broken by name so that readers agree.
    std::sort(files.begin(), files.end());

    std::vector<TarnLiveActivityTile> tiles;
    tiles.reserve(files.size());
    for (const std::filesystem::path& file : files) {
        const std::optional<std::string> bytes = suite::readFileQuietly(file);
        if (!bytes)
            continue;
        std::optional<TarnLiveActivityTile> tile = suite::decode<TarnLiveActivityTile>(*bytes);
        if (tile && tile->isFresh(now, maxAgeSeconds))
            tiles.push_back(std::move(*tile));
    }
    std::stable_sort(tiles.begin(), tiles.end(),
                     [](const TarnLiveActivityTile& a, const TarnLiveActivityTile& b) {
                         if (a.priority != b.priority)
                             return a.priority > b.priority;
                         return a.timestamp > b.timestamp;
                     });
    return tiles;
}

NotificationSubscription
TarnSuiteTelemetryBus::observeTelemetryUpdates(std::function<void()> handler) {
    if (m_notifications == nullptr)
        return {};
    return m_notifications->subscribe(
        telemetryUpdatedNotification(),
        [handler = std::move(handler)](const std::optional<std::string>&) { handler(); });
}

bool TarnSuiteTelemetryBus::postFocusDockHoverTarget(const std::optional<std::string>& target) {
    if (m_notifications == nullptr)
        return false;
    return m_notifications->post(focusDockHoverNotification(),
                                 target ? std::string_view(*target) : "none");
}

NotificationSubscription TarnSuiteTelemetryBus::observeFocusDockHover(
    std::function<void(std::optional<std::string>)> handler) {
    if (m_notifications == nullptr)
        return {};
    return m_notifications->subscribe(
        focusDockHoverNotification(),
        [handler = std::move(handler)](const std::optional<std::string>& object) {
            if (object == "mini" || object == "studio")
                handler(object);
            else
                handler(std::nullopt);
        });
}

std::optional<std::string>
TarnSuiteTelemetryBus::detectDockDropTarget(const TarnScreenRect& draggedFrame,
                                            const std::optional<TarnScreenRect>& miniFrame,
                                            const std::optional<TarnScreenRect>& studioFrame) {
    if (qualifies(draggedFrame, miniFrame))
        return "mini";
    if (qualifies(draggedFrame, studioFrame))
        return "studio";
    return std::nullopt;
}

TarnVirtualMemorySummary TarnSuiteTelemetryBus::readVirtualMemorySummary(suite::Date now) const {
    const VirtualMemorySources sources =
        m_memorySources ? *m_memorySources : VirtualMemorySources::system();
    const kernelmemory::Statistics kernel = kernelmemory::read(sources.kernel);
    if (const auto heddle = readHeddleStatus(now, kHeddleSummaryWindowSeconds))
        return TarnVirtualMemorySummary::fromHeddle(*heddle, kernel);
    return TarnVirtualMemorySummary::fromKernel(kernel, scanMountedSparseDisks(sources));
}

} // namespace tarn
