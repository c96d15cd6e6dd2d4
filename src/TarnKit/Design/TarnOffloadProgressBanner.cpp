#include "TarnKit/Design/TarnOffloadProgressBanner.h"

#include "TarnKit/Design/TarnAdaptiveGridLayout.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSuiteWidgetParts.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/Suite/SuiteWidgetContent.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace tarn {
namespace {

using suitewidgets::withOpacity;

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

// The measures that differ between the compact and the full layout.
struct BannerMetrics {
    double spacing, horizontalPadding, verticalPadding, cornerRadius, statusSymbol, stepBadgeFont,
        titleFont, amountsFont, percentFont, cancelFont, barHeight, detailFont;
    int detailLines;
};

constexpr BannerMetrics kCompact{6, 10, 8, 10, 12, 9, 11, 9.5, 10.5, 9.5, 5, 9.5, 2};
constexpr BannerMetrics kFull{8, 14, 10, 11, 14, 9.5, 12.5, 10.5, 11.5, 10.5, 7, 10.5, 1};

TarnCapsule* stepPill(const suitewidgets::OffloadStepPill& step) {
    TarnCapsuleLook look;
    look.fill = qColor(withOpacity(step.colour, step.backgroundOpacity));
    look.foreground = qColor(step.colour);
    look.font = fonts::system(9.5, step.semibold ? QFont::DemiBold : QFont::Normal);
    look.symbolSize = 9.5;
    look.horizontalPadding = 7;
    look.verticalPadding = 3;
    look.spacing = 4;
    look.stretches = true;
    auto* pill = new TarnCapsule(qText(step.title), step.symbol, look);
    pill->setObjectName(QStringLiteral("stepPill"));
    pill->setAttribute(Qt::WA_TransparentForMouseEvents);
    return pill;
}

} // namespace

TarnOffloadProgressBanner::TarnOffloadProgressBanner(const HeddleOffloadLiveProgress& progress,
                                                     TarnLanguage language, bool compact,
                                                     std::function<void()> onCancel,
                                                     std::function<void()> onDismiss,
                                                     QWidget* parent)
    : QWidget(parent),
      m_content(suitewidgets::offloadBannerContent(progress, language, static_cast<bool>(onCancel),
                                                   static_cast<bool>(onDismiss))),
      m_compact(compact) {
    setObjectName(QStringLiteral("offloadProgressBanner"));
    // As tall as its content, never stretched by the host's layout.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    const BannerMetrics& m = compact ? kCompact : kFull;
    const QColor accent = qColor(m_content.accent);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(
        static_cast<int>(m.horizontalPadding), static_cast<int>(m.verticalPadding),
        static_cast<int>(m.horizontalPadding), static_cast<int>(m.verticalPadding));
    column->setSpacing(static_cast<int>(m.spacing));

    // Header row.
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    if (m_content.showsActivityIndicator) {
        auto* indicator = new TarnActivityIndicator(static_cast<int>(m.statusSymbol + 2),
                                                    qColor(TarnGlassTokens::textSecondary));
        indicator->setObjectName(QStringLiteral("activityIndicator"));
        header->addWidget(indicator, 0, Qt::AlignVCenter);
    } else {
        auto* symbol = symbolGlyph(symbolNamed("checkmark.seal.fill"), m.statusSymbol,
                                   qColor(TarnGlassTokens::success));
        symbol->setObjectName(QStringLiteral("statusSeal"));
        header->addWidget(symbol, 0, Qt::AlignVCenter);
    }
    TarnCapsuleLook badgeLook;
    badgeLook.fill = qColor(withOpacity(m_content.accent, 0.24));
    badgeLook.foreground = accent;
    badgeLook.font = fonts::system(m.stepBadgeFont, QFont::Bold, true);
    badgeLook.horizontalPadding = 6;
    badgeLook.verticalPadding = 2;
    auto* badge = new TarnCapsule(qText(m_content.stepBadge), {}, badgeLook);
    badge->setObjectName(QStringLiteral("stepBadge"));
    badge->setAttribute(Qt::WA_TransparentForMouseEvents);
    header->addWidget(badge, 0, Qt::AlignVCenter);
    auto* title =
        new TarnTextLine(qText(m_content.phaseTitle), fonts::system(m.titleFont, QFont::DemiBold),
                         qColor(TarnGlassTokens::textPrimary));
    title->setObjectName(QStringLiteral("phaseTitle"));
    header->addWidget(title, 1, Qt::AlignVCenter);
    header->addSpacing(4);
    if (m_content.amounts) {
        auto* amounts = new TarnTextLine(qText(*m_content.amounts),
                                         fonts::system(m.amountsFont, QFont::DemiBold, true),
                                         qColor(TarnGlassTokens::textSecondary));
        amounts->setObjectName(QStringLiteral("amounts"));
        amounts->setMinimumWidth(amounts->sizeHint().width());
        header->addWidget(amounts, 0, Qt::AlignVCenter);
    }
    auto* percent = new TarnTextLine(qText(m_content.percentText),
                                     fonts::system(m.percentFont, QFont::Bold, true), accent);
    percent->setObjectName(QStringLiteral("percent"));
    percent->setMinimumWidth(percent->sizeHint().width());
    header->addWidget(percent, 0, Qt::AlignVCenter);
    if (m_content.button == suitewidgets::OffloadBannerButton::cancel) {
        auto* cancel = new TarnGlassButton(qText(m_content.cancelLabel), false);
        cancel->setObjectName(QStringLiteral("cancelButton"));
        cancel->setFont(fonts::system(m.cancelFont, QFont::DemiBold));
        connect(cancel, &QAbstractButton::clicked, this,
                [onCancel = std::move(onCancel)] { onCancel(); });
        header->addWidget(cancel, 0, Qt::AlignVCenter);
    } else if (m_content.button == suitewidgets::OffloadBannerButton::dismiss) {
        TarnCapsuleLook close;
        close.foreground = qColor(TarnGlassTokens::textMuted);
        close.symbolSize = 9.5;
        close.horizontalPadding = 2;
        close.verticalPadding = 2;
        auto* dismiss = new TarnCapsule(QString(), symbolNamed("xmark"), close);
        dismiss->setObjectName(QStringLiteral("dismissButton"));
        dismiss->setCursor(Qt::PointingHandCursor);
        connect(dismiss, &QAbstractButton::clicked, this,
                [onDismiss = std::move(onDismiss)] { onDismiss(); });
        header->addWidget(dismiss, 0, Qt::AlignVCenter);
    }
    column->addLayout(header);

    // Progress bar.
    auto* bar = new TarnFillBar(progress.fractionCompleted, m.barHeight, TarnFillRule::banner,
                                qColor(TarnColor::white(0.1)),
                                qColor(withOpacity(m_content.accent, 0.75)), accent);
    bar->setObjectName(QStringLiteral("progressBar"));
    column->addWidget(bar);

    if (!m_content.detail.empty()) {
        auto* detail = new TarnTextLine(qText(m_content.detail),
                                        fonts::system(m.detailFont, QFont::Normal, true),
                                        qColor(TarnGlassTokens::textSecondary));
        detail->setObjectName(QStringLiteral("detail"));
        detail->setMaximumLines(m.detailLines);
        column->addWidget(detail);
    }

    if (!compact) {
        auto* steps = new QWidget;
        steps->setObjectName(QStringLiteral("stepPills"));
        auto* grid = new TarnAdaptiveGridLayout(135, 6, 6, steps);
        for (const suitewidgets::OffloadStepPill& step : m_content.steps)
            grid->addWidget(stepPill(step));
        column->addWidget(steps);
    }
}

QColor TarnOffloadProgressBanner::accentColor() const {
    return qColor(m_content.accent);
}

void TarnOffloadProgressBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const BannerMetrics& m = m_compact ? kCompact : kFull;
    paintGlassShape(painter, rect(), m.cornerRadius,
                    qColor(suitewidgets::withOpacity(m_content.accent, 0.12)),
                    qColor(suitewidgets::withOpacity(m_content.accent, 0.4)));
}

} // namespace tarn
