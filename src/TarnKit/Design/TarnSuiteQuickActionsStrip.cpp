#include "TarnKit/Design/TarnSuiteQuickActionsStrip.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSuiteWidgetParts.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

namespace tarn {
namespace {

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

TarnCapsule* makeChip(const suitewidgets::QuickActionChip& chip, bool compact) {
    const suitewidgets::QuickActionChipLook look =
        suitewidgets::quickActionChipLook(chip.emphasized, compact);
    TarnCapsuleLook capsule;
    capsule.fill = qColor(suitewidgets::withOpacity(chip.tint, look.fillOpacity));
    capsule.border = qColor(suitewidgets::withOpacity(chip.tint, look.borderOpacity));
    capsule.borderWidth = 1;
    capsule.foreground = look.whiteForeground ? QColor(Qt::white) : qColor(chip.tint);
    capsule.font = fonts::system(look.titlePointSize, QFont::DemiBold);
    capsule.symbolSize = look.symbolPointSize;
    capsule.horizontalPadding = look.horizontalPadding;
    capsule.verticalPadding = look.verticalPadding;
    capsule.spacing = 5;
    auto* button = new TarnCapsule(qText(chip.title), chip.symbol, capsule);
    button->setObjectName(QStringLiteral("quickActionChip"));
    button->setProperty("emphasized", chip.emphasized);
    button->setToolTip(qText(chip.helpText));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

TarnSuiteQuickActionsStrip::TarnSuiteQuickActionsStrip(
    TarnSuiteApp currentApp, std::optional<TarnVirtualMemorySummary> vmSummary,
    std::optional<TavlorLiveStatus> tavlorStatus, TarnLanguage language, bool compact,
    Feedback onFeedback, suitewidgets::SuiteActionPorts ports, QWidget* parent)
    : QWidget(parent), m_currentApp(currentApp), m_language(language), m_compact(compact),
      m_onFeedback(std::move(onFeedback)), m_ports(ports) {
    setObjectName(QStringLiteral("suiteQuickActionsStrip"));
    // Installation is asked afresh at every build.
    SuiteDesktop* desktop = ports.desktop;
    m_chips = suitewidgets::quickActionChips(
        currentApp, vmSummary, tavlorStatus, language, compact, [desktop](TarnSuiteApp app) {
            return desktop != nullptr && suiteapp::isInstalled(app, *desktop);
        });
    if (m_chips.empty()) {
        // Not even an empty bar.
        setFixedSize(0, 0);
        setVisible(false);
        return;
    }

    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("quickActionsRow"));
    row->setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(row);
    layout->setSpacing(compact ? 6 : 8);
    if (compact) {
        layout->setContentsMargins(2, 0, 2, 0);
    } else {
        layout->setContentsMargins(14, 7, 14, 7);
        auto* title = new QWidget;
        title->setObjectName(QStringLiteral("quickActionsTitle"));
        auto* titleRow = new QHBoxLayout(title);
        titleRow->setContentsMargins(0, 0, 2, 0);
        titleRow->setSpacing(5);
        auto* symbol = symbolGlyph(symbolNamed("square.grid.2x2.fill"), 10,
                                   qColor(TarnGlassTokens::textMuted));
        titleRow->addWidget(symbol, 0, Qt::AlignVCenter);
        auto* titleText =
            new TarnTextLine(qText(tarnText("Suite Actions", "Suite Hızlı İşlemler", language)),
                             fonts::system(10.5, QFont::Bold), qColor(TarnGlassTokens::textMuted));
        titleText->setObjectName(QStringLiteral("quickActionsTitleText"));
        titleText->setMinimumWidth(titleText->sizeHint().width());
        titleRow->addWidget(titleText, 0, Qt::AlignVCenter);
        layout->addWidget(title, 0, Qt::AlignVCenter);
    }
    for (const suitewidgets::QuickActionChip& chip : m_chips) {
        TarnCapsule* button = makeChip(chip, compact);
        const TarnSuiteCommandKind kind = chip.kind;
        connect(button, &QAbstractButton::clicked, this, [this, kind] { trigger(kind); });
        layout->addWidget(button, 0, Qt::AlignVCenter);
    }
    layout->addStretch(1);

    // A horizontal scroll view without indicators.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("quickActionsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    // Transparent all the way down: the studio bar paints its own surface.
    QPalette clear = scroll->palette();
    clear.setColor(QPalette::Window, Qt::transparent);
    clear.setColor(QPalette::Base, Qt::transparent);
    scroll->setPalette(clear);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setPalette(clear);
    scroll->viewport()->setAutoFillBackground(false);
    // Chips keep their natural widths; a narrow strip scrolls instead.
    row->setMinimumWidth(row->sizeHint().width());
    scroll->setWidget(row);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    const int height = row->sizeHint().height();
    scroll->setFixedHeight(height);
    setMinimumWidth(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    resize(row->sizeHint());
}

void TarnSuiteQuickActionsStrip::paintEvent(QPaintEvent*) {
    if (m_compact || m_chips.empty())
        return;
    QPainter painter(this);
    painter.fillRect(rect(), qColor(TarnGlassTokens::surface1));
}

void TarnSuiteQuickActionsStrip::trigger(TarnSuiteCommandKind kind) {
    const std::optional<std::string> text =
        suitewidgets::triggerQuickAction(m_ports, kind, m_currentApp, m_language);
    if (m_onFeedback && text)
        m_onFeedback(qText(*text));
}

} // namespace tarn
