#include "QuillerApp/Views/MCPInspectorView.h"

namespace quiller {

MCPInspectorView::MCPInspectorView(QuillerViewModel&, ViewModelBridge&, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("MCPInspectorView"));
}

} // namespace quiller
