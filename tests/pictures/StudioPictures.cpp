// Pictures of the studio: the window's view on every tab, with a toast, and
// the tray popover with the server stopped and running.

#include "PictureRegistry.h"
#include "QuillerApp/Views/MainQuillerStudioView.h"
#include "QuillerApp/Views/MenuBarQuillerPopoverView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QVBoxLayout>
#include <memory>
#include <string>

namespace quiller::pictures {
namespace {

// Holds the bridge its view observes the model through; the view goes first.
class Bridged final : public QWidget {
public:
    explicit Bridged(QuillerViewModel& model) : m_bridge(std::make_unique<ViewModelBridge>(model)) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    ~Bridged() override {
        qDeleteAll(findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
    }
    ViewModelBridge& bridge() { return *m_bridge; }
    void hold(QWidget* view) { layout()->addWidget(view); }

private:
    std::unique_ptr<ViewModelBridge> m_bridge;
};

QColor studioAccent() {
    return tarn::qColor(tarn::productpalette::accentColor(tarn::TarnProductPalette::deepIndigo));
}

std::unique_ptr<QWidget> studio(PictureContext& context, QuillerTab tab) {
    QuillerViewModel& model = context.viewModel();
    model.setSelectedTab(tab);
    auto holder = std::make_unique<Bridged>(model);
    holder->hold(new MainQuillerStudioView(model, holder->bridge(), studioAccent()));
    holder->resize(1280, 800);
    return holder;
}

std::unique_ptr<QWidget> popover(PictureContext& context, bool running) {
    QuillerViewModel& model = context.viewModel();
    if (running) {
        model.setIsProxyRunning(true);
        model.setActiveProxyPort(8787);
        HTTPResponseSnapshot response;
        response.method = TarnHTTPMethod::get;
        response.statusCode = 200;
        response.timing.totalMs = 143.9;
        model.setLatestResponse(response);
    }
    auto holder = std::make_unique<Bridged>(model);
    holder->hold(new MenuBarQuillerPopoverView(model, holder->bridge(), [] {}));
    return holder;
}

#define QUILLER_STUDIO_TAB_PICTURE(tab)                                                            \
    QUILLER_PICTURE("studio/tab-" #tab,                                                            \
                    [](PictureContext& context) { return studio(context, QuillerTab::tab); })
QUILLER_STUDIO_TAB_PICTURE(client);
QUILLER_STUDIO_TAB_PICTURE(history);
QUILLER_STUDIO_TAB_PICTURE(runner);
QUILLER_STUDIO_TAB_PICTURE(streaming);
QUILLER_STUDIO_TAB_PICTURE(mcp);
QUILLER_STUDIO_TAB_PICTURE(proxy);
QUILLER_STUDIO_TAB_PICTURE(environments);

QUILLER_PICTURE("studio/toast", [](PictureContext& context) {
    MainQuillerStudioView::setAnimationsEnabled(false);
    context.viewModel().showToast(context.language == tarn::TarnLanguage::tr
                                      ? "cURL komutu ayrıştırılamadı."
                                      : "Could not parse cURL command.",
                                  true);
    auto picture = studio(context, QuillerTab::client);
    MainQuillerStudioView::setAnimationsEnabled(true);
    return picture;
});

QUILLER_PICTURE("studio/popover-stopped",
                [](PictureContext& context) { return popover(context, false); });
QUILLER_PICTURE("studio/popover-running",
                [](PictureContext& context) { return popover(context, true); });

} // namespace
} // namespace quiller::pictures
