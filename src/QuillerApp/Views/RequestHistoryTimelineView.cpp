#include "QuillerApp/Views/RequestHistoryTimelineView.h"

namespace quiller {

RequestHistoryTimelineView::RequestHistoryTimelineView(QuillerViewModel&, ViewModelBridge&,
                                                       QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("RequestHistoryTimelineView"));
}

} // namespace quiller
