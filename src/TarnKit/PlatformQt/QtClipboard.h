#pragma once

// The clipboard port on QClipboard (the system clipboard, not the X11
// selection). Threads: the GUI thread.

#include "TarnKit/Platform/DesktopPorts.h"

namespace tarn {

class QtClipboard final : public ClipboardPort {
public:
    std::optional<std::string> text() override;
    void setText(const std::string& text) override;

    // The clipboard's image as PNG bytes: the PNG data as it is where the
    // clipboard offers PNG, else its image (TIFF, BMP, ...) encoded as PNG.
    // Nothing when it holds no image or the image cannot be encoded.
    static std::optional<std::string> imagePNG();
};

} // namespace tarn
