#include "KeychainTestSupport.h"
#include "TarnKit/Platform/UUID.h"
#include "TarnKit/System/FileKeychain.h"
#include "TarnKit/System/SecretServiceKeychain.h"
#include "TarnKit/System/TarnKeychainStore.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <libsecret/secret.h>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

// What other programs see of our items: the schema and attribute names are a
// stored format, so the test spells them out on its own.
const SecretSchema* storedSchema() {
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

struct FoundItem {
    std::string label;
    std::string secret;
};

// Every item with these attributes, as another client of the keyring finds them.
std::vector<FoundItem> itemsWith(const std::string& service, const std::string& account) {
    GError* error = nullptr;
    GList* items = secret_password_search_sync(
        storedSchema(),
        static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK |
                                       SECRET_SEARCH_LOAD_SECRETS),
        nullptr, &error, "service", service.c_str(), "account", account.c_str(),
        static_cast<char*>(nullptr));
    if (error != nullptr) {
        ADD_FAILURE() << "search failed: " << error->message;
        g_error_free(error);
        return {};
    }
    std::vector<FoundItem> found;
    for (GList* node = items; node != nullptr; node = node->next) {
        auto* item = static_cast<SecretRetrievable*>(node->data);
        gchar* label = secret_retrievable_get_label(item);
        SecretValue* value = secret_retrievable_retrieve_secret_sync(item, nullptr, nullptr);
        gsize length = 0;
        const gchar* data = value != nullptr ? secret_value_get(value, &length) : "";
        found.push_back({label != nullptr ? label : "", std::string(data, length)});
        if (value != nullptr)
            secret_value_unref(value);
        g_free(label);
    }
    g_list_free_full(items, g_object_unref);
    return found;
}

std::string freshService() {
    return "com.corvane.tests." + tarn::UUID::random().string();
}

TEST(SecretServiceKeychain, SavingTwiceKeepsOneItemWithTheServiceAndAccountAttributes) {
    const std::unique_ptr<tarn::SecretServiceKeychain> keyring = keychaintest::sessionKeyring();
    ASSERT_NE(keyring, nullptr);
    const std::string service = freshService();

    keyring->save("first", service, "env::apiToken");
    keyring->save("second", service, "env::apiToken");

    const std::vector<FoundItem> items = itemsWith(service, "env::apiToken");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].secret, "second");
    EXPECT_EQ(items[0].label, service + " (env::apiToken)");

    keyring->delete_(service, "env::apiToken");
    EXPECT_TRUE(itemsWith(service, "env::apiToken").empty());
}

TEST(SecretServiceKeychain, StoredDataThatIsNotUTF8LoadsAsNothing) {
    const std::unique_ptr<tarn::SecretServiceKeychain> keyring = keychaintest::sessionKeyring();
    ASSERT_NE(keyring, nullptr);
    const std::string service = freshService();

    // Written by some other client, not through the keychain store.
    SecretValue* value = secret_value_new("\xff\xfe", 2, "application/octet-stream");
    GError* error = nullptr;
    const gboolean stored = secret_password_store_binary_sync(
        storedSchema(), SECRET_COLLECTION_DEFAULT, "binary", value, nullptr, &error, "service",
        service.c_str(), "account", "binary", static_cast<char*>(nullptr));
    secret_value_unref(value);
    if (error != nullptr)
        g_error_free(error);
    ASSERT_TRUE(stored);

    EXPECT_EQ(keyring->load(service, "binary"), std::nullopt);
    keyring->delete_(service, "binary");
    EXPECT_TRUE(itemsWith(service, "binary").empty());
}

// Without a session bus the private file takes over. It runs in a fresh
// process: the bus connection of this one may already be made and cached.
TEST(SecretServiceKeychain, WithoutASessionBusThePrivateFileTakesOver) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    keychaintest::TemporaryFolder temp;
    const fs::path file = temp.path() / "Keychain" / "keychain.json";
    EXPECT_EXIT(
        {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quiller-test-bus", 1);
            std::unique_ptr<tarn::KeychainBackend> keychain =
                tarn::TarnKeychainStore::openSystemKeychain(file);
            const bool isFile = dynamic_cast<tarn::FileKeychain*>(keychain.get()) != nullptr;
            keychain->save("kept in the file", "service", "account");
            const bool loaded = keychain->load("service", "account") == "kept in the file";
            const bool kept = isFile && loaded && fs::exists(file);
            // The child runs the whole test again and exits before its own
            // folder's destructor could remove it.
            keychain.reset();
            std::error_code ignored;
            fs::remove_all(temp.path(), ignored);
            std::exit(kept ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
