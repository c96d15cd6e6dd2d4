#pragma once

#include "QuillerCore/Models/RequestModel.h"
#include "QuillerCore/Models/RuntimeRecords.h"
#include "QuillerCore/Services/WorkspaceFileEncoder.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UUID.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tarn {
class KeychainBackend;
}

namespace quiller {

// Everything the user builds up that outlives a run. A plain value: copy it
// freely between threads.
struct QuillerWorkspacePayload {
    std::vector<APIRequestCollection> collections{};
    std::vector<APIEnvironmentProfile> environments{};
    // The first built-in environment unless the caller says otherwise.
    std::optional<tarn::UUID> activeEnvironmentID = defaultActiveEnvironmentID();
    std::vector<MockRouteRule> mockRoutes{};
    std::uint16_t proxyPort = 8787;

    // What a first start gets: the starter collections, the default
    // environments with the first of them active, the default mock routes and
    // port 8787. Any thread.
    static QuillerWorkspacePayload defaults();
    // The id of the first of APIEnvironmentProfile::defaultEnvironments().
    static std::optional<tarn::UUID> defaultActiveEnvironmentID();

    friend bool operator==(const QuillerWorkspacePayload&,
                           const QuillerWorkspacePayload&) = default;
};

// The workspace file's object: every member required (DecodingError otherwise)
// except "activeEnvironmentID", which may be missing or null and is left out
// when absent; "proxyPort" is an integer from 0 to 65535. Values are written
// as they are: blanking secrets is the store's job.
void to_json(nlohmann::json& json, const QuillerWorkspacePayload& payload);
void from_json(const nlohmann::json& json, QuillerWorkspacePayload& payload);

// The workspace file "workspace.json" and the keychain items that hold the
// values of secret environment variables (service
// "com.corvane.quiller.envsecrets", account "<environment id>::<key>").
//
// load() never fails; save() reports a workspace it could not write, so that
// the user hears of it and the caller keeps the data for the next save. Beyond
// the file format, the store protects the user's data:
// - A file that cannot be read back gives the defaults and is moved aside
//   ("workspace.json.unreadable-<UTC time>") with a warning in the log before
//   the next save (or when the caller asks), never overwritten.
// - A secret whose value the user emptied is deleted from the keychain when
//   this store loaded or stored that account during this run and no other row
//   of the save holds a value for it. Items the store never saw are left
//   alone, so a keychain that was locked at load cannot wipe anything.
// - The file is 0600 in a folder created 0700.
// Saving after every edit stays cheap: a secret equal to what the store last
// loaded or stored for its account makes no keychain call, and bytes equal to
// the file's current content are not written again.
//
// Main thread only, one call at a time: the store has no lock, and file and
// keychain calls run on the caller's thread.
class QuillerWorkspaceStore final {
public:
    // The folder defaults to "<Application Support>/Quiller" and the keychain
    // to the system's. The folder is created (0700) if missing; a failure is
    // ignored here and shows as failed reads and writes later. `keychain` must
    // outlive the store.
    explicit QuillerWorkspaceStore(std::optional<std::filesystem::path> directory = std::nullopt);
    QuillerWorkspaceStore(std::optional<std::filesystem::path> directory,
                          tarn::KeychainBackend& keychain);

    QuillerWorkspaceStore(const QuillerWorkspaceStore&) = delete;
    QuillerWorkspaceStore& operator=(const QuillerWorkspaceStore&) = delete;

    // The stored workspace with secret values filled in from the keychain, or
    // QuillerWorkspacePayload::defaults() (keychain not consulted) when there
    // is no file or it cannot be read or decoded. Writes nothing.
    QuillerWorkspacePayload load();

    // Stores secrets in the keychain, then writes the workspace with secret
    // values blanked. `payload` itself is not changed. Returns why the file
    // could not be written (no folder, a failed write, an unreadable file that
    // cannot be set aside); nothing once it is written. A secret the keychain
    // refused is no failure: it stays out of the file and is tried again.
    [[nodiscard]] std::optional<tarn::PlatformError> save(const QuillerWorkspacePayload& payload);

    // When the last load() found the file unreadable: moves it aside now
    // (with the warning in the log) and returns where it was kept. Nothing
    // when there is nothing to set aside, or when it cannot be moved: the
    // next save tries again and reports it.
    std::optional<std::filesystem::path> setUnreadableFileAside();

    // The private file of the keychain, once a save has stored a secret in
    // it because no keyring answered; nothing while secrets go to a keyring.
    const std::optional<std::filesystem::path>& secretsFallbackFile() const {
        return m_secretsFallbackFile;
    }

    // The workspace file; empty when no folder could be found for it.
    const std::filesystem::path& fileURL() const { return m_fileURL; }

private:
    struct FileIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::timespec modified{};
        mode_t mode = 0;

        bool operator==(const FileIdentity& other) const;
    };

    // The bytes known to be in the file right now, and how the file looked
    // then, so a file changed behind our back is written again.
    struct KnownFile {
        std::string bytes;
        FileIdentity identity;
    };

    enum class FileState {
        unknown,    // not looked at during this run
        usable,     // absent, or it decoded
        unreadable, // present but unusable; set aside before the next write
    };

    struct ReadResult {
        std::optional<QuillerWorkspacePayload> payload{};
        FileState state = FileState::unknown;
        std::string unreadableReason{};
    };

    ReadResult readFile();
    void storeSecrets(std::vector<APIEnvironmentProfile>& environments);
    // Moves the unreadable file aside; false when it cannot be moved.
    bool moveUnreadableFileAside(std::optional<std::filesystem::path>* keptAs = nullptr);
    static std::optional<FileIdentity> identityOf(const std::filesystem::path& file);

    std::filesystem::path m_fileURL;
    tarn::KeychainBackend& m_keychain;

    FileState m_fileState = FileState::unknown;
    std::string m_unreadableReason;
    bool m_reportedStuckFile = false;
    std::optional<KnownFile> m_knownFile;
    // Account -> the value this store last loaded from or stored in the
    // keychain during this run.
    std::map<std::string, std::string> m_knownSecrets;
    std::optional<std::filesystem::path> m_secretsFallbackFile;
    detail::WorkspaceFileEncoder m_encoder;
    // What the last save encoded, kept for its capacity.
    std::string m_encoded;
};

} // namespace quiller
