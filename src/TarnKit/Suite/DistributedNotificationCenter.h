#pragma once

// Notifications between the processes of one user: a name and an optional
// text, nothing else. The suite bus posts them so that peers re-read a file
// at once; the files carry the content.

#include "TarnKit/Platform/Executors.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarn {

// Keeps a subscription alive; destroying or resetting it unsubscribes. Once
// reset() returns, no further delivery of that subscription starts on the
// main executor. Move-only; reset() must run on the main thread.
class [[nodiscard]] NotificationSubscription {
public:
    NotificationSubscription() = default;
    explicit NotificationSubscription(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    NotificationSubscription(NotificationSubscription&& other) noexcept
        : m_cancel(std::exchange(other.m_cancel, nullptr)) {}
    NotificationSubscription& operator=(NotificationSubscription&& other) noexcept {
        if (this != &other) {
            reset();
            m_cancel = std::exchange(other.m_cancel, nullptr);
        }
        return *this;
    }
    NotificationSubscription(const NotificationSubscription&) = delete;
    NotificationSubscription& operator=(const NotificationSubscription&) = delete;
    ~NotificationSubscription() { reset(); }

    void reset() {
        if (auto cancel = std::exchange(m_cancel, nullptr))
            cancel();
    }
    bool active() const { return m_cancel != nullptr; }

private:
    std::function<void()> m_cancel;
};

// post may be called from any thread; subscribe on the main thread. Handlers
// run on the main executor, one job per delivery, never inline in post.
class DistributedNotificationCenter {
public:
    using Handler = std::function<void(const std::optional<std::string>& object)>;

    DistributedNotificationCenter() = default;
    DistributedNotificationCenter(const DistributedNotificationCenter&) = delete;
    DistributedNotificationCenter& operator=(const DistributedNotificationCenter&) = delete;
    virtual ~DistributedNotificationCenter() = default;

    // Returns whether the notification left this process (or, for an
    // in-process centre, was queued).
    virtual bool post(std::string_view name,
                      std::optional<std::string_view> object = std::nullopt) = 0;
    virtual NotificationSubscription subscribe(std::string name, Handler handler) = 0;
};

namespace detail {

// The subscriptions of one centre: what the in-process and the session-bus
// centres share. Thread-safe; deliveries are posted to the main executor and
// checked again there, so a subscription cancelled meanwhile gets nothing.
class SubscriptionTable : public std::enable_shared_from_this<SubscriptionTable> {
public:
    explicit SubscriptionTable(MainExecutor& mainExecutor) : m_main(mainExecutor) {}

    NotificationSubscription add(std::string name, DistributedNotificationCenter::Handler handler);
    // One main-executor job per subscriber of `name`.
    void deliver(std::string_view name, const std::optional<std::string>& object);

private:
    struct Entry {
        std::string name;
        std::shared_ptr<DistributedNotificationCenter::Handler> handler;
    };

    MainExecutor& m_main;
    mutable std::mutex m_lock;
    std::uint64_t m_next = 0;
    std::unordered_map<std::uint64_t, Entry> m_entries;
};

} // namespace detail

// Delivers within this process only; a stand-in for tests and for a session
// without a bus.
class InProcessNotificationCenter final : public DistributedNotificationCenter {
public:
    explicit InProcessNotificationCenter(MainExecutor& mainExecutor)
        : m_table(std::make_shared<detail::SubscriptionTable>(mainExecutor)) {}

    bool post(std::string_view name,
              std::optional<std::string_view> object = std::nullopt) override;
    NotificationSubscription subscribe(std::string name, Handler handler) override;

    struct Posted {
        std::string name;
        std::optional<std::string> object;
        friend bool operator==(const Posted&, const Posted&) = default;
    };
    // Every notification posted so far, in order.
    std::vector<Posted> posted() const;

private:
    std::shared_ptr<detail::SubscriptionTable> m_table;
    mutable std::mutex m_lock;
    std::vector<Posted> m_posted;
};

} // namespace tarn
