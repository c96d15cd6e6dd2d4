#pragma once

// The file-panel port on QFileDialog: window-modal over the active window,
// never a nested event loop, so nothing else waits while the panel is open.
// Threads: the GUI thread.

#include "TarnKit/Platform/DesktopPorts.h"

#include <vector>

class QWidget;

namespace tarn {

class QtFilePanels final : public FilePanelsPort {
public:
    void chooseFileToOpen(OpenOptions options, Completion completion) override;
    void chooseFileToSave(SaveOptions options, Completion completion) override;

    // Several existing PNG, JPEG, WebP or GIF files (extensions in any case),
    // window-modal over `parent`. Returns at once; `completion` runs once,
    // from the event loop, with the chosen files in the panel's order, or
    // none when the user cancelled.
    static void
    chooseImageFiles(QWidget* parent, const std::string& title,
                     std::function<void(std::vector<std::filesystem::path>)> completion);

    // The object name of the dialogs, for tests.
    static constexpr const char* dialogObjectName = "tarnFilePanel";
};

} // namespace tarn
