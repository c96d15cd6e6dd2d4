#pragma once

// Helpers shared by the keychain tests: temporary folders, and the session
// keyring that scripts/with-session provides.

#include "TarnKit/System/SecretServiceKeychain.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace keychaintest {

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarn-keychain-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_previous(::umask(mask)) {}
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;
    ~UmaskScope() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

inline mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

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
