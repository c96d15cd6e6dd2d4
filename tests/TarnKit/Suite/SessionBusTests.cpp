// Tests on the session bus that scripts/with-session starts with
// dbus-run-session; without one they fail rather than pass unchecked.

#include "SuiteTestSupport.h"
#include "TarnKit/Platform/ChildProcess.h"
#include "TarnKit/Suite/LinuxSuiteDesktop.h"
#include "TarnKit/Suite/SessionBusNotificationCenter.h"
#include "TarnKit/Suite/TarnSuiteCommandBus.h"
#include "support/ManualExecutors.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

namespace {

using namespace tarn;
using tarn::testing::ManualMainExecutor;
using tarn::testing::TemporaryFolder;
using namespace std::chrono_literals;

constexpr const char* kChildFolderVariable = "QUILLER_SUITE_CHILD_FOLDER";

// Runs the main executor's jobs until `done` holds or `limit` passes.
template <class Done>
bool runUntil(ManualMainExecutor& main, Done done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        if (main.runUntilIdle() == 0)
            std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(SessionBusNotifications, ReachSubscribersOnTheMainExecutor) {
    ManualMainExecutor main;
    const auto center = SessionBusNotificationCenter::connect(main);
    ASSERT_TRUE(center) << "no session bus: run under scripts/with-session";

    std::vector<std::optional<std::string>> heard;
    std::vector<std::optional<std::string>> other;
    NotificationSubscription subscription = center->subscribe(
        "com.corvane.test.one", [&](const auto& object) { heard.push_back(object); });
    NotificationSubscription unrelated = center->subscribe(
        "com.corvane.test.two", [&](const auto& object) { other.push_back(object); });
    EXPECT_TRUE(center->post("com.corvane.test.one", "mini"));
    EXPECT_TRUE(center->post("com.corvane.test.one"));
    EXPECT_TRUE(center->post("com.corvane.test.one", ""));
    EXPECT_FALSE(center->post("com.corvane.test.one", "\xff")) << "not UTF-8";
    ASSERT_TRUE(runUntil(main, [&] { return heard.size() == 3; }));
    EXPECT_EQ(heard, (std::vector<std::optional<std::string>>{"mini", std::nullopt, ""}));

    subscription.reset();
    EXPECT_TRUE(center->post("com.corvane.test.one", "late"));
    EXPECT_TRUE(center->post("com.corvane.test.two", "last"));
    ASSERT_TRUE(runUntil(main, [&] { return other.size() == 1; }));
    EXPECT_EQ(heard.size(), 3u) << "nothing after the reset";
}

TEST(SessionBusNames, OwnedBundleIdentifierMakesAnApplicationRunning) {
    ManualMainExecutor main;
    const auto center = SessionBusNotificationCenter::connect(main);
    ASSERT_TRUE(center) << "no session bus: run under scripts/with-session";
    LinuxSuiteDesktop desktop({{}, "/nonexistent-proc", &center->bus()});
    EXPECT_FALSE(suiteapp::isRunning(TarnSuiteApp::rillet, desktop));

    ASSERT_TRUE(center->bus().ownName(suiteapp::bundleIdentifier(TarnSuiteApp::rillet)));
    EXPECT_TRUE(center->bus().ownName(suiteapp::bundleIdentifier(TarnSuiteApp::rillet)))
        << "already ours";
    EXPECT_FALSE(center->bus().ownName("not a bus name"));
    const auto running = desktop.runningApplications();
    const auto found =
        std::find_if(running.begin(), running.end(), [](const RunningApplication& r) {
            return r.bundleIdentifier == "com.corvane.rillet";
        });
    ASSERT_NE(found, running.end());
    EXPECT_EQ(found->pid, ::getpid());
    EXPECT_TRUE(suiteapp::isRunning(TarnSuiteApp::rillet, desktop));
    EXPECT_TRUE(desktop.activate(*found)) << "sent; nobody answers, which is not waited for";
    EXPECT_EQ(SessionBus::objectPathFor("com.corvane.my-app"), "/com/corvane/my_app");

    EXPECT_FALSE(suiteapp::isRunning(TarnSuiteApp::quiller, desktop));
    ASSERT_TRUE(center->bus().ownBundleIdentifier());
    EXPECT_TRUE(suiteapp::isRunning(TarnSuiteApp::quiller, desktop))
        << "this application, seen by its siblings";
}

// The receiving side of the two-process test, started by it in a child
// process (disabled, so that it never runs on its own).
TEST(SessionBusChild, DISABLED_ReceivesOneCommand) {
    const char* folder = std::getenv(kChildFolderVariable);
    ASSERT_NE(folder, nullptr);
    ManualMainExecutor main;
    const auto center = SessionBusNotificationCenter::connect(main);
    ASSERT_TRUE(center);
    ASSERT_TRUE(center->bus().ownName(suiteapp::bundleIdentifier(TarnSuiteApp::heddle)));
    TarnSuiteCommandBus::Ports ports;
    ports.mainExecutor = &main;
    ports.notifications = center.get();
    TarnSuiteCommandBus bus(std::filesystem::path(folder), ports);
    std::optional<TarnSuiteCommandEnvelope> received;
    auto listener = bus.startListening(TarnSuiteApp::heddle,
                                       [&](const auto& envelope) { received = envelope; });
    main.advance(TarnSuiteCommandBus::firstTakeDelay); // nothing was pending
    std::cout << "ready" << std::endl;
    ASSERT_TRUE(runUntil(
        main, [&] { return received.has_value(); }, 20s));
    std::cout << "received " << commandkind::rawValue(received->kind) << " from "
              << suiteapp::rawValue(received->sourceApp) << std::endl;
}

TEST(SessionBusTwoProcesses, OneSendsACommandAndTheOtherReceivesIt) {
    ManualMainExecutor main;
    const auto center = SessionBusNotificationCenter::connect(main);
    ASSERT_TRUE(center) << "no session bus: run under scripts/with-session";
    TemporaryFolder folder("quiller-two-processes");

    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable)
        environment.emplace_back(*variable);
    environment.push_back(std::string(kChildFolderVariable) + "=" + folder.path().string());
    ChildProcessOptions options;
    options.executable = std::filesystem::read_symlink("/proc/self/exe");
    options.arguments = {"--gtest_also_run_disabled_tests", "--gtest_filter=SessionBusChild.*"};
    options.environment = environment;
    const auto child = ChildProcess::launch(options);

    std::string output;
    const auto collect = [&](OutputStream, std::string_view text) { output.append(text); };
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (output.find("ready\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && !child->outputEnded())
        child->pump(ChildProcess::WaitFor::outputEnd, std::chrono::steady_clock::now() + 50ms,
                    collect);
    ASSERT_NE(output.find("ready\n"), std::string::npos) << output;

    LinuxSuiteDesktop desktop({{}, "/proc", &center->bus()});
    TarnSuiteCommandBus::Ports ports;
    ports.mainExecutor = &main;
    ports.notifications = center.get();
    ports.desktop = &desktop;
    TarnSuiteCommandBus bus(folder.path(), ports);
    EXPECT_EQ(bus.dispatch(TarnSuiteCommandKind::heddleThawAll, TarnSuiteApp::quiller,
                           TarnSuiteApp::heddle, std::nullopt, std::nullopt, std::nullopt, false,
                           false),
              CommandDispatchOutcome::delivered);

    child->pump(ChildProcess::WaitFor::outputEnd, std::chrono::steady_clock::now() + 20s, collect);
    const ChildExitStatus status = child->reap();
    EXPECT_NE(output.find("received heddleThawAll from Quiller"), std::string::npos) << output;
    EXPECT_EQ(status, (ChildExitStatus{ChildExitStatus::Kind::exited, 0})) << output;
    EXPECT_FALSE(std::filesystem::exists(bus.commandFile(TarnSuiteApp::heddle)));
}

} // namespace
