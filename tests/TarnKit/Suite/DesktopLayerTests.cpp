#include "FakeSuiteDesktop.h"
#include "TarnKit/Suite/LinuxSuiteDesktop.h"
#include "support/ProcessInspection.h"
#include "support/TemporaryFolder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace tarn;
using tarn::testing::FakeSuiteDesktop;
using tarn::testing::TemporaryFolder;
using Arguments = std::vector<std::string>;

TEST(DesktopEntry, ExecLineTable) {
    const struct {
        const char* exec;
        std::optional<Arguments> expected;
    } cases[] = {
        {"heddle", Arguments{"heddle"}},
        {"/opt/Heddle/heddle --hidden %U", Arguments{"/opt/Heddle/heddle", "--hidden"}},
        {"env  A=1\theddle %f %F %i %c %k", Arguments{"env", "A=1", "heddle"}},
        {R"("/opt/My Apps/heddle" "--name=a \"b\" \$c \\ d")",
         Arguments{"/opt/My Apps/heddle", R"(--name=a "b" $c \ d)"}},
        {"heddle --share=100%% --file=%f", Arguments{"heddle", "--share=100%", "--file="}},
        {R"(heddle "")", Arguments{"heddle", ""}},
        {R"(heddle "unbalanced)", std::nullopt},
        {"   ", std::nullopt},
        {"%U", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktopentry::execArguments(c.exec), c.expected) << c.exec;
}

TEST(DesktopEntry, ReadsTheDesktopEntryGroupOnly) {
    const std::string entry =
        "# comment\n[Other]\nExec=wrong\n\n[Desktop Entry]\r\nName=Heddle\nExec = "
        "heddle\\s--x\\\\y\\q \n[Desktop Action new]\nExec=also-wrong\n";
    EXPECT_EQ(desktopentry::value(entry, "Exec"), "heddle --x\\y\\q");
    EXPECT_EQ(desktopentry::value(entry, "Name"), "Heddle");
    EXPECT_FALSE(desktopentry::value(entry, "Icon"));
    EXPECT_FALSE(desktopentry::value("[Other]\nExec=x\n", "Exec"));
}

TEST(DesktopEntry, ResolvesProgramsOnThePath) {
    EXPECT_EQ(desktopentry::resolveProgram("sh").value().filename(), "sh");
    EXPECT_EQ(desktopentry::resolveProgram("/no/such/thing"),
              std::filesystem::path("/no/such/thing"));
    EXPECT_FALSE(desktopentry::resolveProgram("quiller-no-such-program"));
    EXPECT_FALSE(desktopentry::resolveProgram(""));
}

// Whether this process has any child left to reap (a zombie included).
bool hasUnreapedChild() {
    int status = 0;
    const pid_t pid = ::waitpid(-1, &status, WNOHANG | __WALL);
    return !(pid < 0 && errno == ECHILD);
}

TEST(DesktopEntry, LaunchesDetachedWithoutLeavingAZombie) {
    TemporaryFolder folder("quiller-launch");
    const std::filesystem::path marker = folder.path() / "started";
    ASSERT_TRUE(desktopentry::launchDetached(
        {"/bin/sh", "-c",
         "echo $$ $PPID $(cut -d' ' -f6 /proc/$$/stat) > \"$0\".tmp && mv \"$0\".tmp \"$0\"",
         marker.string()}));
    EXPECT_FALSE(hasUnreapedChild())
        << "the intermediate process was reaped, the program is not ours";

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!std::filesystem::exists(marker) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream stream(marker);
    long pid = 0;
    long parent = 0;
    long session = 0;
    ASSERT_TRUE(stream >> pid >> parent >> session);
    EXPECT_NE(parent, ::getpid());
    EXPECT_NE(session, ::getsid(0)) << "a session of its own";
    EXPECT_FALSE(hasUnreapedChild());

    // A program that cannot run is reported.
    folder.write("not-executable", "#!/bin/sh\n");
    EXPECT_FALSE(desktopentry::launchDetached({(folder.path() / "not-executable").string()}));
    EXPECT_FALSE(desktopentry::launchDetached({"/no/such/program"}));
    EXPECT_FALSE(hasUnreapedChild());
}

TEST(LinuxSuiteDesktop, FindsEntriesUserFolderFirstAndOpensTheirExecLine) {
    TemporaryFolder folder("quiller-desktop");
    const auto user = folder.path() / "user";
    const auto system = folder.path() / "system";
    std::filesystem::create_directories(user / "applications");
    std::filesystem::create_directories(system / "applications");
    const std::filesystem::path marker = folder.path() / "opened";
    const std::string script = "[Desktop Entry]\nType=Application\nExec=sh -c \"echo opened > '" +
                               marker.string() + "'\" %U\n";
    folder.write("system/applications/com.corvane.heddle.desktop", "[Desktop Entry]\nExec=false\n");
    folder.write("user/applications/com.corvane.heddle.desktop", script);
    folder.write("system/applications/com.corvane.tavlor.desktop",
                 "[Desktop Entry]\nExec=no-such-program-here\n");

    LinuxSuiteDesktop desktop({{user, system}, folder.path() / "proc", nullptr});
    EXPECT_EQ(suiteapp::installedURL(TarnSuiteApp::heddle, desktop),
              user / "applications" / "com.corvane.heddle.desktop");
    EXPECT_TRUE(suiteapp::isInstalled(TarnSuiteApp::tavlor, desktop));
    EXPECT_FALSE(suiteapp::isInstalled(TarnSuiteApp::sketto, desktop));

    EXPECT_TRUE(desktop.open(*suiteapp::installedURL(TarnSuiteApp::heddle, desktop), true));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!std::filesystem::exists(marker) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_FALSE(desktop.open(*suiteapp::installedURL(TarnSuiteApp::tavlor, desktop), false));
    EXPECT_FALSE(desktop.open(folder.path() / "missing.desktop", false));
}

TEST(LinuxSuiteDesktop, ListsTheUsersProcessesByName) {
    TemporaryFolder folder("quiller-proc");
    const auto proc = folder.path() / "proc";
    for (const char* pid : {"100", "200", "300", "self", "12x"})
        std::filesystem::create_directories(proc / pid);
    folder.write("proc/100/comm", "Heddle\n");
    folder.write("proc/200/comm", "bash\n");
    folder.write("proc/self/comm", "Tavlor\n");
    folder.write("proc/12x/comm", "Sketto\n");
    // 300 has no comm: a process that ended while we looked.

    LinuxSuiteDesktop desktop({{}, proc, nullptr});
    std::vector<RunningApplication> running = desktop.runningApplications();
    std::sort(running.begin(), running.end(),
              [](const auto& a, const auto& b) { return a.pid < b.pid; });
    EXPECT_EQ(running, (std::vector<RunningApplication>{{std::nullopt, "Heddle", 100},
                                                        {std::nullopt, "bash", 200}}));
    EXPECT_TRUE(suiteapp::isRunning(TarnSuiteApp::heddle, desktop));
    EXPECT_FALSE(suiteapp::isRunning(TarnSuiteApp::tavlor, desktop));
    EXPECT_FALSE(desktop.activate(running[0])) << "no bus name: nothing can bring it forward";

    // The real /proc: this test program is among the user's processes.
    LinuxSuiteDesktop real({{}, "/proc", nullptr});
    const auto all = real.runningApplications();
    EXPECT_TRUE(
        std::any_of(all.begin(), all.end(), [](const auto& r) { return r.pid == ::getpid(); }));
}

TEST(SuiteAppDesktop, RunningMatchAndLaunchTable) {
    FakeSuiteDesktop desktop;
    desktop.running = {{"org.example.other", "HEDDLE", 10}};
    EXPECT_TRUE(suiteapp::isRunning(TarnSuiteApp::heddle, desktop))
        << "the name counts, in any letter case";
    desktop.running = {{"COM.CORVANE.TAVLOR", std::nullopt, 11}};
    EXPECT_TRUE(suiteapp::isRunning(TarnSuiteApp::tavlor, desktop));
    EXPECT_FALSE(suiteapp::isRunning(TarnSuiteApp::heddle, desktop));

    // Running: brought forward, never opened a second time.
    desktop.install(TarnSuiteApp::tavlor);
    EXPECT_TRUE(suiteapp::launch(TarnSuiteApp::tavlor, desktop));
    EXPECT_EQ(desktop.activated.size(), 1u);
    EXPECT_TRUE(desktop.opened.empty());
    // Installed only: opened, to the front.
    desktop.install(TarnSuiteApp::sketto);
    EXPECT_TRUE(suiteapp::launch(TarnSuiteApp::sketto, desktop));
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_TRUE(desktop.opened[0].activates);
    // Neither: false, and nothing else happens.
    EXPECT_FALSE(suiteapp::launch(TarnSuiteApp::orrin, desktop));
    EXPECT_EQ(desktop.activated.size(), 1u);
    EXPECT_EQ(desktop.opened.size(), 1u);
}

} // namespace
