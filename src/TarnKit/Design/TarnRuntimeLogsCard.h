#pragma once

#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnSheetParts.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QString>
#include <string_view>
#include <vector>

class QBoxLayout;
class QButtonGroup;
class QVBoxLayout;

namespace tarn {

class TarnGlassButton;

// The runtime logs card of the Version & Logs sheet: the newest entries of
// the application's log at or above a chosen level, with refresh, copy (as
// plain text, oldest first), reveal in the file manager and clear. It shows
// the log as it was at the last reload; it does not follow the file.
// Main thread; every logger call runs here (the logger locks for itself).
class TarnRuntimeLogsCard : public TarnGlassCard {
    Q_OBJECT
    Q_PROPERTY(bool copiedToast READ copiedToast)
public:
    static constexpr long listLimit = 120;
    static constexpr long copyLimit = 250;

    TarnRuntimeLogsCard(TarnAppLogger& logger, TarnProductPalette palette, TarnLanguage language,
                        TarnSheetPorts ports, QWidget* parent = nullptr);

    // entries ← the logger's newest entries at the selected level.
    void reload();

    TarnLogLevel selectedMinLevel() const { return m_selectedMinLevel; }
    const std::vector<TarnLogEntry>& entries() const { return m_entries; }
    bool copiedToast() const { return m_copiedToast; }

    // The time of day shown for a timestamp: up to 8 characters after the
    // first "T", or the first 8 characters when there is no "T".
    static std::string timeOfDay(std::string_view timestamp);

    // Whether the title stands above the controls because the card is too
    // narrow for one row.
    bool toolbarWrapped() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void selectLevel(TarnLogLevel level);
    void fitToolbar();
    void copy();
    void rebuildRows();

    TarnAppLogger& m_logger;
    TarnProductPalette m_palette;
    TarnLanguage m_language;
    TarnSheetPorts m_ports;
    TarnLogLevel m_selectedMinLevel = TarnLogLevel::debug;
    std::vector<TarnLogEntry> m_entries;
    bool m_copiedToast = false;

    TarnGlassButton* m_copyButton = nullptr;
    QBoxLayout* m_toolbar = nullptr;
    QWidget* m_titleBox = nullptr;
    QWidget* m_controls = nullptr;
    QVBoxLayout* m_rows = nullptr;
    QWidget* m_list = nullptr;
};

} // namespace tarn
