#include "PictureRegistry.h"

#include "TarnKit/PlatformQt/QtMainExecutor.h"
#include "support/ViewModelFakes.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace quiller::pictures {

namespace {

std::vector<Picture>& pictures() {
    static std::vector<Picture> all;
    return all;
}

} // namespace

bool registerPicture(std::string name, RenderFunction render) {
    auto& all = pictures();
    if (std::any_of(all.begin(), all.end(), [&](const Picture& p) { return p.name == name; }))
        throw std::logic_error("two pictures named " + name);
    const auto at =
        std::lower_bound(all.begin(), all.end(), name,
                         [](const Picture& p, const std::string& n) { return p.name < n; });
    all.insert(at, Picture{std::move(name), std::move(render)});
    return true;
}

const std::vector<Picture>& registeredPictures() {
    return pictures();
}

// The fakes of the view-model tests, answering like healthy services.
struct PictureContext::Fixture {
    std::shared_ptr<tarn::QtMainExecutor> main = std::make_shared<tarn::QtMainExecutor>();
    std::shared_ptr<tarn::testing::ManualBackgroundExecutor> background =
        std::make_shared<tarn::testing::ManualBackgroundExecutor>();
    tarn::testing::TemporaryFolder logFolder{"quiller-pictures-log"};
    tarn::TarnAppLogger logger{"Quiller", logFolder.path(), 1 << 20, 1, nullptr};
    std::unique_ptr<QuillerViewModel> viewModel;

    explicit Fixture(tarn::TarnLanguage language) {
        QuillerViewModelPorts ports;
        ports.main = main;
        ports.background = background;
        ports.clock = std::make_shared<testing::FakeClock>();
        ports.clipboard = std::make_shared<testing::FakeClipboard>();
        ports.filePanels = std::make_shared<testing::FakeFilePanels>();
        ports.launchAtLogin = std::make_shared<testing::FakeLaunchAtLogin>();
        ports.urlOpener = std::make_shared<testing::FakeURLOpener>();
        ports.workspaceStore = std::make_shared<testing::FakeWorkspaceStore>();
        ports.historyStore = std::make_shared<testing::FakeHistoryStore>();
        ports.requestExecution = std::make_shared<testing::FakeRequestExecution>();
        ports.collectionRunner = std::make_shared<testing::FakeCollectionRunner>();
        ports.mcpInspector = std::make_shared<testing::FakeMCPInspector>();
        ports.mockServer = std::make_shared<testing::FakeMockServer>();
        ports.webSocket = std::make_shared<testing::FakeWebSocket>();
        ports.logger = &logger;
        ports.language = language;
        viewModel = std::make_unique<QuillerViewModel>(std::move(ports));
    }
};

PictureContext::PictureContext(tarn::TarnLanguage pictureLanguage) : language(pictureLanguage) {}

PictureContext::~PictureContext() = default;

QuillerViewModel& PictureContext::viewModel() {
    if (!m_fixture)
        m_fixture = std::make_unique<Fixture>(language);
    return *m_fixture->viewModel;
}

} // namespace quiller::pictures
