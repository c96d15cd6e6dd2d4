#include "SuiteTestSupport.h"
#include "TarnKit/Suite/TarnSuiteTelemetryBus.h"
#include "support/ManualExecutors.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace tarn;
using tarn::testing::ManualMainExecutor;
using tarn::testing::modeOf;
using tarn::testing::ownPID;
using tarn::testing::sampleDate;
using tarn::testing::TemporaryFolder;
using namespace std::chrono_literals;

class TelemetryBusTest : public ::testing::Test {
protected:
    std::filesystem::path base() const { return m_folder.path() / "Corvane" / "SuiteTelemetry"; }

    TarnLiveActivityTile tile(TarnSuiteApp app, std::int64_t priority, std::chrono::seconds age,
                              std::int32_t pid = ownPID()) const {
        return TarnLiveActivityTile::make(app, sampleDate() - age, pid, "T", "T", "1", std::nullopt,
                                          std::nullopt, std::nullopt,
                                          TarnLiveActivityTile::Tone::neutral, priority);
    }

    std::vector<std::string> tileApps(const std::vector<TarnLiveActivityTile>& tiles) const {
        std::vector<std::string> apps;
        apps.reserve(tiles.size());
        for (const auto& t : tiles)
            apps.emplace_back(t.id());
        return apps;
    }

    TemporaryFolder m_folder{"quiller-telemetry"};
    ManualMainExecutor m_main;
    InProcessNotificationCenter m_center{m_main};
    TarnSuiteTelemetryBus m_bus{base(), &m_center};
};

TEST_F(TelemetryBusTest, StatusFilesArePrivateAndReadBackWhileFreshAndAlive) {
    {
        tarn::testing::UmaskScope openUmask(0);
        OrrinLiveStatus orrin;
        orrin.timestamp = sampleDate();
        orrin.senderPID = ownPID();
        ASSERT_TRUE(m_bus.publishOrrinStatus(orrin, false));
    }
    EXPECT_EQ(modeOf(base()), 0700u);
    EXPECT_EQ(modeOf(base().parent_path()), 0700u);
    EXPECT_EQ(modeOf(base() / "orrin-live.json"), 0600u);

    EXPECT_TRUE(m_bus.readOrrinStatus(sampleDate() + 10s, 10));
    EXPECT_TRUE(m_bus.readOrrinStatus(sampleDate() - 10s, 10))
        << "a record from the future by the window";
    EXPECT_FALSE(m_bus.readOrrinStatus(sampleDate() + 10001ms, 10));
    EXPECT_FALSE(m_bus.readPitlowStatus(sampleDate(), 10)) << "no file";

    for (const std::int32_t pid : {0, -4, tarn::testing::deadPID()}) {
        PitlowLiveStatus pitlow;
        pitlow.timestamp = sampleDate();
        pitlow.senderPID = pid;
        ASSERT_TRUE(m_bus.publishPitlowStatus(pitlow, false));
        EXPECT_FALSE(m_bus.readPitlowStatus(sampleDate(), 60)) << pid;
    }

    m_folder.write("Corvane/SuiteTelemetry/kelby-live.json", "{not json");
    EXPECT_FALSE(m_bus.readKelbyStatus(sampleDate(), 60));

    m_bus.clearStatus(TarnSuiteApp::orrin);
    EXPECT_FALSE(std::filesystem::exists(base() / "orrin-live.json"));
    m_bus.clearStatus(TarnSuiteApp::quiller); // no status file: nothing happens
    m_bus.clearStatus(TarnSuiteApp::orrin);   // already gone: nothing happens
}

TEST_F(TelemetryBusTest, PublishersPostTheUpdateAsTheirTableSays) {
    int updates = 0;
    NotificationSubscription subscription = m_bus.observeTelemetryUpdates([&] { ++updates; });
    HeddleLiveStatus heddle;
    heddle.timestamp = sampleDate();
    heddle.senderPID = ownPID();
    m_bus.publishHeddleStatus(heddle, true);
    m_bus.publishHeddleStatus(heddle, false);
    m_bus.publishSkettoStatus(SkettoLiveStatus{});
    m_bus.publishTavlorStatus(TavlorLiveStatus{});
    EXPECT_EQ(updates, 0) << "handlers run on the main executor, never inline";
    m_main.runUntilIdle();
    EXPECT_EQ(updates, 1);

    // A telemetry folder that cannot be made: nothing written, peers still told.
    m_folder.write("blocker", "a file where a folder should be");
    TarnSuiteTelemetryBus blocked(m_folder.path() / "blocker" / "SuiteTelemetry", &m_center);
    EXPECT_FALSE(blocked.publishKelbyStatus(KelbyLiveStatus{}, true));
    m_main.runUntilIdle();
    EXPECT_EQ(updates, 2);

    // A tile that cannot be encoded is neither written nor announced.
    TarnLiveActivityTile broken = tile(TarnSuiteApp::heddle, 1, 0s);
    broken.progress = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(m_bus.publishLiveTile(broken, true));
    EXPECT_TRUE(m_bus.publishLiveTile(tile(TarnSuiteApp::heddle, 1, 0s), true));
    m_main.runUntilIdle();
    EXPECT_EQ(updates, 3);

    subscription.reset();
    m_bus.publishLankinStatus(LankinLiveStatus{}, true);
    m_main.runUntilIdle();
    EXPECT_EQ(updates, 3) << "a reset subscription hears nothing more";
}

TEST_F(TelemetryBusTest, LiveTileFolderFixture) {
    EXPECT_TRUE(m_bus.readLiveTiles(sampleDate(), 60).empty()) << "no folder yet";

    ASSERT_TRUE(m_bus.publishLiveTile(tile(TarnSuiteApp::sketto, 5, 20s), false));
    ASSERT_TRUE(m_bus.publishLiveTile(tile(TarnSuiteApp::heddle, 9, 30s), false));
    ASSERT_TRUE(m_bus.publishLiveTile(tile(TarnSuiteApp::tavlor, 5, 10s), false));
    ASSERT_TRUE(m_bus.publishLiveTile(tile(TarnSuiteApp::orrin, 5, 20s),
                                      false)); // ties Sketto: by file name
    EXPECT_EQ(modeOf(base() / "LiveTiles" / "heddle.json"), 0600u);

    const std::string good = suite::encode(tile(TarnSuiteApp::kelby, 1, 0s)).value();
    const std::string old = suite::encode(tile(TarnSuiteApp::lankin, 100, 61s)).value();
    const std::string orphan = suite::encode(tile(TarnSuiteApp::pitlow, 100, 0s, 0)).value();
    m_folder.write("Corvane/SuiteTelemetry/LiveTiles/KELBY.JSON", good); // any letter case
    m_folder.write("Corvane/SuiteTelemetry/LiveTiles/brask.json.tmp",
                   good); // a writer's temporary file
    m_folder.write("Corvane/SuiteTelemetry/LiveTiles/.wexley.json", good); // hidden
    m_folder.write("Corvane/SuiteTelemetry/LiveTiles/notes.txt", good);
    m_folder.write("Corvane/SuiteTelemetry/LiveTiles/garbage.json", "{\"app\":");
    m_folder.write("Corvane/SuiteTelemetry/LiveTiles/lankin.json", old);
    m_folder.write("Corvane/SuiteTelemetry/LiveTiles/pitlow.json", orphan);
    std::filesystem::create_directories(base() / "LiveTiles" / "folder.json");

    EXPECT_EQ(tileApps(m_bus.readLiveTiles(sampleDate(), 60)),
              (std::vector<std::string>{"Heddle", "Tavlor", "Orrin", "Sketto", "Kelby"}));

    m_bus.clearLiveTile(TarnSuiteApp::heddle);
    m_bus.clearLiveTile(TarnSuiteApp::heddle);
    EXPECT_EQ(m_bus.readLiveTiles(sampleDate(), 60).size(), 4u);
}

TEST_F(TelemetryBusTest, FocusDockHoverTravelsAsTheTargetText) {
    std::vector<std::optional<std::string>> heard;
    NotificationSubscription subscription = m_bus.observeFocusDockHover(
        [&](std::optional<std::string> target) { heard.push_back(std::move(target)); });
    m_bus.postFocusDockHoverTarget("studio");
    m_bus.postFocusDockHoverTarget(std::nullopt);
    m_bus.postFocusDockHoverTarget("MINI");
    m_bus.postFocusDockHoverTarget("mini");
    m_main.runUntilIdle();
    EXPECT_EQ(heard, (std::vector<std::optional<std::string>>{"studio", std::nullopt, std::nullopt,
                                                              "mini"}));
    EXPECT_EQ(m_center.posted().at(1).object, "none");
}

TEST(DockDropTarget, Table) {
    const TarnScreenRect mini{0, 0, 100, 100};
    const TarnScreenRect studio{200, 0, 400, 400};
    const struct {
        const char* name;
        TarnScreenRect dragged;
        std::optional<TarnScreenRect> mini, studio;
        std::optional<std::string> expected;
    } cases[] = {
        {"centre in studio", {300, 100, 50, 50}, mini, studio, "studio"},
        {"centre in studio, 30 % over mini", {70, 0, 100, 100}, mini, studio, "mini"},
        {"exactly 22 % overlap", {-78, 0, 100, 100}, mini, std::nullopt, "mini"},
        {"21.9 % overlap", {-78.1, 0, 100, 100}, mini, std::nullopt, std::nullopt},
        {"centre on the maximum x edge needs the overlap rule",
         {50, 0, 100, 100},
         mini,
         std::nullopt,
         "mini"},
        {"dragged frame 1 point wide", {50, 50, 1, 10}, mini, studio, std::nullopt},
        {"target 1 point high",
         {0, 0, 10, 10},
         TarnScreenRect{0, 0, 100, 1},
         std::nullopt,
         std::nullopt},
        {"no targets", {0, 0, 10, 10}, std::nullopt, std::nullopt, std::nullopt},
        {"far away", {1000, 1000, 10, 10}, mini, studio, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TarnSuiteTelemetryBus::detectDockDropTarget(c.dragged, c.mini, c.studio),
                  c.expected)
            << c.name;
}

TEST(TelemetryBusSystem, ReadsThisMachinesMemory) {
    TemporaryFolder folder("quiller-telemetry-system");
    const TarnSuiteTelemetryBus bus(folder.path());
    const TarnVirtualMemorySummary summary =
        bus.readVirtualMemorySummary(std::chrono::system_clock::now());
    EXPECT_GT(summary.physicalTotalBytes, 0);
    EXPECT_LE(summary.physicalUsedBytes, summary.physicalTotalBytes);
    EXPECT_FALSE(summary.isHeddleRunning);
}

} // namespace
