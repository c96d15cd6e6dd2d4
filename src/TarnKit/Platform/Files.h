#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Folder locations and whole-file storage on the local file system.
//
// Every function may be called from any thread. Failures are thrown as
// tarn::PlatformError with the domain "NSPOSIXErrorDomain", the errno value as
// code and a description that names the path (English, never localised).
namespace tarn::files {

enum class StandardFolder {
    applicationSupport, // $XDG_DATA_HOME, default ~/.local/share
    caches,             // $XDG_CACHE_HOME, default ~/.cache
    config,             // $XDG_CONFIG_HOME, default ~/.config
};

// The base folder for the kind of data, resolved from the environment on every
// call. A variable that is unset, empty or relative is ignored, as the XDG
// base-directory rules require; the home folder comes from $HOME, else from the
// user database. The folder is not created. Reads the environment, so it must
// not race with setenv on another thread.
std::filesystem::path standardFolder(StandardFolder folder);
std::filesystem::path applicationSupportDirectory();
std::filesystem::path cachesDirectory();
std::filesystem::path configDirectory();

// Creates `folder` and any missing parents with mode 0700 (whatever the umask).
// Folders that already exist are left as they are; a path component that exists
// but is not a folder is an error.
void createDirectories(const std::filesystem::path& folder);

// Replaces `file` with `bytes` so that a reader sees either the old or the new
// content, never a mixture, even after a crash: the bytes go to a new temporary
// file in the same folder with exactly `mode` (whatever the umask), which is
// synced and renamed over `file`, and then the folder is synced. Missing parent
// folders are created with mode 0700.
//
// If it throws before the rename, the temporary file is gone and the old file
// is untouched. Only a failure to sync the folder after the rename (an I/O
// error) throws with the new content already in place.
void writeAtomically(const std::filesystem::path& file, std::string_view bytes, mode_t mode = 0600);

// The whole content of `file`, or nullopt when it does not exist (ENOENT).
// Any other failure - no permission, a folder at that path, an I/O error -
// throws, so that a store can tell "nothing saved yet" from "saved but
// unreadable" and never overwrites the latter unseen.
std::optional<std::string> readFile(const std::filesystem::path& file);

// Renames `file` to "<name>.unreadable-<UTC time>" in the same folder, the time
// written like "20261210T123456Z". When that name is taken, "-2", "-3", ... is
// appended; an existing file is never replaced. Returns the new path, or
// nullopt when `file` does not exist.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file,
                                               std::chrono::system_clock::time_point now);

} // namespace tarn::files
