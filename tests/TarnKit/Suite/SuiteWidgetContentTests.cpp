#include "SuiteActionHarness.h"
#include "SuiteTestSupport.h"
#include "TarnKit/Suite/OffloadProgressContent.h"
#include "TarnKit/Suite/SuiteQuickActionsContent.h"
#include "TarnKit/Suite/VirtualMemoryBadgeContent.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace tarn;
using namespace tarn::suitewidgets;
using tarn::testing::FakeSuiteDesktop;
using tarn::testing::sampleDate;
using Kind = TarnSuiteCommandKind;
namespace tokens = TarnGlassTokens;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

class SuiteWidgetActionTest : public ::testing::Test {
protected:
    SuiteActionPorts ports() { return m_suite.ports(); }
    bool fileFor(TarnSuiteApp app) const { return m_suite.hasCommandFor(app); }
    std::size_t posts() const { return m_suite.center.posted().size(); }
    void reset() { m_suite.reset(); }

    tarn::testing::SuiteActionHarness m_suite;
    FakeSuiteDesktop& m_desktop = m_suite.desktop;
    std::optional<TarnSuiteCommandBus>& m_bus = m_suite.bus;
};

// --- Shared numbers ------------------------------------------------------------------

TEST(SuiteWidgetNumbers, PercentRoundsHalvesAwayFromZeroAndSurvivesMalformedFigures) {
    const struct {
        double value;
        std::int64_t rounded;
    } cases[] = {
        {0.4, 0},
        {0.5, 1},
        {12.5, 13},
        {-0.5, -1},
        {99.49, 99},
        {kNaN, 0},
        {1e308, kInt64Max},
        {-1e308, kInt64Min},
        {kInfinity, kInt64Max},
        {9.2e18, 9200000000000000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundedPercent(c.value), c.rounded) << c.value;
    EXPECT_EQ(percentText(12.5), "13%");
}

TEST(SuiteWidgetNumbers, FillWidthsStayWithinTheBar) {
    const struct {
        double fraction, width, gauge, banner;
    } cases[] = {
        {0, 200, 0, 0},         {-0.5, 200, 0, 0},
        {kNaN, 200, 0, 0},      {0.001, 200, 4, 6},
        {0.004, 400, 4, 6},     {0.5, 200, 100, 100},
        {1, 200, 200, 200},     {1.5, 200, 200, 200},
        {1e308, 200, 200, 200}, {kInfinity, 200, 200, 200},
        {0.5, 3, 3, 3},         {0.5, 0, 0, 0},
        {0.5, kNaN, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(gaugeFillWidth(c.fraction, c.width), c.gauge)
            << c.fraction << " of " << c.width;
        EXPECT_DOUBLE_EQ(bannerFillWidth(c.fraction, c.width), c.banner)
            << c.fraction << " of " << c.width;
    }
}

// --- Quick-actions strip -------------------------------------------------------------

struct ChipLine {
    Kind kind;
    std::string title;
    bool emphasized;
    friend bool operator==(const ChipLine&, const ChipLine&) = default;
};

std::ostream& operator<<(std::ostream& out, const ChipLine& line) {
    return out << commandkind::rawValue(line.kind) << " \"" << line.title << "\""
               << (line.emphasized ? " !" : "");
}

TarnVirtualMemorySummary frozen(std::int64_t count) {
    TarnVirtualMemorySummary summary;
    summary.frozenAppCount = count;
    return summary;
}

TavlorLiveStatus problems(std::int64_t count) {
    TavlorLiveStatus status;
    status.problematicCount = count;
    return status;
}

TEST(SuiteQuickActions, ChipsForEachSituation) {
    const std::set<TarnSuiteApp> all{TarnSuiteApp::heddle, TarnSuiteApp::tavlor,
                                     TarnSuiteApp::sketto};
    struct Case {
        const char* name;
        TarnSuiteApp current;
        std::set<TarnSuiteApp> installed;
        std::optional<TarnVirtualMemorySummary> vm;
        std::optional<TavlorLiveStatus> tavlor;
        bool compact;
        TarnLanguage language;
        std::vector<ChipLine> chips;
    };
    const Case cases[] = {
        {"inside Heddle, siblings missing",
         TarnSuiteApp::heddle,
         {TarnSuiteApp::heddle},
         frozen(2),
         problems(1),
         false,
         TarnLanguage::en,
         {}},
        {"inside Tavlor, all installed",
         TarnSuiteApp::tavlor,
         all,
         std::nullopt,
         problems(4),
         false,
         TarnLanguage::en,
         {{Kind::heddleSmartOffload, "Smart RAM Offload", false},
          {Kind::heddleOpenDiskLab, "Virtual Disk Lab", false},
          {Kind::skettoToggleHUD, "Sketto HUD", false},
          {Kind::skettoOpenThermalsPower, "Thermals & Fan", false}}},
        {"everything, full layout",
         TarnSuiteApp::quiller,
         all,
         frozen(3),
         problems(2),
         false,
         TarnLanguage::en,
         {{Kind::heddleSmartOffload, "Smart RAM Offload", false},
          {Kind::heddleThawAll, "Thaw Apps (3)", false},
          {Kind::heddleOpenDiskLab, "Virtual Disk Lab", false},
          {Kind::tavlorAllFrozen, "Kill Frozen (2)", true},
          {Kind::tavlorOpenCrosshair, "Target Window", false},
          {Kind::tavlorToggleQuickHUD, "Quick Kill HUD", false},
          {Kind::tavlorOpenAnalytics24h, "24h Usage", false},
          {Kind::skettoToggleHUD, "Sketto HUD", false},
          {Kind::skettoOpenThermalsPower, "Thermals & Fan", false}}},
        {"compact leaves the full-layout chips out",
         TarnSuiteApp::quiller,
         all,
         frozen(3),
         problems(2),
         true,
         TarnLanguage::en,
         {{Kind::heddleSmartOffload, "Smart RAM Offload", false},
          {Kind::heddleThawAll, "Thaw Apps (3)", false},
          {Kind::tavlorAllFrozen, "Kill Frozen (2)", true},
          {Kind::tavlorOpenCrosshair, "Target Window", false},
          {Kind::tavlorToggleQuickHUD, "Quick Kill HUD", false},
          {Kind::skettoToggleHUD, "Sketto HUD", false}}},
        {"nothing frozen, no problems",
         TarnSuiteApp::quiller,
         {TarnSuiteApp::heddle, TarnSuiteApp::tavlor},
         frozen(0),
         problems(0),
         true,
         TarnLanguage::en,
         {{Kind::heddleSmartOffload, "Smart RAM Offload", false},
          {Kind::tavlorAllFrozen, "Kill Frozen", false},
          {Kind::tavlorOpenCrosshair, "Target Window", false},
          {Kind::tavlorToggleQuickHUD, "Quick Kill HUD", false}}},
        {"Turkish counts",
         TarnSuiteApp::sketto,
         all,
         frozen(1),
         problems(12),
         true,
         TarnLanguage::tr,
         {{Kind::heddleSmartOffload, "Akıllı RAM Aç", false},
          {Kind::heddleThawAll, "Donukları Uyandır (1)", false},
          {Kind::tavlorAllFrozen, "Donmuşları Öldür (12)", true},
          {Kind::tavlorOpenCrosshair, "Pencere Hedefle", false},
          {Kind::tavlorToggleQuickHUD, "Hızlı Öldür HUD", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto chips =
            quickActionChips(c.current, c.vm, c.tavlor, c.language, c.compact,
                             [&](TarnSuiteApp app) { return c.installed.contains(app); });
        std::vector<ChipLine> lines;
        for (const auto& chip : chips) {
            lines.push_back({chip.kind, chip.title, chip.emphasized});
            EXPECT_EQ(chip.target, quickActionRoute(chip.kind)->target);
        }
        EXPECT_EQ(lines, c.chips);
    }

    // Tints, symbols and help texts of one full strip.
    const auto chips = quickActionChips(TarnSuiteApp::quiller, frozen(1), std::nullopt,
                                        TarnLanguage::en, false, [](TarnSuiteApp) { return true; });
    ASSERT_EQ(chips.size(), 9u);
    EXPECT_EQ(chips[0].tint, violet);
    EXPECT_EQ(chips[1].tint, tokens::warning);
    EXPECT_EQ(chips[3].tint, tokens::danger);
    EXPECT_EQ(chips[4].tint, rose);
    EXPECT_EQ(chips[8].tint, cyan);
    EXPECT_EQ(chips[2].symbol, "externaldrive.badge.timemachine");
    EXPECT_EQ(chips[7].symbol, "rectangle.inset.topright.filled");
    EXPECT_EQ(chips[6].helpText, "Open Tavlor 24h CPU / RAM / Disk analytics");
}

TEST(SuiteQuickActions, ChipLooks) {
    EXPECT_EQ(quickActionChipLook(false, false),
              (QuickActionChipLook{0.14, 0.32, false, 10.5, 11, 10, 5}));
    EXPECT_EQ(quickActionChipLook(true, false),
              (QuickActionChipLook{0.30, 0.65, true, 10.5, 11, 10, 5}));
    EXPECT_EQ(quickActionChipLook(false, true),
              (QuickActionChipLook{0.14, 0.32, false, 9.5, 10, 8, 4}));
    EXPECT_EQ(quickActionChipLook(true, true),
              (QuickActionChipLook{0.30, 0.65, true, 9.5, 10, 8, 4}));
}

TEST_F(SuiteWidgetActionTest, QuickActionTaps) {
    struct Case {
        const char* name;
        Kind kind;
        bool running, installed, openSucceeds;
        TarnLanguage language;
        std::string feedback;
        bool fileWritten;
        std::size_t posts, activations, opens;
        bool opensToTheFront;
    };
    const Case cases[] = {
        {"disk lab while Heddle runs", Kind::heddleOpenDiskLab, true, true, true, TarnLanguage::en,
         "Opening Heddle Virtual Disk Lab", true, 1, 1, 0, false},
        {"offload while Heddle runs", Kind::heddleSmartOffload, true, true, true, TarnLanguage::en,
         "Sent Smart RAM Offload to Heddle", true, 1, 0, 0, false},
        {"HUD starts Sketto in the background", Kind::skettoToggleHUD, false, true, true,
         TarnLanguage::tr, "Sketto Masaüstü HUD açıldı/kapatıldı", true, 0, 0, 1, false},
        {"analytics starts Tavlor in front", Kind::tavlorOpenAnalytics24h, false, true, true,
         TarnLanguage::en, "Opening Tavlor 24h Analytics", true, 0, 0, 1, true},
        {"removed after drawing", Kind::tavlorAllFrozen, false, false, true, TarnLanguage::en,
         "Tavlor is not installed", false, 0, 0, 0, false},
        {"removed, in Turkish", Kind::heddleThawAll, false, false, true, TarnLanguage::tr,
         "Heddle kurulu değil", false, 0, 0, 0, false},
        {"a start that fails at once", Kind::skettoOpenThermalsPower, false, true, false,
         TarnLanguage::en, "Sketto is not installed", true, 0, 0, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        const TarnSuiteApp target = quickActionRoute(c.kind)->target;
        if (c.running)
            m_desktop.run(target);
        if (c.installed)
            m_desktop.install(target);
        m_desktop.openSucceeds = c.openSucceeds;
        const std::size_t before = posts();

        EXPECT_EQ(triggerQuickAction(ports(), c.kind, TarnSuiteApp::quiller, c.language),
                  c.feedback);
        EXPECT_EQ(fileFor(target), c.fileWritten);
        EXPECT_EQ(posts() - before, c.posts);
        EXPECT_EQ(m_desktop.activated.size(), c.activations);
        ASSERT_EQ(m_desktop.opened.size(), c.opens);
        if (c.opens == 1) {
            EXPECT_EQ(m_desktop.opened[0].activates, c.opensToTheFront);
        }
        if (c.fileWritten) {
            const auto envelope = m_bus->peekPendingCommand(target, sampleDate(), 0);
            ASSERT_TRUE(envelope);
            EXPECT_EQ(envelope->kind, c.kind);
            EXPECT_EQ(envelope->sourceApp, TarnSuiteApp::quiller);
            EXPECT_FALSE(envelope->targetPID || envelope->targetName || envelope->payload);
        }
    }
    // Without a bus nothing is sent, and the tap says so.
    EXPECT_EQ(
        triggerQuickAction({}, Kind::heddleSmartOffload, TarnSuiteApp::quiller, TarnLanguage::en),
        "Heddle is not installed");
    EXPECT_EQ(triggerQuickAction(ports(), Kind::ulvernToggleTopUp, TarnSuiteApp::quiller,
                                 TarnLanguage::en),
              std::nullopt);
}

// --- Header pill and gauge card ------------------------------------------------------

TarnVirtualMemorySummary summaryWith(const std::string& pressure, bool pool,
                                     std::int64_t swapUsed) {
    TarnVirtualMemorySummary summary;
    summary.physicalTotalBytes = 16'000'000'000;
    summary.physicalUsedBytes = 12'000'000'000;
    summary.pressureLevel = pressure;
    summary.swapUsedBytes = swapUsed;
    summary.swapTotalBytes = swapUsed > 0 ? 4'000'000'000 : 0;
    if (pool) {
        summary.activeDiskPoolCount = 1;
        summary.diskPoolVirtualBytes = 64'000'000'000;
        summary.diskPoolActualDiskBytes = 2'000'000'000;
        summary.diskPoolNames = {"Pool A"};
    }
    return summary;
}

TEST(VirtualMemoryBadges, PillAndCardStatusFollowPressureAndExpansion) {
    struct Case {
        const char* name;
        TarnVirtualMemorySummary summary;
        TarnColor pill;
        std::string_view pillSymbol;
        std::string pillTitle;
        TarnColor card;
        std::string state;
    };
    const Case cases[] = {
        {"critical beats expansion", summaryWith("critical", true, 0), tokens::danger,
         "externaldrive.badge.timemachine", "VM: Pool 64.00 GB", tokens::danger, "ACTIVE"},
        {"expansion beats warning", summaryWith("warning", true, 0), violet,
         "externaldrive.badge.timemachine", "VM: Pool 64.00 GB", violet, "ACTIVE"},
        {"warning without expansion", summaryWith("warning", false, 0), tokens::warning,
         "memorychip", "VM ON", tokens::success, "STANDBY"},
        {"idle", summaryWith("normal", false, 0), cyan, "memorychip", "VM ON", tokens::success,
         "STANDBY"},
        {"swap in use only", summaryWith("Normal", false, 1'500'000'000), cyan, "memorychip",
         "VM: Swap 1.50 GB", cyan, "ACTIVE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HeaderPillContent pill = headerPillContent(c.summary, TarnLanguage::en);
        EXPECT_EQ(pill.colour, c.pill);
        EXPECT_EQ(pill.symbol, c.pillSymbol);
        EXPECT_EQ(pill.title, c.pillTitle);
        EXPECT_EQ(pill.helpText, "Virtual Memory active — click to open Heddle");
        const GaugeCardContent card = gaugeCardContent(c.summary, TarnLanguage::en, false);
        EXPECT_EQ(card.statusColour, c.card);
        ASSERT_FALSE(card.badges.empty());
        EXPECT_EQ(card.badges[0].text, c.state);
        EXPECT_EQ(card.badges[0].foreground, c.card);
        EXPECT_EQ(card.badges[0].background, withOpacity(c.card, 0.22));
        EXPECT_EQ(card.gauges[1].tint, c.card);
    }
    EXPECT_EQ(headerPillContent(summaryWith("normal", false, 0), TarnLanguage::tr).title,
              "Sanal Bellek ON");
}

TEST(VirtualMemoryBadges, GaugeCardTexts) {
    // Nothing in use: standby gauges, every stat off.
    const GaugeCardContent idle =
        gaugeCardContent(summaryWith("normal", false, 0), TarnLanguage::en, false);
    EXPECT_EQ(idle.title, "Virtual Memory & Heddle Pools");
    ASSERT_EQ(idle.badges.size(), 1u);
    EXPECT_EQ(idle.gauges[0].title, "Physical RAM");
    EXPECT_EQ(idle.gauges[0].valueText, "12.00 GB / 16.00 GB (75%)");
    EXPECT_DOUBLE_EQ(idle.gauges[0].fraction, 0.75);
    EXPECT_TRUE(idle.gauges[0].usesHostAccent);
    EXPECT_EQ(idle.gauges[1].valueText, "0 B (Standby)");
    EXPECT_DOUBLE_EQ(idle.gauges[1].fraction, 0);
    EXPECT_EQ(idle.stats[0],
              (StatPillContent{"Linux Swap", "0 B / 0 B", "", tokens::textSecondary}));
    EXPECT_EQ(idle.stats[1], (StatPillContent{"mmap Disk Pools", "Off", "", tokens::textMuted}));
    EXPECT_EQ(idle.stats[2],
              (StatPillContent{"Virtual Sparse Disk", "Off", "", tokens::textMuted}));
    EXPECT_EQ(idle.stats[3],
              (StatPillContent{"RAM-Disk / Frozen", "0 frozen", "", tokens::textMuted}));
    EXPECT_TRUE(idle.buttons.empty());

    // Everything at once, in Turkish.
    TarnVirtualMemorySummary busy = summaryWith("normal", true, 1'000'000'000);
    busy.isHeddleRunning = true;
    busy.swapFileCount = 3;
    busy.swapEncrypted = true;
    busy.mountedSparseDiskCount = 1;
    busy.sparseDiskVirtualBytes = 20'000'000'000;
    busy.sparseDiskActualBytes = 5'000'000'000;
    busy.sparseDiskNames = {"Lab", "Scratch"};
    busy.frozenAppCount = 2;
    busy.reclaimedFromFrozenBytes = 750'000'000;
    busy.ramDiskNames = {"unused while none is mounted"};
    const GaugeCardContent card = gaugeCardContent(busy, TarnLanguage::tr, true);
    ASSERT_EQ(card.badges.size(), 3u);
    EXPECT_EQ(card.badges[0].text, "AÇIK");
    EXPECT_EQ(card.badges[1].text, "Heddle Live");
    EXPECT_EQ(card.badges[2].text, "Efektif: 104.00 GB");
    EXPECT_EQ(card.gauges[1].title, "Sanal RAM Alanı (Swap + Heddle)");
    EXPECT_EQ(card.gauges[1].valueText, "8.00 GB / 88.00 GB (9%)");
    EXPECT_EQ(card.stats[0],
              (StatPillContent{"Linux Swap (3)", "1.00 GB / 4.00 GB", "25% • AES-XTS", cyan}));
    EXPECT_EQ(card.stats[1],
              (StatPillContent{"Disk Bellek Havuzu", "2.00 GB / 64.00 GB", "Pool A", violet}));
    EXPECT_EQ(card.stats[2],
              (StatPillContent{"Sanal Seyrek Disk", "5.00 GB / 20.00 GB", "Lab, Scratch", mint}));
    EXPECT_EQ(card.stats[3],
              (StatPillContent{"RAM-Disk / Donuk", "2 donuk", "↓ 750.0 MB", tokens::warning}));
    ASSERT_EQ(card.buttons.size(), 3u);
    EXPECT_EQ(card.buttons[0].label, "Akıllı RAM Aç");
    EXPECT_TRUE(card.buttons[0].isActive);
    EXPECT_EQ(card.buttons[1].label, "Uyandır (2)");
    EXPECT_EQ(card.buttons[1].confirmation, "Heddle donukları uyandırma komutu gönderildi");
    EXPECT_EQ(card.buttons[2].label, "Disk Lab");
    EXPECT_EQ(card.buttons[2].confirmation, std::nullopt);

    // A RAM disk shows its size; the names come when nothing was reclaimed.
    TarnVirtualMemorySummary ramDisk = summaryWith("normal", false, 0);
    ramDisk.mountedRAMDiskCount = 1;
    ramDisk.ramDiskTotalBytes = 2'000'000'000;
    ramDisk.ramDiskNames = {"Fast", "Scratch"};
    ramDisk.swapTotalBytes = 1'000'000'000;
    const GaugeCardContent withRAMDisk = gaugeCardContent(ramDisk, TarnLanguage::en, true);
    EXPECT_EQ(withRAMDisk.stats[3],
              (StatPillContent{"RAM-Disk / Frozen", "2.00 GB", "Fast, Scratch", tokens::warning}));
    EXPECT_EQ(withRAMDisk.stats[0].detail, "0% • Plain");
    ASSERT_EQ(withRAMDisk.buttons.size(), 2u) << "no Thaw without a frozen application";
    EXPECT_EQ(withRAMDisk.buttons[1].kind, Kind::heddleOpenDiskLab);
}

TEST(VirtualMemoryBadges, HugeFiguresStayReadable) {
    TarnVirtualMemorySummary huge;
    huge.physicalTotalBytes = kInt64Max;
    huge.physicalUsedBytes = kInt64Max;
    huge.swapTotalBytes = kInt64Max;
    huge.swapUsedBytes = kInt64Min;
    huge.activeDiskPoolCount = kInt64Max;
    huge.diskPoolVirtualBytes = kInt64Max;
    huge.diskPoolActualDiskBytes = kInt64Max;
    huge.frozenAppCount = kInt64Min;
    const GaugeCardContent card = gaugeCardContent(huge, TarnLanguage::en, true);
    for (const GaugeContent& gauge : card.gauges) {
        EXPECT_GE(gauge.fraction, 0);
        EXPECT_LE(gauge.fraction, 1);
    }
    EXPECT_EQ(card.stats[3].value, "-9223372036854775808 frozen");
    EXPECT_EQ(card.buttons.size(), 2u);
}

TEST_F(SuiteWidgetActionTest, GaugeCardButtonPresses) {
    struct Case {
        const char* name;
        Kind kind;
        bool running, installed;
        std::optional<std::string> confirmation;
        bool fileWritten;
        std::size_t posts, activations, opens;
        bool opensToTheFront;
    };
    const Case cases[] = {
        {"offload starts Heddle in the background", Kind::heddleSmartOffload, false, true,
         "Triggered Heddle Smart RAM Offload", true, 0, 0, 1, false},
        {"disk lab starts Heddle in front, quietly", Kind::heddleOpenDiskLab, false, true,
         std::nullopt, true, 0, 0, 1, true},
        {"disk lab while Heddle runs", Kind::heddleOpenDiskLab, true, true, std::nullopt, true, 1,
         1, 0, false},
        {"thaw while Heddle runs", Kind::heddleThawAll, true, true, "Sent Thaw All to Heddle", true,
         1, 0, 0, false},
        {"Heddle gone", Kind::heddleSmartOffload, false, false, std::nullopt, false, 0, 0, 0,
         false},
    };
    TarnVirtualMemorySummary summary = summaryWith("normal", false, 0);
    summary.frozenAppCount = 1;
    const GaugeCardContent card = gaugeCardContent(summary, TarnLanguage::en, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        if (c.running)
            m_desktop.run(TarnSuiteApp::heddle);
        if (c.installed)
            m_desktop.install(TarnSuiteApp::heddle);
        const std::size_t before = posts();
        const auto button =
            std::find_if(card.buttons.begin(), card.buttons.end(),
                         [&](const GaugeCardButton& b) { return b.kind == c.kind; });
        ASSERT_NE(button, card.buttons.end());
        EXPECT_EQ(pressGaugeCardButton(ports(), *button, TarnSuiteApp::kelby), c.confirmation);
        EXPECT_EQ(fileFor(TarnSuiteApp::heddle), c.fileWritten);
        EXPECT_EQ(posts() - before, c.posts);
        EXPECT_EQ(m_desktop.activated.size(), c.activations);
        ASSERT_EQ(m_desktop.opened.size(), c.opens);
        if (c.opens == 1) {
            EXPECT_EQ(m_desktop.opened[0].activates, c.opensToTheFront);
        }
        if (c.fileWritten) {
            const auto envelope = m_bus->peekPendingCommand(TarnSuiteApp::heddle, sampleDate(), 0);
            ASSERT_TRUE(envelope);
            EXPECT_EQ(envelope->sourceApp, TarnSuiteApp::kelby);
        }
    }

    // The pill's own click brings Heddle forward or starts it; without it, nothing.
    reset();
    openHeddle(ports());
    EXPECT_TRUE(m_desktop.activated.empty() && m_desktop.opened.empty());
    m_desktop.run(TarnSuiteApp::heddle);
    openHeddle(ports());
    EXPECT_EQ(m_desktop.activated.size(), 1u);
    openHeddle({});
}

// --- Offload banner ------------------------------------------------------------------

HeddleOffloadLiveProgress offload(bool running, bool completed, std::int64_t step, double fraction,
                                  const std::string& pressure = "normal") {
    HeddleOffloadLiveProgress progress;
    progress.isRunning = running;
    progress.isCompletedSummary = completed;
    progress.stepIndex = step;
    progress.totalSteps = 4;
    progress.fractionCompleted = fraction;
    progress.phaseTitleEN = "Swap wave";
    progress.phaseTitleTR = "Swap dalgası";
    progress.livePressure = pressure;
    return progress;
}

TEST(OffloadBanner, StepStates) {
    using S = OffloadStepState;
    struct Case {
        const char* name;
        bool running, completed;
        std::int64_t step;
        std::array<S, 4> states;
    };
    const Case cases[] = {
        {"running at step 2", true, false, 2, {S::done, S::active, S::pending, S::pending}},
        {"stopped at step 3", false, false, 3, {S::done, S::done, S::pending, S::pending}},
        {"completed", false, true, 4, {S::done, S::done, S::done, S::done}},
        {"completed while still running",
         true,
         true,
         4,
         {S::done, S::done, S::done, S::doneAndActive}},
        {"completed early", false, true, 2, {S::done, S::done, S::done, S::done}},
        {"step 0", true, false, 0, {S::pending, S::pending, S::pending, S::pending}},
        {"step beyond the pills", true, false, 9, {S::done, S::done, S::done, S::done}},
        {"huge step", true, false, kInt64Max, {S::done, S::done, S::done, S::done}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto progress = offload(c.running, c.completed, c.step, 0.5);
        const OffloadBannerContent content =
            offloadBannerContent(progress, TarnLanguage::en, true, true);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(content.steps[i].state, c.states[i]) << "pill " << i + 1;
    }

    // How each state looks, with a warning accent.
    const OffloadBannerContent warning = offloadBannerContent(
        offload(true, false, 2, 0.3, "warning"), TarnLanguage::en, false, false);
    EXPECT_EQ(warning.accent, tokens::warning);
    EXPECT_EQ(warning.steps[0], (OffloadStepPill{S::done, "1. Measure RAM", tokens::success,
                                                 "checkmark.circle.fill", true, 0.14}));
    EXPECT_EQ(warning.steps[1], (OffloadStepPill{S::active, "2. Freeze Idle Apps", tokens::warning,
                                                 "bolt.circle.fill", true, 0.22}));
    EXPECT_EQ(warning.steps[2], (OffloadStepPill{S::pending, "3. Swap Wave", tokens::textMuted,
                                                 "circle", false, 0.06}));
    const OffloadBannerContent finishing =
        offloadBannerContent(offload(true, true, 4, 1), TarnLanguage::tr, false, false);
    EXPECT_EQ(finishing.steps[3],
              (OffloadStepPill{S::doneAndActive, "4. İade & Sonuç", tokens::success,
                               "checkmark.circle.fill", true, 0.22}));
}

TEST(OffloadBanner, HeaderTable) {
    using B = OffloadBannerButton;
    struct Case {
        const char* name;
        HeddleOffloadLiveProgress progress;
        bool canCancel, canDismiss;
        TarnLanguage language;
        TarnColor accent;
        std::string badge;
        std::optional<std::string> amounts;
        std::string percent;
        B button;
    };
    auto withTarget = [](HeddleOffloadLiveProgress progress, std::int64_t allocated,
                         std::int64_t target) {
        progress.allocatedBytes = allocated;
        progress.targetBytes = target;
        return progress;
    };
    const Case cases[] = {
        {"running", withTarget(offload(true, false, 2, 0.125), 1'000'000'000, 4'000'000'000), true,
         true, TarnLanguage::en, violet, "STEP 2/4", "1.00 GB / 4.00 GB", "13%", B::cancel},
        {"running without a target", withTarget(offload(true, false, 1, 0.004), 5, 0), true, false,
         TarnLanguage::tr, violet, "ADIM 1/4", std::nullopt, "0%", B::cancel},
        {"running without cancel", offload(true, false, 3, 0.5, "critical"), false, true,
         TarnLanguage::en, tokens::danger, "STEP 3/4", std::nullopt, "50%", B::none},
        {"completed despite critical", withTarget(offload(false, true, 4, 1, "critical"), 1, 2),
         true, true, TarnLanguage::tr, tokens::success, "TAMAMLANDI", std::nullopt, "100%",
         B::dismiss},
        {"stopped without dismiss", offload(false, false, 3, 0.6, "warning"), true, false,
         TarnLanguage::en, tokens::warning, "STEP 3/4", std::nullopt, "60%", B::none},
        {"a malformed fraction", offload(true, false, 2, 1e308), false, false, TarnLanguage::en,
         violet, "STEP 2/4", std::nullopt, "9223372036854775807%", B::none},
        {"a fraction that is no number", offload(true, false, 2, kNaN), false, false,
         TarnLanguage::en, violet, "STEP 2/4", std::nullopt, "0%", B::none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto content =
            offloadBannerContent(c.progress, c.language, c.canCancel, c.canDismiss);
        EXPECT_EQ(content.accent, c.accent);
        EXPECT_EQ(content.stepBadge, c.badge);
        EXPECT_EQ(content.amounts, c.amounts);
        EXPECT_EQ(content.percentText, c.percent);
        EXPECT_EQ(content.button, c.button);
        EXPECT_EQ(content.showsActivityIndicator, c.progress.isRunning);
    }
    // The record's own pairs follow the language; an empty detail leaves no line.
    auto progress = offload(true, false, 3, 0.5);
    progress.detailEN = "Paging out 3 apps";
    progress.detailTR = "3 uygulama diske yazılıyor";
    EXPECT_EQ(offloadBannerContent(progress, TarnLanguage::tr, true, true).phaseTitle,
              "Swap dalgası");
    EXPECT_EQ(offloadBannerContent(progress, TarnLanguage::tr, true, true).detail,
              "3 uygulama diske yazılıyor");
    EXPECT_EQ(offloadBannerContent(progress, TarnLanguage::tr, true, true).cancelLabel, "İptal");
    EXPECT_EQ(
        offloadBannerContent(offload(true, false, 3, 0.5), TarnLanguage::en, true, true).detail,
        "");
}

} // namespace
