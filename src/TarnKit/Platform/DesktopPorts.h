#pragma once

// The desktop as application state sees it: small interfaces ("ports") that
// the Qt adapters in TarnKit/PlatformQt implement and tests replace with
// fakes. The state layer never sees Qt.
//
// Threads: every call on the main thread.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tarn {

// The system clipboard's plain text.
class ClipboardPort {
public:
    virtual ~ClipboardPort() = default;
    // The clipboard's text, or nothing when it holds no text.
    virtual std::optional<std::string> text() = 0;
    // Replaces whatever the clipboard holds with `text`.
    virtual void setText(const std::string& text) = 0;
};

// Modal file dialogs. Both calls return at once; the completion runs later, on
// the main executor, exactly once, with the chosen file or nothing when the
// user cancelled.
class FilePanelsPort {
public:
    using Completion = std::function<void(std::optional<std::filesystem::path>)>;

    // One existing file; folders cannot be chosen; no file-type filter.
    struct OpenOptions {
        std::string title{};
        bool showsHiddenFiles = true;
    };
    // No file-type filter.
    struct SaveOptions {
        std::string title{};
        std::string proposedFileName{};
        bool showsHiddenFiles = true;
    };

    virtual ~FilePanelsPort() = default;
    virtual void chooseFileToOpen(OpenOptions options, Completion completion) = 0;
    virtual void chooseFileToSave(SaveOptions options, Completion completion) = 0;
};

// Opens a URL in the application the user chose for it (browser, mail, file
// manager).
class URLOpenerPort {
public:
    virtual ~URLOpenerPort() = default;
    // False when `url` is not an absolute URL or nothing would open it.
    // Returns without waiting for the application to start.
    virtual bool open(const std::string& url) = 0;
};

// Shows a file selected in the user's file manager. Returns at once; nothing
// reports back (the file manager shows its own errors).
class FileRevealPort {
public:
    virtual ~FileRevealPort() = default;
    virtual void reveal(const std::filesystem::path& file) = 0;
};

} // namespace tarn
