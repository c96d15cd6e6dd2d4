#pragma once

// Placeholder screen: an empty page until this tab's screen is built.

#include <QWidget>

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;

class RequestHistoryTimelineView final : public QWidget {
    Q_OBJECT
public:
    RequestHistoryTimelineView(QuillerViewModel& model, ViewModelBridge& bridge,
                               QWidget* parent = nullptr);
};

} // namespace quiller
