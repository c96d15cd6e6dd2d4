#include "QuillerApp/Views/APIClientWorkbenchView.h"

namespace quiller {

APIClientWorkbenchView::APIClientWorkbenchView(QuillerViewModel&, ViewModelBridge&, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("APIClientWorkbenchView"));
}

} // namespace quiller
