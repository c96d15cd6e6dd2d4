#include "TarnKit/Platform/NotificationCenter.h"

#include <algorithm>
#include <atomic>

namespace tarn {

struct NotificationCenter::Registration {
    std::uint64_t token;
    Observer observer;
    // Cleared on removal so that a post already under way skips it.
    std::atomic<bool> isActive{true};
};

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter();
    return *center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name,
                                                                  Observer observer) {
    auto registration = std::make_shared<Registration>();
    registration->observer = std::move(observer);
    const std::lock_guard lock(m_lock);
    registration->token = ++m_lastToken;
    m_namesByToken.emplace(registration->token, name);
    m_observers[std::move(name)].push_back(registration);
    return ObserverToken{registration->token};
}

void NotificationCenter::removeObserver(ObserverToken token) {
    const auto value = static_cast<std::uint64_t>(token);
    std::shared_ptr<Registration> removed;
    {
        const std::lock_guard lock(m_lock);
        const auto name = m_namesByToken.find(value);
        if (name == m_namesByToken.end())
            return;
        const auto list = m_observers.find(name->second);
        if (list != m_observers.end()) {
            auto& registrations = list->second;
            const auto found =
                std::find_if(registrations.begin(), registrations.end(),
                             [value](const auto& entry) { return entry->token == value; });
            if (found != registrations.end()) {
                removed = *found;
                registrations.erase(found);
            }
            if (registrations.empty())
                m_observers.erase(list);
        }
        m_namesByToken.erase(name);
    }
    if (removed)
        removed->isActive.store(false);
    // The callback (and whatever it captured) is destroyed here or by the last
    // post still holding it, never under the lock.
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Registration>> recipients;
    {
        const std::lock_guard lock(m_lock);
        const auto found = m_observers.find(notification.name);
        if (found == m_observers.end())
            return;
        recipients = found->second;
    }
    for (const auto& registration : recipients) {
        if (registration->isActive.load())
            registration->observer(notification);
    }
}

} // namespace tarn
