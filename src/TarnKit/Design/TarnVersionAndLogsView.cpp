#include "TarnKit/Design/TarnVersionAndLogsView.h"

#include "TarnKit/Design/TarnBrandMark.h"
#include "TarnKit/Design/TarnFeedbackButton.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnLanguageLayout.h"
#include "TarnKit/Design/TarnRuntimeLogsCard.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Design/TarnVersionBadge.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QScrollArea>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarn {
namespace {

// A symbol and a text side by side, as a label with an icon.
QWidget* iconLabel(std::string_view symbol, const QString& text, const QFont& font,
                   const QColor& colour) {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* icon = new QLabel;
    icon->setPixmap(symbolPixmap(symbol, colour, QFontInfo(font).pixelSize() + 1, 2.0));
    row->addWidget(icon);
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    row->addWidget(label);
    row->addStretch(1);
    return box;
}

QWidget* infoChip(const QString& title, const QString& value, const char* objectName) {
    auto* chip = new TarnRoundedFill(qColor(TarnGlassTokens::surface2), 6);
    chip->setObjectName(QString::fromLatin1(objectName));
    auto* row = new QHBoxLayout(chip);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(4);
    row->addWidget(sheetLabel(title + QLatin1Char(':'), fonts::font(TarnTextStyle::caption2),
                              TarnGlassTokens::textMuted));
    QLabel* shown = sheetLabel(value, fonts::font(TarnTextStyle::caption2, QFont::Bold, true),
                               TarnGlassTokens::textPrimary);
    shown->setObjectName(QStringLiteral("chipValue"));
    row->addWidget(shown);
    return chip;
}

} // namespace

TarnVersionAndLogsView::TarnVersionAndLogsView(std::string appName, TarnAppVersion version,
                                               TarnAppLogger& logger, TarnProductPalette palette,
                                               TarnLanguage language,
                                               std::vector<TarnReleaseLogRecord> fallbackReleases,
                                               std::function<void()> onClose, TarnSheetPorts ports,
                                               QWidget* parent)
    : QWidget(parent), m_appName(std::move(appName)), m_version(std::move(version)),
      m_logger(logger), m_palette(palette), m_language(language),
      m_fallbackReleases(std::move(fallbackReleases)), m_onClose(std::move(onClose)),
      m_ports(std::move(ports)) {
    setObjectName(QStringLiteral("versionAndLogsView"));
    tarnLocaleEnvironment(this, language);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    QWidget* host = this;
    if (m_onClose) {
        auto* ground = new TarnGroundBackground(palette);
        outer->addWidget(ground);
        host = ground;
        auto* hostLayout = new QVBoxLayout(ground);
        hostLayout->setContentsMargins(0, 0, 0, 0);
    }
    QScrollArea* scroll = sheetScrollArea(QStringLiteral("versionAndLogsScroll"));
    if (host == this)
        outer->addWidget(scroll);
    else
        host->layout()->addWidget(scroll);

    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(16);

    if (m_onClose) {
        auto* header = new QHBoxLayout;
        header->setSpacing(10);
        header->addWidget(new TarnBrandMark(24, sheetBrandStyle(m_appName)));
        QLabel* title = sheetLabel(qt::toQString(m_appName) + QStringLiteral(" \u00B7 ") +
                                       sheetText("Version & Logs", "Sürüm & Loglar", language),
                                   fonts::system(16, QFont::Bold), TarnColor::white(1.0));
        title->setObjectName(QStringLiteral("sheetTitle"));
        header->addWidget(title);
        header->addStretch(1);
        QToolButton* close = sheetCloseButton();
        connect(close, &QToolButton::clicked, this, [this] { m_onClose(); });
        header->addWidget(close);
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        escape->setContext(Qt::WidgetWithChildrenShortcut);
        connect(escape, &QShortcut::activated, this, [this] { m_onClose(); });
        column->addLayout(header);
    }

    column->addWidget(versionSummaryCard());

    QVBoxLayout* historyColumn = nullptr;
    TarnGlassCard* history = sheetCard("releaseHistoryCard", 16, 12, historyColumn);
    historyColumn->addWidget(iconLabel(
        "clock.arrow.circlepath",
        sheetText("Release History (CHANGELOG)", "Sürüm Geçmişi (Değişiklik Logu)", language),
        fonts::font(TarnTextStyle::headline), qColor(TarnGlassTokens::textPrimary)));
    m_releaseRows = new QVBoxLayout;
    m_releaseRows->setSpacing(12);
    historyColumn->addLayout(m_releaseRows);
    column->addWidget(history);

    m_logsCard = new TarnRuntimeLogsCard(logger, palette, language, m_ports);
    column->addWidget(m_logsCard);
    column->addStretch(1);
    scroll->setWidget(content);
    content->setStyleSheet(QStringLiteral("background: transparent;"));
}

QWidget* TarnVersionAndLogsView::versionSummaryCard() {
    QVBoxLayout* column = nullptr;
    TarnGlassCard* card = sheetCard("versionSummaryCard", 16, 10, column);

    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(10);
    titleRow->addWidget(iconLabel(
        "tag.fill", sheetText("Version & Release Info", "Sürüm Bilgileri", m_language),
        fonts::font(TarnTextStyle::headline), qColor(productpalette::accentColor(m_palette))));
    titleRow->addStretch(1);
    titleRow->addWidget(new TarnVersionBadge(m_version, true));
    column->addLayout(titleRow);

    QLabel* description =
        sheetLabel(sheetText("Application version details, full release changelog from initial "
                             "release to latest, and runtime logs.",
                             "Uygulama sürüm bilgileri, ilk sürümden son sürüme kadar tüm "
                             "değişiklik geçmişi ve çalışma logları.",
                             m_language),
                   fonts::font(TarnTextStyle::caption), TarnGlassTokens::textSecondary);
    description->setWordWrap(true);
    column->addWidget(description);

    auto* chips = new QHBoxLayout;
    chips->setSpacing(12);
    chips->addWidget(infoChip(sheetText("Version", "Sürüm", m_language),
                              qt::toQString(m_version.tag()), "versionChip"));
    chips->addWidget(infoChip(QStringLiteral("Build"),
                              QLatin1Char('#') + qt::toQString(m_version.buildNumber),
                              "buildChip"));
    chips->addStretch(1);
    chips->addWidget(new TarnFeedbackButton(m_appName, m_version, TarnFeedbackKind::feature,
                                            m_language, TarnFeedbackButtonStyle::labeledPill,
                                            std::nullopt, m_ports.urlOpener));
    QLabel* file =
        sheetLabel(qt::pathToQString(m_logger.currentLogFileURL().filename()),
                   fonts::font(TarnTextStyle::caption2, true), TarnGlassTokens::textMuted);
    file->setObjectName(QStringLiteral("logFileName"));
    chips->addWidget(file);
    column->addLayout(chips);
    return card;
}

QWidget* TarnVersionAndLogsView::releaseRow(const TarnReleaseLogRecord& record) const {
    auto* row = new TarnRoundedFill(qColor(TarnGlassTokens::surface1), 10);
    row->setObjectName(QStringLiteral("releaseRow"));
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(5);

    auto* first = new QHBoxLayout;
    first->setSpacing(8);
    first->addWidget(sheetLabel(QLatin1Char('v') + qt::toQString(record.toVersion),
                                fonts::font(TarnTextStyle::subheadline, QFont::Bold, true),
                                productpalette::accentColor(m_palette)));
    first->addWidget(
        sheetLabel(QStringLiteral("Build %1 \u00B7 %2/%3")
                       .arg(record.toBuild)
                       .arg(qt::toQString(record.bumpKind), qt::toQString(record.section)),
                   fonts::font(TarnTextStyle::caption2, true), TarnGlassTokens::textSecondary));
    first->addStretch(1);
    first->addWidget(sheetLabel(qt::toQString(record.shortDate()),
                                fonts::font(TarnTextStyle::caption2, true),
                                TarnGlassTokens::textMuted));
    column->addLayout(first);

    const std::optional<TarnLanguage> parent = fallbackParent(m_language);
    const std::string_view code = rawValue(m_language);
    const std::string_view parentCode = parent ? rawValue(*parent) : std::string_view();
    if (const std::string summary = record.localizedSummary(code, parentCode); !summary.empty()) {
        QLabel* label =
            sheetLabel(qt::toQString(summary), fonts::font(TarnTextStyle::caption, QFont::Medium),
                       TarnGlassTokens::textPrimary);
        label->setObjectName(QStringLiteral("releaseSummary"));
        label->setWordWrap(true);
        column->addWidget(label);
    }
    // Every line, duplicates included.
    for (const std::string& detail : record.localizedDetails(code, parentCode)) {
        QLabel* label =
            sheetLabel(QStringLiteral("\u2022 ") + qt::toQString(detail),
                       fonts::font(TarnTextStyle::caption2), TarnGlassTokens::textSecondary);
        label->setObjectName(QStringLiteral("releaseDetail"));
        label->setWordWrap(true);
        column->addWidget(label);
    }
    return row;
}

void TarnVersionAndLogsView::rebuildReleases() {
    while (QLayoutItem* item = m_releaseRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (m_releases.empty()) {
        QLabel* empty =
            sheetLabel(sheetText("No release log records found for this build.",
                                 "Bu derleme için sürüm geçmişi kaydı bulunamadı.", m_language),
                       fonts::font(TarnTextStyle::caption), TarnGlassTokens::textSecondary);
        empty->setObjectName(QStringLiteral("emptyReleaseText"));
        m_releaseRows->addWidget(empty);
        return;
    }
    for (const TarnReleaseLogRecord& record : m_releases)
        m_releaseRows->addWidget(releaseRow(record));
}

void TarnVersionAndLogsView::reloadAll() {
    std::vector<TarnReleaseLogRecord> records =
        TarnReleaseLogReader::loadBundled(m_appName, m_bundle);
    if (records.empty())
        records = m_fallbackReleases;
    if (records != m_releases || m_releaseRows->count() == 0) {
        m_releases = std::move(records);
        rebuildReleases();
    }
    m_logsCard->reload();
}

void TarnVersionAndLogsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    reloadAll();
}

} // namespace tarn
