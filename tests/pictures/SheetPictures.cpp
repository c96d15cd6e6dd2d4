// Pictures of the suite sheets: the version badge button and the Version &
// Logs sheet over a fixed log and release history.

#include "PictureRegistry.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnVersionAndLogsView.h"
#include "TarnKit/Design/TarnVersionBadgeButton.h"

#include <QHBoxLayout>
#include <filesystem>
#include <memory>

namespace quiller::pictures {
namespace {

using namespace tarn;

struct NoPorts : URLOpenerPort, FileRevealPort, ClipboardPort {
    bool open(const std::string&) override { return true; }
    void reveal(const std::filesystem::path&) override {}
    std::optional<std::string> text() override { return std::nullopt; }
    void setText(const std::string&) override {}
};

TarnSheetPorts quietPorts() {
    auto ports = std::make_shared<NoPorts>();
    return {ports, ports, ports};
}

// A logger over a fresh folder with a few entries of every level.
TarnAppLogger& pictureLogger() {
    // Removed again when the program ends, after the logger that writes there.
    struct ScratchFolder {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / "quiller-pictures-logs";
        ScratchFolder() { std::filesystem::remove_all(path); }
        ~ScratchFolder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const ScratchFolder scratch;
    const std::filesystem::path& folder = scratch.path;
    static TarnAppLogger logger("Quiller", folder, 1 << 20, 2, [] {
        return TarnAppVersion{"1.4.2", "57"};
    });
    static const bool filled = [] {
        logger.clear();
        logger.info("Workspace loaded: 3 collections, 12 requests", "workspace");
        logger.debug("GET https://api.example.com/v1/users → 200 in 84 ms", "engine");
        logger.warn("Mock route /health answered slower than 500 ms", "proxy");
        logger.error("Could not reach api.example.com: connection refused", "engine");
        return true;
    }();
    (void)filled;
    return logger;
}

std::vector<TarnReleaseLogRecord> releases() {
    TarnReleaseLogRecord latest;
    latest.timestamp = "2024-05-01T10:00:00Z";
    latest.app = "Quiller";
    latest.toVersion = "1.4.2";
    latest.toBuild = 57;
    latest.bumpKind = "patch";
    latest.section = "Fixed";
    latest.summary = "Faster workspace saving and steadier streams.";
    latest.summaryI18n = {{"tr", "Daha hızlı kayıt ve daha kararlı akışlar."}};
    latest.details = {"Saving skips unchanged collections", "WebSocket reconnects keep the log"};
    TarnReleaseLogRecord first;
    first.timestamp = "2024-03-12T09:30:00Z";
    first.app = "Quiller";
    first.toVersion = "1.4.0";
    first.toBuild = 50;
    first.bumpKind = "minor";
    first.section = "Added";
    first.details = {"Collection runner"};
    return {latest, first};
}

std::unique_ptr<QWidget> sheet(PictureContext& context) {
    auto view = std::make_unique<TarnVersionAndLogsView>(
        "Quiller", TarnAppVersion{"1.4.2", "57"}, pictureLogger(), TarnProductPalette::deepIndigo,
        context.language, releases(), [] {}, quietPorts());
    view->setBundle(TarnBundle{});
    view->resize(720, 760);
    view->reloadAll();
    return view;
}

std::unique_ptr<QWidget> badge(PictureContext& context) {
    auto ground = std::make_unique<TarnGroundBackground>(TarnProductPalette::deepIndigo);
    auto* row = new QHBoxLayout(ground.get());
    row->setContentsMargins(16, 12, 16, 12);
    row->addWidget(new TarnVersionBadgeButton("Quiller", {"1.4.2", "57"}, &pictureLogger(),
                                              TarnProductPalette::deepIndigo, context.language,
                                              false, true, quietPorts()));
    row->addStretch(1);
    ground->resize(200, 44);
    return ground;
}

} // namespace

QUILLER_PICTURE("sheets/version-and-logs", sheet);
QUILLER_PICTURE("sheets/version-badge-button", badge);

} // namespace quiller::pictures
