#include "TarnKit/Design/TarnVirtualMemoryBadgeView.h"

#include "TarnKit/Design/TarnAdaptiveGridLayout.h"
#include "TarnKit/Design/TarnFlowLayout.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSuiteWidgetParts.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace tarn {
namespace {

using suitewidgets::withOpacity;

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

// Title badges beside the buttons when both fit on one row, else the buttons
// below the badges; the first arrangement that fits wins.
class GaugeCardHeader : public QWidget {
public:
    GaugeCardHeader(QWidget* badges, QWidget* buttons) : m_badges(badges), m_buttons(buttons) {
        badges->setParent(this);
        if (buttons != nullptr)
            buttons->setParent(this);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    bool inOneRow(int width) const { return width >= oneRowWidth(); }
    bool inOneRow() const { return inOneRow(width()); }

    QSize sizeHint() const override {
        const int width = oneRowWidth();
        return {width, heightForWidth(width)};
    }
    QSize minimumSizeHint() const override { return {0, heightForWidth(0)}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const int buttons = m_buttons != nullptr ? m_buttons->sizeHint().height() : 0;
        if (inOneRow(width))
            return std::max(m_badges->heightForWidth(badgesWidth()), buttons);
        const int badges = m_badges->heightForWidth(width);
        return m_buttons != nullptr ? badges + 8 + buttons : badges;
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int width = this->width();
        const QSize buttons = m_buttons != nullptr ? m_buttons->sizeHint() : QSize();
        if (inOneRow(width)) {
            const int badgeWidth = badgesWidth();
            const int badgeHeight = m_badges->heightForWidth(badgeWidth);
            const int row = std::max(badgeHeight, buttons.height());
            m_badges->setGeometry(0, (row - badgeHeight) / 2, badgeWidth, badgeHeight);
            if (m_buttons != nullptr)
                m_buttons->setGeometry(width - buttons.width(), (row - buttons.height()) / 2,
                                       buttons.width(), buttons.height());
            return;
        }
        const int badgeHeight = m_badges->heightForWidth(width);
        m_badges->setGeometry(0, 0, width, badgeHeight);
        if (m_buttons != nullptr)
            m_buttons->setGeometry(0, badgeHeight + 8, buttons.width(), buttons.height());
    }

private:
    int badgesWidth() const { return m_badges->sizeHint().width(); }
    // The badges on one line, a flexible space of at least 8, the buttons.
    int oneRowWidth() const {
        return m_buttons == nullptr ? badgesWidth()
                                    : badgesWidth() + 8 + m_buttons->sizeHint().width();
    }

    QWidget* m_badges;
    QWidget* m_buttons;
};

// One stat pill: label, value and an optional detail on surface1.
class StatPill : public QWidget {
public:
    explicit StatPill(const suitewidgets::StatPillContent& stat) {
        setObjectName(QStringLiteral("statPill"));
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(9, 7, 9, 7);
        column->setSpacing(2);
        column->addWidget(new TarnTextLine(qText(stat.label), fonts::system(9.5),
                                           qColor(TarnGlassTokens::textMuted)));
        auto* value = new TarnTextLine(qText(stat.value), fonts::system(10.5, QFont::Bold, true),
                                       qColor(stat.valueTint));
        value->setObjectName(QStringLiteral("statValue"));
        value->setMinimumScale(0.8);
        column->addWidget(value);
        if (!stat.detail.empty()) {
            auto* detail =
                new TarnTextLine(qText(stat.detail), fonts::system(9, QFont::Normal, true),
                                 qColor(TarnGlassTokens::textSecondary));
            detail->setObjectName(QStringLiteral("statDetail"));
            detail->setElideMode(Qt::ElideMiddle);
            column->addWidget(detail);
        }
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(glassShape(rect(), 8), qColor(TarnGlassTokens::surface1));
    }
};

QWidget* gauge(const suitewidgets::GaugeContent& content, const QColor& tint) {
    auto* widget = new QWidget;
    widget->setObjectName(QStringLiteral("gauge"));
    auto* column = new QVBoxLayout(widget);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(5);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(new TarnTextLine(qText(content.title),
                                    fonts::font(TarnTextStyle::caption2, QFont::Bold),
                                    qColor(TarnGlassTokens::textSecondary)),
                   0, Qt::AlignVCenter);
    row->addStretch(1);
    auto* value =
        new TarnTextLine(qText(content.valueText), fonts::system(10.5, QFont::DemiBold, true),
                         qColor(TarnGlassTokens::textPrimary));
    value->setObjectName(QStringLiteral("gaugeValue"));
    row->addWidget(value, 0, Qt::AlignVCenter);
    column->addLayout(row);
    QColor end = tint;
    end.setAlphaF(0.55F * tint.alphaF());
    auto* bar = new TarnFillBar(content.fraction, 6, TarnFillRule::gauge,
                                qColor(TarnColor::white(0.08)), tint, end);
    bar->setObjectName(QStringLiteral("gaugeBar"));
    column->addWidget(bar);
    widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return widget;
}

TarnCapsule* badge(const suitewidgets::GaugeCardBadge& badge) {
    TarnCapsuleLook look;
    look.fill = qColor(badge.background);
    look.foreground = qColor(badge.foreground);
    look.font = fonts::system(9.5, badge.bold ? QFont::Bold : QFont::DemiBold, badge.monospaced);
    look.horizontalPadding = badge.horizontalPadding;
    look.verticalPadding = 2;
    auto* capsule = new TarnCapsule(qText(badge.text), {}, look);
    capsule->setObjectName(QStringLiteral("cardBadge"));
    capsule->setAttribute(Qt::WA_TransparentForMouseEvents);
    return capsule;
}

} // namespace

// --- Header pill ---------------------------------------------------------------------

TarnVirtualMemoryHeaderPill::TarnVirtualMemoryHeaderPill(const TarnVirtualMemorySummary& summary,
                                                         TarnLanguage language,
                                                         std::function<void()> onTap,
                                                         suitewidgets::SuiteActionPorts ports,
                                                         QWidget* parent)
    : QWidget(parent), m_content(suitewidgets::headerPillContent(summary, language)) {
    setObjectName(QStringLiteral("virtualMemoryPill"));
    TarnCapsuleLook look;
    look.fill = qColor(withOpacity(m_content.colour, 0.2));
    look.border = qColor(withOpacity(m_content.colour, 0.45));
    look.borderWidth = 1;
    look.foreground = qColor(m_content.colour);
    look.font = fonts::system(11, QFont::DemiBold, true);
    look.symbolSize = 10;
    look.horizontalPadding = 9;
    look.verticalPadding = 4;
    look.spacing = 5;
    look.dotDiameter = 6;
    m_capsule = new TarnCapsule(qText(m_content.title), m_content.symbol, look, this);
    m_capsule->setToolTip(qText(m_content.helpText));
    m_capsule->setCursor(Qt::PointingHandCursor);
    connect(m_capsule, &QAbstractButton::clicked, this, [onTap = std::move(onTap), ports] {
        if (onTap)
            onTap();
        else
            suitewidgets::openHeddle(ports);
    });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_capsule);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QColor TarnVirtualMemoryHeaderPill::colour() const {
    return qColor(m_content.colour);
}

// --- Gauge card ----------------------------------------------------------------------

TarnVirtualMemoryGaugeCard::TarnVirtualMemoryGaugeCard(const TarnVirtualMemorySummary& summary,
                                                       TarnLanguage language,
                                                       const QColor& accentColor,
                                                       TarnSuiteApp sourceApp, Feedback onFeedback,
                                                       suitewidgets::SuiteActionPorts ports,
                                                       QWidget* parent)
    : QWidget(parent), m_sourceApp(sourceApp), m_onFeedback(std::move(onFeedback)), m_ports(ports) {
    setObjectName(QStringLiteral("virtualMemoryGaugeCard"));
    // As tall as its content, never stretched by the host's layout.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    const bool heddleInstalled =
        ports.desktop != nullptr && suiteapp::isInstalled(TarnSuiteApp::heddle, *ports.desktop);
    m_content = suitewidgets::gaugeCardContent(summary, language, heddleInstalled);
    const QColor status = qColor(m_content.statusColour);

    // Title badges: the title row at its natural width, then the badges.
    auto* badges = new QWidget;
    badges->setObjectName(QStringLiteral("cardBadges"));
    auto* flow = new TarnFlowLayout(7, 5, badges);
    auto* title = new QWidget;
    auto* titleRow = new QHBoxLayout(title);
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(6);
    const QFont titleFont = fonts::font(TarnTextStyle::subheadline, QFont::Bold);
    auto* symbol = symbolGlyph(symbolNamed("externaldrive.badge.timemachine"),
                               titleFont.pixelSize() + 1, status);
    titleRow->addWidget(symbol, 0, Qt::AlignVCenter);
    auto* titleText =
        new TarnTextLine(qText(m_content.title), titleFont, qColor(TarnGlassTokens::textPrimary));
    titleText->setMinimumWidth(titleText->sizeHint().width());
    titleRow->addWidget(titleText, 0, Qt::AlignVCenter);
    title->setFixedSize(title->sizeHint());
    flow->addWidget(title);
    for (const suitewidgets::GaugeCardBadge& item : m_content.badges)
        flow->addWidget(badge(item));

    QWidget* buttons = nullptr;
    if (!m_content.buttons.empty()) {
        buttons = new QWidget;
        buttons->setObjectName(QStringLiteral("cardButtons"));
        auto* row = new QHBoxLayout(buttons);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        for (const suitewidgets::GaugeCardButton& item : m_content.buttons) {
            auto* button = new TarnGlassButton(qText(item.label), item.isActive);
            button->setObjectName(QStringLiteral("cardButton"));
            button->setFont(fonts::font(TarnTextStyle::caption2, QFont::Bold));
            button->setSymbol(item.symbol);
            connect(button, &QAbstractButton::clicked, this, [this, item] { press(item); });
            row->addWidget(button, 0, Qt::AlignVCenter);
        }
        buttons->setFixedSize(buttons->sizeHint());
    }
    m_header = new GaugeCardHeader(badges, buttons);
    m_header->setObjectName(QStringLiteral("cardHeader"));

    auto* gauges = new QWidget;
    auto* gaugeGrid = new TarnAdaptiveGridLayout(260, 14, 10, gauges);
    gaugeGrid->addWidget(gauge(m_content.gauges[0], accentColor));
    gaugeGrid->addWidget(gauge(m_content.gauges[1], status));

    auto* stats = new QWidget;
    auto* statGrid = new TarnAdaptiveGridLayout(155, 8, 8, stats);
    for (const suitewidgets::StatPillContent& stat : m_content.stats)
        statGrid->addWidget(new StatPill(stat));

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(m_header);
    column->addWidget(gauges);
    column->addWidget(stats);

    auto* card = new TarnGlassCard(14, 13);
    card->setContent(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(card);
}

QColor TarnVirtualMemoryGaugeCard::statusColour() const {
    return qColor(m_content.statusColour);
}

bool TarnVirtualMemoryGaugeCard::headerInOneRow() const {
    return static_cast<const GaugeCardHeader*>(m_header)->inOneRow();
}

void TarnVirtualMemoryGaugeCard::press(const suitewidgets::GaugeCardButton& button) {
    const std::optional<std::string> confirmation =
        suitewidgets::pressGaugeCardButton(m_ports, button, m_sourceApp);
    if (m_onFeedback && confirmation)
        m_onFeedback(qText(*confirmation));
}

} // namespace tarn
