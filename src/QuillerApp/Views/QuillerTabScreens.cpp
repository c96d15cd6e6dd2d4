#include "QuillerApp/Views/QuillerTabScreens.h"

#include "QuillerApp/Views/APIClientWorkbenchView.h"
#include "QuillerApp/Views/CollectionRunnerAndBenchmarkView.h"
#include "QuillerApp/Views/EnvironmentsAndSettingsView.h"
#include "QuillerApp/Views/LocalProxyAndMockView.h"
#include "QuillerApp/Views/MCPInspectorView.h"
#include "QuillerApp/Views/RequestHistoryTimelineView.h"
#include "QuillerApp/Views/StreamAndWebSocketView.h"

namespace quiller {

std::unique_ptr<QWidget> makeTabScreen(QuillerTab tab, QuillerViewModel& model,
                                       ViewModelBridge& bridge) {
    switch (tab) {
    case QuillerTab::client:
        return std::make_unique<APIClientWorkbenchView>(model, bridge);
    case QuillerTab::history:
        return std::make_unique<RequestHistoryTimelineView>(model, bridge);
    case QuillerTab::runner:
        return std::make_unique<CollectionRunnerAndBenchmarkView>(model, bridge);
    case QuillerTab::streaming:
        return std::make_unique<StreamAndWebSocketView>(model, bridge);
    case QuillerTab::mcp:
        return std::make_unique<MCPInspectorView>(model, bridge);
    case QuillerTab::proxy:
        return std::make_unique<LocalProxyAndMockView>(model, bridge);
    case QuillerTab::environments:
        return std::make_unique<EnvironmentsAndSettingsView>(model, bridge);
    }
    return std::make_unique<APIClientWorkbenchView>(model, bridge);
}

} // namespace quiller
