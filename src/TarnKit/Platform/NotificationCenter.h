#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn {

// One announcement: a name and an optional object (for instance the new
// interface language).
struct Notification {
    std::string name;
    std::any object;
};

// Announcements within the process. Observers register for a name; a post
// calls every observer of that name synchronously on the posting thread, in the
// order they were added.
//
// Every member may be called from any thread, also from inside an observer: no
// lock is held while observers run. An observer removed before a post starts is
// never called by it; one removed from inside an observer of the same post is
// not called afterwards; one removed on another thread while a post is running
// there may still receive that post. Exceptions thrown by an observer reach the
// poster, and the observers after it are not called.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    // Identifies one registration; 0 never identifies any.
    enum class ObserverToken : std::uint64_t {};

    NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;
    ~NotificationCenter();

    // The process's default centre, never destroyed.
    static NotificationCenter& defaultCenter();

    [[nodiscard]] ObserverToken addObserver(std::string name, Observer observer);
    // Unknown and already removed tokens are ignored.
    void removeObserver(ObserverToken token);

    void post(const Notification& notification);
    void post(std::string name, std::any object = {}) {
        post(Notification{std::move(name), std::move(object)});
    }

private:
    struct Registration;

    std::mutex m_lock;
    std::uint64_t m_lastToken = 0;
    std::unordered_map<std::string, std::vector<std::shared_ptr<Registration>>> m_observers;
    std::unordered_map<std::uint64_t, std::string> m_namesByToken;
};

} // namespace tarn
