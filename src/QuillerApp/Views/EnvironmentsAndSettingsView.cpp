#include "QuillerApp/Views/EnvironmentsAndSettingsView.h"

namespace quiller {

EnvironmentsAndSettingsView::EnvironmentsAndSettingsView(QuillerViewModel&, ViewModelBridge&,
                                                         QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("EnvironmentsAndSettingsView"));
}

} // namespace quiller
