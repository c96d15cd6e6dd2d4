#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Small persistent settings of one application: a JSON object of named values
// kept in "defaults.json" inside the folder given at construction. The whole
// object is read on first use and cached; every change is written back at
// once, atomically, so another process (or the next launch) sees either the
// old or the new object.
//
// Every member may be called from any thread. Changes are never lost silently
// in memory: a failed write keeps the value in the cache for this process and
// logs a warning. A file that cannot be read back is moved aside (never
// overwritten) before the next write.
class UserDefaults {
public:
    // Holds "<folder>/defaults.json"; nothing is read or created until used.
    explicit UserDefaults(std::filesystem::path folder);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;
    ~UserDefaults();

    // The running application's defaults, in
    // "$XDG_CONFIG_HOME/Corvane/<product name>/", created on first use and
    // shared by the whole process.
    static UserDefaults& standard();
    // The folder the standard defaults use, resolved from the environment now.
    static std::filesystem::path standardFolder();

    // The stored value, or nullopt when the key has none.
    std::optional<nlohmann::json> object(std::string_view key) const;
    // The stored value when it is a JSON string; nullopt otherwise.
    std::optional<std::string> string(std::string_view key) const;

    // Throws json::NestingTooDeep, storing nothing, for a value nested deeper
    // than the suite's JSON allows.
    void setObject(std::string_view key, const nlohmann::json& value);
    void setString(std::string_view key, std::string_view value);
    void removeObject(std::string_view key);

    const std::filesystem::path& file() const { return m_file; }

private:
    struct Cache;

    Cache& loadedLocked() const;
    void saveLocked(const std::string& text);

    std::filesystem::path m_folder;
    std::filesystem::path m_file;
    // Held across the write as well, so that writes reach the disk in the order
    // the changes were made.
    mutable std::mutex m_lock;
    mutable std::unique_ptr<Cache> m_cache;
};

} // namespace tarn
