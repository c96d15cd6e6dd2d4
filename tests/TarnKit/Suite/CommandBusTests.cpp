#include "FakeSuiteDesktop.h"
#include "SuiteTestSupport.h"
#include "TarnKit/Suite/TarnSuiteCommandBus.h"
#include "support/ManualExecutors.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace tarn;
using tarn::testing::FakeSuiteDesktop;
using tarn::testing::ManualMainExecutor;
using tarn::testing::modeOf;
using tarn::testing::sampleDate;
using tarn::testing::TemporaryFolder;
using namespace std::chrono_literals;
using Kind = TarnSuiteCommandKind;
using Outcome = CommandDispatchOutcome;

class CommandBusTest : public ::testing::Test {
protected:
    CommandBusTest() {
        TarnSuiteCommandBus::Ports ports;
        ports.mainExecutor = &m_main;
        ports.notifications = &m_center;
        ports.desktop = &m_desktop;
        ports.clock = [this] { return m_now; };
        ports.onTaken = [this] {
            if (m_onTaken)
                m_onTaken();
        };
        m_bus.emplace(m_folder.path(), std::move(ports));
    }

    TarnSuiteCommandBus& bus() { return *m_bus; }
    std::filesystem::path heddleFile() { return bus().commandFile(TarnSuiteApp::heddle); }

    TarnSuiteCommandEnvelope envelope(Kind kind, suite::Date timestamp,
                                      TarnSuiteApp target = TarnSuiteApp::heddle) {
        return {UUID::random(), timestamp,    TarnSuiteApp::quiller, target,
                kind,           std::nullopt, std::nullopt,          std::nullopt};
    }

    std::size_t commandPosts() const {
        std::size_t count = 0;
        for (const auto& posted : m_center.posted())
            count += posted.name.find(".suite.command.") != std::string::npos;
        return count;
    }

    TemporaryFolder m_folder{"quiller-commands"};
    ManualMainExecutor m_main;
    InProcessNotificationCenter m_center{m_main};
    FakeSuiteDesktop m_desktop;
    suite::Date m_now = sampleDate();
    std::function<void()> m_onTaken;
    std::optional<TarnSuiteCommandBus> m_bus;
};

TEST_F(CommandBusTest, NamesFilesAndNotificationsAfterTheTarget) {
    EXPECT_EQ(heddleFile(), m_folder.path() / "Commands" / "heddle-cmd.json");
    EXPECT_EQ(TarnSuiteCommandBus::notificationName(TarnSuiteApp::heddle),
              "com.corvane.suite.command.heddle");
}

TEST_F(CommandBusTest, SendMatrix) {
    struct Case {
        const char* name;
        bool running, installed, launchIfNeeded, bringToFront;
        std::optional<std::int32_t> pid;
        Outcome outcome;
        bool fileWritten;
        std::size_t posts, activations, opens;
    };
    const Case cases[] = {
        {"PID 0", true, true, true, false, 0, Outcome::invalidTargetPID, false, 0, 0, 0},
        {"PID 1", true, true, true, false, 1, Outcome::invalidTargetPID, false, 0, 0, 0},
        {"negative PID", true, true, true, false, -7, Outcome::invalidTargetPID, false, 0, 0, 0},
        {"PID 2", true, false, false, false, 2, Outcome::delivered, true, 1, 0, 0},
        {"running", true, false, false, false, std::nullopt, Outcome::delivered, true, 1, 0, 0},
        {"running, to the front", true, true, false, true, std::nullopt, Outcome::delivered, true,
         1, 1, 0},
        {"not running, no launch", false, true, false, false, std::nullopt,
         Outcome::targetUnavailable, false, 0, 0, 0},
        {"not running, not installed", false, false, true, true, std::nullopt,
         Outcome::targetUnavailable, false, 0, 0, 0},
        {"started in the background", false, true, true, false, std::nullopt, Outcome::launched,
         true, 0, 0, 1},
        {"started to the front", false, true, true, true, std::nullopt, Outcome::launched, true, 0,
         0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(m_folder.path() / "Commands");
        m_desktop.clear();
        const std::size_t postsBefore = commandPosts();
        if (c.running)
            m_desktop.run(TarnSuiteApp::heddle);
        if (c.installed)
            m_desktop.install(TarnSuiteApp::heddle);

        const Outcome outcome =
            bus().dispatch(Kind::heddleSmartOffload, TarnSuiteApp::quiller, TarnSuiteApp::heddle,
                           c.pid, std::nullopt, std::nullopt, c.launchIfNeeded, c.bringToFront);
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(std::filesystem::exists(heddleFile()), c.fileWritten);
        EXPECT_EQ(commandPosts() - postsBefore, c.posts);
        EXPECT_EQ(m_desktop.activated.size(), c.activations);
        ASSERT_EQ(m_desktop.opened.size(), c.opens);
        if (c.opens == 1) {
            EXPECT_EQ(m_desktop.opened[0].activates, c.bringToFront);
        }
        if (c.fileWritten) {
            const auto pending = bus().peekPendingCommand(TarnSuiteApp::heddle, m_now, 0);
            ASSERT_TRUE(pending);
            EXPECT_EQ(pending->targetPID, c.pid);
            EXPECT_EQ(pending->sourceApp, TarnSuiteApp::quiller);
            EXPECT_EQ(modeOf(heddleFile()), 0600u);
            EXPECT_EQ(modeOf(heddleFile().parent_path()), 0700u);
        }
    }
}

TEST_F(CommandBusTest, FailuresToWriteOrStartAreReported) {
    m_desktop.run(TarnSuiteApp::tavlor);
    m_folder.write("Commands", "a file where the folder should be");
    EXPECT_EQ(bus().dispatch(Kind::tavlorAllFrozen, TarnSuiteApp::quiller, TarnSuiteApp::tavlor,
                             std::nullopt, std::nullopt, std::nullopt, false, false),
              Outcome::writeFailed);
    EXPECT_EQ(commandPosts(), 0u);
    std::filesystem::remove(m_folder.path() / "Commands");

    m_desktop.clear();
    m_desktop.install(TarnSuiteApp::sketto);
    m_desktop.openSucceeds = false;
    EXPECT_FALSE(bus().send(Kind::skettoToggleHUD, TarnSuiteApp::quiller, TarnSuiteApp::sketto,
                            std::nullopt, std::nullopt, std::nullopt, true, false));
    EXPECT_TRUE(std::filesystem::exists(bus().commandFile(TarnSuiteApp::sketto)))
        << "the command waits for the target's next start";
}

TEST_F(CommandBusTest, ConsumeAcceptsTwentyFiveSecondsEitherWayAndNoMore) {
    const struct {
        std::chrono::milliseconds offset;
        bool accepted;
    } cases[] = {
        {-25000ms, true}, {25000ms, true}, {-25001ms, false}, {25001ms, false}, {0ms, true}};
    for (const auto& c : cases) {
        // Files hold whole seconds, so the reference time carries the fraction.
        ASSERT_TRUE(bus().enqueue(envelope(Kind::heddleThawAll, sampleDate())));
        EXPECT_EQ(bus()
                      .consumePendingCommand(TarnSuiteApp::heddle, sampleDate() + c.offset, 25)
                      .has_value(),
                  c.accepted)
            << c.offset.count();
        EXPECT_FALSE(std::filesystem::exists(heddleFile())) << "any take removes the file";
    }
    EXPECT_TRUE(std::filesystem::is_empty(heddleFile().parent_path()))
        << "no private file is left behind";
}

TEST_F(CommandBusTest, DiscardsMisaddressedAndUnreadableFilesAndPeekLeavesTheFile) {
    ASSERT_TRUE(bus().enqueue(envelope(Kind::heddleThawAll, sampleDate())));
    std::filesystem::rename(heddleFile(), bus().commandFile(TarnSuiteApp::tavlor));
    EXPECT_FALSE(bus().peekPendingCommand(TarnSuiteApp::tavlor, sampleDate(), 25));
    EXPECT_FALSE(bus().consumePendingCommand(TarnSuiteApp::tavlor, sampleDate(), 25));
    EXPECT_FALSE(std::filesystem::exists(bus().commandFile(TarnSuiteApp::tavlor)));

    std::string text = suite::encode(envelope(Kind::heddleThawAll, sampleDate())).value();
    text.replace(text.find("heddleThawAll"), 13, "heddleExplode");
    m_folder.write("Commands/heddle-cmd.json", text);
    EXPECT_FALSE(bus().consumePendingCommand(TarnSuiteApp::heddle, sampleDate(), 25));
    EXPECT_FALSE(std::filesystem::exists(heddleFile()));

    const TarnSuiteCommandEnvelope pending = envelope(Kind::heddleOpenDiskLab, sampleDate());
    ASSERT_TRUE(bus().enqueue(pending));
    EXPECT_EQ(bus().peekPendingCommand(TarnSuiteApp::heddle, sampleDate() + 25s, 25), pending);
    EXPECT_EQ(bus().peekPendingCommand(TarnSuiteApp::heddle, sampleDate(), 25), pending);
    EXPECT_FALSE(bus().peekPendingCommand(TarnSuiteApp::heddle, sampleDate() + 26s, 25));
    EXPECT_TRUE(std::filesystem::exists(heddleFile()));
}

TEST_F(CommandBusTest, ACommandWrittenWhileOneIsTakenSurvives) {
    const TarnSuiteCommandEnvelope first = envelope(Kind::heddleSmartOffload, sampleDate());
    const TarnSuiteCommandEnvelope second = envelope(Kind::heddleThawAll, sampleDate());
    ASSERT_TRUE(bus().enqueue(first));
    // The next command arrives after the take began and before the file is
    // deleted: a take that read and then deleted the shared path lost it.
    m_onTaken = [&] {
        m_onTaken = nullptr;
        ASSERT_TRUE(bus().enqueue(second));
    };
    EXPECT_EQ(bus().consumePendingCommand(TarnSuiteApp::heddle, sampleDate(), 25), first);
    EXPECT_EQ(bus().consumePendingCommand(TarnSuiteApp::heddle, sampleDate(), 25), second);
}

TEST_F(CommandBusTest, ListenerTakesOnNotificationAndOnceAfterStarting) {
    std::vector<TarnSuiteCommandEnvelope> received;
    ASSERT_TRUE(bus().enqueue(envelope(Kind::heddleToggleHUD, sampleDate())));
    TarnSuiteCommandBus::Listener listener = bus().startListening(
        TarnSuiteApp::heddle, [&](const TarnSuiteCommandEnvelope& e) { received.push_back(e); });
    m_main.advance(349ms);
    EXPECT_TRUE(received.empty());
    m_main.advance(1ms);
    ASSERT_EQ(received.size(), 1u) << "a command written before listening is taken after 0.35 s";
    EXPECT_EQ(received[0].kind, Kind::heddleToggleHUD);

    // Two commands before the target takes either: only the second arrives.
    m_desktop.run(TarnSuiteApp::heddle);
    ASSERT_TRUE(bus().send(Kind::heddleSmartOffload, TarnSuiteApp::quiller, TarnSuiteApp::heddle));
    ASSERT_TRUE(bus().send(Kind::heddleThawAll, TarnSuiteApp::quiller, TarnSuiteApp::heddle));
    m_main.runUntilIdle();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].kind, Kind::heddleThawAll);

    // Another target's notification is not ours.
    m_desktop.run(TarnSuiteApp::tavlor);
    ASSERT_TRUE(bus().send(Kind::tavlorOpenPorts, TarnSuiteApp::quiller, TarnSuiteApp::tavlor));
    m_main.runUntilIdle();
    EXPECT_EQ(received.size(), 2u);

    // Stopped listeners take nothing; a listener outlived by nothing does nothing.
    listener = TarnSuiteCommandBus::Listener{};
    ASSERT_TRUE(bus().send(Kind::heddleThawAll, TarnSuiteApp::quiller, TarnSuiteApp::heddle));
    m_main.runUntilIdle();
    EXPECT_EQ(received.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(heddleFile()));
}

TEST_F(CommandBusTest, NothingHappensOnceTheBusIsGone) {
    std::vector<TarnSuiteCommandEnvelope> received;
    ASSERT_TRUE(bus().enqueue(envelope(Kind::heddleToggleHUD, sampleDate())));
    auto listener = bus().startListening(
        TarnSuiteApp::heddle, [&](const TarnSuiteCommandEnvelope& e) { received.push_back(e); });
    const std::filesystem::path file = heddleFile();
    m_bus.reset();
    m_center.post(TarnSuiteCommandBus::notificationName(TarnSuiteApp::heddle));
    m_main.advance(1s);
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST(QuickActionRoute, TheNineKindsThisSystemSends) {
    int routed = 0;
    for (const TarnSuiteCommandKind kind : commandkind::allCases())
        routed += quickActionRoute(kind).has_value();
    EXPECT_EQ(routed, 9);
    const auto lab = quickActionRoute(Kind::heddleOpenDiskLab).value();
    EXPECT_EQ(lab.target, TarnSuiteApp::heddle);
    EXPECT_TRUE(lab.bringToFront);
    const auto hud = quickActionRoute(Kind::skettoToggleHUD).value();
    EXPECT_EQ(hud.target, TarnSuiteApp::sketto);
    EXPECT_FALSE(hud.bringToFront);
}

} // namespace
