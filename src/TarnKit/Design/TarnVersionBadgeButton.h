#pragma once

#include "TarnKit/Design/TarnSheetParts.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "TarnKit/Utilities/TarnAppVersion.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <string>

class QAbstractButton;

namespace tarn {

class TarnVersionAndLogsView;

// The clickable version capsule of an application's header, optionally with
// the compact feedback button beside it. A click presents the Version & Logs
// sheet (window-modal, at least 720 × 560), built anew on every opening; its
// close button, Escape or the window manager close it. Main thread.
class TarnVersionBadgeButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool isPresented READ isPresented)
public:
    // Without a logger the badge uses the shared logger registered under
    // `appName`.
    TarnVersionBadgeButton(std::string appName, TarnAppVersion version, TarnAppLogger* logger,
                           TarnProductPalette palette, TarnLanguage language, bool showBuild,
                           bool showFeedbackButton,
                           TarnSheetPorts ports = TarnSheetPorts::desktop(),
                           QWidget* parent = nullptr);
    ~TarnVersionBadgeButton() override;

    bool isPresented() const { return !m_sheet.isNull(); }
    // The open sheet's dialog and view, or null.
    QDialog* sheetDialog() const { return m_sheet; }
    TarnVersionAndLogsView* sheetView() const;
    QAbstractButton* badgeButton() const { return m_badgeButton; }
    TarnLanguage language() const { return m_language; }
    TarnAppLogger& logger() const { return m_logger; }

    // Presents the sheet (what a click does); does nothing while it is open.
    void present();

private:
    std::string m_appName;
    TarnAppVersion m_version;
    TarnAppLogger& m_logger;
    TarnProductPalette m_palette;
    TarnLanguage m_language;
    TarnSheetPorts m_ports;
    QAbstractButton* m_badgeButton = nullptr;
    QPointer<QDialog> m_sheet;
};

} // namespace tarn
