#pragma once

// Placeholder screen: an empty page until this tab's screen is built.

#include <QWidget>

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;

class APIClientWorkbenchView final : public QWidget {
    Q_OBJECT
public:
    APIClientWorkbenchView(QuillerViewModel& model, ViewModelBridge& bridge,
                           QWidget* parent = nullptr);
};

} // namespace quiller
