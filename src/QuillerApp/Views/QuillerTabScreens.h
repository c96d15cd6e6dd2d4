#pragma once

// The studio's tab factory: builds the screen of one tab. Each call builds a
// fresh screen, so a screen's own view state starts from its initial values
// every time its tab is shown again.
//
// Threads: the GUI thread.

#include "QuillerApp/ViewModels/QuillerTab.h"

#include <memory>

class QWidget;

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;

std::unique_ptr<QWidget> makeTabScreen(QuillerTab tab, QuillerViewModel& model,
                                       ViewModelBridge& bridge);

} // namespace quiller
