#include "TarnKit/System/FileKeychain.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Serialises read-modify-write cycles across threads and processes. flock
// locks belong to the open file description, so two opens in one process
// exclude each other just as two processes do.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const fs::path& lockFile) {
        m_fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0)
            fail(errno, lockFile);
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int code = errno;
                ::close(m_fd);
                fail(code, lockFile);
            }
        }
    }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock() { ::close(m_fd); } // closing releases the lock

private:
    [[noreturn]] static void fail(int code, const fs::path& lockFile) {
        throw PlatformError(kPOSIXErrorDomain, code,
                            "Could not lock the keychain file \"" + lockFile.string() + "\"");
    }

    int m_fd = -1;
};

fs::path lockFileFor(const fs::path& file) {
    std::string name = ".";
    name += file.filename().string();
    name += ".lock";
    return file.parent_path() / name;
}

// The stored shape: {"<service>" : {"<account>" : "<secret>"}}.
bool isKeychainDocument(const nlohmann::json& document) {
    if (!document.is_object())
        return false;
    for (const auto& [service, accounts] : document.items()) {
        if (!accounts.is_object())
            return false;
        for (const auto& [account, secret] : accounts.items())
            if (!secret.is_string())
                return false;
    }
    return true;
}

struct Contents {
    nlohmann::json items = nlohmann::json::object();
    // Set when a file is there but cannot be read back; then `items` is empty.
    std::optional<std::string> unreadableReason;
};

Contents readContents(const fs::path& file) {
    Contents contents;
    try {
        const std::optional<std::string> bytes = files::readFile(file);
        if (!bytes)
            return contents;
        std::optional<nlohmann::json> document = json::parse(*bytes);
        if (!document || !isKeychainDocument(*document)) {
            contents.unreadableReason = "it is not a keychain file";
            return contents;
        }
        contents.items = std::move(*document);
    } catch (const PlatformError& error) {
        contents.unreadableReason = error.what();
    }
    return contents;
}

void warn(const std::string& message) {
    TarnAppLogger::shared(buildinfo::productName).warn(message, "keychain");
}

} // namespace

FileKeychain::FileKeychain(fs::path file) : m_file(std::move(file)) {}

void FileKeychain::save(std::string_view secret, std::string_view service,
                        std::string_view account) {
    detail::checkKeychainSave(secret, service, account);
    if (m_file.empty() || !m_file.has_filename())
        throw PlatformError(kPOSIXErrorDomain, ENOENT,
                            "The keychain has no file to keep secrets in");

    const fs::path folder = m_file.has_parent_path() ? m_file.parent_path() : fs::path(".");
    files::createDirectories(folder);
    // The folder holds secrets in clear, whoever made it first.
    ::chmod(folder.c_str(), 0700);

    const ExclusiveLock lock(lockFileFor(m_file));
    Contents contents = readContents(m_file);
    if (contents.unreadableReason) {
        const std::optional<fs::path> aside =
            files::moveAside(m_file, std::chrono::system_clock::now());
        if (aside)
            warn("The keychain file \"" + m_file.string() + "\" could not be read (" +
                 *contents.unreadableReason + "); it was moved aside to \"" + aside->string() +
                 "\" and a new one was started");
    }

    nlohmann::json& slot = contents.items[std::string(service)][std::string(account)];
    if (slot.is_string() && slot.get_ref<const std::string&>() == secret)
        return;
    slot = std::string(secret);
    files::writeAtomically(m_file, json::pretty(contents.items), 0600);
}

std::optional<std::string> FileKeychain::load(std::string_view service, std::string_view account) {
    // No lock: writes replace the file by a rename, so a reader sees a whole
    // old or a whole new file.
    if (m_file.empty() || !detail::isValidKeychainAddress(service, account))
        return std::nullopt;
    const Contents contents = readContents(m_file);
    const auto accounts = contents.items.find(service);
    if (accounts == contents.items.end())
        return std::nullopt;
    const auto secret = accounts->find(account);
    if (secret == accounts->end())
        return std::nullopt;
    return secret->get<std::string>();
}

void FileKeychain::delete_(std::string_view service, std::string_view account) {
    if (m_file.empty() || !m_file.has_filename() ||
        !detail::isValidKeychainAddress(service, account))
        return;
    try {
        if (!files::readFile(m_file))
            return; // nothing stored, and no reason to create the lock file
        const ExclusiveLock lock(lockFileFor(m_file));
        Contents contents = readContents(m_file);
        // An unreadable file is left for the next save to set aside.
        if (contents.unreadableReason)
            return;
        const auto accounts = contents.items.find(service);
        if (accounts == contents.items.end() || accounts->erase(std::string(account)) == 0)
            return;
        if (accounts->empty())
            contents.items.erase(accounts);
        files::writeAtomically(m_file, json::pretty(contents.items), 0600);
    } catch (const std::exception&) {
        // Deleting reports nothing, as the interface promises.
    }
}

} // namespace tarn
