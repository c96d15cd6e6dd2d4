// Pictures of the suite widgets (quick-actions strip, memory pill and gauge
// card, offload banner) in their main states, and the contact sheet of every
// catalogue emblem at 128 pixels in white glass and in a flat tone.

#include "PictureRegistry.h"
#include "TarnKit/Design/Emblems/TarnEmblemRenderer.h"
#include "TarnKit/Design/Emblems/TarnEmblemTone.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnOffloadProgressBanner.h"
#include "TarnKit/Design/TarnSuiteQuickActionsStrip.h"
#include "TarnKit/Design/TarnVirtualMemoryBadgeView.h"
#include "TarnKit/Suite/FakeSuiteDesktop.h"

#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace quiller::pictures {
namespace {

using namespace tarn;
using tarn::testing::FakeSuiteDesktop;

// Every sibling installed; Heddle running.
FakeSuiteDesktop& suiteDesktop() {
    static FakeSuiteDesktop desktop;
    if (desktop.installed.empty()) {
        for (const TarnSuiteApp app :
             {TarnSuiteApp::heddle, TarnSuiteApp::tavlor, TarnSuiteApp::sketto})
            desktop.install(app);
        desktop.run(TarnSuiteApp::heddle);
    }
    return desktop;
}

suitewidgets::SuiteActionPorts withEverythingInstalled() {
    return {nullptr, &suiteDesktop()};
}

// The widgets in a column on the ground backdrop, `width` wide.
std::unique_ptr<QWidget> onGround(std::initializer_list<QWidget*> widgets, int width) {
    auto ground = std::make_unique<TarnGroundBackground>(TarnProductPalette::deepIndigo);
    auto* column = new QVBoxLayout(ground.get());
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    for (QWidget* widget : widgets)
        column->addWidget(widget);
    column->addStretch(1);
    // Laid out once at the width, so every height-for-width is settled.
    ground->setAttribute(Qt::WA_DontShowOnScreen);
    ground->resize(width, 2000);
    ground->show();
    column->activate();
    int bottom = 0;
    for (QWidget* widget : widgets)
        bottom = std::max(bottom, widget->geometry().bottom());
    ground->hide();
    ground->resize(width, std::min(bottom + 17, column->totalHeightForWidth(width)));
    return ground;
}

TarnVirtualMemorySummary idleSummary() {
    TarnVirtualMemorySummary summary;
    summary.physicalTotalBytes = 16'000'000'000;
    summary.physicalUsedBytes = 9'600'000'000;
    summary.pressureLevel = "normal";
    return summary;
}

TarnVirtualMemorySummary busySummary() {
    TarnVirtualMemorySummary summary = idleSummary();
    summary.physicalUsedBytes = 15'100'000'000;
    summary.pressureLevel = "warning";
    summary.isHeddleRunning = true;
    summary.swapTotalBytes = 4'000'000'000;
    summary.swapUsedBytes = 1'300'000'000;
    summary.swapFileCount = 2;
    summary.swapEncrypted = true;
    summary.activeDiskPoolCount = 1;
    summary.diskPoolVirtualBytes = 64'000'000'000;
    summary.diskPoolActualDiskBytes = 3'200'000'000;
    summary.diskPoolNames = {"Scratch Pool"};
    summary.mountedSparseDiskCount = 1;
    summary.sparseDiskVirtualBytes = 32'000'000'000;
    summary.sparseDiskActualBytes = 1'100'000'000;
    summary.sparseDiskNames = {"HeddleLab"};
    summary.frozenAppCount = 3;
    summary.reclaimedFromFrozenBytes = 820'000'000;
    return summary;
}

std::unique_ptr<QWidget> strips(PictureContext& context) {
    TavlorLiveStatus tavlor;
    tavlor.problematicCount = 2;
    return onGround(
        {new TarnSuiteQuickActionsStrip(TarnSuiteApp::quiller, busySummary(), tavlor,
                                        context.language, false, {}, withEverythingInstalled()),
         new TarnSuiteQuickActionsStrip(TarnSuiteApp::quiller, idleSummary(), std::nullopt,
                                        context.language, false, {}, withEverythingInstalled()),
         new TarnSuiteQuickActionsStrip(TarnSuiteApp::tavlor, busySummary(), tavlor,
                                        context.language, true, {}, withEverythingInstalled())},
        1620);
}

std::unique_ptr<QWidget> pills(PictureContext& context) {
    auto critical = busySummary();
    critical.pressureLevel = "critical";
    auto swapOnly = idleSummary();
    swapOnly.swapTotalBytes = 2'000'000'000;
    swapOnly.swapUsedBytes = 600'000'000;
    auto warning = idleSummary();
    warning.pressureLevel = "warning";
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    for (const auto& summary : {idleSummary(), warning, swapOnly, busySummary(), critical})
        layout->addWidget(new TarnVirtualMemoryHeaderPill(summary, context.language, {}, {}), 0,
                          Qt::AlignLeft);
    return onGround({column}, 460);
}

std::unique_ptr<QWidget> card(PictureContext& context, const TarnVirtualMemorySummary& summary,
                              bool installed, int width) {
    static FakeSuiteDesktop nothing;
    const suitewidgets::SuiteActionPorts ports =
        installed ? withEverythingInstalled() : suitewidgets::SuiteActionPorts{nullptr, &nothing};
    return onGround(
        {new TarnVirtualMemoryGaugeCard(summary, context.language, QColor(0x7a, 0x8c, 0xff),
                                        TarnSuiteApp::quiller, {}, ports)},
        width);
}

HeddleOffloadLiveProgress offload(bool running, bool completed, std::int64_t step, double fraction,
                                  const char* pressure) {
    HeddleOffloadLiveProgress progress;
    progress.isRunning = running;
    progress.isCompletedSummary = completed;
    progress.stepIndex = step;
    progress.totalSteps = 4;
    progress.fractionCompleted = fraction;
    progress.livePressure = pressure;
    progress.allocatedBytes = 2'400'000'000;
    progress.targetBytes = running ? 6'000'000'000 : 0;
    if (completed) {
        progress.phaseTitleEN = "Offload complete";
        progress.phaseTitleTR = "Boşaltma tamamlandı";
        progress.detailEN = "Freed 5.8 GB · 3 apps frozen · pressure back to normal";
        progress.detailTR = "5.8 GB boşaltıldı · 3 uygulama donduruldu · baskı normale döndü";
    } else {
        progress.phaseTitleEN = "Freezing idle apps";
        progress.phaseTitleTR = "Boşta uygulamalar donduruluyor";
        progress.detailEN =
            "Freezing Mail, Preview and 4 more idle apps; paging their memory out to the swap wave";
        progress.detailTR = "Posta, Önizleme ve 4 boşta uygulama donduruluyor; bellekleri swap "
                            "dalgasına aktarılıyor";
    }
    return progress;
}

std::unique_ptr<QWidget> banners(PictureContext& context) {
    const auto nothing = [] {};
    return onGround({new TarnOffloadProgressBanner(offload(true, false, 2, 0.4, "normal"),
                                                   context.language, false, nothing, nothing),
                     new TarnOffloadProgressBanner(offload(true, false, 3, 0.62, "warning"),
                                                   context.language, false, nothing, nothing),
                     new TarnOffloadProgressBanner(offload(false, true, 4, 1, "critical"),
                                                   context.language, false, nothing, nothing),
                     new TarnOffloadProgressBanner(offload(false, false, 3, 0.55, "normal"),
                                                   context.language, false, nothing, nothing),
                     new TarnOffloadProgressBanner(offload(true, false, 1, 0.004, "normal"),
                                                   context.language, true, nothing, nothing)},
                    720);
}

// Every emblem at 128 pixels (64 logical pixels in a picture drawn at twice
// the size), ten to a row.
class EmblemSheet : public QWidget {
public:
    explicit EmblemSheet(bool whiteGlass) : m_whiteGlass(whiteGlass) {
        const int rows =
            (static_cast<int>(appidentity::allCases().size()) + kColumns - 1) / kColumns;
        setFixedSize(kColumns * kCell + 2 * kMargin, rows * (kCell + kLabel) + 2 * kMargin);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(),
                         m_whiteGlass ? QColor(0x23, 0x2a, 0x4d) : QColor(0xf6, 0xf7, 0xfb));
        const TarnEmblemTone tone =
            m_whiteGlass
                ? TarnEmblemTone::whiteGlass()
                : TarnEmblemTone::flatLight(QColor(0x23, 0x3a, 0x7a), QColor(0xff, 0x7a, 0x2e));
        QFont font = painter.font();
        font.setPixelSize(9);
        painter.setFont(font);
        int index = 0;
        for (const TarnAppIdentity app : appidentity::allCases()) {
            const int x = kMargin + (index % kColumns) * kCell;
            const int y = kMargin + (index / kColumns) * (kCell + kLabel);
            const QImage emblem = TarnEmblemRenderer::bitmap(app, 128, tone);
            painter.fillRect(QRect(x + 4, y + 4, kCell - 8, kCell - 8),
                             m_whiteGlass ? QColor(255, 255, 255, 14) : QColor(0, 0, 0, 8));
            painter.drawImage(QRectF(x + (kCell - 64) / 2.0, y + (kCell - 64) / 2.0, 64, 64),
                              emblem);
            painter.setPen(m_whiteGlass ? QColor(255, 255, 255, 170) : QColor(0, 0, 0, 150));
            const std::string_view slug = rawValue(app);
            painter.drawText(
                QRect(x, y + kCell - 4, kCell, kLabel), Qt::AlignHCenter | Qt::AlignTop,
                QString::number(index + 1) + QLatin1Char(' ') +
                    QString::fromLatin1(slug.data(), static_cast<qsizetype>(slug.size())));
            ++index;
        }
    }

private:
    static constexpr int kColumns = 10;
    static constexpr int kCell = 76;
    static constexpr int kLabel = 14;
    static constexpr int kMargin = 8;
    bool m_whiteGlass;
};

} // namespace

QUILLER_PICTURE("suite/quick-actions-strip", strips);
QUILLER_PICTURE("suite/memory-pill", pills);
QUILLER_PICTURE("suite/gauge-card-standby",
                [](PictureContext& context) { return card(context, idleSummary(), false, 620); });
QUILLER_PICTURE("suite/gauge-card-active",
                [](PictureContext& context) { return card(context, busySummary(), true, 760); });
QUILLER_PICTURE("suite/gauge-card-narrow",
                [](PictureContext& context) { return card(context, busySummary(), true, 420); });
QUILLER_PICTURE("suite/offload-banner", banners);
QUILLER_PICTURE("emblems/contact-sheet-glass",
                [](PictureContext&) { return std::make_unique<EmblemSheet>(true); });
QUILLER_PICTURE("emblems/contact-sheet-flat",
                [](PictureContext&) { return std::make_unique<EmblemSheet>(false); });

} // namespace quiller::pictures
