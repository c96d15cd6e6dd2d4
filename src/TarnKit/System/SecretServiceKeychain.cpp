#include "TarnKit/System/SecretServiceKeychain.h"

#include "TarnKit/Platform/GLibError.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <cerrno>
#include <libsecret/secret.h>

namespace tarn {
namespace {

struct HashTableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
struct SecretValueUnref {
    // The value's memory is wiped when its last reference goes.
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using Attributes = std::unique_ptr<GHashTable, HashTableUnref>;
using Value = std::unique_ptr<SecretValue, SecretValueUnref>;

const SecretSchema* genericPasswordSchema() {
    static const SecretSchema schema = [] {
        SecretSchema value{};
        value.name = "com.corvane.GenericPassword";
        value.flags = SECRET_SCHEMA_NONE;
        value.attributes[0] = SecretSchemaAttribute{"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        value.attributes[1] = SecretSchemaAttribute{"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return value;
    }();
    return &schema;
}

// Null when the names cannot be attributes (the caller has checked them).
Attributes attributesFor(std::string_view service, std::string_view account) {
    const std::string serviceText(service);
    const std::string accountText(account);
    return Attributes(secret_attributes_build(genericPasswordSchema(), "service",
                                              serviceText.c_str(), "account", accountText.c_str(),
                                              static_cast<char*>(nullptr)));
}

} // namespace

struct SecretServiceKeychain::Connection {
    explicit Connection(SecretService* owned) : service(owned) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { g_object_unref(service); }

    SecretService* service;
};

std::unique_ptr<SecretServiceKeychain> SecretServiceKeychain::connect(std::string& reason) {
    GErrorSlot error;
    // Opening a session makes the service answer a call, so a bus without a
    // Secret Service on it fails here rather than at the first secret.
    SecretService* service =
        secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, error.out());
    if (service == nullptr) {
        reason = error.message();
        return nullptr;
    }
    return std::unique_ptr<SecretServiceKeychain>(
        new SecretServiceKeychain(std::make_unique<Connection>(service)));
}

SecretServiceKeychain::SecretServiceKeychain(std::unique_ptr<Connection> connection)
    : m_connection(std::move(connection)) {}

SecretServiceKeychain::~SecretServiceKeychain() = default;

void SecretServiceKeychain::save(std::string_view secret, std::string_view service,
                                 std::string_view account) {
    detail::checkKeychainSave(secret, service, account);
    const Attributes attributes = attributesFor(service, account);
    if (!attributes)
        throw PlatformError(kPOSIXErrorDomain, EINVAL,
                            "The keychain cannot address an item by these names");
    const Value value(
        secret_value_new(secret.data(), static_cast<gssize>(secret.size()), "text/plain"));
    const std::string label = std::string(service) + " (" + std::string(account) + ")";

    // The service replaces an item with the same attributes in place, so a
    // refused store leaves the earlier secret where it was.
    GErrorSlot error;
    if (!secret_service_store_sync(m_connection->service, genericPasswordSchema(), attributes.get(),
                                   SECRET_COLLECTION_DEFAULT, label.c_str(), value.get(), nullptr,
                                   error.out())) {
        const GError* reported = error.get();
        throw PlatformError(reported != nullptr ? g_quark_to_string(reported->domain)
                                                : "SecretServiceErrorDomain",
                            reported != nullptr ? reported->code : 0,
                            "The keychain did not store the secret: " + error.message());
    }
}

std::optional<std::string> SecretServiceKeychain::load(std::string_view service,
                                                       std::string_view account) {
    if (!detail::isValidKeychainAddress(service, account))
        return std::nullopt;
    const Attributes attributes = attributesFor(service, account);
    if (!attributes)
        return std::nullopt;
    GErrorSlot error;
    const Value value(secret_service_lookup_sync(m_connection->service, genericPasswordSchema(),
                                                 attributes.get(), nullptr, error.out()));
    if (!value)
        return std::nullopt;
    gsize length = 0;
    const gchar* data = secret_value_get(value.get(), &length);
    const std::string_view bytes(data, length);
    if (!text::isValidUTF8(bytes))
        return std::nullopt;
    return std::string(bytes);
}

void SecretServiceKeychain::delete_(std::string_view service, std::string_view account) {
    if (!detail::isValidKeychainAddress(service, account))
        return;
    const Attributes attributes = attributesFor(service, account);
    if (!attributes)
        return;
    GErrorSlot error;
    secret_service_clear_sync(m_connection->service, genericPasswordSchema(), attributes.get(),
                              nullptr, error.out());
}

} // namespace tarn
