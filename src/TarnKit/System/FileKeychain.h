#pragma once

#include "TarnKit/System/KeychainBackend.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The keychain of last resort, for sessions without a Secret Service: one
// JSON file of the user's own (file 0600 in a folder 0700), holding the
// secrets in clear. Every operation reads the file afresh under an exclusive
// lock on a sibling lock file, so threads and processes sharing the file never
// lose each other's items; writes replace the file atomically.
//
// A file that cannot be read back is never overwritten: the next save moves it
// aside ("<name>.unreadable-<UTC time>") with a warning in the log. Until then
// it yields no secrets.
class FileKeychain final : public KeychainBackend {
public:
    // An empty path makes a keychain that stores nothing: saves throw and
    // loads find nothing.
    explicit FileKeychain(std::filesystem::path file);

    void save(std::string_view secret, std::string_view service, std::string_view account) override;
    std::optional<std::string> load(std::string_view service, std::string_view account) override;
    void delete_(std::string_view service, std::string_view account) override;

    std::optional<std::filesystem::path> fallbackFile() const override { return m_file; }

    const std::filesystem::path& file() const { return m_file; }

private:
    std::filesystem::path m_file;
};

} // namespace tarn
