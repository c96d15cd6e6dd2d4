#include "TarnKit/Design/TarnRuntimeLogsCard.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <array>
#include <cmath>

namespace tarn {
namespace {

TarnColor levelColour(TarnLogLevel level) {
    switch (level) {
    case TarnLogLevel::debug:
        return TarnGlassTokens::textMuted;
    case TarnLogLevel::info:
        return TarnGlassTokens::success;
    case TarnLogLevel::warn:
        return TarnGlassTokens::warning;
    case TarnLogLevel::error:
        return TarnGlassTokens::danger;
    }
    return TarnGlassTokens::textMuted;
}

TarnGlassButton* toolButton(const QString& text, const char* objectName) {
    auto* button = new TarnGlassButton(text);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setFont(fonts::font(TarnTextStyle::caption));
    return button;
}

QLabel* fixedColumn(const QString& text, const QFont& font, const TarnColor& colour, int width) {
    QLabel* label = sheetLabel(text, font, colour);
    label->setFixedWidth(width);
    label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    return label;
}

} // namespace

std::string TarnRuntimeLogsCard::timeOfDay(std::string_view timestamp) {
    const std::size_t t = timestamp.find('T');
    const std::string_view from = t == std::string_view::npos ? timestamp : timestamp.substr(t + 1);
    return std::string(text::prefixCharacters(from, 8));
}

TarnRuntimeLogsCard::TarnRuntimeLogsCard(TarnAppLogger& logger, TarnProductPalette palette,
                                         TarnLanguage language, TarnSheetPorts ports,
                                         QWidget* parent)
    : TarnGlassCard(16, 14, parent), m_logger(logger), m_palette(palette), m_language(language),
      m_ports(std::move(ports)) {
    setObjectName(QStringLiteral("runtimeLogsCard"));
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    // The title and the controls share one row while it is wide enough for
    // both; in a narrower card the title stands above the controls rather
    // than being cut.
    m_toolbar = new QBoxLayout(QBoxLayout::LeftToRight);
    m_toolbar->setSpacing(8);
    const QColor ink = qColor(TarnGlassTokens::textPrimary);
    m_titleBox = new QWidget;
    m_titleBox->setObjectName(QStringLiteral("logsTitle"));
    auto* titleRow = new QHBoxLayout(m_titleBox);
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(8);
    auto* icon = new QLabel;
    icon->setPixmap(symbolPixmap("doc.text.magnifyingglass", ink, 14, devicePixelRatioF()));
    titleRow->addWidget(icon);
    QLabel* title =
        sheetLabel(sheetText("Rotating Runtime Logs", "Uygulama Çalışma Logları", language),
                   fonts::font(TarnTextStyle::headline), TarnGlassTokens::textPrimary);
    title->setObjectName(QStringLiteral("logsTitleText"));
    // Never what holds the card wide: too narrow a card wraps the toolbar.
    title->setMinimumWidth(1);
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    m_toolbar->addWidget(m_titleBox, 1);

    m_controls = new QWidget;
    auto* toolbar = new QHBoxLayout(m_controls);
    toolbar->setContentsMargins(0, 0, 0, 0);
    toolbar->setSpacing(8);
    toolbar->addStretch(1);

    // The level filter: four segments in a 230-wide row.
    auto* filter = new QWidget;
    filter->setObjectName(QStringLiteral("levelFilter"));
    filter->setFixedWidth(230);
    auto* segments = new QHBoxLayout(filter);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(2);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const std::array<QString, 4> titles = {sheetText("All", "Tümü", language),
                                           QStringLiteral("INFO+"), QStringLiteral("WARN+"),
                                           QStringLiteral("ERROR")};
    for (std::size_t i = 0; i < kAllLogLevels.size(); ++i) {
        auto* segment = new TarnGlassButton(titles[i], i == 0);
        segment->setObjectName(QStringLiteral("levelSegment%1").arg(i));
        segment->setCheckable(true);
        segment->setChecked(i == 0);
        segment->setFont(fonts::font(TarnTextStyle::caption));
        // A segmented picker: the segments share the 230 points edge to edge.
        segment->setHorizontalPadding(3);
        segment->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        segments->addWidget(segment);
        group->addButton(segment, static_cast<int>(i));
    }
    connect(group, &QButtonGroup::idClicked, this, [this, group](int id) {
        for (QAbstractButton* button : group->buttons())
            static_cast<TarnGlassButton*>(button)->setActive(button == group->button(id));
        selectLevel(kAllLogLevels[static_cast<std::size_t>(id)]);
    });
    toolbar->addWidget(filter);

    auto* refresh = toolButton({}, "refreshLogsButton");
    refresh->setIcon(symbolIcon("arrow.clockwise", ink, 12));
    refresh->setToolTip(sheetText("Refresh logs", "Logları yenile", language));
    connect(refresh, &QAbstractButton::clicked, this, &TarnRuntimeLogsCard::reload);
    toolbar->addWidget(refresh);

    m_copyButton = toolButton(sheetText("Copy", "Kopyala", language), "copyLogsButton");
    m_copyButton->setIcon(symbolIcon("doc.on.doc", ink, 12));
    connect(m_copyButton, &QAbstractButton::clicked, this, &TarnRuntimeLogsCard::copy);
    toolbar->addWidget(m_copyButton);

    auto* folder = toolButton(sheetText("Folder", "Klasör", language), "revealLogsButton");
    folder->setIcon(symbolIcon("folder", ink, 12));
    connect(folder, &QAbstractButton::clicked, this, [this] {
        if (m_ports.fileReveal)
            m_ports.fileReveal->reveal(m_logger.pathToReveal());
    });
    toolbar->addWidget(folder);

    auto* clear = toolButton(sheetText("Clear", "Temizle", language), "clearLogsButton");
    clear->setIcon(symbolIcon("trash", ink, 12));
    connect(clear, &QAbstractButton::clicked, this, [this] {
        m_logger.clear();
        reload();
    });
    toolbar->addWidget(clear);
    m_toolbar->addWidget(m_controls);
    column->addLayout(m_toolbar);

    m_list = new QWidget;
    m_list->setObjectName(QStringLiteral("logList"));
    m_rows = new QVBoxLayout(m_list);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(4);
    column->addWidget(m_list);
    setContent(content);
    rebuildRows();
}

bool TarnRuntimeLogsCard::toolbarWrapped() const {
    return m_toolbar->direction() == QBoxLayout::TopToBottom;
}

void TarnRuntimeLogsCard::resizeEvent(QResizeEvent* event) {
    fitToolbar();
    TarnGlassCard::resizeEvent(event);
}

void TarnRuntimeLogsCard::fitToolbar() {
    const int available = width() - 2 * static_cast<int>(std::lround(padding()));
    const int needed =
        m_titleBox->sizeHint().width() + m_toolbar->spacing() + m_controls->sizeHint().width();
    const auto direction = needed <= available ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (m_toolbar->direction() != direction)
        m_toolbar->setDirection(direction);
}

void TarnRuntimeLogsCard::reload() {
    std::vector<TarnLogEntry> entries = m_logger.recentEntries(listLimit, m_selectedMinLevel);
    if (entries == m_entries && m_rows->count() > 0)
        return;
    m_entries = std::move(entries);
    rebuildRows();
}

void TarnRuntimeLogsCard::selectLevel(TarnLogLevel level) {
    m_selectedMinLevel = level;
    reload();
}

void TarnRuntimeLogsCard::copy() {
    const std::string text = m_logger.exportPlainText(copyLimit, m_selectedMinLevel);
    if (m_ports.clipboard)
        m_ports.clipboard->setText(text);
    m_copiedToast = true;
    m_copyButton->setText(sheetText("Copied", "Kopyalandı", m_language));
    m_copyButton->updateGeometry();
}

void TarnRuntimeLogsCard::rebuildRows() {
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (m_entries.empty()) {
        QLabel* empty =
            sheetLabel(sheetText("No runtime log entries match the filter yet.",
                                 "Filtreye uyan çalışma logu henüz yok.", m_language),
                       fonts::font(TarnTextStyle::caption), TarnGlassTokens::textSecondary);
        empty->setObjectName(QStringLiteral("emptyLogText"));
        empty->setContentsMargins(0, 8, 0, 8);
        m_rows->addWidget(empty);
        return;
    }
    QColor accent = qColor(productpalette::accentColor(m_palette));
    accent.setAlphaF(accent.alphaF() * 0.9);
    QColor rowFill = qColor(TarnGlassTokens::surface1);
    rowFill.setAlphaF(rowFill.alphaF() * 0.65);
    const QFont mono10 = fonts::system(10, QFont::Normal, true);
    for (const TarnLogEntry& entry : m_entries) {
        auto* row = new TarnRoundedFill(rowFill, 6);
        row->setObjectName(QStringLiteral("logRow"));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(6, 3, 6, 3);
        line->setSpacing(8);
        line->addWidget(fixedColumn(qt::toQString(timeOfDay(entry.timestamp)), mono10,
                                    TarnGlassTokens::textMuted, 66),
                        0, Qt::AlignTop);
        line->addWidget(fixedColumn(qt::toQString(label(entry.level)),
                                    fonts::system(9.5, QFont::Bold, true), levelColour(entry.level),
                                    42),
                        0, Qt::AlignTop);
        QLabel* category = fixedColumn(QStringLiteral("[%1]").arg(qt::toQString(entry.category)),
                                       mono10, TarnGlassTokens::textPrimary, 82);
        QPalette palette = category->palette();
        palette.setColor(QPalette::WindowText, accent);
        category->setPalette(palette);
        line->addWidget(category, 0, Qt::AlignTop);
        QLabel* message = sheetLabel(qt::toQString(entry.message), fonts::system(11),
                                     TarnGlassTokens::textPrimary);
        message->setObjectName(QStringLiteral("logMessage"));
        message->setWordWrap(true);
        message->setTextFormat(Qt::PlainText);
        message->setTextInteractionFlags(Qt::TextSelectableByMouse);
        line->addWidget(message, 1, Qt::AlignTop);
        m_rows->addWidget(row);
    }
}

} // namespace tarn
