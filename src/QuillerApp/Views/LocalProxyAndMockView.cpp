#include "QuillerApp/Views/LocalProxyAndMockView.h"

namespace quiller {

LocalProxyAndMockView::LocalProxyAndMockView(QuillerViewModel&, ViewModelBridge&, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("LocalProxyAndMockView"));
}

} // namespace quiller
