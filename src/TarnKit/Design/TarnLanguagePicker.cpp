#include "TarnKit/Design/TarnLanguagePicker.h"

#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <utility>

namespace tarn {
namespace {

constexpr int kFirstLanguageRow = 2; // after the system entry and the divider
constexpr int kBadgeFontSize = 11;
constexpr int kBadgeSpacing = 4;
constexpr int kBadgeHorizontalPadding = 8;
constexpr int kBadgeVerticalPadding = 4;

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString languageTitle(TarnLanguage language) {
    return QString::fromStdString(tarnText("Language", "Dil", language));
}

} // namespace

TarnLanguagePickerState::TarnLanguagePickerState(TarnLanguagePreference& preference)
    : m_preference(preference), m_isFollowingSystem(preference.isFollowingSystem()) {}

bool TarnLanguagePickerState::syncFromDefaults() {
    const bool following = m_preference.isFollowingSystem();
    if (following == m_isFollowingSystem)
        return false;
    m_isFollowingSystem = following;
    return true;
}

void TarnLanguagePickerState::chooseSystem(const std::function<void(TarnLanguage)>& onSelect) {
    m_isFollowingSystem = true;
    m_preference.applyFollowSystem([&] {
        if (onSelect)
            onSelect(m_preference.systemResolved());
    });
}

void TarnLanguagePickerState::chooseLanguage(TarnLanguage language,
                                             const std::function<void(TarnLanguage)>& onSelect) {
    m_preference.setCurrent(language);
    m_isFollowingSystem = false;
    if (onSelect)
        onSelect(language);
}

QString TarnLanguagePickerState::systemEntryLabel(TarnLanguage language) const {
    return QString::fromStdString(tarnText("System Language", "Sistem Dili", language)) +
           QStringLiteral(" (") + fromView(nativeName(m_preference.systemResolved())) +
           QStringLiteral(")");
}

TarnLanguagePicker::TarnLanguagePicker(std::optional<QString> title, TarnLanguage language,
                                       bool showTitle, OnSelect onSelect, QWidget* parent)
    : TarnLanguagePicker(std::move(title), language, showTitle, std::move(onSelect),
                         TarnLanguagePreference::standard(), parent) {}

TarnLanguagePicker::TarnLanguagePicker(std::optional<QString> title, TarnLanguage language,
                                       bool showTitle, OnSelect onSelect,
                                       TarnLanguagePreference& preference, QWidget* parent)
    : QWidget(parent), m_title(std::move(title)), m_language(language),
      m_onSelect(std::move(onSelect)), m_state(preference), m_combo(new QComboBox(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    if (showTitle) {
        m_titleLabel = new QLabel(this);
        m_titleLabel->setObjectName(QStringLiteral("languagePickerTitle"));
        row->addWidget(m_titleLabel);
    } else {
        m_combo->setMinimumWidth(190);
        m_combo->setMaximumWidth(260);
    }
    m_combo->setObjectName(QStringLiteral("languagePickerList"));
    row->addWidget(m_combo);
    fillEntries();
    showSelection();
    // Only the user's pick stores: currentIndexChanged also fires when the
    // owner shows its model's language, and must not write it back.
    bindings::bindComboBox(m_combo, [this](int index) { userActivated(index); });
}

void TarnLanguagePicker::fillEntries() {
    const QSignalBlocker blocker(m_combo);
    m_combo->clear();
    m_combo->addItem(m_state.systemEntryLabel(m_language));
    m_combo->insertSeparator(1);
    for (const TarnLanguage language : language::sortedCases())
        m_combo->addItem(QString::fromStdString(displayName(language)),
                         fromView(rawValue(language)));
    if (m_titleLabel)
        m_titleLabel->setText(m_title ? *m_title : languageTitle(m_language));
}

void TarnLanguagePicker::showSelection() {
    // The texts follow the caller's language and the system's.
    m_combo->setItemText(0, m_state.systemEntryLabel(m_language));
    if (m_titleLabel && !m_title)
        m_titleLabel->setText(languageTitle(m_language));
    const int row =
        m_state.isFollowingSystem() ? 0 : m_combo->findData(fromView(rawValue(m_language)));
    bindings::refresh(m_combo, row);
}

void TarnLanguagePicker::setLanguage(TarnLanguage language) {
    m_language = language;
    showSelection();
}

QString TarnLanguagePicker::selectedCode() const {
    return m_combo->currentIndex() == 0 ? QStringLiteral("system")
                                        : m_combo->currentData().toString();
}

void TarnLanguagePicker::userActivated(int index) {
    if (index == 0) {
        m_state.chooseSystem(m_onSelect);
    } else if (index >= kFirstLanguageRow) {
        const std::optional<TarnLanguage> chosen =
            language::fromRaw(m_combo->itemData(index).toString().toStdString());
        if (chosen)
            m_state.chooseLanguage(*chosen, m_onSelect);
    }
    showSelection();
}

void TarnLanguagePicker::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_state.syncFromDefaults();
    showSelection();
}

TarnLanguageMenuButton::TarnLanguageMenuButton(TarnLanguage language, OnSelect onSelect,
                                               QWidget* parent)
    : TarnLanguageMenuButton(language, std::move(onSelect), TarnLanguagePreference::standard(),
                             parent) {}

TarnLanguageMenuButton::TarnLanguageMenuButton(TarnLanguage language, OnSelect onSelect,
                                               TarnLanguagePreference& preference, QWidget* parent)
    : QToolButton(parent), m_language(language), m_onSelect(std::move(onSelect)),
      m_state(preference) {
    setFont(fonts::system(kBadgeFontSize, QFont::DemiBold));
    setPopupMode(QToolButton::InstantPopup);
    setToolTip(languageTitle(language));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("languageMenu"));
    setMenu(menu);
    // Check marks are decided when the menu opens, from the state of then.
    connect(menu, &QMenu::aboutToShow, this, &TarnLanguageMenuButton::rebuildMenu);
    rebuildMenu();
}

void TarnLanguageMenuButton::setLanguage(TarnLanguage language) {
    m_language = language;
    setToolTip(languageTitle(language));
    updateGeometry();
    update();
}

QString TarnLanguageMenuButton::badgeText() const {
    return fromView(shortCode(m_language));
}

void TarnLanguageMenuButton::rebuildMenu() {
    QMenu* entries = menu();
    entries->clear();
    QAction* system = entries->addAction(m_state.systemEntryLabel(m_language));
    system->setObjectName(QStringLiteral("system"));
    system->setCheckable(true);
    system->setChecked(m_state.isFollowingSystem());
    connect(system, &QAction::triggered, this, [this] {
        m_state.chooseSystem(m_onSelect);
        update();
    });
    entries->addSeparator();
    for (const TarnLanguage language : language::sortedCases()) {
        QAction* entry = entries->addAction(QString::fromStdString(displayName(language)));
        entry->setObjectName(fromView(rawValue(language)));
        entry->setCheckable(true);
        entry->setChecked(!m_state.isFollowingSystem() && language == m_language);
        connect(entry, &QAction::triggered, this, [this, language] {
            m_state.chooseLanguage(language, m_onSelect);
            update();
        });
    }
}

QSize TarnLanguageMenuButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {2 * kBadgeHorizontalPadding + kBadgeFontSize + kBadgeSpacing +
                metrics.horizontalAdvance(badgeText()),
            2 * kBadgeVerticalPadding + std::max(metrics.height(), kBadgeFontSize)};
}

void TarnLanguageMenuButton::showEvent(QShowEvent* event) {
    QToolButton::showEvent(event);
    m_state.syncFromDefaults();
}

void TarnLanguageMenuButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintGlassShape(painter, rect(), capsuleRadius(rect()), qColor(TarnGlassTokens::surface2),
                    qColor(TarnGlassTokens::borderSubtle));
    const QColor foreground = qColor(TarnGlassTokens::textPrimary);
    const QRect content = rect().adjusted(kBadgeHorizontalPadding, kBadgeVerticalPadding,
                                          -kBadgeHorizontalPadding, -kBadgeVerticalPadding);
    const QRectF globe(content.left(), content.center().y() - kBadgeFontSize / 2.0, kBadgeFontSize,
                       kBadgeFontSize);
    paintSymbol(painter, "globe", globe, foreground);
    painter.setPen(foreground);
    painter.drawText(content.adjusted(kBadgeFontSize + kBadgeSpacing, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, badgeText());
}

} // namespace tarn
