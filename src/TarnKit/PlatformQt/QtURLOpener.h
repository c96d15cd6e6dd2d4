#pragma once

// The URL-opener port on QDesktopServices (xdg-open and the desktop's URL
// handlers). Threads: the GUI thread.

#include "TarnKit/Platform/DesktopPorts.h"

namespace tarn {

class QtURLOpener final : public URLOpenerPort {
public:
    bool open(const std::string& url) override;
};

} // namespace tarn
