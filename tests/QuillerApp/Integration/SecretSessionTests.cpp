// A whole session over the real services, then a search of everything it
// wrote: the workspace, the history and the log hold no secret value in any
// form a secret travels in - as typed, percent-encoded (query and form style),
// JSON-escaped or Base64, a Basic credential included - whether it went out
// in a header, a query value, a path segment or Basic authentication, and
// whether the request was typed, captured by the mock server and replayed, or
// loaded back from the history.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/ViewModels/RealPorts.h"
#include "TarnKit/Platform/Base64.h"
#include "TarnKit/Platform/Executors.h"
#include "TarnKit/Platform/URLComponents.h"
#include "TarnKit/System/InMemoryKeychain.h"
#include "support/EnvironmentScope.h"
#include "support/ManualExecutors.h"
#include "support/TemporaryFolder.h"
#include "support/ViewModelFakes.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quiller::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Secret {
    std::string key;
    std::string value;
};

const std::vector<Secret> kSecrets = {
    {"token", "hdr-T0ken/9+x"},  // a header
    {"q", "qry s3cret&x=1"},     // a query value, encoded on the wire
    {"seg", "s3gment-P4th"},     // a path segment
    {"pass", "b4sic-p@ss:word"}, // the password of Basic authentication
};
constexpr std::string_view kUser = "alice";

// Every form in which a value can end up in a file.
std::set<std::string> formsOf(const std::string& value) {
    std::set<std::string> forms = {value, tarn::percentEncodedQueryComponent(value),
                                   tarn::base64::encode(value)};
    std::string form = tarn::percentEncodedQueryComponent(value);
    for (std::size_t at = form.find("%20"); at != std::string::npos; at = form.find("%20", at))
        form.replace(at, 3, "+");
    forms.insert(form);
    std::string escaped;
    for (const char c : value)
        escaped += c == '/' ? std::string("\\/") : std::string(1, c);
    forms.insert(escaped);
    return forms;
}

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SecretSessionTest : public ::testing::Test {
protected:
    SecretSessionTest() {
        std::vector<KeyValueRow> variables = {
            KeyValueRow{.key = "user", .value = std::string(kUser)}};
        for (const Secret& secret : kSecrets)
            variables.push_back(
                KeyValueRow{.key = secret.key, .value = secret.value, .isSecret = true});
        environment = makeEnvironment("Session", std::move(variables));
        {
            QuillerWorkspaceStore writer(data, keychain);
            EXPECT_FALSE(
                writer.save(QuillerWorkspacePayload{.collections = {makeCollection("Session", {})},
                                                    .environments = {environment},
                                                    .activeEnvironmentID = environment.id,
                                                    .mockRoutes = {},
                                                    .proxyPort = 0}));
        }
        QuillerViewModelPorts ports =
            makeRealPorts(main, background, std::make_shared<FakeClipboard>(),
                          std::make_shared<FakeFilePanels>(), std::make_shared<FakeURLOpener>());
        ports.launchAtLogin = std::make_shared<FakeLaunchAtLogin>();
        ports.workspaceStore = std::make_shared<WorkspaceStoreAdapter>(data, keychain);
        ports.historyStore = std::make_shared<HistoryStoreAdapter>(data);
        // The application's own shared log, which the services write to as
        // well; it lives under the data home set above.
        ports.logger = nullptr;
        ports.language = tarn::TarnLanguage::en;
        viewModel = std::make_unique<QuillerViewModel>(std::move(ports));
    }

    ~SecretSessionTest() override {
        if (viewModel && viewModel->isProxyRunning())
            viewModel->toggleProxyServer();
        viewModel.reset();
        background.reset();
    }

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

    // Sends the selected request and waits for its end.
    void send() {
        const std::size_t entries = vm().executionHistory().size();
        vm().sendActiveRequest();
        ASSERT_TRUE(pumpUntil([&] { return !vm().isSending(); }));
        ASSERT_EQ(vm().executionHistory().size(), entries + 1);
    }

    void addAndSelect(APIRequestSpec request) {
        auto collections = vm().collections();
        collections[0].requests.insert(collections[0].requests.begin(), request);
        vm().setCollections(std::move(collections));
        vm().setSelectedRequestID(request.id);
        vm().persist();
    }

    QuillerViewModel& vm() { return *viewModel; }

    tarn::testing::TemporaryFolder folder{"quiller-secrets"};
    fs::path data = folder.path() / "data";
    tarn::testing::EnvironmentScope dataHome{"XDG_DATA_HOME", data.string()};
    tarn::InMemoryKeychain keychain;
    std::shared_ptr<tarn::testing::ManualMainExecutor> main =
        std::make_shared<tarn::testing::ManualMainExecutor>();
    std::shared_ptr<tarn::ThreadBackgroundExecutor> background =
        std::make_shared<tarn::ThreadBackgroundExecutor>();
    APIEnvironmentProfile environment;
    std::unique_ptr<QuillerViewModel> viewModel;
};

TEST_F(SecretSessionTest, NoFileOfTheSessionHoldsASecretInAnyForm) {
    vm().setProxyPortText("0");
    vm().toggleProxyServer();
    ASSERT_TRUE(vm().isProxyRunning()) << vm().toastMessage().value_or("");
    const std::string base = "http://127.0.0.1:" + std::to_string(vm().activeProxyPort());

    APIRequestSpec typed = makeRequest("Typed", base + "/echo/{{seg}}");
    typed.queryParams = {KeyValueRow{.key = "lookup", .value = "{{q}}"}};
    typed.headers = {KeyValueRow{.key = "X-Token", .value = "{{token}}"}};
    typed.auth.kind = RequestAuthKind::basic;
    typed.auth.basicUsername = "{{user}}";
    typed.auth.basicPassword = "{{pass}}";
    addAndSelect(typed);
    send();
    ASSERT_EQ(vm().latestResponse()->statusCode, 200) << vm().toastMessage().value_or("");

    // The capture holds what went out, and its replay sends the same again.
    ASSERT_TRUE(pumpUntil([&] { return vm().capturedExchanges().size() == 1; }));
    const CapturedProxyExchange capture = vm().capturedExchanges().front();
    EXPECT_NE(capture.path.find("s3gment-P4th"), std::string::npos);
    vm().replayExchangeInClient(capture);
    const APIRequestSpec replay = vm().collections()[0].requests[0];
    EXPECT_EQ(replay.url, base + "/echo/{{seg}}");
    EXPECT_EQ(replay.auth.kind, RequestAuthKind::basic);
    send();
    ASSERT_EQ(vm().latestResponse()->statusCode, 200) << vm().toastMessage().value_or("");
    ASSERT_TRUE(pumpUntil([&] { return vm().capturedExchanges().size() == 2; }));
    const CapturedProxyExchange replayed = vm().capturedExchanges().front();
    EXPECT_EQ(replayed.path, capture.path);
    EXPECT_EQ(replayed.requestHeaders, capture.requestHeaders);

    // A request that fails on its way, naming the path in its log line.
    addAndSelect(makeRequest("Refused", "http://127.0.0.1:1/echo/{{seg}}?lookup={{q}}"));
    send();

    // The typed request, gone from the workspace, comes back from the history.
    vm().deleteRequest(typed.id, vm().collections()[0].id);
    const RequestHistoryEntry typedEntry = vm().executionHistory().back();
    vm().loadHistoryEntry(typedEntry);

    vm().toggleProxyServer();
    vm().flushSaves();
    viewModel.reset();

    std::vector<std::pair<std::string, std::string>> forbidden;
    for (const Secret& secret : kSecrets)
        for (const std::string& form : formsOf(secret.value))
            forbidden.emplace_back(secret.key, form);
    for (const Secret& secret : kSecrets)
        if (secret.key == "pass")
            for (const std::string& form :
                 formsOf(tarn::base64::encode(std::string(kUser) + ":" + secret.value)))
                forbidden.emplace_back("Basic credential", form);

    std::set<std::string> searched;
    for (const auto& item : fs::recursive_directory_iterator(folder.path())) {
        if (!item.is_regular_file())
            continue;
        searched.insert(item.path().filename().string());
        const std::string text = contentsOf(item.path());
        for (const auto& [name, form] : forbidden)
            EXPECT_EQ(text.find(form), std::string::npos)
                << name << " as \"" << form << "\" in " << item.path();
    }
    // The search saw the files it is about.
    EXPECT_TRUE(searched.contains("workspace.json"));
    EXPECT_TRUE(searched.contains("history.json"));
    EXPECT_TRUE(searched.contains("quiller.log"));
}

} // namespace
} // namespace quiller::testing
