#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

class UserDefaults;

// Keeps the files and folders the user picked so that a later run may open
// them again, in one user-defaults entry: a JSON object from the standardised
// path of each item to its bookmark, the path's bytes in Base64.
//
// Linux grants no per-file sandbox access that would have to be renewed, so a
// bookmark is the path itself: it resolves while something exists at that
// path, and scoped access simply runs its body.
//
// The store holds nothing in memory; every operation reads the entry afresh,
// and saving or removing writes it back whole. An entry whose bookmark cannot
// be read is skipped when resolving and kept as it is when the entry is
// written back, so it never costs the others their place. A stored value that
// is not an object at all is replaced by the next save or removal (with a
// warning in the application's log).
//
// Every member may be called from any thread: each read-modify-write of the
// entry runs under the store's lock, so saves and removals through one store
// never lose each other's changes. Resolving runs outside the lock.
class TarnSecurityBookmarkStore {
public:
    // `defaults` must outlive the store.
    TarnSecurityBookmarkStore(std::string storageKey, UserDefaults& defaults);
    TarnSecurityBookmarkStore(const TarnSecurityBookmarkStore&) = delete;
    TarnSecurityBookmarkStore& operator=(const TarnSecurityBookmarkStore&) = delete;

    // Stores a bookmark for `url` under its standardised path, replacing an
    // earlier one for that path. A relative path is taken from the current
    // folder. Throws tarn::PlatformError (domain "NSPOSIXErrorDomain", the
    // errno value as code), storing nothing, when nothing exists at the path
    // or the path is not valid UTF-8 (EILSEQ): the entry's keys are text.
    void saveBookmark(const std::filesystem::path& url);

    // The paths of all stored bookmarks that still resolve, in ascending order
    // of their bytes.
    std::vector<std::filesystem::path> resolveAllBookmarks() const;

    // Removes the bookmark stored under exactly `path` (not standardised: pass
    // the form saveBookmark stored); another path changes nothing.
    void removeBookmark(std::string_view path);

    // Runs `body` with access to `url` and returns what it returns; what it
    // throws reaches the caller. There is no access to start or stop here.
    template <class Body>
    decltype(auto) withScopedAccess(const std::filesystem::path& /*url*/, Body&& body) const {
        return std::forward<Body>(body)();
    }

    // The lexical standard form under which saveBookmark stores a path:
    // absolute (a relative path taken from the current folder), "." and ".."
    // resolved without looking at the disk, no trailing separator. Throws
    // tarn::PlatformError when a relative path meets no current folder.
    static std::filesystem::path standardizedPath(const std::filesystem::path& url);

    const std::string& storageKey() const { return m_storageKey; }

private:
    std::string m_storageKey;
    UserDefaults& m_defaults;
    // The defaults' own lock is taken inside this one and never the other way
    // round, and the defaults call out to nothing while holding theirs.
    mutable std::mutex m_lock;
};

} // namespace tarn
