#include "TarnKit/Platform/NotificationCenter.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

// Each test's centre posts nothing once the locals its observers capture are
// gone, so most registrations keep no token.
namespace {

using tarn::Notification;
using tarn::NotificationCenter;

TEST(NotificationCenter, PostsReachTheObserversOfTheNameInOrder) {
    NotificationCenter center;
    std::vector<std::string> calls;
    (void)center.addObserver("changed", [&](const Notification& note) {
        calls.push_back("first " + std::any_cast<std::string>(note.object));
    });
    (void)center.addObserver("other", [&](const Notification&) { calls.emplace_back("other"); });
    const auto second = center.addObserver(
        "changed", [&](const Notification& note) { calls.push_back("second " + note.name); });

    center.post("changed", std::string("de"));
    EXPECT_EQ(calls, (std::vector<std::string>{"first de", "second changed"}));

    calls.clear();
    center.removeObserver(second);
    center.removeObserver(second);                              // twice: ignored
    center.removeObserver(NotificationCenter::ObserverToken{}); // never issued: ignored
    center.post("changed", std::string("fr"));
    center.post("nobody listens");
    EXPECT_EQ(calls, std::vector<std::string>{"first fr"});
}

TEST(NotificationCenter, ObserversMayChangeRegistrationsAndPostWhileBeingCalled) {
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationCenter::ObserverToken self{};
    NotificationCenter::ObserverToken later{};
    self = center.addObserver("tick", [&](const Notification&) {
        calls.emplace_back("self");
        center.removeObserver(self);
        center.removeObserver(later);
        (void)center.addObserver("tick", [&](const Notification&) { calls.emplace_back("added"); });
        center.post("nested");
    });
    later = center.addObserver("tick", [&](const Notification&) { calls.emplace_back("later"); });
    (void)center.addObserver("nested", [&](const Notification&) { calls.emplace_back("nested"); });

    center.post("tick");
    // "later" was removed before its turn; "added" joined after the post began.
    EXPECT_EQ(calls, (std::vector<std::string>{"self", "nested"}));
    calls.clear();
    center.post("tick");
    EXPECT_EQ(calls, std::vector<std::string>{"added"});
}

TEST(NotificationCenter, DeliversOnThePostingThread) {
    NotificationCenter center;
    std::thread::id deliveredOn;
    (void)center.addObserver(
        "ping", [&](const Notification&) { deliveredOn = std::this_thread::get_id(); });
    std::thread::id poster;
    std::thread thread([&] {
        poster = std::this_thread::get_id();
        center.post("ping");
    });
    thread.join();
    EXPECT_EQ(deliveredOn, poster);
}

TEST(NotificationCenter, AnObserverThatThrowsStopsThePost) {
    NotificationCenter center;
    int after = 0;
    (void)center.addObserver("x",
                             [](const Notification&) { throw std::runtime_error("observer"); });
    (void)center.addObserver("x", [&](const Notification&) { ++after; });
    EXPECT_THROW(center.post("x"), std::runtime_error);
    EXPECT_EQ(after, 0);
    // The centre is still usable: no lock was left held.
    (void)center.addObserver("y", [&](const Notification&) { ++after; });
    center.post("y");
    EXPECT_EQ(after, 1);
}

TEST(NotificationCenter, RegistrationsAndPostsFromManyThreads) {
    NotificationCenter center;
    std::atomic<long> received{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    threads.reserve(4);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            while (!stop.load()) {
                const auto token =
                    center.addObserver("busy", [&](const Notification&) { ++received; });
                center.removeObserver(token);
            }
        });
    }
    const auto steady = center.addObserver("busy", [&](const Notification&) { ++received; });
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int n = 0; n < 2000; ++n)
                center.post("busy");
        });
    }
    for (std::size_t i = 4; i < threads.size(); ++i)
        threads[i].join();
    stop = true;
    for (std::size_t i = 0; i < 4; ++i)
        threads[i].join();
    center.removeObserver(steady);
    EXPECT_GE(received.load(), 8000);
}

} // namespace
