#include "TarnKit/Suite/DistributedNotificationCenter.h"

namespace tarn {
namespace detail {

NotificationSubscription SubscriptionTable::add(std::string name,
                                                DistributedNotificationCenter::Handler handler) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(m_lock);
        id = ++m_next;
        m_entries.emplace(
            id, Entry{std::move(name), std::make_shared<DistributedNotificationCenter::Handler>(
                                           std::move(handler))});
    }
    return NotificationSubscription([weak = weak_from_this(), id] {
        if (const auto table = weak.lock()) {
            std::lock_guard lock(table->m_lock);
            table->m_entries.erase(id);
        }
    });
}

void SubscriptionTable::deliver(std::string_view name, const std::optional<std::string>& object) {
    std::vector<std::uint64_t> ids;
    {
        std::lock_guard lock(m_lock);
        for (const auto& [id, entry] : m_entries)
            if (entry.name == name)
                ids.push_back(id);
    }
    for (const std::uint64_t id : ids) {
        m_main.post([weak = weak_from_this(), id, object] {
            const auto table = weak.lock();
            if (!table)
                return;
            std::shared_ptr<DistributedNotificationCenter::Handler> handler;
            {
                std::lock_guard lock(table->m_lock);
                const auto found = table->m_entries.find(id);
                if (found == table->m_entries.end())
                    return; // unsubscribed after the notification arrived
                handler = found->second.handler;
            }
            (*handler)(object);
        });
    }
}

} // namespace detail

bool InProcessNotificationCenter::post(std::string_view name,
                                       std::optional<std::string_view> object) {
    std::optional<std::string> text;
    if (object)
        text.emplace(*object);
    {
        std::lock_guard lock(m_lock);
        m_posted.push_back({std::string(name), text});
    }
    m_table->deliver(name, text);
    return true;
}

NotificationSubscription InProcessNotificationCenter::subscribe(std::string name, Handler handler) {
    return m_table->add(std::move(name), std::move(handler));
}

std::vector<InProcessNotificationCenter::Posted> InProcessNotificationCenter::posted() const {
    std::lock_guard lock(m_lock);
    return m_posted;
}

} // namespace tarn
