#include "TarnKit/System/TarnSecurityBookmarkStore.h"

#include "TarnKit/Platform/Base64.h"
#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Platform/UserDefaults.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <sys/stat.h>

namespace tarn {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void failToBookmark(int code, const fs::path& path) {
    throwPOSIXError(code,
                    "Could not make a bookmark for \"" + text::repairUTF8(path.native()) + "\"");
}

// The path a stored bookmark stands for, or nullopt when the value is not one.
std::optional<fs::path> bookmarkedPath(const nlohmann::json& value) {
    if (!value.is_string())
        return std::nullopt;
    std::optional<std::string> bytes = base64::decode(value.get_ref<const std::string&>());
    if (!bytes || bytes->empty() || bytes->front() != '/' || bytes->find('\0') != std::string::npos)
        return std::nullopt;
    return fs::path(std::move(*bytes));
}

bool somethingExistsAt(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The stored dictionary, every entry kept as it is, readable or not: only the
// entry being changed is touched. A value that is no dictionary holds no
// bookmark to keep and gives way to a fresh one; `replaced` says so.
nlohmann::json dictionaryToRewrite(const UserDefaults& defaults, const std::string& key,
                                   bool& replaced) {
    std::optional<nlohmann::json> stored = defaults.object(key);
    replaced = stored && !stored->is_object();
    if (stored && stored->is_object())
        return std::move(*stored);
    return nlohmann::json::object();
}

void warnReplaced(const std::string& key) {
    TarnAppLogger::shared(buildinfo::productName)
        .warn("The bookmarks under \"" + key +
                  "\" were not a dictionary; they are replaced by a fresh one",
              "lifecycle");
}

} // namespace

TarnSecurityBookmarkStore::TarnSecurityBookmarkStore(std::string storageKey, UserDefaults& defaults)
    : m_storageKey(std::move(storageKey)), m_defaults(defaults) {}

fs::path TarnSecurityBookmarkStore::standardizedPath(const fs::path& url) {
    fs::path path = url;
    if (!path.is_absolute()) {
        std::error_code error;
        path = fs::absolute(url, error);
        if (error)
            failToBookmark(error.value(), url);
    }
    // "/a/b/" is the folder "/a/b"; only the root keeps its separator.
    std::string text = path.lexically_normal().native();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

void TarnSecurityBookmarkStore::saveBookmark(const fs::path& url) {
    const fs::path path = standardizedPath(url);
    if (!text::isValidUTF8(path.native()))
        failToBookmark(EILSEQ, path);
    if (struct stat info{}; ::stat(path.c_str(), &info) != 0)
        failToBookmark(errno, path);

    bool replaced = false;
    {
        const std::lock_guard lock(m_lock);
        nlohmann::json stored = dictionaryToRewrite(m_defaults, m_storageKey, replaced);
        stored[path.native()] = base64::encode(path.native());
        m_defaults.setObject(m_storageKey, stored);
    }
    if (replaced)
        warnReplaced(m_storageKey);
}

std::vector<fs::path> TarnSecurityBookmarkStore::resolveAllBookmarks() const {
    std::optional<nlohmann::json> stored;
    {
        const std::lock_guard lock(m_lock);
        stored = m_defaults.object(m_storageKey);
    }
    std::vector<fs::path> resolved;
    if (!stored || !stored->is_object())
        return resolved;
    for (const nlohmann::json& value : *stored) {
        std::optional<fs::path> path = bookmarkedPath(value);
        if (path && somethingExistsAt(*path))
            resolved.push_back(std::move(*path));
    }
    std::sort(resolved.begin(), resolved.end(),
              [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    return resolved;
}

void TarnSecurityBookmarkStore::removeBookmark(std::string_view path) {
    bool replaced = false;
    {
        const std::lock_guard lock(m_lock);
        nlohmann::json stored = dictionaryToRewrite(m_defaults, m_storageKey, replaced);
        stored.erase(std::string(path));
        m_defaults.setObject(m_storageKey, stored);
    }
    if (replaced)
        warnReplaced(m_storageKey);
}

} // namespace tarn
