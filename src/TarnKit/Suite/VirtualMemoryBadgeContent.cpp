#include "TarnKit/Suite/VirtualMemoryBadgeContent.h"

#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/Utilities/TarnByteFormatter.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

namespace tarn::suitewidgets {
namespace {

using TarnByteFormatter::format;

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty())
            text += ", ";
        text += name;
    }
    return text;
}

std::string usedOfTotal(std::int64_t used, std::int64_t total) {
    return format(used) + " / " + format(total);
}

constexpr std::string_view kExpansionSymbol = symbolNamed("externaldrive.badge.timemachine");

} // namespace

HeaderPillContent headerPillContent(const TarnVirtualMemorySummary& summary,
                                    TarnLanguage language) {
    const bool expanded = summary.isHeddleVirtualExpansionActive();
    TarnColor colour = cyan;
    switch (pressureLevel(summary.pressureLevel)) {
    case PressureLevel::critical:
        colour = TarnGlassTokens::danger;
        break;
    case PressureLevel::warning:
        colour = expanded ? violet : TarnGlassTokens::warning;
        break;
    case PressureLevel::normal:
        colour = expanded ? violet : cyan;
        break;
    }
    const std::string badge = summary.compactBadgeText();
    const std::string suffix = badge.empty() ? " ON" : ": " + badge;
    return {colour, expanded ? kExpansionSymbol : symbolNamed("memorychip"),
            tarnText("VM" + suffix, "Sanal Bellek" + suffix, language),
            tarnText("Virtual Memory active — click to open Heddle",
                     "Sanal Bellek aktif — Heddle ile yönetmek için tıklayın", language)};
}

void openHeddle(const SuiteActionPorts& ports) {
    if (ports.desktop != nullptr)
        suiteapp::launch(TarnSuiteApp::heddle, *ports.desktop);
}

GaugeCardContent gaugeCardContent(const TarnVirtualMemorySummary& summary, TarnLanguage language,
                                  bool heddleInstalled) {
    GaugeCardContent content;
    const bool vmActive = summary.isAnyVirtualMemoryActive();
    if (pressureLevel(summary.pressureLevel) == PressureLevel::critical)
        content.statusColour = TarnGlassTokens::danger;
    else if (summary.isHeddleVirtualExpansionActive())
        content.statusColour = violet;
    else if (summary.swapUsedBytes > 0)
        content.statusColour = cyan;
    else
        content.statusColour = TarnGlassTokens::success;

    content.title =
        tarnText("Virtual Memory & Heddle Pools", "Sanal Bellek & Heddle Havuzları", language);
    content.badges.push_back(
        {vmActive ? tarnText("ACTIVE", "AÇIK", language) : tarnText("STANDBY", "HAZIR", language),
         content.statusColour, withOpacity(content.statusColour, 0.22), true, true, 7});
    if (summary.isHeddleRunning)
        content.badges.push_back({"Heddle Live", TarnGlassTokens::success,
                                  withOpacity(TarnGlassTokens::success, 0.18), false, false, 6});
    const std::int64_t allocated = summary.totalVirtualAllocatedBytes();
    if (allocated >= 1) {
        const std::string capacity = format(summary.totalEffectiveMemoryCapacityBytes());
        content.badges.push_back(
            {tarnText("Effective: " + capacity, "Efektif: " + capacity, language),
             TarnGlassTokens::textSecondary, TarnGlassTokens::surface2, false, true, 6});
    }

    const double physical = summary.physicalUsedPercent();
    content.gauges[0] = {tarnText("Physical RAM", "Fiziksel RAM", language),
                         usedOfTotal(summary.physicalUsedBytes, summary.physicalTotalBytes) + " (" +
                             percentText(physical) + ")",
                         physical / 100, true, TarnGlassTokens::textPrimary};
    const double virtualPercent = summary.virtualUsedPercent();
    content.gauges[1] = {
        tarnText("Virtual RAM Area (Swap + Heddle)", "Sanal RAM Alanı (Swap + Heddle)", language),
        allocated < 1 ? tarnText("0 B (Standby)", "0 B (Boşta)", language)
                      : usedOfTotal(summary.totalVirtualUsedBytes(), allocated) + " (" +
                            percentText(virtualPercent) + ")",
        virtualPercent / 100, false, content.statusColour};

    // The swap is the system's own; the platform's name for it is Linux's.
    std::string swapLabel = "Linux Swap";
    if (summary.swapFileCount >= 1)
        swapLabel += " (" + decimal(summary.swapFileCount) + ")";
    content.stats[0] = {swapLabel, usedOfTotal(summary.swapUsedBytes, summary.swapTotalBytes),
                        summary.swapTotalBytes >= 1
                            ? percentText(summary.swapUsedPercent()) + " • " +
                                  (summary.swapEncrypted ? "AES-XTS" : "Plain")
                            : std::string(),
                        summary.swapUsedBytes >= 1 ? cyan : TarnGlassTokens::textSecondary};
    const std::string off = tarnText("Off", "Kapalı", language);
    const bool pools = summary.activeDiskPoolCount >= 1;
    content.stats[1] = {
        tarnText("mmap Disk Pools", "Disk Bellek Havuzu", language),
        pools ? usedOfTotal(summary.diskPoolActualDiskBytes, summary.diskPoolVirtualBytes) : off,
        joined(summary.diskPoolNames), pools ? violet : TarnGlassTokens::textMuted};
    // Heddle's virtual disks are sparse images on Linux, not the other
    // system's disk format.
    const bool sparse = summary.mountedSparseDiskCount >= 1;
    content.stats[2] = {
        tarnText("Virtual Sparse Disk", "Sanal Seyrek Disk", language),
        sparse ? usedOfTotal(summary.sparseDiskActualBytes, summary.sparseDiskVirtualBytes) : off,
        joined(summary.sparseDiskNames), sparse ? mint : TarnGlassTokens::textMuted};
    const bool ramDisks = summary.mountedRAMDiskCount >= 1;
    const std::string frozen = decimal(summary.frozenAppCount) + " ";
    content.stats[3] = {tarnText("RAM-Disk / Frozen", "RAM-Disk / Donuk", language),
                        ramDisks ? format(summary.ramDiskTotalBytes)
                                 : tarnText(frozen + "frozen", frozen + "donuk", language),
                        summary.reclaimedFromFrozenBytes >= 1
                            ? "↓ " + format(summary.reclaimedFromFrozenBytes)
                            : joined(summary.ramDiskNames),
                        ramDisks || summary.frozenAppCount >= 1 ? TarnGlassTokens::warning
                                                                : TarnGlassTokens::textMuted};

    if (heddleInstalled) {
        content.buttons.push_back({TarnSuiteCommandKind::heddleSmartOffload,
                                   tarnText("Smart Offload", "Akıllı RAM Aç", language),
                                   symbolNamed("bolt.fill"), true,
                                   tarnText("Triggered Heddle Smart RAM Offload",
                                            "Heddle Akıllı RAM Açma tetiklendi", language)});
        if (summary.frozenAppCount >= 1) {
            const std::string count = decimal(summary.frozenAppCount) + ")";
            content.buttons.push_back(
                {TarnSuiteCommandKind::heddleThawAll,
                 tarnText("Thaw (" + count, "Uyandır (" + count, language),
                 symbolNamed("sun.max.fill"), false,
                 tarnText("Sent Thaw All to Heddle", "Heddle donukları uyandırma komutu gönderildi",
                          language)});
        }
        content.buttons.push_back({TarnSuiteCommandKind::heddleOpenDiskLab,
                                   tarnText("Disk Lab", "Disk Lab", language), kExpansionSymbol,
                                   false, std::nullopt});
    }
    return content;
}

std::optional<std::string> pressGaugeCardButton(const SuiteActionPorts& ports,
                                                const GaugeCardButton& button,
                                                TarnSuiteApp sourceApp) {
    if (!succeeded(sendSuiteAction(ports, button.kind, sourceApp)))
        return std::nullopt;
    return button.confirmation;
}

} // namespace tarn::suitewidgets
