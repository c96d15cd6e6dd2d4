#pragma once

// The process's entry: makes the Qt application and the application object
// with the real services, opens the studio window and runs the event loop
// until Quit (or, without a system tray, until the studio window closes).
// SIGTERM and SIGINT end the run the same way, so the last edits are saved.
//
// Threads: the process's main thread, once.

#include <functional>

namespace quiller {

class QuillerApp;

// Returns the process's exit status. `started`, when given, runs once the
// application object exists and the studio window has been asked to show
// (the start-up benchmark watches the first frame from there).
int runQuillerApplication(int argc, char** argv,
                          const std::function<void(QuillerApp&)>& started = {});

} // namespace quiller
