#include "QuillerApp/Views/StreamAndWebSocketView.h"

namespace quiller {

StreamAndWebSocketView::StreamAndWebSocketView(QuillerViewModel&, ViewModelBridge&, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("StreamAndWebSocketView"));
}

} // namespace quiller
