#pragma once

// The session keyring that scripts/with-session provides, for the tests that
// talk to the real Secret Service.

#include "TarnKit/System/SecretServiceKeychain.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace tarn::testing {

// The session keyring, or a test failure that says how to provide one. These
// tests never skip: a run without a keyring must not pass unnoticed.
inline std::unique_ptr<SecretServiceKeychain> sessionKeyring() {
    if (std::getenv("QUILLER_TEST_KEYRING") == nullptr) {
        ADD_FAILURE() << "QUILLER_TEST_KEYRING is not set: this test needs a session bus with an "
                         "unlocked keyring. Run it as `scripts/with-session ctest --preset "
                         "sanitize`.";
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<SecretServiceKeychain> keyring = SecretServiceKeychain::connect(reason);
    if (!keyring)
        ADD_FAILURE() << "QUILLER_TEST_KEYRING is set but no Secret Service answered: " << reason;
    return keyring;
}

} // namespace tarn::testing
