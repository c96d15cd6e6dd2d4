#pragma once

// Starts a suite application that builds its menus from a
// TarnMainMenuDescription: installs the activation delegate, builds the menu
// controller, gives every main window a menu bar of its own (those shown
// before the event loop starts and those shown later), runs the delegate's
// launch steps once the loop runs, and runs the loop.
//
// The delegate and the controller are kept for the rest of the process.
//
// Threads: the GUI thread, once, at start-up (after the QApplication exists).

#include "TarnKit/Design/TarnMenuModel.h"

#include <memory>

namespace tarn {

class TarnAppActivationDelegate;
class TarnAppMenuController;

namespace launcher {

// Returns the event loop's exit code.
int run(std::unique_ptr<TarnAppActivationDelegate> delegate, TarnMainMenuDescription description);

// What the last run installed; null before.
TarnAppActivationDelegate* installedDelegate();
TarnAppMenuController* installedMenuController();

} // namespace launcher
} // namespace tarn
