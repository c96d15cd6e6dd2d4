// The view model over the real services, end to end on loopback: a request
// goes out through the execution service to the application's own mock
// server, lands in the history file with its secret redacted, shows up as a
// capture, and the capture replays as a new request that reaches the server
// again; the WebSocket console talks to a real server. Only the clipboard,
// the file panels and launch at login are fakes.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "QuillerCore/Engine/RequestHistoryStore.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "support/EnvironmentScope.h"
#include "support/LoopbackWebSocketServer.h"
#include "support/ManualExecutors.h"
#include "support/NoError.h"
#include "support/TemporaryFolder.h"
#include "support/ViewModelFakes.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

namespace quiller::testing {
namespace {

using tarn::testing::noError;
using namespace std::chrono_literals;

class EndToEndTest : public ::testing::Test {
protected:
    EndToEndTest() {
        const auto secret = KeyValueRow{.key = "token", .value = "e2e-s3cret", .isSecret = true};
        environment = makeEnvironment("Loopback", {secret});
        // The URL is filled in once the mock server has its port.
        request = makeRequest("Echo", "http://127.0.0.1/");
        request.headers = {KeyValueRow{.key = "X-Token", .value = "{{token}}"}};
        request.queryParams = {KeyValueRow{.key = "from", .value = "quiller"}};
        {
            QuillerWorkspaceStore writer(folder.path(), keychain);
            EXPECT_TRUE(noError(writer.save(
                QuillerWorkspacePayload{.collections = {makeCollection("End to end", {request})},
                                        .environments = {environment},
                                        .activeEnvironmentID = environment.id,
                                        .mockRoutes = {},
                                        .proxyPort = 0})));
        }

        QuillerViewModelPorts ports =
            makeRealPorts(main, background, std::make_shared<FakeClipboard>(),
                          std::make_shared<FakeFilePanels>(), std::make_shared<FakeURLOpener>());
        ports.launchAtLogin = std::make_shared<FakeLaunchAtLogin>();
        ports.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(folder.path(), keychain);
        ports.historyStore = std::make_shared<HistoryStoreAdapter>(folder.path());
        ports.logger = &logger;
        ports.language = tarn::TarnLanguage::en;
        viewModel = std::make_unique<QuillerViewModel>(std::move(ports));
    }

    ~EndToEndTest() override {
        // Background jobs end before the view model goes; their completions
        // are dropped with the executor.
        if (viewModel && viewModel->isProxyRunning())
            viewModel->toggleProxyServer();
        viewModel.reset();
        background.reset();
    }

    // Runs main-thread work as the real services hand it over, until
    // `done` holds or ten seconds pass.
    bool pumpUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < limit) {
            main->runUntilIdle();
            if (done())
                return true;
            std::this_thread::sleep_for(2ms);
        }
        main->runUntilIdle();
        return done();
    }

    std::string historyFileText() const {
        std::ifstream file(folder.path() / "history.json", std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    QuillerViewModel& vm() { return *viewModel; }

    tarn::testing::TemporaryFolder folder{"quiller-e2e"};
    // The services log to the application's shared log: keep it out of the
    // real home.
    tarn::testing::EnvironmentScope dataHome{"XDG_DATA_HOME", (folder.path() / "data").string()};
    tarn::InMemoryKeychain keychain;
    tarn::TarnAppLogger logger{"Quiller", folder.path() / "logs", 1 << 20, 1, nullptr};
    std::shared_ptr<tarn::testing::ManualMainExecutor> main =
        std::make_shared<tarn::testing::ManualMainExecutor>();
    std::shared_ptr<tarn::ThreadBackgroundExecutor> background =
        std::make_shared<tarn::ThreadBackgroundExecutor>();
    APIEnvironmentProfile environment;
    APIRequestSpec request;
    std::unique_ptr<QuillerViewModel> viewModel;
};

TEST_F(EndToEndTest, SendRecordCaptureAndReplayOverTheRealServices) {
    ASSERT_EQ(vm().environments().at(0).variables.at(0).value, "e2e-s3cret")
        << "the secret comes back from the keychain";

    // Any free port; the one taken is shown.
    vm().setProxyPortText("0");
    vm().toggleProxyServer();
    ASSERT_TRUE(vm().isProxyRunning()) << vm().toastMessage().value_or("");
    const std::uint16_t port = vm().activeProxyPort();
    ASSERT_NE(port, 0);
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    auto collections = vm().collections();
    collections[0].requests[0].url = base + "/echo";
    vm().setCollections(collections);
    vm().setSelectedRequestID(request.id);

    vm().sendActiveRequest();
    ASSERT_TRUE(pumpUntil([&] { return !vm().isSending(); }));
    ASSERT_TRUE(vm().latestResponse()) << vm().toastMessage().value_or("");
    EXPECT_EQ(vm().latestResponse()->statusCode, 200);
    EXPECT_NE(vm().latestResponse()->bodyText.str().find("Quiller Local Inspector"),
              std::string::npos);

    // The history file holds the exchange, without the secret, once its
    // saver has written it.
    ASSERT_EQ(vm().executionHistory().size(), 1u);
    vm().flushSaves();
    const std::string history = historyFileText();
    EXPECT_EQ(history.find("e2e-s3cret"), std::string::npos) << history;
    const auto stored = RequestHistoryStore(folder.path()).load();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].sanitizedURL, base + "/echo?from=quiller");
    ASSERT_EQ(stored[0].requestSnapshot.headers.size(), 1u);
    EXPECT_EQ(stored[0].requestSnapshot.headers[0].value, "***REDACTED***");

    // The mock server captured it.
    ASSERT_TRUE(pumpUntil([&] { return vm().capturedExchanges().size() == 1; }));
    const CapturedProxyExchange capture = vm().capturedExchanges().front();
    EXPECT_EQ(capture.method, "GET");
    EXPECT_EQ(capture.path, "/echo?from=quiller");
    EXPECT_EQ(capture.statusCode, 200);
    // The secret itself went out.
    const auto hasToken = [](const CapturedProxyExchange& exchange) {
        for (const auto& [name, value] : exchange.requestHeaders)
            if (tarn::text::caseFolded(name) == "x-token" && value == "e2e-s3cret")
                return true;
        return false;
    };
    EXPECT_TRUE(hasToken(capture));

    // Replay: a new request on top of the collection that reaches the server
    // again with the captured header.
    vm().replayExchangeInClient(capture);
    ASSERT_EQ(vm().collections()[0].requests.size(), 2u);
    const APIRequestSpec replay = vm().collections()[0].requests[0];
    EXPECT_EQ(vm().selectedRequestID(), replay.id);
    EXPECT_EQ(replay.url, base + "/echo?from=quiller");

    vm().sendActiveRequest();
    ASSERT_TRUE(pumpUntil([&] { return !vm().isSending(); }));
    ASSERT_TRUE(vm().latestResponse());
    EXPECT_EQ(vm().latestResponse()->statusCode, 200);
    EXPECT_EQ(vm().executionHistory().size(), 2u);
    ASSERT_TRUE(pumpUntil([&] { return vm().capturedExchanges().size() == 2; }));
    // The newest capture is the replay, carrying the captured header along;
    // the history file still holds no secret.
    const CapturedProxyExchange& replayed = vm().capturedExchanges().front();
    EXPECT_EQ(replayed.path, "/echo?from=quiller");
    EXPECT_TRUE(hasToken(replayed));
    vm().flushSaves();
    EXPECT_EQ(historyFileText().find("e2e-s3cret"), std::string::npos);

    // Both requests of the collection through the runner.
    vm().runActiveCollectionSuite();
    ASSERT_TRUE(pumpUntil([&] { return !vm().isRunningCollection(); }));
    ASSERT_EQ(vm().collectionRunResults().size(), 2u);
    for (const auto& step : vm().collectionRunResults()) {
        EXPECT_EQ(step.statusCode, 200) << step.requestName;
        EXPECT_FALSE(step.errorMessage) << *step.errorMessage;
    }

    vm().toggleProxyServer();
    EXPECT_FALSE(vm().isProxyRunning());
}

TEST_F(EndToEndTest, TheWebSocketConsoleTalksToARealServer) {
    tarn::testing::LoopbackWebSocketServer server;
    vm().setWsURL(server.url("127.0.0.1", "/socket"));

    vm().toggleWebSocket();
    ASSERT_TRUE(vm().isWSConnected()) << vm().toastMessage().value_or("");
    vm().setWsDraftMessage("ping");
    vm().sendWebSocketMessage();

    // Our frame, then the server's echo, newest first.
    ASSERT_TRUE(pumpUntil([&] { return vm().wsFrames().size() == 2; }));
    EXPECT_FALSE(vm().wsFrames()[0].isOutgoing);
    EXPECT_EQ(vm().wsFrames()[0].payload, "ping");
    EXPECT_TRUE(vm().wsFrames()[1].isOutgoing);

    vm().toggleWebSocket();
    EXPECT_FALSE(vm().isWSConnected());
    ASSERT_TRUE(tarn::testing::LoopbackWebSocketServer::waitUntil(
        [&] { return !server.closeCodes().empty(); }));
    EXPECT_EQ(server.closeCodes().front(), 1000);
    main->runUntilIdle();
    EXPECT_FALSE(vm().isWSConnected());
}

} // namespace
} // namespace quiller::testing
