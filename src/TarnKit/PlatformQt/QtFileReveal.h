#pragma once

// The reveal port: asks the desktop's file manager, through the freedesktop
// interface org.freedesktop.FileManager1 on the session bus, to show the file
// selected (ShowItems). When no file manager answers (no session bus, no
// service, an error or no answer within the time-out) it opens the file's
// folder instead. The bus call is asynchronous: the window never waits.
//
// Threads: the GUI thread. The adapter may be destroyed while a call is out:
// the fallback still happens.

#include "TarnKit/Platform/DesktopPorts.h"

#include <chrono>
#include <memory>

namespace tarn {

class QtFileReveal final : public FileRevealPort {
public:
    // `folderOpener` opens the folder in the fallback.
    explicit QtFileReveal(std::shared_ptr<URLOpenerPort> folderOpener,
                          std::chrono::milliseconds timeout = std::chrono::seconds(3));

    void reveal(const std::filesystem::path& file) override;

    static constexpr const char* service = "org.freedesktop.FileManager1";
    static constexpr const char* objectPath = "/org/freedesktop/FileManager1";
    static constexpr const char* interface = "org.freedesktop.FileManager1";

private:
    std::shared_ptr<URLOpenerPort> m_folderOpener;
    std::chrono::milliseconds m_timeout;
};

} // namespace tarn
