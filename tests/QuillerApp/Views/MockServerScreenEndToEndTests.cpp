// The mock-server screen over the real services on loopback: the server
// starts from the screen, a route typed into its form answers a request sent
// the way the workbench sends it, the capture appears in the screen's list and
// its Replay button puts a request into the client that reaches the server
// again. Only the clipboard, the file panels and launch at login are fakes.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "QuillerApp/Views/LocalProxyAndMockView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "ScreenTestSupport.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/PlatformQt/QtMainExecutor.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "support/EnvironmentScope.h"
#include "support/TemporaryFolder.h"
#include "support/ViewModelFakes.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace quiller {
namespace {

using namespace std::chrono_literals;
using testing::child;
using testing::click;
using testing::typeText;

class MockServerScreenEndToEndTest : public ::testing::Test {
protected:
    MockServerScreenEndToEndTest() {
        QuillerViewModelPorts ports =
            makeRealPorts(main, background, std::make_shared<testing::FakeClipboard>(),
                          std::make_shared<testing::FakeFilePanels>(),
                          std::make_shared<testing::FakeURLOpener>());
        ports.launchAtLogin = std::make_shared<testing::FakeLaunchAtLogin>();
        ports.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(folder.path(), keychain);
        ports.historyStore = std::make_shared<HistoryStoreAdapter>(folder.path());
        ports.logger = &logger;
        ports.language = tarn::TarnLanguage::en;
        viewModel = std::make_unique<QuillerViewModel>(std::move(ports));
        bridge = std::make_unique<ViewModelBridge>(*viewModel);
        view = std::make_unique<LocalProxyAndMockView>(*viewModel, *bridge);
        view->resize(1100, 700);
        view->show();
        QCoreApplication::processEvents();
    }

    ~MockServerScreenEndToEndTest() override {
        if (viewModel->isProxyRunning())
            viewModel->toggleProxyServer();
        view.reset();
        bridge.reset();
        viewModel.reset();
        background.reset();
    }

    // Runs the event loop until `done` holds or ten seconds pass.
    static bool pumpUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < limit) {
            QCoreApplication::processEvents();
            if (done())
                return true;
            std::this_thread::sleep_for(2ms);
        }
        QCoreApplication::processEvents();
        return done();
    }

    QuillerViewModel& vm() { return *viewModel; }
    QLineEdit* field(const char* name) { return child<QLineEdit>(view.get(), name); }
    // The newest captured row (the top one).
    QWidget* topCapturedRow() {
        QWidget* top = nullptr;
        for (QWidget* row : view->findChildren<QWidget*>(QStringLiteral("capturedRow")))
            if (!top || row->y() < top->y())
                top = row;
        return top;
    }

    tarn::testing::TemporaryFolder folder{"quiller-mock-screen-e2e"};
    tarn::testing::EnvironmentScope dataHome{"XDG_DATA_HOME", (folder.path() / "data").string()};
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger{"Quiller", folder.path() / "logs", 1 << 20, 1, nullptr};
    std::shared_ptr<tarn::QtMainExecutor> main = std::make_shared<tarn::QtMainExecutor>();
    std::shared_ptr<tarn::ThreadBackgroundExecutor> background =
        std::make_shared<tarn::ThreadBackgroundExecutor>();
    std::unique_ptr<QuillerViewModel> viewModel;
    std::unique_ptr<ViewModelBridge> bridge;
    std::unique_ptr<LocalProxyAndMockView> view;
};

TEST_F(MockServerScreenEndToEndTest, StartAddARouteSendSeeTheCaptureAndReplayIt) {
    // Any free port: the header shows the one taken.
    testing::clearField(field("proxyPortField"));
    typeText(field("proxyPortField"), QStringLiteral("0"));
    click(child<QAbstractButton>(view.get(), "proxyToggleButton"));
    ASSERT_TRUE(vm().isProxyRunning()) << vm().toastMessage().value_or("");
    const std::string base = "http://127.0.0.1:" + std::to_string(vm().activeProxyPort());
    ASSERT_TRUE(pumpUntil(
        [&] { return child<QLabel>(view.get(), "proxyTitle")->text().toStdString() == base; }));

    // A route of our own, typed into the form while the server runs.
    testing::clearField(field("routePathField"));
    typeText(field("routePathField"), QStringLiteral("greeting"));
    testing::clearField(field("routeStatusField"));
    typeText(field("routeStatusField"), QStringLiteral("+202"));
    testing::clearField(field("routeBodyField"));
    typeText(field("routeBodyField"), QStringLiteral("{\"hello\":\"world\"}"));
    click(child<QAbstractButton>(view.get(), "addRouteButton"));

    // Sent as the workbench's Send button sends the active request.
    const tarn::UUID requestID = vm().activeRequest()->id;
    vm().updateRequest(requestID, [&](APIRequestSpec& spec) {
        spec = APIRequestSpec{.id = spec.id, .name = "Greeting", .url = base + "/greeting"};
    });
    vm().sendActiveRequest();
    ASSERT_TRUE(pumpUntil([&] { return !vm().isSending(); }));
    ASSERT_TRUE(vm().latestResponse()) << vm().toastMessage().value_or("");
    EXPECT_EQ(vm().latestResponse()->statusCode, 202);
    EXPECT_EQ(vm().latestResponse()->bodyText, R"({"hello":"world"})");

    // The capture shows up in the screen.
    ASSERT_TRUE(pumpUntil([&] {
        return child<QLabel>(view.get(), "capturedHeading")->text() ==
               QStringLiteral("Captured Local Requests (1)");
    }));
    QWidget* row = topCapturedRow();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(child<QLabel>(row, "capturedStatus")->text(), QStringLiteral("202"));
    EXPECT_EQ(child<QLabel>(row, "capturedText")->text(), QStringLiteral("GET /greeting"));

    // Replay: a new request in the client that reaches the server again.
    vm().setSelectedTab(QuillerTab::proxy);
    click(child<QAbstractButton>(row, "replayButton"));
    EXPECT_EQ(vm().selectedTab(), QuillerTab::client);
    ASSERT_TRUE(vm().activeRequest());
    EXPECT_EQ(vm().activeRequest()->name, "Replay GET /greeting");
    EXPECT_EQ(vm().activeRequest()->url, base + "/greeting");
    vm().sendActiveRequest();
    ASSERT_TRUE(pumpUntil([&] { return !vm().isSending(); }));
    ASSERT_TRUE(vm().latestResponse());
    EXPECT_EQ(vm().latestResponse()->statusCode, 202);
    ASSERT_TRUE(pumpUntil([&] {
        return child<QLabel>(view.get(), "capturedHeading")->text() ==
               QStringLiteral("Captured Local Requests (2)");
    }));
    // The replay's own assertion expects 200, so the mock's 202 fails it.
    ASSERT_EQ(vm().latestResponse()->assertions.size(), 1u);
    EXPECT_FALSE(vm().latestResponse()->assertions[0].passed);

    click(child<QAbstractButton>(view.get(), "proxyToggleButton"));
    EXPECT_FALSE(vm().isProxyRunning());
    EXPECT_TRUE(pumpUntil([&] { return field("proxyPortField")->isEnabled(); }));
}

} // namespace
} // namespace quiller
