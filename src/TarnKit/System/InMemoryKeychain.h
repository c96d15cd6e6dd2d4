#pragma once

#include "TarnKit/System/KeychainBackend.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

// A keychain that lives in the process, for tests of the layers above and for
// benchmarks: it counts the calls made to it and can play a locked keyring.
// Any thread.
class InMemoryKeychain final : public KeychainBackend {
public:
    struct CallCounts {
        std::size_t saves = 0;
        std::size_t loads = 0;
        std::size_t deletes = 0;

        std::size_t total() const { return saves + loads + deletes; }
        friend bool operator==(const CallCounts&, const CallCounts&) = default;
    };

    using Items = std::map<std::pair<std::string, std::string>, std::string>;

    void save(std::string_view secret, std::string_view service, std::string_view account) override;
    std::optional<std::string> load(std::string_view service, std::string_view account) override;
    void delete_(std::string_view service, std::string_view account) override;

    // While locked, saves throw, loads find nothing and deletes do nothing,
    // as with a keyring the user did not unlock.
    void setLocked(bool locked);

    // Every call counts, refused ones included.
    CallCounts calls() const;
    void resetCalls();

    // Items by (service, account).
    Items items() const;

private:
    mutable std::mutex m_lock;
    Items m_items;
    CallCounts m_calls;
    bool m_locked = false;
};

} // namespace tarn
