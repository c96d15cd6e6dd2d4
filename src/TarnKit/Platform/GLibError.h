#pragma once

// Include only from sources that use GLib: it pulls in the GLib headers.

#include <glib.h>
#include <string>

namespace tarn {

// Owns the GError that a GLib call reports through its last argument.
class GErrorSlot {
public:
    GErrorSlot() = default;
    GErrorSlot(const GErrorSlot&) = delete;
    GErrorSlot& operator=(const GErrorSlot&) = delete;
    ~GErrorSlot() {
        if (m_error != nullptr)
            g_error_free(m_error);
    }

    GError** out() { return &m_error; }
    const GError* get() const { return m_error; }
    std::string message() const {
        return m_error != nullptr && m_error->message != nullptr ? m_error->message
                                                                 : "no reason given";
    }

private:
    GError* m_error = nullptr;
};

} // namespace tarn
