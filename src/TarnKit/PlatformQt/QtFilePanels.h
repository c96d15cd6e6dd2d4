#pragma once

// The file-panel port on QFileDialog: window-modal over the active window,
// never a nested event loop, so nothing else waits while the panel is open.
// Threads: the GUI thread.

#include "TarnKit/Platform/DesktopPorts.h"

namespace tarn {

class QtFilePanels final : public FilePanelsPort {
public:
    void chooseFileToOpen(OpenOptions options, Completion completion) override;
    void chooseFileToSave(SaveOptions options, Completion completion) override;

    // The object name of the dialogs, for tests.
    static constexpr const char* dialogObjectName = "tarnFilePanel";
};

} // namespace tarn
