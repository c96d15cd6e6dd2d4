#include "TarnKit/Platform/Files.h"

#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UUID.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tarn::files {
namespace {

namespace fs = std::filesystem;

std::string decimal(long long value, int width = 0) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    std::string text(digits.data(), result.ptr);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

[[noreturn]] void fail(int code, std::string_view action, const fs::path& path) {
    throwPOSIXError(code, "Could not " + std::string(action) + " \"" + path.string() + "\"");
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    // Returns 0 or the errno of close. The descriptor is released either way:
    // on Linux close never leaves it open, not even after EINTR.
    int close() {
        const int fd = std::exchange(m_fd, -1);
        if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
            return errno;
        return 0;
    }

private:
    int m_fd;
};

// Removes the temporary file unless the write was committed by the rename.
class TemporaryFile {
public:
    explicit TemporaryFile(fs::path path) : m_path(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!m_committed)
            ::unlink(m_path.c_str());
    }

    const fs::path& path() const { return m_path; }
    void commit() { m_committed = true; }

private:
    fs::path m_path;
    bool m_committed = false;
};

fs::path homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;

    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    int rc = 0;
    while ((rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (rc == 0 && found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    throw PlatformError(kPOSIXErrorDomain, ENOENT,
                        "Could not find the home folder: $HOME is not set and the user "
                        "database has no entry for this user");
}

fs::path xdgFolder(const char* variable, const char* fallbackUnderHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    return homeDirectory() / fallbackUnderHome;
}

// A name for the temporary file that still fits NAME_MAX when the target's
// name is long, cut at a UTF-8 character boundary so it stays readable.
std::string temporaryName(const std::string& targetName) {
    constexpr std::size_t kMaxStem = 100;
    std::size_t length = std::min(targetName.size(), kMaxStem);
    while (length > 0 && length < targetName.size() &&
           (static_cast<unsigned char>(targetName[length]) & 0xC0) == 0x80)
        --length;
    // The first six bytes of a random UUID are all random.
    // Built by appends: GCC 12 warns falsely (-Wrestrict) on the chain of "+".
    std::string name(".");
    name.append(targetName, 0, length).append(".tmp-");
    name.append(UUID::random().string(), 0, 12);
    return name;
}

void writeAll(int fd, std::string_view bytes, const fs::path& reported) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, "write", reported);
        }
        if (written == 0)
            fail(EIO, "write", reported);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// The folder entry of a rename only survives a crash once the folder is synced.
// Some file systems cannot sync a folder (EINVAL); there is nothing more to do.
void syncFolder(const fs::path& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Without read access to the folder it cannot be opened for syncing; the
    // rename itself has succeeded, so this is not a failure of the write.
    if (!fd.valid())
        return;
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        fail(errno, "sync the folder", folder);
}

std::string utcTimestamp(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(now);
    const auto day = floor<days>(seconds);
    const year_month_day date(day);
    const hh_mm_ss time(seconds - day);
    return decimal(static_cast<int>(date.year()), 4) +
           decimal(static_cast<unsigned>(date.month()), 2) +
           decimal(static_cast<unsigned>(date.day()), 2) + "T" + decimal(time.hours().count(), 2) +
           decimal(time.minutes().count(), 2) + decimal(time.seconds().count(), 2) + "Z";
}

bool entryExists(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

fs::path standardFolder(StandardFolder folder) {
    switch (folder) {
    case StandardFolder::applicationSupport:
        return xdgFolder("XDG_DATA_HOME", ".local/share");
    case StandardFolder::caches:
        return xdgFolder("XDG_CACHE_HOME", ".cache");
    case StandardFolder::config:
        return xdgFolder("XDG_CONFIG_HOME", ".config");
    }
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

fs::path applicationSupportDirectory() {
    return standardFolder(StandardFolder::applicationSupport);
}
fs::path cachesDirectory() {
    return standardFolder(StandardFolder::caches);
}
fs::path configDirectory() {
    return standardFolder(StandardFolder::config);
}

void createDirectories(const fs::path& folder) {
    fs::path current;
    for (const fs::path& part : folder) {
        if (part.empty())
            continue; // the trailing separator of "a/b/"
        current /= part;
        struct stat info {};
        if (::stat(current.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                fail(ENOTDIR, "create the folder", current);
            continue;
        }
        if (errno != ENOENT)
            fail(errno, "create the folder", current);
        if (::mkdir(current.c_str(), 0700) != 0) {
            // Another process may have created it in between; that is fine.
            const int code = errno;
            if (code == EEXIST && ::stat(current.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                continue;
            fail(code, "create the folder", current);
        }
        // mkdir applies the umask; our folders are private whatever it says.
        if (::chmod(current.c_str(), 0700) != 0)
            fail(errno, "create the folder", current);
    }
}

void writeAtomically(const fs::path& file, std::string_view bytes, mode_t mode) {
    if (!file.has_filename())
        fail(EISDIR, "write", file);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    createDirectories(folder);

    const std::string name = file.filename().string();
    fs::path temporaryPath;
    int raw = -1;
    for (int attempt = 0; raw < 0; ++attempt) {
        temporaryPath = folder / temporaryName(name);
        raw = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     0600);
        if (raw < 0 && (errno != EEXIST || attempt >= 16))
            fail(errno, "write", file);
    }
    FileDescriptor fd(raw);
    TemporaryFile temporary(temporaryPath);

    // The umask must not decide who may read user data; set the mode exactly.
    if (::fchmod(fd.get(), mode) != 0)
        fail(errno, "write", file);
    writeAll(fd.get(), bytes, file);
    if (::fsync(fd.get()) != 0)
        fail(errno, "write", file);
    if (const int code = fd.close(); code != 0)
        fail(code, "write", file);

    if (::rename(temporary.path().c_str(), file.c_str()) != 0)
        fail(errno, "write", file);
    temporary.commit();
    syncFolder(folder);
}

std::optional<std::string> readFile(const fs::path& file) {
    // O_NONBLOCK keeps a FIFO at this path from blocking the open.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return std::nullopt;
        fail(errno, "read", file);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        fail(errno, "read", file);
    if (S_ISDIR(info.st_mode))
        fail(EISDIR, "read", file);
    if (!S_ISREG(info.st_mode))
        fail(EINVAL, "read", file);

    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, "read", file);
        }
        if (count == 0)
            break;
        content.append(buffer.data(), static_cast<std::size_t>(count));
    }
    return content;
}

std::optional<fs::path> moveAside(const fs::path& file, std::chrono::system_clock::time_point now) {
    if (!file.has_filename())
        fail(EISDIR, "move aside", file);
    const std::string base = file.filename().string() + ".unreadable-" + utcTimestamp(now);
    constexpr int kMaxAttempts = 10000;
    for (int counter = 1; counter <= kMaxAttempts; ++counter) {
        const fs::path target =
            file.parent_path() / (counter == 1 ? base : base + "-" + decimal(counter));
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target;
        int code = errno;
        if (code == EINVAL || code == ENOSYS || code == ENOTSUP) {
            // The file system cannot refuse to replace; check first instead. A
            // racing writer could slip in between, but nothing of ours does.
            if (entryExists(target))
                continue;
            if (::rename(file.c_str(), target.c_str()) == 0)
                return target;
            code = errno;
        }
        if (code == EEXIST)
            continue;
        if (code == ENOENT && !entryExists(file))
            return std::nullopt;
        fail(code, "move aside", file);
    }
    fail(EEXIST, "move aside", file);
}

} // namespace tarn::files
