#include "QuillerApp/App/QuillerApp.h"
#include "QuillerApp/App/QuillerCommandMenu.h"
#include "QuillerApp/App/QuillerStudioWindow.h"
#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "TarnKit/Design/TarnAppActivationDelegate.h"
#include "TarnKit/Platform/NotificationCenter.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "support/LoopbackHTTPServer.h"
#include "support/TemporaryFolder.h"
#include "support/ViewModelFakes.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>

namespace quiller {
namespace {

using namespace std::chrono_literals;

// The application over the real execution service, the real background
// executor and real stores in a folder of the test's; the desktop ports are
// fakes.
class QuillerAppTest : public ::testing::Test {
protected:
    std::unique_ptr<QuillerApp> makeApp() {
        return std::make_unique<QuillerApp>(
            [this](std::shared_ptr<tarn::MainExecutor> main,
                   std::shared_ptr<tarn::BackgroundExecutor> background) {
                QuillerViewModelPorts ports;
                ports.main = std::move(main);
                ports.background = std::move(background);
                ports.clock = std::make_shared<SystemClock>();
                ports.clipboard = std::make_shared<testing::FakeClipboard>();
                ports.filePanels = std::make_shared<testing::FakeFilePanels>();
                ports.launchAtLogin = std::make_shared<testing::FakeLaunchAtLogin>();
                ports.urlOpener = std::make_shared<testing::FakeURLOpener>();
                ports.workspaceStore =
                    std::make_shared<WorkspaceStoreAdapter>(folder.path() / "workspace", keychain);
                ports.historyStore =
                    std::make_shared<HistoryStoreAdapter>(folder.path() / "history");
                ports.requestExecution = std::make_shared<RequestExecutionAdapter>();
                ports.collectionRunner = std::make_shared<CollectionRunnerAdapter>();
                ports.mcpInspector = std::make_shared<testing::FakeMCPInspector>();
                ports.mockServer = std::make_shared<testing::FakeMockServer>();
                ports.webSocket = std::make_shared<testing::FakeWebSocket>();
                ports.logger = &logger;
                ports.language = tarn::TarnLanguage::en;
                return ports;
            });
    }

    std::string workspaceFile() {
        std::ifstream in(folder.path() / "workspace" / "workspace.json");
        return {std::istreambuf_iterator<char>(in), {}};
    }

    tarn::testing::TemporaryFolder folder{"quiller-quit"};
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger{"Quiller", folder.path() / "log", 1 << 20, 1, nullptr};
    tarn::testing::LoopbackHTTPServer server;
};

// Quit while a send, a collection run and a benchmark wait on a server that
// never answers: the application is gone well within a second, the last
// edit is on disk, and nothing waits for the transfers' own time-outs.
TEST_F(QuillerAppTest, EndsWithinASecondDuringHangingTransfers) {
    server.route("/hang", tarn::testing::ScriptedReply::silence());
    std::unique_ptr<QuillerApp> app = makeApp();
    QuillerViewModel& model = app->viewModel();
    const tarn::UUID requestID = model.activeRequest()->id;
    model.updateRequest(requestID, [&](APIRequestSpec& spec) {
        spec.name = "Hanging";
        spec.method = TarnHTTPMethod::get;
        spec.url = server.url("/hang");
    });
    model.persist();
    model.sendActiveRequest();
    model.runLoadBenchmark(4, 2);
    ASSERT_TRUE(server.waitForRequests(3, 10s)) << "the transfers never reached the server";
    QCoreApplication::processEvents();
    ASSERT_TRUE(model.isSending());

    const auto start = std::chrono::steady_clock::now();
    app.reset();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, 1s) << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()
                           << " ms";
    EXPECT_NE(workspaceFile().find("Hanging"), std::string::npos);
}

// A reopen with no window visible opens the one studio window; another one
// while it is open, or minimised, leaves that same window shown and restored.
TEST_F(QuillerAppTest, ReopenOpensTheOneStudioWindow) {
    std::unique_ptr<QuillerApp> app = makeApp();
    QuillerStudioWindow& window = app->studioWindow();
    const auto reopen = [] {
        tarn::NotificationCenter::defaultCenter().post(
            tarn::TarnAppActivationDelegate::reopenStudioWindowNotificationName());
        QCoreApplication::processEvents();
    };
    const auto studioWindows = [] {
        int count = 0;
        for (const QWidget* widget : QApplication::topLevelWidgets())
            count += widget->objectName() == QStringLiteral("studio") && widget->isVisible();
        return count;
    };
    ASSERT_FALSE(window.isVisible());

    reopen();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(studioWindows(), 1);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quiller — by Corvane"));
    EXPECT_EQ(window.minimumSize(), QSize(1120, 700));

    window.showMaximized();
    window.showMinimized();
    QCoreApplication::processEvents();
    reopen();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isMaximized());
    EXPECT_EQ(studioWindows(), 1);
}

// Without a global menu bar (as on most desktops) the application menu is
// still reachable: it hangs from the end of the command menu the tray shows.
TEST_F(QuillerAppTest, ApplicationMenuHangsFromTheCommandMenuWithoutAGlobalMenuBar) {
    std::unique_ptr<QuillerApp> app = makeApp();
    const QList<QAction*> items = app->commandMenu().menu()->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_TRUE(items[items.size() - 2]->isSeparator());
    QMenu* appMenu = items.back()->menu();
    ASSERT_NE(appMenu, nullptr);
    EXPECT_EQ(appMenu->title(), QStringLiteral("Quiller"));
    bool feedback = false;
    for (const QAction* action : appMenu->actions())
        feedback = feedback || action->text().contains(QStringLiteral("Feedback"));
    EXPECT_TRUE(feedback) << "the feedback composer cannot be opened";
}

} // namespace
} // namespace quiller
