#pragma once

#include "TarnKit/Utilities/TarnAppVersion.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class TarnSecretValueMask;

// Ordered lowest first, so levels compare with < and >=.
enum class TarnLogLevel { debug, info, warn, error };

inline constexpr std::array<TarnLogLevel, 4> kAllLogLevels = {
    TarnLogLevel::debug, TarnLogLevel::info, TarnLogLevel::warn, TarnLogLevel::error};

// "debug", "info", "warn", "error"
std::string_view rawValue(TarnLogLevel level);
// Exactly one of the raw values ("INFO" is not a level).
std::optional<TarnLogLevel> logLevelFromRaw(std::string_view text);
// The raw value in upper case: "DEBUG", "INFO", "WARN", "ERROR".
std::string_view label(TarnLogLevel level);

void to_json(nlohmann::json& json, TarnLogLevel level);
void from_json(const nlohmann::json& json, TarnLogLevel& level);

// One line of a log file.
struct TarnLogEntry {
    std::string id;        // upper-case UUID, fresh for each event
    std::string timestamp; // ISO 8601 in UTC with milliseconds
    TarnLogLevel level = TarnLogLevel::info;
    std::string category; // as the caller gave it
    std::string message;  // after redaction
    std::string version;
    std::string build;

    friend bool operator==(const TarnLogEntry&, const TarnLogEntry&) = default;
};

// The seven keys, all required and all text (level one of the raw values);
// other keys are ignored.
void to_json(nlohmann::json& json, const TarnLogEntry& entry);
void from_json(const nlohmann::json& json, TarnLogEntry& entry);

// The suite's runtime log: one logger per application name, shared by every
// caller in the process. Each event becomes one line of compact JSON in
// "<slug>.log" (the slug is the name in lower case with spaces turned into
// hyphens), is mirrored to syslog under "<suite prefix>.<slug>", and has its
// secrets redacted before it goes anywhere. The live file is rotated by size
// into "<slug>.log.1" (the newest) up to "<slug>.log.<maxRotatedFiles>".
//
// Every operation may be called from any thread at any time; file work is
// serialised by one lock per logger. Nothing reports an error to the caller:
// an event that cannot be written costs one line on standard error.
//
// Logging sits on hot paths (every mock server request), so the live file is
// kept open between events and its size is tracked, not read. The folder is
// watched (inotify): an event costs one look at the watch and the write, and
// only when the watch reports the live file's name created, removed or moved,
// the folder itself removed or moved, or the file opened by someone else, is
// the file looked up by name, let go when it was rotated, removed or replaced,
// and measured again when it grew elsewhere. Appends by a writer that already
// held the file open before the logger opened it are not seen. Without a
// watch (none can be made) the file is looked up by name at every event.
// Whether a syslog daemon listens is found out once per process: without
// one, mirroring costs nothing.
class TarnAppLogger {
public:
    using VersionProvider = std::function<TarnAppVersion()>;

    static constexpr std::uint64_t kMinimumFileBytes = 4096;

    // The one logger for exactly `appName`, made on first use with the default
    // folder, a 2 MiB live file and 5 rotated files, and kept for the rest of
    // the process. A later call with the same name ignores its provider. With
    // no provider the version is TarnAppVersion::current() at every event.
    static TarnAppLogger& shared(const std::string& appName,
                                 VersionProvider versionProvider = nullptr);

    // Touches no file. Without a directory the log folder is
    // <XDG data home>/Corvane/<name>/logs, where <name> is `appName` made safe
    // as one folder name: invalid UTF-8 repaired, "/" and NUL turned into "_",
    // and "_" put in front of a name that is empty, "." or "..", so no name can
    // lead outside the folder. The file name's slug gets the same "/" and NUL
    // treatment. `maxFileBytes` is at least 4096 and `maxRotatedFiles` at
    // least 1.
    TarnAppLogger(std::string appName, std::optional<std::filesystem::path> directory,
                  std::uint64_t maxFileBytes, long maxRotatedFiles,
                  VersionProvider versionProvider);
    ~TarnAppLogger();
    TarnAppLogger(const TarnAppLogger&) = delete;
    TarnAppLogger& operator=(const TarnAppLogger&) = delete;

    // Records one event. A message (or category) that is not valid UTF-8 is
    // repaired, never dropped.
    void log(TarnLogLevel level, std::string_view category, std::string_view message);
    void debug(std::string_view message, std::string_view category) {
        log(TarnLogLevel::debug, category, message);
    }
    void info(std::string_view message, std::string_view category) {
        log(TarnLogLevel::info, category, message);
    }
    void warn(std::string_view message, std::string_view category) {
        log(TarnLogLevel::warn, category, message);
    }
    void error(std::string_view message, std::string_view category) {
        log(TarnLogLevel::error, category, message);
    }

    // Replaces the set of secret values (the current values of secret
    // variables) that are masked in every later event, whoever logs it: each
    // occurrence in the message and the category, as written or
    // percent-encoded, becomes "***REDACTED***" before the rules of
    // redactSecrets() run. Values under three bytes are ignored (see
    // TarnSecretValueMask).
    void setSecretValues(std::vector<std::string> values);

    // Bearer tokens, "sk-" and "AIza" keys, and the values after api key,
    // token, secret and password replaced by "[REDACTED]" / "[REDACTED_KEY]".
    // Invalid UTF-8 is repaired first. Should the matcher ever give up on a
    // text (a PCRE2 resource limit), the whole text becomes "[REDACTED]":
    // a secret is never let through unchecked.
    static std::string redactSecrets(std::string_view text);

    // The newest entries of the live file at `minimumLevel` or above, newest
    // first, at most `limit` (none for a limit below 1). Lines that do not
    // decode are skipped; rotated files are not read.
    std::vector<TarnLogEntry> recentEntries(long limit, TarnLogLevel minimumLevel) const;
    // The same entries oldest first, one line each:
    // "[timestamp] [LABEL] [v<version>#<build>] [category] message", joined by
    // line feeds with none at the end; empty when there are none.
    std::string exportPlainText(long limit, TarnLogLevel minimumLevel) const;

    // Deletes the live file and every rotated file; the folder stays.
    void clear();

    // What a file manager should show for this log: creates the log folder
    // (failure ignored) and returns the live file when it exists, else the
    // folder. Showing it is the UI layer's work.
    std::filesystem::path pathToReveal() const;

    const std::string& appName() const { return m_appName; }
    const std::filesystem::path& logDirectoryURL() const { return m_logDirectory; }
    const std::filesystem::path& currentLogFileURL() const { return m_currentLogFile; }
    std::uint64_t maxFileBytes() const { return m_maxFileBytes; }
    long maxRotatedFiles() const { return m_maxRotatedFiles; }

private:
    // Writes one encoded line (starting with a spare line feed that is sent
    // only when the file's last line is unterminated).
    void writeLocked(std::string_view line);
    // Makes sure m_file is the file now at the live path, opening or creating
    // it when needed; false (with the reason reported) when that fails.
    bool openLiveFileLocked();
    void closeLiveFileLocked();
    // (Re)watches the log folder, once it exists, before the live file is opened.
    void watchFolderLocked();
    // Whether the watch reported anything that may concern the live file since
    // the last look; reading empties the queue.
    bool liveFileMayHaveChangedLocked();
    void rotateLocked();
    void reportWriteFailure(std::string_view description) const;
    std::vector<long> existingRotatedNumbersLocked() const;
    std::filesystem::path rotatedFile(long number) const;

    std::string m_appName;
    std::filesystem::path m_logDirectory;
    std::filesystem::path m_currentLogFile;
    std::string m_liveFileName;
    std::uint64_t m_maxFileBytes;
    long m_maxRotatedFiles;
    mutable std::mutex m_lock;
    const std::string* m_systemLogIdentifier; // interned: syslog keeps the pointer
    VersionProvider m_versionProvider;
    std::string m_folderError; // why there is no log folder, when there is none

    // The live file as last opened, under m_lock.
    struct LiveFile {
        int descriptor = -1;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        bool endsInLineFeed = true;
        bool watched = false; // opened while the folder's watch was in place
    };
    LiveFile m_file;
    bool m_folderCreated = false;
    int m_notify = -1; // the inotify descriptor, made on first open
    bool m_notifyFailed = false;
    int m_watchedFolder = -1; // the folder's watch on m_notify

    mutable std::mutex m_secretsLock;
    std::shared_ptr<const TarnSecretValueMask> m_secrets;
};

} // namespace tarn
