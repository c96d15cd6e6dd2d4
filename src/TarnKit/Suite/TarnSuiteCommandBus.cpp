#include "TarnKit/Suite/TarnSuiteCommandBus.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/UUID.h"
#include "TarnKit/Suite/TarnSuiteTelemetryBus.h"

#include <cstdio>
#include <system_error>
#include <utility>

namespace tarn {

bool succeeded(CommandDispatchOutcome outcome) {
    return outcome == CommandDispatchOutcome::delivered ||
           outcome == CommandDispatchOutcome::launched;
}

std::optional<QuickActionRoute> quickActionRoute(TarnSuiteCommandKind kind) {
    using Kind = TarnSuiteCommandKind;
    switch (kind) {
    case Kind::heddleSmartOffload:
    case Kind::heddleThawAll:
        return QuickActionRoute{TarnSuiteApp::heddle, false};
    case Kind::heddleOpenDiskLab:
        return QuickActionRoute{TarnSuiteApp::heddle, true};
    case Kind::tavlorAllFrozen:
    case Kind::tavlorOpenCrosshair:
    case Kind::tavlorToggleQuickHUD:
        return QuickActionRoute{TarnSuiteApp::tavlor, false};
    case Kind::tavlorOpenAnalytics24h:
        return QuickActionRoute{TarnSuiteApp::tavlor, true};
    case Kind::skettoToggleHUD:
        return QuickActionRoute{TarnSuiteApp::sketto, false};
    case Kind::skettoOpenThermalsPower:
        return QuickActionRoute{TarnSuiteApp::sketto, true};
    default:
        return std::nullopt;
    }
}

std::filesystem::path TarnSuiteCommandBus::defaultDirectory() {
    return TarnSuiteTelemetryBus::defaultDirectory() / "Commands";
}

std::string TarnSuiteCommandBus::notificationName(TarnSuiteApp app) {
    return std::string(buildinfo::suitePrefix) + ".suite.command." +
           suiteapp::lowercasedRawValue(app);
}

TarnSuiteCommandBus::TarnSuiteCommandBus(std::optional<std::filesystem::path> baseDirectory,
                                         Ports ports)
    : m_commandsDirectory(baseDirectory ? *baseDirectory / "Commands" : defaultDirectory()),
      m_ports(std::move(ports)) {}

std::filesystem::path TarnSuiteCommandBus::commandFile(TarnSuiteApp target) const {
    return m_commandsDirectory / (suiteapp::lowercasedRawValue(target) + "-cmd.json");
}

CommandDispatchOutcome TarnSuiteCommandBus::dispatch(TarnSuiteCommandKind kind, TarnSuiteApp from,
                                                     TarnSuiteApp to,
                                                     std::optional<std::int32_t> targetPID,
                                                     std::optional<std::string> targetName,
                                                     std::optional<std::string> payload,
                                                     bool launchIfNeeded, bool bringToFront) {
    // PIDs 0 and 1 (and negative ones, which kill() reads as groups) are never addressed.
    if (targetPID && *targetPID < 2)
        return CommandDispatchOutcome::invalidTargetPID;
    if (m_ports.desktop == nullptr)
        return CommandDispatchOutcome::targetUnavailable;
    SuiteDesktop& desktop = *m_ports.desktop;
    const bool wasRunning = suiteapp::isRunning(to, desktop);
    if (!wasRunning && !(launchIfNeeded && suiteapp::isInstalled(to, desktop)))
        return CommandDispatchOutcome::targetUnavailable;

    const TarnSuiteCommandEnvelope envelope{
        UUID::random(),        m_ports.clock(),   from, to, kind, targetPID,
        std::move(targetName), std::move(payload)};
    if (!enqueue(envelope))
        return CommandDispatchOutcome::writeFailed;

    if (wasRunning) {
        if (m_ports.notifications != nullptr)
            m_ports.notifications->post(notificationName(to));
        if (bringToFront)
            suiteapp::launch(to, desktop);
        return CommandDispatchOutcome::delivered;
    }
    // The started target takes the file with its first take after listening.
    const std::optional<std::filesystem::path> entry = suiteapp::installedURL(to, desktop);
    if (!entry || !desktop.open(*entry, bringToFront))
        return CommandDispatchOutcome::launchFailed;
    return CommandDispatchOutcome::launched;
}

bool TarnSuiteCommandBus::enqueue(const TarnSuiteCommandEnvelope& envelope) {
    const std::optional<std::string> bytes = suite::encode(envelope);
    return bytes && suite::writePrivateFile(commandFile(envelope.targetApp), *bytes);
}

namespace {

bool acceptable(const std::optional<TarnSuiteCommandEnvelope>& envelope, TarnSuiteApp app,
                suite::Date now, double maxAgeSeconds) {
    return envelope && envelope->targetApp == app &&
           suite::isWithinWindow(envelope->timestamp, now, maxAgeSeconds);
}

} // namespace

std::optional<TarnSuiteCommandEnvelope>
TarnSuiteCommandBus::peekPendingCommand(TarnSuiteApp app, suite::Date now,
                                        double maxAgeSeconds) const {
    const std::optional<std::string> bytes = suite::readFileQuietly(commandFile(app));
    if (!bytes)
        return std::nullopt;
    std::optional<TarnSuiteCommandEnvelope> envelope =
        suite::decode<TarnSuiteCommandEnvelope>(*bytes);
    if (!acceptable(envelope, app, now, maxAgeSeconds))
        return std::nullopt;
    return envelope;
}

std::optional<TarnSuiteCommandEnvelope>
TarnSuiteCommandBus::consumePendingCommand(TarnSuiteApp app, suite::Date now,
                                           double maxAgeSeconds) {
    const std::filesystem::path pending = commandFile(app);
    // Hidden, so that no reader of the folder mistakes it for a command file.
    const std::filesystem::path taken =
        m_commandsDirectory /
        ("." + pending.filename().string() + ".taking-" + UUID::random().string());
    if (std::rename(pending.c_str(), taken.c_str()) != 0)
        return std::nullopt; // nothing pending (or no access)
    if (m_ports.onTaken)
        m_ports.onTaken();
    const std::optional<std::string> bytes = suite::readFileQuietly(taken);
    std::error_code ignored;
    std::filesystem::remove(taken, ignored);
    if (!bytes)
        return std::nullopt;
    std::optional<TarnSuiteCommandEnvelope> envelope =
        suite::decode<TarnSuiteCommandEnvelope>(*bytes);
    if (!acceptable(envelope, app, now, maxAgeSeconds))
        return std::nullopt; // discarded: misaddressed, out of date or unreadable
    return envelope;
}

void TarnSuiteCommandBus::Listener::stop() {
    m_subscription.reset();
    if (const auto main = std::exchange(m_main, nullptr))
        main->cancel(m_firstTake);
}

void TarnSuiteCommandBus::take(
    TarnSuiteApp app, const std::function<void(const TarnSuiteCommandEnvelope&)>& handler) {
    if (const auto envelope = consumePendingCommand(app, m_ports.clock(), listenerMaxAgeSeconds))
        handler(*envelope);
}

TarnSuiteCommandBus::Listener
TarnSuiteCommandBus::startListening(TarnSuiteApp app,
                                    std::function<void(const TarnSuiteCommandEnvelope&)> handler) {
    Listener listener;
    auto shared =
        std::make_shared<std::function<void(const TarnSuiteCommandEnvelope&)>>(std::move(handler));
    const std::weak_ptr<void> alive = m_alive;
    const auto takeIfAlive = [this, alive, app, shared] {
        if (const auto owner = alive.lock())
            take(app, *shared);
    };
    if (m_ports.notifications != nullptr)
        listener.m_subscription = m_ports.notifications->subscribe(
            notificationName(app), [takeIfAlive](const auto&) { takeIfAlive(); });
    if (m_ports.mainExecutor != nullptr) {
        listener.m_main = m_ports.mainExecutor;
        listener.m_firstTake = m_ports.mainExecutor->postAfter(firstTakeDelay, takeIfAlive);
    }
    return listener;
}

} // namespace tarn
