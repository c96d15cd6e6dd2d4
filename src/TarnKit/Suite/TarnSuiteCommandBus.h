#pragma once

#include "TarnKit/Platform/Executors.h"
#include "TarnKit/Suite/DistributedNotificationCenter.h"
#include "TarnKit/Suite/SuiteDesktop.h"
#include "TarnKit/Suite/TarnSuiteCommandEnvelope.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tarn {

// What became of a command handed to dispatch().
enum class CommandDispatchOutcome {
    delivered,         // written, and the running target was told
    launched,          // written, and the installed target was started
    invalidTargetPID,  // a target PID below 2: nothing written
    targetUnavailable, // not running, and not to be (or not able to be) started: nothing written
    writeFailed,       // the folder, the encoding or the file failed
    launchFailed,      // written, but the target could not be started (the file stays)
};

// Whether the outcome counts as sent.
bool succeeded(CommandDispatchOutcome outcome);

// How this system sends one of the kinds it sends itself: to whom, and
// whether the target comes forward.
struct QuickActionRoute {
    TarnSuiteApp target;
    bool bringToFront;
};
// The route of the nine kinds the quick-actions strip and the gauge card
// send; nothing for any other kind.
std::optional<QuickActionRoute> quickActionRoute(TarnSuiteCommandKind kind);

// Commands between suite applications: one file per target in the commands
// folder ("<lower-cased raw value>-cmd.json", folder 0700, file 0600), and a
// notification that wakes a running target. A newer command for the same
// target replaces one not taken yet.
//
// Threads: dispatch/send and listening belong to the main thread (they may
// bring an application forward, and takes are serialised there); enqueue,
// peek and consume may run on any thread. Nothing throws: writers answer an
// outcome or a flag, readers an envelope or nothing.
class TarnSuiteCommandBus {
public:
    struct Ports {
        MainExecutor* mainExecutor = nullptr;
        DistributedNotificationCenter* notifications = nullptr;
        SuiteDesktop* desktop = nullptr;
        std::function<suite::Date()> clock = [] { return std::chrono::system_clock::now(); };
        // Called by a take after the file is taken away and before it is read:
        // the window in which a writer may place the next command. For tests.
        std::function<void()> onTaken;
    };

    // The window within which a listener accepts a command.
    static constexpr double listenerMaxAgeSeconds = 25;
    // How long after listening starts the first take happens.
    static constexpr std::chrono::milliseconds firstTakeDelay{350};

    // "<application support>/Corvane/SuiteTelemetry/Commands".
    static std::filesystem::path defaultDirectory();
    // "<suite prefix>.suite.command.<lower-cased raw value>".
    static std::string notificationName(TarnSuiteApp app);

    // With a base directory, commands live in "<base>/Commands". The ports
    // must outlive the bus; a missing port makes what needs it fail.
    TarnSuiteCommandBus(std::optional<std::filesystem::path> baseDirectory, Ports ports);
    TarnSuiteCommandBus(const TarnSuiteCommandBus&) = delete;
    TarnSuiteCommandBus& operator=(const TarnSuiteCommandBus&) = delete;

    const std::filesystem::path& commandsDirectory() const { return m_commandsDirectory; }
    std::filesystem::path commandFile(TarnSuiteApp target) const;

    // The one routine behind send, the quick-actions strip and the gauge card.
    CommandDispatchOutcome dispatch(TarnSuiteCommandKind kind, TarnSuiteApp from, TarnSuiteApp to,
                                    std::optional<std::int32_t> targetPID,
                                    std::optional<std::string> targetName,
                                    std::optional<std::string> payload, bool launchIfNeeded,
                                    bool bringToFront);
    bool send(TarnSuiteCommandKind kind, TarnSuiteApp from, TarnSuiteApp to,
              std::optional<std::int32_t> targetPID = std::nullopt,
              std::optional<std::string> targetName = std::nullopt,
              std::optional<std::string> payload = std::nullopt, bool launchIfNeeded = false,
              bool bringToFront = false) {
        return succeeded(dispatch(kind, from, to, targetPID, std::move(targetName),
                                  std::move(payload), launchIfNeeded, bringToFront));
    }

    // Writes the envelope to its target's file; posts and starts nothing.
    bool enqueue(const TarnSuiteCommandEnvelope& envelope);
    // The pending envelope for `app` within the window; the file stays.
    std::optional<TarnSuiteCommandEnvelope> peekPendingCommand(TarnSuiteApp app, suite::Date now,
                                                               double maxAgeSeconds) const;
    // Takes the pending file away and returns its envelope when it is for
    // `app` and within the window. The file is first renamed to a private
    // name in the same folder, so a command written while this one is read
    // lands in a new file and is never deleted unread.
    std::optional<TarnSuiteCommandEnvelope> consumePendingCommand(TarnSuiteApp app, suite::Date now,
                                                                  double maxAgeSeconds);

    // Keeps listening while alive; destroying it (on the main thread) stops.
    class [[nodiscard]] Listener {
    public:
        Listener() = default;
        Listener(Listener&& other) noexcept
            : m_subscription(std::move(other.m_subscription)),
              m_main(std::exchange(other.m_main, nullptr)), m_firstTake(other.m_firstTake) {}
        Listener& operator=(Listener&& other) noexcept {
            if (this != &other) {
                stop();
                m_subscription = std::move(other.m_subscription);
                m_main = std::exchange(other.m_main, nullptr);
                m_firstTake = other.m_firstTake;
            }
            return *this;
        }
        ~Listener() { stop(); }
        void stop();
        bool active() const { return m_subscription.active(); }

    private:
        friend class TarnSuiteCommandBus;
        NotificationSubscription m_subscription;
        MainExecutor* m_main = nullptr;
        TimerToken m_firstTake;
    };
    // Takes the pending command whenever `app`'s notification arrives, and
    // once 0.35 s after listening starts (a command written before, for
    // instance by a sender that started this application). The handler runs
    // on the main executor. Does nothing after the bus is gone.
    Listener startListening(TarnSuiteApp app,
                            std::function<void(const TarnSuiteCommandEnvelope&)> handler);

private:
    void take(TarnSuiteApp app,
              const std::function<void(const TarnSuiteCommandEnvelope&)>& handler);

    std::filesystem::path m_commandsDirectory;
    Ports m_ports;
    // Watched by the jobs of listeners, which do nothing once the bus is gone.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

} // namespace tarn
