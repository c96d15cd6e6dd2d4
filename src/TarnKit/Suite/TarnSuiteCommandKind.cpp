#include "TarnKit/Suite/TarnSuiteCommandKind.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tarn::commandkind {
namespace {

// In declaration order: the name of case i is kNames[i].
constexpr std::array<std::string_view, 139> kNames = {
    "heddleSmartOffload",
    "heddleBalancedOffload",
    "heddleThawAll",
    "heddleFreezePID",
    "heddleOpenDiskLab",
    "heddleOpenAppFreezer",
    "heddleToggleHUD",
    "tavlorAllFrozen",
    "tavlorOpenCrosshair",
    "tavlorToggleQuickHUD",
    "tavlorProcessTree",
    "tavlorInspectPID",
    "tavlorOpenAnalytics24h",
    "tavlorOpenStartup",
    "tavlorOpenPorts",
    "skettoToggleHUD",
    "skettoOpenMemoryDisk",
    "skettoOpenThermalsPower",
    "skettoStartThermalBenchmark",
    "ulvernToggleTopUp",
    "morwickToggleDictation",
    "fosswickNewIdentity",
    "fosswickToggleConnection",
    "emmerlyToggleCapture",
    "nabbetToggleExpanded",
    "quillerImportRequest",
    "gorranOpenMediaURL",
    "bextonOpenSFTPHost",
    "dunstelToggleShield",
    "dunstelSwitchProfile",
    "dunmereRunWorkflow",
    "braskQuickSearch",
    "jarrowSaveURL",
    "norvaleOpenAudioFile",
    "ossoryNewBoard",
    "pendleToggleRuler",
    "lankinTogglePlayPause",
    "lankinNextTrack",
    "lankinPreviousTrack",
    "lankinSetVolume",
    "aldrickConnectDevice",
    "kelbyToggleAppMute",
    "kelbyMuteAllActive",
    "kelbyUnmuteAll",
    "wexleyAskPrompt",
    "wexleyIndexFolder",
    "wexleyToggleQuickBar",
    "yarrelCompose",
    "yarrelSyncNow",
    "yarrelOpenUnread",
    "jessopOpenConnection",
    "jessopRunQuery",
    "jessopOpenSQLiteFile",
    "kirvelStartAll",
    "kirvelStopAll",
    "kirvelOpenSite",
    "kirvelParkFolder",
    "kirvelToggleTLS",
    "lorcanLockVault",
    "lorcanUnlockVault",
    "lorcanQuickSearch",
    "lorcanCopyTOTP",
    "lorcanInjectEnv",
    "mardleRefresh",
    "mardleStartAll",
    "mardleStopAll",
    "mardleOpenLogs",
    "mardlePruneDangling",
    "orvellOpenRepo",
    "orvellRefresh",
    "orvellOpenWorktrees",
    "orvellGenerateAICommit",
    "nimbrelRefreshDrives",
    "nimbrelEjectAllExternal",
    "nimbrelInspectLocks",
    "nimbrelOpenFlasher",
    "nimbrelOpenBenchmark",
    "zennorOpenFile",
    "zennorRunSQL",
    "zennorOpenDemo",
    "pashleyToggleLockdown",
    "pashleySetMode",
    "pashleySwitchProfile",
    "pashleyBlockProcess",
    "pashleyOpenAudit",
    "pashleySimulateAlert",
    "quintelRefresh",
    "quintelStartMachine",
    "quintelStopMachine",
    "quintelCreateSnapshot",
    "quintelLaunchBurner",
    "quorrelOpenImage",
    "quorrelQuickUpscale",
    "quorrelRemoveBackground",
    "quorrelOpenBatch",
    "rudwickScanDevices",
    "rudwickStartBackup",
    "rudwickExportMessages",
    "rudwickOpenFiles",
    "selborneScanSnapshots",
    "selborneStartCarve",
    "selborneOpenRepair",
    "selborneOpenDiskImage",
    "urwickConnect",
    "urwickDisconnect",
    "urwickToggle",
    "urwickSwitchTopology",
    "urwickNewTorIdentity",
    "urwickToggleKillSwitch",
    "urwickImportURI",
    "abbrinOpenPath",
    "abbrinRevealPath",
    "abbrinOpenDualPane",
    "abbrinOpenDiff",
    "abbrinOpenBatchRename",
    "abbrinToggleShelf",
    "vantryRunAll",
    "vantryRunPlan",
    "vantryOpenTimeTravel",
    "vantryOpenVerify",
    "vantryBindVolume",
    "orrinStartTaskSession",
    "orrinOpenMiniHUD",
    "orrinTogglePause",
    "orrinStopSession",
    "orrinAddFiveMinutes",
    "orrinCompleteSession",
    "orrinToggleHUD",
    "orrinToggleShield",
    "orrinToggleAmbient",
    "orrinUndockFromPitlow",
    "orrinSyncProjectRules",
    "pitlowOpenQuickCapture",
    "pitlowOpenMiniCompanion",
    "pitlowDockOrrinHUD",
    "pitlowSelectTask",
    "pitlowCompleteTask",
    "pitlowRefreshFromOrrin",
    "pitlowOpenToday",
};

constexpr std::array<TarnSuiteCommandKind, kNames.size()> kAllCases = [] {
    std::array<TarnSuiteCommandKind, kNames.size()> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = static_cast<TarnSuiteCommandKind>(i);
    return cases;
}();
static_assert(kAllCases.back() == TarnSuiteCommandKind::pitlowOpenToday);

using NameIndex = std::array<std::pair<std::string_view, TarnSuiteCommandKind>, kNames.size()>;

constexpr NameIndex kNameIndex = [] {
    NameIndex index{};
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = {kNames[i], static_cast<TarnSuiteCommandKind>(i)};
    std::sort(index.begin(), index.end());
    return index;
}();

} // namespace

std::span<const TarnSuiteCommandKind> allCases() {
    return kAllCases;
}

std::string_view rawValue(TarnSuiteCommandKind kind) {
    return kNames[static_cast<std::size_t>(kind)];
}

std::optional<TarnSuiteCommandKind> fromRaw(std::string_view text) {
    const auto found =
        std::lower_bound(kNameIndex.begin(), kNameIndex.end(), text,
                         [](const auto& entry, std::string_view key) { return entry.first < key; });
    if (found == kNameIndex.end() || found->first != text)
        return std::nullopt;
    return found->second;
}

} // namespace tarn::commandkind
