#pragma once

// The content of the memory-offload progress banner: accent, step badge,
// amounts, percentage, which button the header ends with, and the state of
// each of the four step pills. The banner widget only lays these out. Pure
// functions, safe from any thread.

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Suite/HeddleLiveStatus.h"
#include "TarnKit/Utilities/TarnColor.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::suitewidgets {

enum class OffloadStepState {
    done,
    doneAndActive, // a completed summary's step that was still running
    active,
    pending,
};

// The state of step `index` (1...4) of the record.
OffloadStepState offloadStepState(const HeddleOffloadLiveProgress& progress, std::int64_t index);

struct OffloadStepPill {
    OffloadStepState state;
    std::string title;
    TarnColor colour; // symbol, title and, at backgroundOpacity, the capsule
    std::string_view symbol;
    bool semibold = false;
    double backgroundOpacity = 0;

    friend bool operator==(const OffloadStepPill&, const OffloadStepPill&) = default;
};

enum class OffloadBannerButton { none, cancel, dismiss };

struct OffloadBannerContent {
    TarnColor accent;
    // While running, a spinning indicator; otherwise the seal symbol.
    bool showsActivityIndicator = false;
    std::string stepBadge;
    std::string phaseTitle;
    std::optional<std::string> amounts;
    std::string percentText;
    OffloadBannerButton button = OffloadBannerButton::none;
    std::string cancelLabel;
    std::string detail; // empty: no detail line
    std::array<OffloadStepPill, 4> steps;

    friend bool operator==(const OffloadBannerContent&, const OffloadBannerContent&) = default;
};

// `canCancel` and `canDismiss` say whether the host handed in the actions.
OffloadBannerContent offloadBannerContent(const HeddleOffloadLiveProgress& progress,
                                          TarnLanguage language, bool canCancel, bool canDismiss);

} // namespace tarn::suitewidgets
