#include "TarnKit/System/TarnKeychainStore.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/System/FileKeychain.h"
#include "TarnKit/System/SecretServiceKeychain.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <atomic>

namespace tarn::TarnKeychainStore {

std::unique_ptr<KeychainBackend> openSystemKeychain(const std::filesystem::path& fallbackFile) {
    std::string reason;
    if (std::unique_ptr<SecretServiceKeychain> keyring = SecretServiceKeychain::connect(reason))
        return keyring;

    static std::atomic<bool> warned{false};
    if (!warned.exchange(true))
        TarnAppLogger::shared(buildinfo::productName)
            .warn("No Secret Service answered (" + reason +
                      "); secrets are kept in the private file \"" + fallbackFile.string() + "\"",
                  "keychain");
    return std::make_unique<FileKeychain>(fallbackFile);
}

std::filesystem::path defaultFallbackFile() {
    return files::applicationSupportDirectory() / "Corvane" / "Keychain" / "keychain.json";
}

KeychainBackend& systemKeychain() {
    // Never destroyed: other threads may still use it while statics are torn
    // down at exit, and the keyring connection needs no orderly goodbye.
    static KeychainBackend* const keychain = [] {
        std::filesystem::path fallback;
        try {
            fallback = defaultFallbackFile();
        } catch (const PlatformError&) {
            // No home folder: without a keyring, nothing can be kept.
        }
        return openSystemKeychain(fallback).release();
    }();
    return *keychain;
}

void save(std::string_view secret, std::string_view service, std::string_view account) {
    systemKeychain().save(secret, service, account);
}

std::optional<std::string> load(std::string_view service, std::string_view account) {
    return systemKeychain().load(service, account);
}

void delete_(std::string_view service, std::string_view account) {
    systemKeychain().delete_(service, account);
}

} // namespace tarn::TarnKeychainStore
