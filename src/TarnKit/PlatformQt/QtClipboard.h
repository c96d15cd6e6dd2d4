#pragma once

// The clipboard port on QClipboard (the system clipboard, not the X11
// selection). Threads: the GUI thread.

#include "TarnKit/Platform/DesktopPorts.h"

namespace tarn {

class QtClipboard final : public ClipboardPort {
public:
    std::optional<std::string> text() override;
    void setText(const std::string& text) override;
};

} // namespace tarn
