#pragma once

#include "TarnKit/System/KeychainBackend.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The session's Secret Service (the system keyring) through libsecret. Items
// carry the schema "com.corvane.GenericPassword" with the string attributes
// "service" and "account", live in the default collection and are labelled
// "<service> (<account>)". Saving asks the service to replace the item with
// the same attributes, which it does in one step.
//
// Calls block until the service answers; a locked collection may make the
// service ask the user to unlock it first.
class SecretServiceKeychain final : public KeychainBackend {
public:
    // Connects and opens a session with the service. Returns nullptr, with the
    // reason in `reason`, when no Secret Service answers (no session bus, or
    // nothing on it that owns the service name).
    static std::unique_ptr<SecretServiceKeychain> connect(std::string& reason);

    ~SecretServiceKeychain() override;

    void save(std::string_view secret, std::string_view service, std::string_view account) override;
    std::optional<std::string> load(std::string_view service, std::string_view account) override;
    void delete_(std::string_view service, std::string_view account) override;

private:
    struct Connection;
    explicit SecretServiceKeychain(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> m_connection;
};

} // namespace tarn
