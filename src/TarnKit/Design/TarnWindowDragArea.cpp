#include "TarnKit/Design/TarnWindowDragArea.h"

#include "TarnKit/Design/TarnWindowButtons.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>

// GIO names a struct member "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <memory>

namespace tarn {

TarnTitlebarDoubleClickAction
tarnTitlebarDoubleClickAction(std::optional<std::string_view> setting) {
    if (!setting)
        return TarnTitlebarDoubleClickAction::zoom;
    if (*setting == "minimize")
        return TarnTitlebarDoubleClickAction::minimize;
    if (*setting == "none" || *setting == "lower" || *setting == "menu" ||
        *setting == "toggle-shade")
        return TarnTitlebarDoubleClickAction::none;
    return TarnTitlebarDoubleClickAction::zoom;
}

std::optional<std::string> tarnDesktopTitlebarDoubleClickSetting() {
    static constexpr const char* schemaId = "org.gnome.desktop.wm.preferences";
    static constexpr const char* key = "action-double-click-titlebar";
    // g_settings_new aborts on a schema that is not installed: look it up first.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr)
        return std::nullopt;
    std::unique_ptr<GSettingsSchema, decltype(&g_settings_schema_unref)> schema(
        g_settings_schema_source_lookup(source, schemaId, TRUE), &g_settings_schema_unref);
    if (!schema || !g_settings_schema_has_key(schema.get(), key))
        return std::nullopt;
    std::unique_ptr<GSettings, decltype(&g_object_unref)> settings(
        g_settings_new_full(schema.get(), nullptr, nullptr), &g_object_unref);
    std::unique_ptr<gchar, decltype(&g_free)> value(g_settings_get_string(settings.get(), key),
                                                    &g_free);
    if (!value)
        return std::nullopt;
    return std::string(value.get());
}

TarnWindowDragArea::TarnWindowDragArea(QWidget* parent)
    : QWidget(parent), m_doubleClickSetting(&tarnDesktopTitlebarDoubleClickSetting) {
    setObjectName(QStringLiteral("windowDragArea"));
}

void TarnWindowDragArea::setDoubleClickSettingProvider(DoubleClickSettingProvider provider) {
    m_doubleClickSetting = std::move(provider);
}

void TarnWindowDragArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_armed = true;
    m_movingItself = false;
    m_pressGlobal = event->globalPosition().toPoint();
    m_windowStart = window()->pos();
    event->accept();
}

void TarnWindowDragArea::mouseMoveEvent(QMouseEvent* event) {
    if (!m_armed || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - m_pressGlobal;
    if (m_movingItself) {
        window()->move(m_windowStart + delta);
    } else if (delta.manhattanLength() >= QApplication::startDragDistance()) {
        QWindow* handle = window()->windowHandle();
        if (handle != nullptr && handle->startSystemMove()) {
            // The window manager follows the pointer from here on.
            m_armed = false;
        } else {
            m_movingItself = true;
            window()->move(m_windowStart + delta);
        }
    }
    event->accept();
}

void TarnWindowDragArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_armed = false;
        m_movingItself = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TarnWindowDragArea::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_armed = false;
    m_movingItself = false;
    event->accept();
    const std::optional<std::string> setting =
        m_doubleClickSetting ? m_doubleClickSetting() : std::nullopt;
    const auto action = tarnTitlebarDoubleClickAction(
        setting ? std::optional<std::string_view>(*setting) : std::nullopt);
    switch (action) {
    case TarnTitlebarDoubleClickAction::zoom:
        tarnToggleZoom(*window());
        break;
    case TarnTitlebarDoubleClickAction::minimize:
        window()->showMinimized();
        break;
    case TarnTitlebarDoubleClickAction::none:
        break;
    }
}

} // namespace tarn
