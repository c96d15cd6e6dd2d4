#include "TarnKit/Design/TarnVersionBadgeButton.h"

#include "TarnKit/Design/TarnFeedbackButton.h"
#include "TarnKit/Design/TarnLanguageLayout.h"
#include "TarnKit/Design/TarnVersionAndLogsView.h"
#include "TarnKit/Design/TarnVersionBadge.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtConversions.h"

#include <QAbstractButton>
#include <QDialog>
#include <QHBoxLayout>

namespace tarn {
namespace {

// A plain button whose whole face is the version capsule.
class BadgeButton : public QAbstractButton {
public:
    BadgeButton(TarnAppVersion version, bool showBuild) {
        setObjectName(QStringLiteral("versionBadgeButton"));
        setCursor(Qt::PointingHandCursor);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        m_badge = new TarnVersionBadge(std::move(version), showBuild);
        m_badge->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(m_badge);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return m_badge->sizeHint(); }
    TarnVersionBadge* badge() const { return m_badge; }

protected:
    void paintEvent(QPaintEvent*) override {}

private:
    TarnVersionBadge* m_badge;
};

} // namespace

TarnVersionBadgeButton::TarnVersionBadgeButton(std::string appName, TarnAppVersion version,
                                               TarnAppLogger* logger, TarnProductPalette palette,
                                               TarnLanguage language, bool showBuild,
                                               bool showFeedbackButton, TarnSheetPorts ports,
                                               QWidget* parent)
    : QWidget(parent), m_appName(std::move(appName)), m_version(std::move(version)),
      m_logger(logger != nullptr ? *logger : TarnAppLogger::shared(m_appName)), m_palette(palette),
      m_language(language), m_ports(std::move(ports)) {
    setObjectName(QStringLiteral("tarnVersionBadgeButton"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    auto* badge = new BadgeButton(m_version, showBuild);
    // The help text always names the build.
    badge->setToolTip(qt::toQString(tarnText(
        "Version " + m_version.detailedDisplay() + " — Click to view Release History & Logs",
        "Sürüm " + m_version.detailedDisplay() + " — Sürüm Geçmişi ve Logları görmek için tıklayın",
        language)));
    connect(badge, &QAbstractButton::clicked, this, &TarnVersionBadgeButton::present);
    m_badgeButton = badge;
    row->addWidget(badge, 0, Qt::AlignVCenter);
    if (showFeedbackButton)
        row->addWidget(new TarnFeedbackButton(m_appName, m_version, TarnFeedbackKind::feature,
                                              language, TarnFeedbackButtonStyle::compactIcon,
                                              std::nullopt, m_ports.urlOpener),
                       0, Qt::AlignVCenter);
}

TarnVersionBadgeButton::~TarnVersionBadgeButton() {
    delete m_sheet.data();
}

TarnVersionAndLogsView* TarnVersionBadgeButton::sheetView() const {
    return m_sheet ? m_sheet->findChild<TarnVersionAndLogsView*>() : nullptr;
}

void TarnVersionBadgeButton::present() {
    if (m_sheet)
        return;
    auto* dialog = new QDialog(window());
    dialog->setObjectName(QStringLiteral("versionAndLogsSheet"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumSize(720, 560);
    dialog->setWindowTitle(qt::toQString(m_appName));
    tarnContentLayoutDirection(dialog, m_language);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<QDialog> guard(dialog);
    layout->addWidget(new TarnVersionAndLogsView(
        m_appName, m_version, m_logger, m_palette, m_language, {},
        [guard] {
            if (guard)
                guard->close();
        },
        m_ports));
    m_sheet = dialog;
    dialog->show();
}

} // namespace tarn
