#include "TarnKit/Suite/SuiteQuickActionsContent.h"

#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <array>

namespace tarn::suitewidgets {
namespace {

using Kind = TarnSuiteCommandKind;

enum class Shown { always, thawing, fullLayoutOnly, killing };

// One row of the strip's table.
struct ChipRow {
    Kind kind;
    TarnSuiteApp group;
    std::string_view titleEN;
    std::string_view titleTR;
    std::string_view symbol;
    TarnColor tint;
    Shown shown;
    std::string_view helpEN;
    std::string_view helpTR;
    std::string_view confirmationEN;
    std::string_view confirmationTR;
};

constexpr std::array<ChipRow, 9> kChips{{
    {Kind::heddleSmartOffload, TarnSuiteApp::heddle, "Smart RAM Offload", "Akıllı RAM Aç",
     symbolNamed("bolt.fill"), violet, Shown::always,
     "Trigger Heddle smart memory offload in the background",
     "Arka planda Heddle akıllı bellek rahatlatmayı çalıştır", "Sent Smart RAM Offload to Heddle",
     "Heddle Akıllı RAM Açma tetiklendi"},
    {Kind::heddleThawAll, TarnSuiteApp::heddle, "Thaw Apps (", "Donukları Uyandır (",
     symbolNamed("sun.max.fill"), TarnGlassTokens::warning, Shown::thawing,
     "Resume all apps frozen by Heddle", "Heddle tarafından dondurulan tüm uygulamaları uyandır",
     "Sent Thaw All command to Heddle", "Heddle tüm donukları uyandırma komutu gönderildi"},
    {Kind::heddleOpenDiskLab, TarnSuiteApp::heddle, "Virtual Disk Lab", "Sanal Disk Lab",
     symbolNamed("externaldrive.badge.timemachine"), violet, Shown::fullLayoutOnly,
     "Open Heddle Virtual Disk & mmap Pool Lab",
     "Heddle Sanal Disk ve Bellek Havuzu Laboratuvarını aç", "Opening Heddle Virtual Disk Lab",
     "Heddle Sanal Disk Laboratuvarı açılıyor"},
    {Kind::tavlorAllFrozen, TarnSuiteApp::tavlor, "Kill Frozen", "Donmuşları Öldür",
     symbolNamed("xmark.octagon.fill"), TarnGlassTokens::danger, Shown::killing,
     "Terminate unresponsive or frozen apps via Tavlor",
     "Yanıt vermeyen/donmuş uygulamaları Tavlor ile sonlandır",
     "Sent Kill All Frozen command to Tavlor",
     "Tavlor'e donmuş uygulamaları öldürme komutu gönderildi"},
    {Kind::tavlorOpenCrosshair, TarnSuiteApp::tavlor, "Target Window", "Pencere Hedefle",
     symbolNamed("scope"), rose, Shown::always,
     "Activate Tavlor crosshair to click-kill any frozen window",
     "Herhangi bir donmuş pencereyi tıklayıp öldürmek için Tavlor nişangahını aç",
     "Tavlor window targeter activated", "Tavlor pencere hedefleme nişangahı açıldı"},
    {Kind::tavlorToggleQuickHUD, TarnSuiteApp::tavlor, "Quick Kill HUD", "Hızlı Öldür HUD",
     symbolNamed("bolt.circle.fill"), rose, Shown::always, "Toggle Tavlor floating Quick Kill HUD",
     "Tavlor yüzen Hızlı Öldürme panelini aç/kapat", "Toggled Tavlor Quick HUD",
     "Tavlor Hızlı Öldür HUD açıldı/kapatıldı"},
    {Kind::tavlorOpenAnalytics24h, TarnSuiteApp::tavlor, "24h Usage", "24s Analiz",
     symbolNamed("chart.bar.xaxis"), rose, Shown::fullLayoutOnly,
     "Open Tavlor 24h CPU / RAM / Disk analytics",
     "Tavlor 24 saatlik CPU / RAM / Disk analizini aç", "Opening Tavlor 24h Analytics",
     "Tavlor 24 Saatlik Analiz açılıyor"},
    {Kind::skettoToggleHUD, TarnSuiteApp::sketto, "Sketto HUD", "Sketto HUD",
     symbolNamed("rectangle.inset.topright.filled"), cyan, Shown::always,
     "Show or hide the Sketto floating desktop telemetry HUD",
     "Sketto masaüstü yüzen sensör HUD'unu aç/kapat", "Toggled Sketto Floating HUD",
     "Sketto Masaüstü HUD açıldı/kapatıldı"},
    {Kind::skettoOpenThermalsPower, TarnSuiteApp::sketto, "Thermals & Fan", "Sıcaklık & Fan",
     symbolNamed("thermometer.medium"), cyan, Shown::fullLayoutOnly,
     "Open Sketto live thermal sensors, fan RPM & power view",
     "Sketto canlı sıcaklık sensörleri, fan RPM ve güç ekranını aç",
     "Opening Sketto Thermals & Power", "Sketto Sıcaklık ve Fan ekranı açılıyor"},
}};

const ChipRow* rowOf(Kind kind) {
    for (const ChipRow& row : kChips)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

// A title with a count: the count and ")" are appended to both literals
// before the lookup, as the suite's numbered texts are.
std::string countedTitle(const ChipRow& row, std::int64_t count, TarnLanguage language) {
    const std::string suffix = decimal(count) + ")";
    std::string en(row.titleEN);
    std::string tr(row.titleTR);
    if (row.shown == Shown::killing) {
        en += " (";
        tr += " (";
    }
    return tarnText(en + suffix, tr + suffix, language);
}

} // namespace

std::vector<QuickActionChip>
quickActionChips(TarnSuiteApp currentApp, const std::optional<TarnVirtualMemorySummary>& vmSummary,
                 const std::optional<TavlorLiveStatus>& tavlorStatus, TarnLanguage language,
                 bool compact, const std::function<bool(TarnSuiteApp)>& isInstalled) {
    std::vector<QuickActionChip> chips;
    std::optional<TarnSuiteApp> checkedGroup;
    bool groupShown = false;
    for (const ChipRow& row : kChips) {
        if (row.group != checkedGroup) {
            checkedGroup = row.group;
            groupShown = row.group != currentApp && isInstalled && isInstalled(row.group);
        }
        if (!groupShown)
            continue;
        QuickActionChip chip{
            row.kind, row.group, tarnText(row.titleEN, row.titleTR, language), row.symbol,
            row.tint, false,     tarnText(row.helpEN, row.helpTR, language)};
        switch (row.shown) {
        case Shown::always:
            break;
        case Shown::fullLayoutOnly:
            if (compact)
                continue;
            break;
        case Shown::thawing:
            if (!vmSummary || vmSummary->frozenAppCount <= 0)
                continue;
            chip.title = countedTitle(row, vmSummary->frozenAppCount, language);
            break;
        case Shown::killing:
            if (tavlorStatus && tavlorStatus->problematicCount >= 1) {
                chip.title = countedTitle(row, tavlorStatus->problematicCount, language);
                chip.emphasized = true;
            }
            break;
        }
        chips.push_back(std::move(chip));
    }
    return chips;
}

QuickActionChipLook quickActionChipLook(bool emphasized, bool compact) {
    return {emphasized ? 0.30 : 0.14, emphasized ? 0.65 : 0.32, emphasized,
            compact ? 9.5 : 10.5,     compact ? 10 : 11.0,      compact ? 8 : 10.0,
            compact ? 4 : 5.0};
}

std::optional<std::string> quickActionFeedback(TarnSuiteCommandKind kind, bool sent,
                                               TarnLanguage language) {
    const ChipRow* row = rowOf(kind);
    if (row == nullptr)
        return std::nullopt;
    if (sent)
        return tarnText(row->confirmationEN, row->confirmationTR, language);
    const std::string name(suiteapp::rawValue(row->group));
    return tarnText(name + " is not installed", name + " kurulu değil", language);
}

std::optional<std::string> triggerQuickAction(const SuiteActionPorts& ports,
                                              TarnSuiteCommandKind kind, TarnSuiteApp currentApp,
                                              TarnLanguage language) {
    if (rowOf(kind) == nullptr)
        return std::nullopt;
    return quickActionFeedback(kind, succeeded(sendSuiteAction(ports, kind, currentApp)), language);
}

} // namespace tarn::suitewidgets
