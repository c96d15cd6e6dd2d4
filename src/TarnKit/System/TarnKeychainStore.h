#pragma once

#include "TarnKit/System/KeychainBackend.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The suite's keychain: short secrets as generic-password items addressed by
// service and account. Every function may be called from any thread.
namespace tarn::TarnKeychainStore {

// The process's keychain, chosen on first use by openSystemKeychain with the
// default fallback file. It lives until the process ends.
KeychainBackend& systemKeychain();

// The Secret Service of the session bus when one answers; otherwise the
// private file `fallbackFile` (folder 0700, file 0600), and the first time in
// the process that happens, one warning in the application's log.
std::unique_ptr<KeychainBackend> openSystemKeychain(const std::filesystem::path& fallbackFile);

// "<Application Support>/Corvane/Keychain/keychain.json". Throws
// tarn::PlatformError when there is no home folder to put it in.
std::filesystem::path defaultFallbackFile();

// The operations of systemKeychain(), as KeychainBackend describes them.
void save(std::string_view secret, std::string_view service, std::string_view account);
std::optional<std::string> load(std::string_view service, std::string_view account);
void delete_(std::string_view service, std::string_view account);

} // namespace tarn::TarnKeychainStore
