#pragma once

// The application's entry: makes the Qt application and the studio window and
// runs the event loop until the last window closes.
//
// Threads: the process's main thread, once.

namespace quiller {

// Returns the process's exit status.
int runQuillerApplication(int argc, char** argv);

} // namespace quiller
