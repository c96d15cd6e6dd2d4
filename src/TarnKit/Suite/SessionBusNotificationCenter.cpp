#include "TarnKit/Suite/SessionBusNotificationCenter.h"

namespace tarn {

std::unique_ptr<SessionBusNotificationCenter>
SessionBusNotificationCenter::connect(MainExecutor& mainExecutor) {
    auto table = std::make_shared<detail::SubscriptionTable>(mainExecutor);
    // The bus thread only looks up subscribers and posts jobs; the weak
    // pointer keeps a late signal from reaching a table being destroyed.
    std::unique_ptr<SessionBus> bus =
        SessionBus::connect([weak = std::weak_ptr<detail::SubscriptionTable>(table)](
                                const std::string& name, const std::optional<std::string>& object) {
            if (const auto subscribers = weak.lock())
                subscribers->deliver(name, object);
        });
    if (!bus)
        return nullptr;
    return std::unique_ptr<SessionBusNotificationCenter>(
        new SessionBusNotificationCenter(std::move(table), std::move(bus)));
}

SessionBusNotificationCenter::SessionBusNotificationCenter(
    std::shared_ptr<detail::SubscriptionTable> table, std::unique_ptr<SessionBus> bus)
    : m_table(std::move(table)), m_bus(std::move(bus)) {}

bool SessionBusNotificationCenter::post(std::string_view name,
                                        std::optional<std::string_view> object) {
    return m_bus->emitNotification(name, object);
}

NotificationSubscription SessionBusNotificationCenter::subscribe(std::string name,
                                                                 Handler handler) {
    return m_table->add(std::move(name), std::move(handler));
}

} // namespace tarn
