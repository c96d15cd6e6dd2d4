#pragma once

#include "TarnKit/Suite/DistributedNotificationCenter.h"
#include "TarnKit/Suite/SessionBus.h"

#include <memory>

namespace tarn {

// Distributed notifications as signals on the session bus: every process of
// the session that listens receives them, this one included. Handlers run on
// the main executor, one job per delivery.
class SessionBusNotificationCenter final : public DistributedNotificationCenter {
public:
    // Nothing when there is no session bus. The executor must outlive the centre.
    static std::unique_ptr<SessionBusNotificationCenter> connect(MainExecutor& mainExecutor);

    bool post(std::string_view name,
              std::optional<std::string_view> object = std::nullopt) override;
    NotificationSubscription subscribe(std::string name, Handler handler) override;

    // The connection, to own this application's bundle identifier and to ask
    // about the others.
    SessionBus& bus() { return *m_bus; }

private:
    SessionBusNotificationCenter(std::shared_ptr<detail::SubscriptionTable> table,
                                 std::unique_ptr<SessionBus> bus);

    std::shared_ptr<detail::SubscriptionTable> m_table;
    std::unique_ptr<SessionBus> m_bus;
};

} // namespace tarn
