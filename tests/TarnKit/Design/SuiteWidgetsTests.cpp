#include "TarnKit/Design/TarnAdaptiveGridLayout.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnOffloadProgressBanner.h"
#include "TarnKit/Design/TarnSuiteQuickActionsStrip.h"
#include "TarnKit/Design/TarnSuiteWidgetParts.h"
#include "TarnKit/Design/TarnVirtualMemoryBadgeView.h"
#include "TarnKit/Suite/SuiteActionHarness.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QTest>
#include <QVBoxLayout>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

using namespace tarn;
using tarn::testing::FakeSuiteDesktop;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

class SuiteWidgetsTest : public ::testing::Test {
protected:
    suitewidgets::SuiteActionPorts ports() { return m_suite.ports(); }
    void installAll() {
        for (const TarnSuiteApp app :
             {TarnSuiteApp::heddle, TarnSuiteApp::tavlor, TarnSuiteApp::sketto})
            m_desktop.install(app);
    }

    tarn::testing::SuiteActionHarness m_suite;
    FakeSuiteDesktop& m_desktop = m_suite.desktop;
    std::optional<TarnSuiteCommandBus>& m_bus = m_suite.bus;
};

// A fixed-size child standing in for a grid cell.
QWidget* cell(int height) {
    auto* widget = new QWidget;
    widget->setFixedHeight(height);
    widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return widget;
}

TEST(TarnAdaptiveGridLayout, ColumnsFitTheWidth) {
    const struct {
        double width, minimum, spacing;
        int columns;
    } cases[] = {
        {600, 260, 14, 2}, {533, 260, 14, 1},      {534, 260, 14, 2},     {0, 260, 14, 1},
        {-50, 155, 8, 1},  {700, 155, 8, 4},       {644, 155, 8, 4},      {643, 155, 8, 3},
        {kNaN, 135, 6, 1}, {kInfinity, 135, 6, 1}, {1e300, 135, 6, 4096}, {300, 0, 0, 1},
        {300, -10, 4, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TarnAdaptiveGridLayout::columnCount(c.width, c.minimum, c.spacing), c.columns)
            << c.width << " / " << c.minimum << " + " << c.spacing;
}

TEST(TarnAdaptiveGridLayout, StretchesColumnsAndCentresRows) {
    QWidget host;
    auto* grid = new TarnAdaptiveGridLayout(260, 14, 10, &host);
    QWidget* cells[] = {cell(30), cell(50), cell(20)};
    for (QWidget* widget : cells)
        grid->addWidget(widget);
    EXPECT_EQ(grid->heightForWidth(600), 50 + 10 + 20);
    EXPECT_EQ(grid->heightForWidth(500), 30 + 10 + 50 + 10 + 20);
    host.resize(600, 80);
    grid->activate();
    EXPECT_EQ(cells[0]->geometry(), QRect(0, 10, 293, 30)) << "centred in a row 50 high";
    EXPECT_EQ(cells[1]->geometry(), QRect(307, 0, 293, 50));
    EXPECT_EQ(cells[2]->geometry(), QRect(0, 60, 293, 20));
    cells[1]->hide();
    grid->activate();
    EXPECT_EQ(cells[2]->geometry(), QRect(307, 5, 293, 20)) << "a hidden widget takes no cell";
}

TEST_F(SuiteWidgetsTest, QuickActionsStripLaysOutTheChipsAndReportsTaps) {
    // Nothing qualifies: not even an empty bar.
    m_desktop.install(TarnSuiteApp::heddle);
    TarnSuiteQuickActionsStrip alone(TarnSuiteApp::heddle, std::nullopt, std::nullopt,
                                     TarnLanguage::en, false, {}, ports());
    EXPECT_TRUE(alone.isEmpty());
    EXPECT_TRUE(alone.isHidden());
    EXPECT_TRUE(alone.findChildren<TarnCapsule*>().isEmpty());

    installAll();
    TavlorLiveStatus tavlor;
    tavlor.problematicCount = 2;
    std::vector<QString> feedback;
    TarnSuiteQuickActionsStrip studio(
        TarnSuiteApp::quiller, std::nullopt, tavlor, TarnLanguage::en, false,
        [&](const QString& text) { feedback.push_back(text); }, ports());
    const auto chips = studio.findChildren<TarnCapsule*>(QStringLiteral("quickActionChip"));
    ASSERT_EQ(chips.size(), 8);
    EXPECT_NE(studio.findChild<QWidget*>(QStringLiteral("quickActionsTitle")), nullptr);
    EXPECT_EQ(chips[2]->text(), QStringLiteral("Kill Frozen (2)"));
    EXPECT_EQ(chips[2]->foregroundColor(), QColor(Qt::white));
    EXPECT_NEAR(chips[2]->fillColor().alphaF(), 0.30, 1e-3);
    EXPECT_EQ(chips[3]->foregroundColor(), qColor(suitewidgets::rose));
    EXPECT_EQ(chips[1]->toolTip(), QStringLiteral("Open Heddle Virtual Disk & mmap Pool Lab"));

    m_desktop.run(TarnSuiteApp::heddle);
    chips[1]->click();
    ASSERT_EQ(feedback.size(), 1u);
    EXPECT_EQ(feedback[0], QStringLiteral("Opening Heddle Virtual Disk Lab"));
    EXPECT_TRUE(std::filesystem::exists(m_bus->commandFile(TarnSuiteApp::heddle)));
    EXPECT_EQ(m_desktop.activated.size(), 1u);

    // Uninstalled after drawing: the tap reports the failure and writes nothing.
    m_desktop.clear();
    chips[4]->click();
    EXPECT_EQ(feedback.back(), QStringLiteral("Tavlor is not installed"));
    EXPECT_FALSE(std::filesystem::exists(m_bus->commandFile(TarnSuiteApp::tavlor)));

    installAll();
    TarnSuiteQuickActionsStrip compact(TarnSuiteApp::quiller, std::nullopt, std::nullopt,
                                       TarnLanguage::tr, true, {}, ports());
    EXPECT_EQ(compact.findChild<QWidget*>(QStringLiteral("quickActionsTitle")), nullptr);
    const auto compactChips = compact.findChildren<TarnCapsule*>(QStringLiteral("quickActionChip"));
    ASSERT_EQ(compactChips.size(), 5);
    EXPECT_EQ(compactChips[1]->text(), QStringLiteral("Donmuşları Öldür"));
    EXPECT_EQ(compactChips[1]->font().pixelSize(), 10);
    compactChips[0]->click(); // no feedback callback: silent, but sent
    EXPECT_EQ(m_desktop.opened.size(), 1u);
}

TEST_F(SuiteWidgetsTest, HeaderPillClick) {
    TarnVirtualMemorySummary summary;
    summary.pressureLevel = "critical";
    int taps = 0;
    TarnVirtualMemoryHeaderPill withAction(
        summary, TarnLanguage::en, [&] { ++taps; }, ports());
    EXPECT_EQ(withAction.colour(), qColor(TarnGlassTokens::danger));
    EXPECT_EQ(withAction.capsule()->text(), QStringLiteral("VM ON"));
    m_desktop.run(TarnSuiteApp::heddle);
    withAction.capsule()->click();
    EXPECT_EQ(taps, 1);
    EXPECT_TRUE(m_desktop.activated.empty());

    TarnVirtualMemoryHeaderPill plain(summary, TarnLanguage::en, {}, ports());
    plain.capsule()->click();
    EXPECT_EQ(m_desktop.activated.size(), 1u) << "brings Heddle forward";
    m_desktop.clear();
    plain.capsule()->click();
    EXPECT_TRUE(m_desktop.activated.empty() && m_desktop.opened.empty());
}

TEST_F(SuiteWidgetsTest, GaugeCardButtonsAndGauges) {
    TarnVirtualMemorySummary summary;
    summary.physicalTotalBytes = 1000;
    summary.physicalUsedBytes = 1; // 0.1 %
    summary.frozenAppCount = 1;
    summary.swapTotalBytes = 1000;
    summary.swapUsedBytes = 5000; // a peer's odd file: more used than there is

    // Heddle running but not installed: no buttons at all.
    m_desktop.run(TarnSuiteApp::heddle);
    TarnVirtualMemoryGaugeCard bare(summary, TarnLanguage::en, Qt::red, TarnSuiteApp::quiller, {},
                                    ports());
    EXPECT_TRUE(bare.findChildren<QAbstractButton*>(QStringLiteral("cardButton")).isEmpty());

    m_desktop.install(TarnSuiteApp::heddle);
    std::vector<QString> feedback;
    TarnVirtualMemoryGaugeCard card(
        summary, TarnLanguage::en, Qt::red, TarnSuiteApp::quiller,
        [&](const QString& text) { feedback.push_back(text); }, ports());
    card.resize(700, 400);
    card.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(card.statusColour(), qColor(suitewidgets::cyan));
    const auto buttons = card.findChildren<QAbstractButton*>(QStringLiteral("cardButton"));
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons[1]->text(), QStringLiteral("Thaw (1)"));
    buttons[0]->click();
    buttons[2]->click();
    EXPECT_EQ(feedback, std::vector<QString>{QStringLiteral("Triggered Heddle Smart RAM Offload")})
        << "Disk Lab confirms nothing";
    EXPECT_EQ(m_desktop.activated.size(), 1u) << "Disk Lab brings Heddle forward";

    const auto bars = card.findChildren<TarnFillBar*>(QStringLiteral("gaugeBar"));
    ASSERT_EQ(bars.size(), 2);
    EXPECT_GT(bars[0]->width(), 100);
    EXPECT_DOUBLE_EQ(bars[0]->fillWidth(), 4) << "0.1 % still shows";
    EXPECT_DOUBLE_EQ(bars[1]->fillWidth(), bars[1]->width())
        << "over-full swap fills the track exactly";

    // A narrow card puts the buttons under the badges.
    EXPECT_TRUE(card.headerInOneRow());
    card.resize(360, 600);
    QCoreApplication::processEvents();
    EXPECT_FALSE(card.headerInOneRow());
}

TEST(TarnOffloadProgressBanner, ButtonsStepsAndAClippedFill) {
    HeddleOffloadLiveProgress progress;
    progress.isRunning = true;
    progress.stepIndex = 2;
    progress.totalSteps = 4;
    progress.fractionCompleted = 1e308;
    int cancels = 0;
    int dismissals = 0;
    TarnOffloadProgressBanner running(
        progress, TarnLanguage::en, false, [&] { ++cancels; }, [&] { ++dismissals; });
    running.resize(640, 200);
    running.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(running.findChild<QWidget*>(QStringLiteral("dismissButton")), nullptr);
    auto* cancel = running.findChild<QAbstractButton*>(QStringLiteral("cancelButton"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(running.findChildren<TarnCapsule*>(QStringLiteral("stepPill")).size(), 4);
    const auto* bar = running.findChild<TarnFillBar*>(QStringLiteral("progressBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_DOUBLE_EQ(bar->fillWidth(), bar->width()) << "a malformed fraction stays inside the bar";
    EXPECT_EQ(bar->height(), 7);
    EXPECT_EQ(running.accentColor(), qColor(suitewidgets::violet));

    progress.isRunning = false;
    progress.fractionCompleted = 0.5;
    progress.detailEN =
        "A detail long enough to wrap onto a second line when the banner is narrow enough";
    TarnOffloadProgressBanner stopped(progress, TarnLanguage::en, true, {}, [&] { ++dismissals; });
    EXPECT_EQ(stopped.findChild<QWidget*>(QStringLiteral("cancelButton")), nullptr);
    auto* dismiss = stopped.findChild<QAbstractButton*>(QStringLiteral("dismissButton"));
    ASSERT_NE(dismiss, nullptr);
    dismiss->click();
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(stopped.findChild<QWidget*>(QStringLiteral("stepPills")), nullptr) << "compact";
    EXPECT_EQ(stopped.findChild<TarnTextLine*>(QStringLiteral("detail"))->maximumLines(), 2);
    EXPECT_EQ(stopped.findChild<TarnFillBar*>(QStringLiteral("progressBar"))->height(), 5);

    TarnOffloadProgressBanner quiet(progress, TarnLanguage::en, false, {}, {});
    EXPECT_EQ(quiet.findChild<QWidget*>(QStringLiteral("cancelButton")), nullptr);
    EXPECT_EQ(quiet.findChild<QWidget*>(QStringLiteral("dismissButton")), nullptr);
}

} // namespace
