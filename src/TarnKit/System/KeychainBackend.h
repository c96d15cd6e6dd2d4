#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Where short secrets live: generic-password items addressed by a service and
// an account name. The system keyring implements it, a private file stands in
// when no keyring answers, and tests use an in-memory one.
//
// Every implementation may be called from any thread, concurrently.
//
// Service, account and secret are UTF-8 text; the service and the account may
// not contain U+0000 (the keyring keeps them as C strings), the secret may.
class KeychainBackend {
public:
    KeychainBackend() = default;
    KeychainBackend(const KeychainBackend&) = delete;
    KeychainBackend& operator=(const KeychainBackend&) = delete;
    virtual ~KeychainBackend() = default;

    // Stores `secret`, replacing any item with the same service and account in
    // one step: when it throws (tarn::PlatformError), the earlier secret is
    // still there. Text that breaks the rules above is refused the same way.
    virtual void save(std::string_view secret, std::string_view service,
                      std::string_view account) = 0;

    // The stored secret, or nothing: no item, a refused lookup and stored data
    // that is not UTF-8 all look the same. Never throws.
    virtual std::optional<std::string> load(std::string_view service, std::string_view account) = 0;

    // Removes the item if there is one. Never throws and reports nothing.
    virtual void delete_(std::string_view service, std::string_view account) = 0;

    // The private file that holds the secrets in clear, for a keychain that
    // stands in for a missing keyring; nothing for a real keychain.
    virtual std::optional<std::filesystem::path> fallbackFile() const { return std::nullopt; }
};

namespace detail {

// True when the three texts may name and hold an item (see KeychainBackend).
bool isValidKeychainAddress(std::string_view service, std::string_view account);
// Throws the PlatformError every backend uses for text it refuses to store.
void checkKeychainSave(std::string_view secret, std::string_view service, std::string_view account);

} // namespace detail

} // namespace tarn
