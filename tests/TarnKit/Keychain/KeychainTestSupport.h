#pragma once

// Helpers shared by the keychain tests: temporary folders, and the session
// keyring that scripts/with-session provides.

#include "TarnKit/System/SecretServiceKeychain.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace keychaintest {

using tarn::testing::modeOf;
using tarn::testing::TemporaryFolder;
using tarn::testing::UmaskScope;

// The session keyring, or a test failure that says how to provide one. These
// tests never skip: a run without a keyring must not pass unnoticed.
inline std::unique_ptr<tarn::SecretServiceKeychain> sessionKeyring() {
    if (std::getenv("QUILLER_TEST_KEYRING") == nullptr) {
        ADD_FAILURE() << "QUILLER_TEST_KEYRING is not set: the keychain tests need a session bus "
                         "with an unlocked keyring. Run them as `scripts/with-session ctest "
                         "--preset sanitize`.";
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<tarn::SecretServiceKeychain> keyring =
        tarn::SecretServiceKeychain::connect(reason);
    if (!keyring)
        ADD_FAILURE() << "QUILLER_TEST_KEYRING is set but no Secret Service answered: " << reason;
    return keyring;
}

} // namespace keychaintest
