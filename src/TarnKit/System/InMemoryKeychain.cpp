#include "TarnKit/System/InMemoryKeychain.h"

#include "TarnKit/Platform/PlatformError.h"

namespace tarn {

void InMemoryKeychain::save(std::string_view secret, std::string_view service,
                            std::string_view account) {
    const std::lock_guard lock(m_lock);
    ++m_calls.saves;
    detail::checkKeychainSave(secret, service, account);
    if (m_locked)
        throw PlatformError("InMemoryKeychain", 1, "The keychain is locked");
    m_items[{std::string(service), std::string(account)}] = std::string(secret);
}

std::optional<std::string> InMemoryKeychain::load(std::string_view service,
                                                  std::string_view account) {
    const std::lock_guard lock(m_lock);
    ++m_calls.loads;
    if (m_locked)
        return std::nullopt;
    const auto found = m_items.find({std::string(service), std::string(account)});
    if (found == m_items.end())
        return std::nullopt;
    return found->second;
}

void InMemoryKeychain::delete_(std::string_view service, std::string_view account) {
    const std::lock_guard lock(m_lock);
    ++m_calls.deletes;
    if (!m_locked)
        m_items.erase({std::string(service), std::string(account)});
}

void InMemoryKeychain::setLocked(bool locked) {
    const std::lock_guard lock(m_lock);
    m_locked = locked;
}

InMemoryKeychain::CallCounts InMemoryKeychain::calls() const {
    const std::lock_guard lock(m_lock);
    return m_calls;
}

void InMemoryKeychain::resetCalls() {
    const std::lock_guard lock(m_lock);
    m_calls = {};
}

InMemoryKeychain::Items InMemoryKeychain::items() const {
    const std::lock_guard lock(m_lock);
    return m_items;
}

} // namespace tarn
