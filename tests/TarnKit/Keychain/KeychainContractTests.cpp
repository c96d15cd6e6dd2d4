// One table of expectations, run against every keychain backend, so that the
// layers above can test with the in-memory one and trust the result.

#include "KeychainTestSupport.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UUID.h"
#include "TarnKit/System/FileKeychain.h"
#include "TarnKit/System/InMemoryKeychain.h"

#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using keychaintest::TemporaryFolder;
using namespace std::string_literals;

struct BackendKind {
    const char* name;
    std::unique_ptr<tarn::KeychainBackend> (*make)(const TemporaryFolder& folder);
};

const BackendKind backendKinds[] = {
    {"InMemory",
     [](const TemporaryFolder&) -> std::unique_ptr<tarn::KeychainBackend> {
         return std::make_unique<tarn::InMemoryKeychain>();
     }},
    {"File",
     [](const TemporaryFolder& folder) -> std::unique_ptr<tarn::KeychainBackend> {
         return std::make_unique<tarn::FileKeychain>(folder.path() / "Keychain" / "keychain.json");
     }},
    {"SecretService",
     [](const TemporaryFolder&) -> std::unique_ptr<tarn::KeychainBackend> {
         return keychaintest::sessionKeyring();
     }},
};

// Names the backend in test names instead of dumping its bytes.
void PrintTo(const BackendKind& kind, std::ostream* out) {
    *out << kind.name;
}

class KeychainContract : public testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override {
        m_keychain = GetParam().make(m_folder);
        ASSERT_NE(m_keychain, nullptr);
    }

    void TearDown() override {
        // The session keyring outlives the test process; leave nothing in it.
        if (m_keychain)
            for (const auto& [service, account] : m_used)
                m_keychain->delete_(service, account);
    }

    // A service name no other test (or earlier run) uses.
    std::string freshService() { return "com.corvane.tests." + tarn::UUID::random().string(); }

    void save(const std::string& secret, const std::string& service, const std::string& account) {
        m_used.emplace(service, account);
        m_keychain->save(secret, service, account);
    }

    tarn::KeychainBackend& keychain() { return *m_keychain; }

private:
    TemporaryFolder m_folder;
    std::unique_ptr<tarn::KeychainBackend> m_keychain;
    std::set<std::pair<std::string, std::string>> m_used;
};

TEST_P(KeychainContract, NeverSavedItemIsAbsentAndDeletingItIsSilent) {
    const std::string service = freshService();
    EXPECT_EQ(keychain().load(service, "nobody"), std::nullopt);
    EXPECT_NO_THROW(keychain().delete_(service, "nobody"));
    EXPECT_EQ(keychain().load(service, "nobody"), std::nullopt);
}

TEST_P(KeychainContract, SecretsComeBackExactly) {
    const std::string service = freshService();
    const std::vector<std::pair<const char*, std::string>> secrets = {
        {"plain", "hunter2"},
        {"empty", ""},
        {"non-ASCII", "şifre İı 🔑 環境"},
        {"JSON and shell specials", "line1\nline2\t\"quoted\" \\ / $HOME `x` {{a}}"},
        {"embedded U+0000", "before\0after"s},
        {"surrounding blanks", "  padded  "},
        {"long", std::string(100'000, 'k') + "end"},
    };
    for (const auto& [name, secret] : secrets) {
        SCOPED_TRACE(name);
        ASSERT_NO_THROW(save(secret, service, name));
    }
    // Read back only after every save, so one item cannot mask another.
    for (const auto& [name, secret] : secrets) {
        SCOPED_TRACE(name);
        EXPECT_EQ(keychain().load(service, name), secret);
    }
}

TEST_P(KeychainContract, SavingAgainReplacesTheSecret) {
    const std::string service = freshService();
    save("first", service, "account");
    save("second", service, "account");
    EXPECT_EQ(keychain().load(service, "account"), "second");
    keychain().delete_(service, "account");
    EXPECT_EQ(keychain().load(service, "account"), std::nullopt);
}

// Service and account together name an item: no pair may reach another's
// secret, however the texts would look joined.
TEST_P(KeychainContract, ItemsAreAddressedByServiceAndAccountTogether) {
    const std::string service = freshService();
    const std::string other = freshService();
    const std::vector<std::pair<std::string, std::string>> addresses = {
        {service, "a"},          {service, "A"},
        {service, "b"},          {other, "a"},
        {service, "x::y"},       {service + "::x", "y"},
        {service, " "},          {service, "44444444-4444-4444-8444-444444444402::apiToken"},
        {service, "環境::キー"},
    };
    for (std::size_t i = 0; i < addresses.size(); ++i)
        save("secret " + std::to_string(i), addresses[i].first, addresses[i].second);
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        SCOPED_TRACE(addresses[i].first + " / " + addresses[i].second);
        EXPECT_EQ(keychain().load(addresses[i].first, addresses[i].second),
                  "secret " + std::to_string(i));
    }

    keychain().delete_(service, "a");
    EXPECT_EQ(keychain().load(service, "a"), std::nullopt);
    EXPECT_EQ(keychain().load(service, "A"), "secret 1");
    EXPECT_EQ(keychain().load(other, "a"), "secret 3");
}

TEST_P(KeychainContract, RefusedSaveKeepsTheEarlierSecret) {
    const std::string service = freshService();
    save("kept", service, "account");

    struct Case {
        const char* name;
        std::string secret;
        std::string service;
        std::string account;
    };
    const Case refusedSecrets[] = {
        {"secret not UTF-8", "bad \xff byte", service, "account"},
        {"secret with a lone surrogate", "\xed\xa0\x80", service, "account"},
    };
    const Case refusedNames[] = {
        {"account with U+0000", "x", service, "account\0other"s},
        {"account not UTF-8", "x", service, "acc\xc3"},
        {"service with U+0000", "x", service + "\0"s, "account"},
    };
    for (const Case& c : refusedSecrets) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(keychain().save(c.secret, c.service, c.account), tarn::PlatformError);
        EXPECT_EQ(keychain().load(service, "account"), "kept");
    }
    // Names that cannot address an item find nothing, and deleting by them
    // must not reach the item they would name if cut at the U+0000.
    for (const Case& c : refusedNames) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(keychain().save(c.secret, c.service, c.account), tarn::PlatformError);
        EXPECT_EQ(keychain().load(c.service, c.account), std::nullopt);
        EXPECT_NO_THROW(keychain().delete_(c.service, c.account));
        EXPECT_EQ(keychain().load(service, "account"), "kept");
    }
    EXPECT_EQ(keychain().load(service, "account"), "kept");
}

TEST_P(KeychainContract, ConcurrentSavesFromManyThreadsAreAllKept) {
    const std::string service = freshService();
    constexpr int threadCount = 8;
    constexpr int perThread = 5;
    for (int t = 0; t < threadCount; ++t)
        for (int i = 0; i < perThread; ++i)
            save("initial", service, std::to_string(t) + "-" + std::to_string(i));

    std::vector<std::jthread> threads;
    threads.reserve(static_cast<std::size_t>(threadCount));
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                const std::string account = std::to_string(t) + "-" + std::to_string(i);
                keychain().save("value of " + account, service, account);
            }
        });
    threads.clear(); // joins

    for (int t = 0; t < threadCount; ++t)
        for (int i = 0; i < perThread; ++i) {
            const std::string account = std::to_string(t) + "-" + std::to_string(i);
            EXPECT_EQ(keychain().load(service, account), "value of " + account);
        }
}

INSTANTIATE_TEST_SUITE_P(Backends, KeychainContract, testing::ValuesIn(backendKinds),
                         [](const testing::TestParamInfo<BackendKind>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
