#include "TarnKit/Platform/UserDefaults.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <syslog.h>

namespace tarn {
namespace {

void warn(const std::string& message) {
    // The suite's logger sits above this layer; the system log is what it
    // mirrors into anyway.
    ::syslog(LOG_WARNING, "%s", message.c_str());
}

} // namespace

struct UserDefaults::Cache {
    nlohmann::json values = nlohmann::json::object();
    // The file exists but did not hold a JSON object (or could not be read):
    // it is moved aside before anything is written over it.
    bool fileIsUnreadable = false;
};

UserDefaults::UserDefaults(std::filesystem::path folder)
    : m_folder(std::move(folder)), m_file(m_folder / "defaults.json") {}

UserDefaults::~UserDefaults() = default;

std::filesystem::path UserDefaults::standardFolder() {
    return files::configDirectory() / "Corvane" / buildinfo::productName;
}

UserDefaults& UserDefaults::standard() {
    // Never destroyed: threads still running at exit may read a preference.
    static auto* defaults = new UserDefaults(standardFolder());
    return *defaults;
}

UserDefaults::Cache& UserDefaults::loadedLocked() const {
    if (m_cache)
        return *m_cache;
    auto cache = std::make_unique<Cache>();
    try {
        if (const std::optional<std::string> text = files::readFile(m_file)) {
            std::optional<nlohmann::json> document = json::parse(*text);
            if (document && document->is_object()) {
                cache->values = std::move(*document);
            } else {
                cache->fileIsUnreadable = true;
                warn("The settings file \"" + m_file.string() +
                     "\" does not hold a JSON object; starting with empty settings.");
            }
        }
    } catch (const std::exception& error) {
        cache->fileIsUnreadable = true;
        warn(std::string("Could not read the settings: ") + error.what());
    }
    m_cache = std::move(cache);
    return *m_cache;
}

void UserDefaults::saveLocked(const std::string& text) {
    Cache& cache = *m_cache;
    try {
        if (cache.fileIsUnreadable) {
            const auto moved = files::moveAside(m_file, std::chrono::system_clock::now());
            if (moved)
                warn("Moved the unreadable settings file aside to \"" + moved->string() + "\".");
            cache.fileIsUnreadable = false;
        }
        files::writeAtomically(m_file, text, 0600);
    } catch (const std::exception& error) {
        warn(std::string("Could not save the settings: ") + error.what());
    }
}

std::optional<nlohmann::json> UserDefaults::object(std::string_view key) const {
    const std::lock_guard lock(m_lock);
    const nlohmann::json& values = loadedLocked().values;
    const auto found = values.find(key);
    if (found == values.end())
        return std::nullopt;
    return *found;
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
    const std::lock_guard lock(m_lock);
    const nlohmann::json& values = loadedLocked().values;
    const auto found = values.find(key);
    if (found == values.end() || !found->is_string())
        return std::nullopt;
    return found->get<std::string>();
}

void UserDefaults::setObject(std::string_view key, const nlohmann::json& value) {
    const std::lock_guard lock(m_lock);
    nlohmann::json& values = loadedLocked().values;
    std::optional<nlohmann::json> previous;
    if (const auto found = values.find(key); found != values.end())
        previous = std::move(*found);
    values[std::string(key)] = value;
    std::string text;
    try {
        text = json::pretty(values);
    } catch (const json::NestingTooDeep&) {
        // A value the file could never hold must not poison every later save.
        if (previous)
            values[std::string(key)] = std::move(*previous);
        else
            values.erase(std::string(key));
        throw;
    }
    saveLocked(text);
}

void UserDefaults::setString(std::string_view key, std::string_view value) {
    setObject(key, nlohmann::json(std::string(value)));
}

void UserDefaults::removeObject(std::string_view key) {
    const std::lock_guard lock(m_lock);
    Cache& cache = loadedLocked();
    const auto found = cache.values.find(key);
    if (found == cache.values.end())
        return;
    cache.values.erase(found);
    saveLocked(json::pretty(cache.values));
}

} // namespace tarn
