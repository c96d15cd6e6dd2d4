#pragma once

#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "QuillerCore/Models/RequestHistoryEntry.h"
#include "TarnKit/Platform/PlatformError.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

// Keeps the request history in "history.json": a pretty-printed JSON array of
// entries, newest first, replaced atomically on every save. The caller keeps
// the list; the store holds no entries between calls.
//
// A file that cannot be read back (foreign content, one bad entry, no
// permission) loads as an empty history and is never silently overwritten: the
// next save first renames it aside ("history.json.unreadable-<UTC time>") and
// logs a warning. Should that rename fail, the save writes nothing and the
// next one tries again.
//
// Every operation may be called from any thread; each runs whole under the
// store's lock, so a load never sees a save half done. Loading never fails;
// saving and clearing report why the file could not be written or removed.
class RequestHistoryStore {
public:
    // Where warnings go; called without the store's lock held, on the thread
    // of the operation.
    using WarningSink = std::function<void(const std::string& message)>;

    // The file is "history.json" in `folder`, which is created (0700) when
    // missing; without a folder it is "<Application Support>/Corvane/Quiller".
    // `maxEntries` below 1 counts as 1. Without a sink, warnings go to the
    // application's log in the category "history".
    explicit RequestHistoryStore(std::optional<std::filesystem::path> folder = std::nullopt,
                                 int maxEntries = RequestHistoryEngine::maxEntries,
                                 WarningSink warningSink = nullptr);
    RequestHistoryStore(const RequestHistoryStore&) = delete;
    RequestHistoryStore& operator=(const RequestHistoryStore&) = delete;

    // The first maxEntries entries of the file, in file order; empty when the
    // file is missing or unreadable. Never changes the file.
    std::vector<RequestHistoryEntry> load();
    // Writes the first maxEntries entries, dates in whole seconds. Returns
    // why nothing was written; nothing once the file is written.
    [[nodiscard]] std::optional<tarn::PlatformError>
    save(const std::vector<RequestHistoryEntry>& entries);
    // Deletes the file; the next load gives an empty history. Returns why the
    // file is still there; nothing once it is gone.
    [[nodiscard]] std::optional<tarn::PlatformError> clear();
    // When the last load found the file unreadable: moves it aside now (with
    // the warning) and returns where it was kept. Nothing when there is
    // nothing to set aside or it cannot be moved (the next save tries again).
    std::optional<std::filesystem::path> setUnreadableFileAside();

    const std::filesystem::path& fileURL() const { return m_fileURL; }
    int maxEntries() const { return m_maxEntries; }

    // The file's text for `entries` (all of them), and the entries of a file's
    // text: nothing when it is not a history document. The format's two
    // halves, for load/save and for whoever needs to check them.
    static std::string encode(std::span<const RequestHistoryEntry> entries);
    [[nodiscard]] static std::optional<std::vector<RequestHistoryEntry>>
    decode(std::string_view text);

private:
    // What the store knows about the file on disk, so that it can tell its
    // own file from one it could not read without reading it on every save.
    enum class FileState { unknown, safeToReplace, unreadable };

    struct Preparation {
        bool mayReplace = true;
        // To log once the lock is released.
        std::string warning{};
        // Where an unreadable file went.
        std::optional<std::filesystem::path> keptAs{};
    };

    // Sets an unreadable file aside, so that the file may be replaced or
    // removed; with the lock held.
    Preparation setAsideIfUnreadableLocked();

    const std::filesystem::path m_fileURL;
    const int m_maxEntries;
    const WarningSink m_warn;
    std::mutex m_lock;
    FileState m_fileState = FileState::unknown;
};

} // namespace quiller
