#include "TarnKit/Suite/OffloadProgressContent.h"

#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/Suite/SuiteWidgetContent.h"
#include "TarnKit/Utilities/TarnByteFormatter.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

namespace tarn::suitewidgets {
namespace {

TarnColor accentOf(const HeddleOffloadLiveProgress& progress) {
    if (progress.isCompletedSummary)
        return TarnGlassTokens::success;
    switch (pressureLevel(progress.livePressure)) {
    case PressureLevel::critical:
        return TarnGlassTokens::danger;
    case PressureLevel::warning:
        return TarnGlassTokens::warning;
    case PressureLevel::normal:
        break;
    }
    return violet;
}

constexpr std::array<std::array<std::string_view, 2>, 4> kStepTitles{{
    {"1. Measure RAM", "1. Bellek Ölçümü"},
    {"2. Freeze Idle Apps", "2. Pasifleri Dondur"},
    {"3. Swap Wave", "3. Swap Dalgası"},
    {"4. Release & Verify", "4. İade & Sonuç"},
}};

} // namespace

OffloadStepState offloadStepState(const HeddleOffloadLiveProgress& progress, std::int64_t index) {
    const std::int64_t step = progress.stepIndex;
    if (progress.isCompletedSummary)
        return progress.isRunning && index == step ? OffloadStepState::doneAndActive
                                                   : OffloadStepState::done;
    if (index < step)
        return OffloadStepState::done;
    if (progress.isRunning && index == step)
        return OffloadStepState::active;
    return OffloadStepState::pending;
}

OffloadBannerContent offloadBannerContent(const HeddleOffloadLiveProgress& progress,
                                          TarnLanguage language, bool canCancel, bool canDismiss) {
    OffloadBannerContent content;
    content.accent = accentOf(progress);
    content.showsActivityIndicator = progress.isRunning;
    if (progress.isCompletedSummary) {
        content.stepBadge = tarnText("DONE", "TAMAMLANDI", language);
    } else {
        const std::string numbers =
            decimal(progress.stepIndex) + "/" + decimal(progress.totalSteps);
        content.stepBadge = tarnText("STEP " + numbers, "ADIM " + numbers, language);
    }
    content.phaseTitle = tarnText(progress.phaseTitleEN, progress.phaseTitleTR, language);
    if (progress.isRunning && progress.targetBytes >= 1)
        content.amounts = TarnByteFormatter::format(progress.allocatedBytes) + " / " +
                          TarnByteFormatter::format(progress.targetBytes);
    content.percentText = percentText(progress.fractionCompleted * 100);
    if (progress.isRunning && canCancel)
        content.button = OffloadBannerButton::cancel;
    else if (!progress.isRunning && canDismiss)
        content.button = OffloadBannerButton::dismiss;
    content.cancelLabel = tarnText("Cancel", "İptal", language);
    content.detail = tarnText(progress.detailEN, progress.detailTR, language);

    for (std::size_t i = 0; i < kStepTitles.size(); ++i) {
        OffloadStepPill& pill = content.steps[i];
        pill.state = offloadStepState(progress, static_cast<std::int64_t>(i) + 1);
        pill.title = tarnText(kStepTitles[i][0], kStepTitles[i][1], language);
        switch (pill.state) {
        case OffloadStepState::done:
        case OffloadStepState::doneAndActive:
            pill.colour = TarnGlassTokens::success;
            pill.symbol = symbolNamed("checkmark.circle.fill");
            pill.semibold = true;
            pill.backgroundOpacity = pill.state == OffloadStepState::done ? 0.14 : 0.22;
            break;
        case OffloadStepState::active:
            pill.colour = content.accent;
            pill.symbol = symbolNamed("bolt.circle.fill");
            pill.semibold = true;
            pill.backgroundOpacity = 0.22;
            break;
        case OffloadStepState::pending:
            pill.colour = TarnGlassTokens::textMuted;
            pill.symbol = symbolNamed("circle");
            pill.semibold = false;
            pill.backgroundOpacity = 0.06;
            break;
        }
    }
    return content;
}

} // namespace tarn::suitewidgets
