#include "TarnKit/Suite/SessionBus.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/GLibError.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <future>
#include <gio/gio.h>
#include <thread>
#include <utility>

namespace tarn {
namespace {

// Calls that wait for the bus daemon give up after this.
constexpr int kCallTimeoutMilliseconds = 2000;

std::string notificationObjectPath() {
    return SessionBus::objectPathFor(std::string(buildinfo::suitePrefix) + ".suite");
}

std::string notificationInterface() {
    return std::string(buildinfo::suitePrefix) + ".suite.Notifications";
}

constexpr const char* kPostedMember = "Posted";

struct VariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

} // namespace

struct SessionBus::State {
    GDBusConnection* connection = nullptr;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    guint subscription = 0;
    SignalHandler onSignal;
    std::thread thread;

    ~State() {
        if (loop != nullptr) {
            g_main_loop_quit(loop);
            if (thread.joinable())
                thread.join();
        }
        if (subscription != 0)
            g_dbus_connection_signal_unsubscribe(connection, subscription);
        if (connection != nullptr) {
            g_dbus_connection_close_sync(connection, nullptr, nullptr);
            g_object_unref(connection);
        }
        if (loop != nullptr)
            g_main_loop_unref(loop);
        if (context != nullptr) {
            // Sources still queued (a delivery, the subscription's clean-up)
            // are released with the context.
            while (g_main_context_iteration(context, FALSE)) {
            }
            g_main_context_unref(context);
        }
    }

    VariantPtr call(const char* method, GVariant* parameters, const char* replyType) {
        GErrorSlot error;
        GVariant* reply = g_dbus_connection_call_sync(
            connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            method, parameters, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE,
            kCallTimeoutMilliseconds, nullptr, error.out());
        return VariantPtr(reply);
    }

    static void received(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                         GVariant* parameters, gpointer userData) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssb)")))
            return;
        const gchar* name = nullptr;
        const gchar* object = nullptr;
        gboolean hasObject = FALSE;
        g_variant_get(parameters, "(&s&sb)", &name, &object, &hasObject);
        std::optional<std::string> text;
        if (hasObject)
            text.emplace(object);
        static_cast<State*>(userData)->onSignal(name, text);
    }
};

SessionBus::SessionBus(std::unique_ptr<State> state) : m_state(std::move(state)) {}

SessionBus::~SessionBus() = default;

std::unique_ptr<SessionBus> SessionBus::connect(SignalHandler onSignal) {
    auto state = std::make_unique<State>();
    state->onSignal = std::move(onSignal);
    GErrorSlot error;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, error.out());
    if (address == nullptr)
        return nullptr;
    // A connection of our own, not the process's shared one: the names it
    // owns and its signal routing belong to this object alone.
    state->connection = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, error.out());
    g_free(address);
    if (state->connection == nullptr)
        return nullptr;
    g_dbus_connection_set_exit_on_close(state->connection, FALSE);

    state->context = g_main_context_new();
    state->loop = g_main_loop_new(state->context, FALSE);
    std::promise<void> subscribed;
    std::future<void> ready = subscribed.get_future();
    State* raw = state.get();
    state->thread = std::thread([raw, &subscribed] {
        g_main_context_push_thread_default(raw->context);
        // Signals are dispatched in the context that is the thread default
        // when subscribing: ours.
        raw->subscription = g_dbus_connection_signal_subscribe(
            raw->connection, nullptr, notificationInterface().c_str(), kPostedMember,
            notificationObjectPath().c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &State::received,
            raw, nullptr);
        subscribed.set_value();
        g_main_loop_run(raw->loop);
        g_main_context_pop_thread_default(raw->context);
    });
    ready.wait();
    return std::unique_ptr<SessionBus>(new SessionBus(std::move(state)));
}

bool SessionBus::emitNotification(std::string_view name, std::optional<std::string_view> object) {
    const std::string nameText(name);
    const std::string objectText(object.value_or(""));
    if (!text::isValidUTF8(nameText) || !text::isValidUTF8(objectText))
        return false;
    GErrorSlot error;
    const gboolean sent = g_dbus_connection_emit_signal(
        m_state->connection, nullptr, notificationObjectPath().c_str(),
        notificationInterface().c_str(), kPostedMember,
        g_variant_new("(ssb)", nameText.c_str(), objectText.c_str(), object.has_value()),
        error.out());
    // Emitting only queues the message; flushing sends it before we return,
    // so a post is on its way even if the process ends right after.
    return sent && g_dbus_connection_flush_sync(m_state->connection, nullptr, nullptr);
}

bool SessionBus::ownName(std::string_view name) {
    const std::string text(name);
    if (!g_dbus_is_name(text.c_str()))
        return false;
    constexpr guint32 doNotQueue = 4;
    const VariantPtr reply =
        m_state->call("RequestName", g_variant_new("(su)", text.c_str(), doNotQueue), "(u)");
    if (!reply)
        return false;
    guint32 result = 0;
    g_variant_get(reply.get(), "(u)", &result);
    return result == 1 || result == 4; // primary owner, or already the owner
}

bool SessionBus::ownBundleIdentifier() {
    return ownName(buildinfo::bundleIdentifier);
}

std::vector<std::string> SessionBus::listNames() {
    std::vector<std::string> names;
    const VariantPtr reply = m_state->call("ListNames", nullptr, "(as)");
    if (!reply)
        return names;
    GVariantIter* iterator = nullptr;
    g_variant_get(reply.get(), "(as)", &iterator);
    const gchar* name = nullptr;
    while (g_variant_iter_next(iterator, "&s", &name))
        names.emplace_back(name);
    g_variant_iter_free(iterator);
    return names;
}

std::optional<std::int32_t> SessionBus::processIdOf(std::string_view name) {
    const std::string text(name);
    if (!g_dbus_is_name(text.c_str()))
        return std::nullopt;
    const VariantPtr reply =
        m_state->call("GetConnectionUnixProcessID", g_variant_new("(s)", text.c_str()), "(u)");
    if (!reply)
        return std::nullopt;
    guint32 pid = 0;
    g_variant_get(reply.get(), "(u)", &pid);
    if (pid == 0 || pid > static_cast<guint32>(INT32_MAX))
        return std::nullopt;
    return static_cast<std::int32_t>(pid);
}

bool SessionBus::activateApplication(std::string_view name) {
    const std::string text(name);
    const std::string path = objectPathFor(text);
    if (!g_dbus_is_name(text.c_str()) || !g_variant_is_object_path(path.c_str()))
        return false;
    GVariantBuilder platformData;
    g_variant_builder_init(&platformData, G_VARIANT_TYPE("a{sv}"));
    g_dbus_connection_call(m_state->connection, text.c_str(), path.c_str(),
                           "org.freedesktop.Application", "Activate",
                           g_variant_new("(a{sv})", &platformData), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           kCallTimeoutMilliseconds, nullptr, nullptr, nullptr);
    return true;
}

std::string SessionBus::objectPathFor(std::string_view busName) {
    std::string path = "/";
    for (const char c : busName) {
        if (c == '.')
            path.push_back('/');
        else if (c == '-')
            path.push_back('_');
        else
            path.push_back(c);
    }
    return path;
}

} // namespace tarn
