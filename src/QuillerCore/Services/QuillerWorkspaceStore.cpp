#include "QuillerCore/Services/QuillerWorkspaceStore.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/System/KeychainBackend.h"
#include "TarnKit/System/TarnKeychainStore.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace quiller {
namespace {

namespace fs = std::filesystem;
using tarn::json::required;

constexpr const char* kFileName = "workspace.json";
// The code of the store's own save errors in the domain "Quiller".
constexpr long kSaveErrorCode = 1101;

const std::string& secretService() {
    static const std::string service =
        std::string(tarn::buildinfo::bundleIdentifier) + ".envsecrets";
    return service;
}

std::string secretAccount(const std::string& environmentID, const std::string& key) {
    return environmentID + "::" + key;
}

void warn(const std::string& message) {
    tarn::TarnAppLogger::shared(tarn::buildinfo::productName).warn(message, "workspace");
}

} // namespace

// --- The payload -------------------------------------------------------------

std::optional<tarn::UUID> QuillerWorkspacePayload::defaultActiveEnvironmentID() {
    static const std::optional<tarn::UUID> firstEnvironmentID = []() -> std::optional<tarn::UUID> {
        const std::vector<APIEnvironmentProfile> defaults =
            APIEnvironmentProfile::defaultEnvironments();
        if (defaults.empty())
            return std::nullopt;
        return defaults.front().id;
    }();
    return firstEnvironmentID;
}

QuillerWorkspacePayload QuillerWorkspacePayload::defaults() {
    return QuillerWorkspacePayload{
        .collections = APIRequestCollection::starterCollections(),
        .environments = APIEnvironmentProfile::defaultEnvironments(),
        .activeEnvironmentID = defaultActiveEnvironmentID(),
        .mockRoutes = MockRouteRule::defaultRoutes(),
        .proxyPort = 8787,
    };
}

void to_json(nlohmann::json& json, const QuillerWorkspacePayload& payload) {
    json = nlohmann::json::object();
    if (payload.activeEnvironmentID)
        json["activeEnvironmentID"] = *payload.activeEnvironmentID;
    json["collections"] = payload.collections;
    json["environments"] = payload.environments;
    json["mockRoutes"] = payload.mockRoutes;
    json["proxyPort"] = payload.proxyPort;
}

void from_json(const nlohmann::json& json, QuillerWorkspacePayload& payload) {
    tarn::json::expectObject(json);
    std::optional<tarn::UUID> activeEnvironmentID;
    if (const auto found = json.find("activeEnvironmentID");
        found != json.end() && !found->is_null()) {
        try {
            activeEnvironmentID = tarn::json::decode<tarn::UUID>(*found);
        } catch (tarn::json::DecodingError& error) {
            error.prependKey("activeEnvironmentID");
            throw;
        }
    }
    // Braced initialisers run left to right: members are read in file order.
    payload = QuillerWorkspacePayload{
        .collections = required<std::vector<APIRequestCollection>>(json, "collections"),
        .environments = required<std::vector<APIEnvironmentProfile>>(json, "environments"),
        .activeEnvironmentID = activeEnvironmentID,
        .mockRoutes = required<std::vector<MockRouteRule>>(json, "mockRoutes"),
        .proxyPort = required<std::uint16_t>(json, "proxyPort"),
    };
}

// --- The store ---------------------------------------------------------------

bool QuillerWorkspaceStore::FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           mode == other.mode;
}

QuillerWorkspaceStore::QuillerWorkspaceStore(std::optional<fs::path> directory)
    : QuillerWorkspaceStore(std::move(directory), tarn::TarnKeychainStore::systemKeychain()) {}

QuillerWorkspaceStore::QuillerWorkspaceStore(std::optional<fs::path> directory,
                                             tarn::KeychainBackend& keychain)
    : m_keychain(keychain) {
    fs::path folder;
    if (directory) {
        folder = std::move(*directory);
    } else {
        try {
            folder = tarn::files::applicationSupportDirectory() / "Quiller";
        } catch (const tarn::PlatformError&) {
            return; // no home folder: nothing can be stored, and load gives the defaults
        }
    }
    try {
        tarn::files::createDirectories(folder);
    } catch (const tarn::PlatformError&) {
        // Reads and writes will fail and say so through their results.
    }
    m_fileURL = folder / kFileName;
}

std::optional<QuillerWorkspaceStore::FileIdentity>
QuillerWorkspaceStore::identityOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{
        .device = info.st_dev,
        .inode = info.st_ino,
        .size = info.st_size,
        .modified = info.st_mtim,
        .mode = static_cast<mode_t>(info.st_mode & 07777),
    };
}

QuillerWorkspaceStore::ReadResult QuillerWorkspaceStore::readFile() {
    m_knownFile.reset();
    if (m_fileURL.empty())
        return {.state = FileState::usable};

    std::optional<std::string> bytes;
    try {
        bytes = tarn::files::readFile(m_fileURL);
    } catch (const tarn::PlatformError& error) {
        return {.state = FileState::unreadable, .unreadableReason = error.what()};
    }
    if (!bytes)
        return {.state = FileState::usable};

    const std::optional<nlohmann::json> document = tarn::json::parse(*bytes);
    if (!document)
        return {.state = FileState::unreadable, .unreadableReason = "it is not JSON"};
    ReadResult result{.state = FileState::usable};
    try {
        result.payload = tarn::json::decode<QuillerWorkspacePayload>(*document);
    } catch (const std::exception& error) {
        return {.state = FileState::unreadable, .unreadableReason = error.what()};
    }
    if (const std::optional<FileIdentity> identity = identityOf(m_fileURL))
        m_knownFile = KnownFile{std::move(*bytes), *identity};
    return result;
}

QuillerWorkspacePayload QuillerWorkspaceStore::load() {
    ReadResult result = readFile();
    m_fileState = result.state;
    m_unreadableReason = std::move(result.unreadableReason);
    if (!result.payload)
        return QuillerWorkspacePayload::defaults();

    QuillerWorkspacePayload payload = std::move(*result.payload);
    for (APIEnvironmentProfile& environment : payload.environments) {
        const std::string environmentID = environment.id.string();
        for (KeyValueRow& row : environment.variables) {
            if (!row.isSecret || row.key.empty())
                continue;
            const std::string account = secretAccount(environmentID, row.key);
            if (std::optional<std::string> secret = m_keychain.load(secretService(), account)) {
                m_knownSecrets[account] = *secret;
                row.value = std::move(*secret);
            } else {
                // Whatever was stored before is gone or out of reach now.
                m_knownSecrets.erase(account);
            }
        }
    }
    return payload;
}

void QuillerWorkspaceStore::storeSecrets(std::vector<APIEnvironmentProfile>& environments) {
    // Rows sharing an account share one item: the last non-empty value in
    // list order is the one kept, so one call per account does it.
    std::vector<std::string> accountsInOrder;
    std::map<std::string, std::string> wanted;
    std::set<std::string> emptied;
    for (APIEnvironmentProfile& environment : environments) {
        const std::string environmentID = environment.id.string();
        for (KeyValueRow& row : environment.variables) {
            if (!row.isSecret || row.key.empty())
                continue;
            std::string account = secretAccount(environmentID, row.key);
            if (row.value.empty()) {
                emptied.insert(std::move(account));
                continue;
            }
            const auto [slot, inserted] = wanted.insert_or_assign(account, std::move(row.value));
            if (inserted)
                accountsInOrder.push_back(std::move(account));
            row.value.clear();
        }
    }

    for (const std::string& account : accountsInOrder) {
        const std::string& value = wanted.at(account);
        const auto known = m_knownSecrets.find(account);
        if (known != m_knownSecrets.end() && known->second == value)
            continue;
        try {
            m_keychain.save(value, secretService(), account);
            m_knownSecrets[account] = value;
            if (!m_secretsFallbackFile)
                m_secretsFallbackFile = m_keychain.fallbackFile();
        } catch (const std::exception&) {
            // The keychain kept whatever it held; the secret still stays out
            // of the file, and the next save tries again.
        }
    }

    // The user emptied these. Only items this store has seen may go: an item
    // it could not read (a locked keychain at load) is not the user's choice.
    for (const std::string& account : emptied) {
        if (wanted.contains(account))
            continue;
        const auto known = m_knownSecrets.find(account);
        if (known == m_knownSecrets.end())
            continue;
        m_keychain.delete_(secretService(), account);
        m_knownSecrets.erase(known);
    }
}

std::optional<fs::path> QuillerWorkspaceStore::setUnreadableFileAside() {
    std::optional<fs::path> keptAs;
    if (m_fileState == FileState::unreadable)
        moveUnreadableFileAside(&keptAs);
    return keptAs;
}

bool QuillerWorkspaceStore::moveUnreadableFileAside(std::optional<fs::path>* keptAs) {
    try {
        const std::optional<fs::path> aside =
            tarn::files::moveAside(m_fileURL, std::chrono::system_clock::now());
        if (keptAs != nullptr)
            *keptAs = aside;
        if (aside)
            warn("The workspace file \"" + m_fileURL.string() + "\" could not be read (" +
                 m_unreadableReason + "); it was moved aside to \"" + aside->string() +
                 "\" and a new one is saved");
    } catch (const tarn::PlatformError& error) {
        if (!m_reportedStuckFile) {
            m_reportedStuckFile = true;
            warn("The workspace file \"" + m_fileURL.string() + "\" could not be read (" +
                 m_unreadableReason + ") nor moved aside (" + error.what() +
                 "); it is kept as it is and the workspace is not saved");
        }
        return false;
    }
    m_fileState = FileState::usable;
    m_knownFile.reset();
    return true;
}

std::optional<tarn::PlatformError>
QuillerWorkspaceStore::save(const QuillerWorkspacePayload& payload) {
    // Only the environments hold secrets; the rest is encoded straight from
    // the caller's value, which stays as it is.
    std::vector<APIEnvironmentProfile> environments = payload.environments;
    storeSecrets(environments);

    std::string& bytes = m_encoded;
    try {
        m_encoder.encode(payload, environments, bytes);
    } catch (const std::exception&) {
        // The previous file stays.
        return tarn::PlatformError("Quiller", kSaveErrorCode,
                                   "The workspace could not be encoded.");
    }
    if (m_fileURL.empty())
        return tarn::PlatformError("Quiller", kSaveErrorCode,
                                   "There is no folder to save the workspace in.");

    // A file this run has not looked at may be one that cannot be read back;
    // it must not be overwritten unseen.
    if (m_fileState == FileState::unknown) {
        ReadResult result = readFile();
        m_fileState = result.state;
        m_unreadableReason = std::move(result.unreadableReason);
    }
    if (m_fileState == FileState::unreadable && !moveUnreadableFileAside())
        return tarn::PlatformError("Quiller", kSaveErrorCode,
                                   "The unreadable workspace file \"" + m_fileURL.string() +
                                       "\" could not be moved aside.");

    if (m_knownFile && m_knownFile->bytes == bytes) {
        const std::optional<FileIdentity> identity = identityOf(m_fileURL);
        if (identity && *identity == m_knownFile->identity && identity->mode == 0600)
            return std::nullopt;
    }

    try {
        tarn::files::writeAtomically(m_fileURL, bytes, 0600);
    } catch (const tarn::PlatformError& error) {
        m_knownFile.reset(); // the previous file stays; write it next time
        return error;
    }
    const std::optional<FileIdentity> identity = identityOf(m_fileURL);
    if (!identity) {
        m_knownFile.reset();
    } else if (m_knownFile) {
        // The buffers trade places: the next save encodes into the older one.
        m_knownFile->bytes.swap(bytes);
        m_knownFile->identity = *identity;
    } else {
        m_knownFile = KnownFile{std::move(bytes), *identity};
    }
    return std::nullopt;
}

} // namespace quiller
