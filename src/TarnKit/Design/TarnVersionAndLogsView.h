#pragma once

#include "TarnKit/Design/TarnSheetParts.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "TarnKit/Utilities/TarnAppVersion.h"
#include "TarnKit/Utilities/TarnBundle.h"
#include "TarnKit/Utilities/TarnProductPalette.h"
#include "TarnKit/Utilities/TarnReleaseLog.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QVBoxLayout;

namespace tarn {

class TarnRuntimeLogsCard;

// The "Version & Logs" sheet: the running version, the release history read
// from the bundle's release log (or `fallbackReleases` when it has none for
// this application) and the runtime log. With `onClose` it draws its own
// ground backdrop and a header with a close button (Escape too). Everything is
// reloaded each time it is shown. Main thread.
class TarnVersionAndLogsView : public QWidget {
    Q_OBJECT
public:
    TarnVersionAndLogsView(std::string appName, TarnAppVersion version, TarnAppLogger& logger,
                           TarnProductPalette palette, TarnLanguage language,
                           std::vector<TarnReleaseLogRecord> fallbackReleases,
                           std::function<void()> onClose, TarnSheetPorts ports,
                           QWidget* parent = nullptr);

    // Where the release log is read from (the main bundle unless set).
    void setBundle(TarnBundle bundle) { m_bundle = std::move(bundle); }
    void reloadAll();

    const std::vector<TarnReleaseLogRecord>& releases() const { return m_releases; }
    TarnRuntimeLogsCard* logsCard() const { return m_logsCard; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* versionSummaryCard();
    QWidget* releaseRow(const TarnReleaseLogRecord& record) const;
    void rebuildReleases();

    std::string m_appName;
    TarnAppVersion m_version;
    TarnAppLogger& m_logger;
    TarnProductPalette m_palette;
    TarnLanguage m_language;
    std::vector<TarnReleaseLogRecord> m_fallbackReleases;
    std::function<void()> m_onClose;
    TarnSheetPorts m_ports;
    TarnBundle m_bundle = TarnBundle::main();

    std::vector<TarnReleaseLogRecord> m_releases;
    QVBoxLayout* m_releaseRows = nullptr;
    TarnRuntimeLogsCard* m_logsCard = nullptr;
};

} // namespace tarn
