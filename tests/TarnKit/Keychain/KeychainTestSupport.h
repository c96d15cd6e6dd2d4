#pragma once

// Helpers shared by the keychain tests: temporary folders, and the session
// keyring that scripts/with-session provides.

#include "TarnKit/System/SecretServiceKeychain.h"
#include "support/SessionKeyring.h"
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
using tarn::testing::sessionKeyring;
using tarn::testing::TemporaryFolder;
using tarn::testing::UmaskScope;

} // namespace keychaintest
