#include "QuillerApp/Views/MainQuillerStudioView.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/QuillerStudioStyle.h"
#include "QuillerApp/Views/QuillerStudioTabButton.h"
#include "QuillerApp/Views/QuillerTabScreens.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/Bindings.h"
#include "TarnKit/Design/TarnBrandMark.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnToastBanner.h"
#include "TarnKit/Design/TarnUnifiedHeaderBar.h"
#include "TarnKit/Design/TarnVersionBadgeButton.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnAppVersion.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QComboBox>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>
#include <string_view>

namespace quiller {
namespace {

using Field = QuillerViewModelField;

bool animationsEnabled = true;

constexpr int kToastBottomPadding = 22;
constexpr int kToastDurationMs = 200;
constexpr int kPickerWidth = 150;

struct TabEntry {
    QuillerTab tab;
    std::string_view en;
    std::string_view tr;
    std::string_view symbol;
};

// The tab strip, in QuillerTab order.
constexpr std::array<TabEntry, 7> kTabs{{
    {QuillerTab::client, "API Studio", "API Stüdyo", tarn::symbolNamed("paperplane.fill")},
    {QuillerTab::history, "History", "Geçmiş", tarn::symbolNamed("clock.arrow.circlepath")},
    {QuillerTab::runner, "Runner", "Runner", tarn::symbolNamed("gauge.with.dots.needle.67percent")},
    {QuillerTab::streaming, "SSE & WS", "SSE & WS",
     tarn::symbolNamed("bolt.horizontal.circle.fill")},
    {QuillerTab::mcp, "MCP", "MCP", tarn::symbolNamed("cpu.fill")},
    {QuillerTab::proxy, "Proxy", "Proxy", tarn::symbolNamed("network")},
    {QuillerTab::environments, "Env", "Ortam", tarn::symbolNamed("key.fill")},
}};

} // namespace

void MainQuillerStudioView::setAnimationsEnabled(bool enabled) {
    animationsEnabled = enabled;
}

MainQuillerStudioView::MainQuillerStudioView(QuillerViewModel& model, ViewModelBridge& bridge,
                                             QColor accent, QWidget* parent)
    : QWidget(parent), m_model(model), m_bridge(bridge), m_accent(accent) {
    setObjectName(QStringLiteral("MainQuillerStudioView"));
    m_ground = new tarn::TarnGroundBackground(tarn::TarnProductPalette::deepIndigo, this);
    m_ground->setObjectName(QStringLiteral("studioGround"));
    m_ground->lower();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildHeader();
    column->addWidget(m_header);
    column->addWidget(studiostyle::makeHairline(this));
    m_screenHost = new QWidget(this);
    m_screenHost->setObjectName(QStringLiteral("tabScreenHost"));
    m_screenLayout = new QVBoxLayout(m_screenHost);
    m_screenLayout->setContentsMargins(0, 0, 0, 0);
    m_screenLayout->setSpacing(0);
    column->addWidget(m_screenHost, 1);

    m_toastHost = new QWidget(this);
    m_toastHost->setObjectName(QStringLiteral("toastOverlay"));
    auto* toastLayout = new QVBoxLayout(m_toastHost);
    toastLayout->setContentsMargins(0, 0, 0, 0);
    m_toastHost->hide();
    m_toastAnimation = new QVariantAnimation(this);
    m_toastAnimation->setDuration(kToastDurationMs);
    m_toastAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_toastAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setToastProgress(value.toDouble()); });
    connect(m_toastAnimation, &QVariantAnimation::finished, this, [this] {
        if (m_toastLeaving)
            m_toastHost->hide();
    });

    connect(&m_bridge, &ViewModelBridge::changed, this,
            [this](const ViewModelChanges& changes) { applyChanges(changes); });

    refreshTexts();
    refreshTabButtons();
    showSelectedScreen();
    refreshEnvironmentPicker();
    refreshToast();
}

MainQuillerStudioView::~MainQuillerStudioView() = default;

void MainQuillerStudioView::buildHeader() {
    // Laid out beside the window buttons, over a background that drags the
    // window like a title bar.
    auto* headerBar = new tarn::TarnUnifiedHeaderBar(this, 52, 18, 8, Qt::transparent);
    m_header = headerBar;
    m_header->setObjectName(QStringLiteral("studioHeader"));
    QHBoxLayout* row = headerBar->contentLayout();
    row->setSpacing(14);

    // Brand block: mark, then title with the version badge over the subtitle.
    auto* brand = new QHBoxLayout;
    brand->setSpacing(10);
    auto* mark = new tarn::TarnBrandMark(24, tarn::TarnBrandMarkStyle::currentApp(), m_header);
    mark->setObjectName(QStringLiteral("studioBrandMark"));
    brand->addWidget(mark, 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    QLabel* title = makeLabel(tarn::fonts::system(16, QFont::Bold),
                              tarn::qColor(tarn::TarnGlassTokens::textPrimary), m_header);
    title->setObjectName(QStringLiteral("studioTitle"));
    title->setText(QStringLiteral("Quiller"));
    titleRow->addWidget(title, 0, Qt::AlignVCenter);
    m_versionBadgeSlot = new QHBoxLayout;
    m_versionBadgeSlot->setContentsMargins(0, 0, 0, 0);
    rebuildVersionBadge();
    titleRow->addLayout(m_versionBadgeSlot);
    titleRow->addStretch(1);
    titles->addLayout(titleRow);
    m_subtitle = makeLabel(tarn::fonts::system(11),
                           tarn::qColor(tarn::TarnGlassTokens::textSecondary), m_header);
    m_subtitle->setObjectName(QStringLiteral("studioSubtitle"));
    titles->addWidget(m_subtitle);
    brand->addLayout(titles);
    row->addLayout(brand);
    row->addStretch(1);

    auto* strip = new QHBoxLayout;
    strip->setSpacing(5);
    for (std::size_t i = 0; i < kTabs.size(); ++i) {
        const TabEntry& entry = kTabs[i];
        auto* button = new QuillerStudioTabButton(std::string(entry.symbol), m_accent, m_header);
        button->setObjectName(QStringLiteral("tab.") + tarn::qt::toQString(rawValue(entry.tab)));
        // Without animation, and also when the tab is already the shown one.
        connect(button, &QAbstractButton::clicked, this,
                [this, tab = entry.tab] { m_model.setSelectedTab(tab); });
        strip->addWidget(button, 0, Qt::AlignVCenter);
        m_tabButtons[i] = button;
    }
    row->addLayout(strip);
    row->addStretch(1);

    m_environmentPicker = new QComboBox(m_header);
    m_environmentPicker->setObjectName(QStringLiteral("environmentPicker"));
    m_environmentPicker->setFixedWidth(kPickerWidth);
    m_environmentPicker->setFont(tarn::fonts::font(tarn::TarnTextStyle::body));
    m_environmentPicker->setStyleSheet(
        QStringLiteral("QComboBox { color: %1; background: %2; border: 1px solid %3;"
                       " border-radius: 6px; padding: 3px 8px; }"
                       "QComboBox QAbstractItemView { color: %1; background: #262a3a;"
                       " selection-background-color: %4; border: 1px solid %3; }")
            .arg(studiostyle::cssRgba(tarn::qColor(tarn::TarnGlassTokens::textPrimary)),
                 studiostyle::cssRgba(tarn::qColor(tarn::TarnGlassTokens::surface2)),
                 studiostyle::cssRgba(tarn::qColor(tarn::TarnGlassTokens::borderSubtle)),
                 studiostyle::cssRgba(m_accent)));
    tarn::bindings::bindComboBox(m_environmentPicker,
                                 [this](int index) { environmentChosen(index); });
    row->addWidget(m_environmentPicker, 0, Qt::AlignVCenter);
}

void MainQuillerStudioView::applyChanges(const ViewModelChanges& changes) {
    if (changes.contains(Field::language))
        refreshTexts();
    if (changes.contains(Field::selectedTab)) {
        refreshTabButtons();
        showSelectedScreen();
    }
    if (changes.containsAny({Field::environments, Field::activeEnvironmentID}))
        refreshEnvironmentPicker();
    if (changes.containsAny({Field::toastMessage, Field::toastIsError}))
        refreshToast();
}

// The badge opens the version and logs sheet in the language it was made
// with, so a new language makes a new badge.
void MainQuillerStudioView::rebuildVersionBadge() {
    if (m_versionBadge != nullptr && m_versionBadge->language() == m_model.language())
        return;
    delete m_versionBadge;
    m_versionBadge = new tarn::TarnVersionBadgeButton(
        "Quiller", tarn::TarnAppVersion::current("1.0.0", "100"), nullptr,
        tarn::TarnProductPalette::deepIndigo, m_model.language(), false, true,
        tarn::TarnSheetPorts::desktop(), m_header);
    m_versionBadge->setObjectName(QStringLiteral("studioVersionBadge"));
    m_versionBadgeSlot->addWidget(m_versionBadge, 0, Qt::AlignVCenter);
}

void MainQuillerStudioView::refreshTexts() {
    const tarn::TarnLanguage language = m_model.language();
    rebuildVersionBadge();
    tarn::bindings::refresh(
        m_subtitle, tarn::tarnText("Offline API · SSE/WS · MCP · Local Mock Proxy",
                                   "Offline API · SSE/WS · MCP · Yerel Mock Proxy", language));
    for (std::size_t i = 0; i < kTabs.size(); ++i)
        m_tabButtons[i]->setTitle(viewText(kTabs[i].en, kTabs[i].tr, language));
}

void MainQuillerStudioView::refreshTabButtons() {
    for (std::size_t i = 0; i < kTabs.size(); ++i)
        m_tabButtons[i]->setSelected(kTabs[i].tab == m_model.selectedTab());
}

void MainQuillerStudioView::showSelectedScreen() {
    const QuillerTab tab = m_model.selectedTab();
    if (m_screen && tab == m_shownTab)
        return;
    // The old screen goes first, with its view state, so the two never
    // observe the model side by side.
    m_screen.reset();
    m_screen = makeTabScreen(tab, m_model, m_bridge);
    m_shownTab = tab;
    m_screenLayout->addWidget(m_screen.get());
    m_screen->show();
    if (!m_toastHost->isHidden())
        m_toastHost->raise();
}

QString MainQuillerStudioView::shownTab() const {
    return m_screen ? tarn::qt::toQString(rawValue(m_shownTab)) : QString();
}

void MainQuillerStudioView::refreshEnvironmentPicker() {
    const std::vector<APIEnvironmentProfile>& environments = m_model.environments();
    std::vector<QString> shownIDs;
    shownIDs.reserve(static_cast<std::size_t>(m_environmentPicker->count()));
    for (int i = 0; i < m_environmentPicker->count(); ++i)
        shownIDs.push_back(m_environmentPicker->itemData(i).toString());
    const QSignalBlocker blocker(m_environmentPicker);
    if (tarn::bindings::sameIdentities(shownIDs, environments,
                                       [](const APIEnvironmentProfile& environment) {
                                           return tarn::qt::toQString(environment.id.string());
                                       })) {
        for (std::size_t i = 0; i < environments.size(); ++i) {
            const QString name = tarn::qt::toQString(environments[i].name);
            if (m_environmentPicker->itemText(static_cast<int>(i)) != name)
                m_environmentPicker->setItemText(static_cast<int>(i), name);
        }
    } else {
        m_environmentPicker->clear();
        for (const APIEnvironmentProfile& environment : environments)
            m_environmentPicker->addItem(tarn::qt::toQString(environment.name),
                                         tarn::qt::toQString(environment.id.string()));
    }
    // The environment in force: the stored one, else the first, also when the
    // stored identifier names an environment that is gone. Showing it writes
    // nothing; only a choice of the user does.
    int shown = -1;
    if (const std::optional<APIEnvironmentProfile> active = m_model.activeEnvironment()) {
        for (std::size_t i = 0; i < environments.size(); ++i)
            if (environments[i].id == active->id)
                shown = static_cast<int>(i);
    }
    tarn::bindings::refresh(m_environmentPicker, shown);
}

void MainQuillerStudioView::environmentChosen(int index) {
    const std::vector<APIEnvironmentProfile>& environments = m_model.environments();
    if (index < 0 || static_cast<std::size_t>(index) >= environments.size())
        return;
    m_model.setActiveEnvironmentID(environments[static_cast<std::size_t>(index)].id);
    m_model.persist();
}

bool MainQuillerStudioView::isToastShown() const {
    return !m_toastHost->isHidden();
}

QString MainQuillerStudioView::toastText() const {
    return m_toastBanner ? m_toastBanner->message() : QString();
}

void MainQuillerStudioView::refreshToast() {
    const std::optional<std::string>& message = m_model.toastMessage();
    if (!message) {
        if (m_toastHost->isHidden() || m_toastLeaving)
            return;
        m_toastLeaving = true;
        if (!animationsEnabled) {
            m_toastAnimation->stop();
            m_toastHost->hide();
            return;
        }
        m_toastAnimation->stop();
        m_toastAnimation->setStartValue(m_toastProgress);
        m_toastAnimation->setEndValue(0.0);
        m_toastAnimation->start();
        return;
    }
    const QString text = tarn::qt::toQString(*message);
    const bool isError = m_model.toastIsError();
    // A new message replaces the banner in place; the slide only runs when
    // the toast appears.
    if (!m_toastBanner || m_toastBanner->message() != text || m_toastBanner->isError() != isError) {
        delete m_toastBanner;
        m_toastBanner = new tarn::TarnToastBanner(text, isError, m_toastHost);
        m_toastBanner->setObjectName(QStringLiteral("toastBanner"));
        m_toastHost->layout()->addWidget(m_toastBanner);
    }
    const bool appearing = m_toastHost->isHidden() || m_toastLeaving;
    m_toastLeaving = false;
    m_toastHost->show();
    m_toastHost->raise();
    if (!appearing) {
        placeToast();
        return;
    }
    m_toastAnimation->stop();
    if (!animationsEnabled) {
        setToastProgress(1);
        return;
    }
    m_toastAnimation->setStartValue(m_toastProgress);
    m_toastAnimation->setEndValue(1.0);
    m_toastAnimation->start();
}

void MainQuillerStudioView::setToastProgress(double progress) {
    m_toastProgress = progress;
    // The fade only while the toast moves: at rest the banner's own shadow is
    // the one effect, as nested effects do not render into every device.
    if (progress >= 1) {
        m_toastHost->setGraphicsEffect(nullptr);
    } else {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_toastHost->graphicsEffect());
        if (!effect) {
            effect = new QGraphicsOpacityEffect(m_toastHost);
            m_toastHost->setGraphicsEffect(effect);
        }
        effect->setOpacity(progress);
    }
    placeToast();
}

void MainQuillerStudioView::placeToast() {
    // The banner's natural size, within the window's width; moved down by
    // what is left of the slide, out past the bottom edge at the start.
    const QSize natural = m_toastHost->sizeHint();
    const int toastWidth = std::min(natural.width(), std::max(width() - 32, 0));
    const int toastHeight = natural.height();
    const int restingY = height() - kToastBottomPadding - toastHeight;
    const int travel = kToastBottomPadding + toastHeight;
    const int y = restingY + static_cast<int>((1.0 - m_toastProgress) * travel);
    m_toastHost->setGeometry((width() - toastWidth) / 2, y, toastWidth, toastHeight);
}

void MainQuillerStudioView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_ground->setGeometry(rect());
    if (!m_toastHost->isHidden())
        placeToast();
}

} // namespace quiller
