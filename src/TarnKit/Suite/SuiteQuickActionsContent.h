#pragma once

// The content of the quick-actions strip: which chips a situation shows, how
// a chip looks, and the text a tap reports. The strip widget only lays these
// out. Pure functions (the installation check is handed in) apart from
// triggerQuickAction, which belongs to the main thread.

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Suite/SkettoLiveStatus.h"
#include "TarnKit/Suite/SuiteWidgetContent.h"
#include "TarnKit/Suite/TarnVirtualMemorySummary.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::suitewidgets {

struct QuickActionChip {
    TarnSuiteCommandKind kind;
    // The application the chip's group belongs to, which receives its command.
    TarnSuiteApp target;
    std::string title;
    std::string_view symbol;
    TarnColor tint;
    bool emphasized = false;
    std::string helpText;

    friend bool operator==(const QuickActionChip&, const QuickActionChip&) = default;
};

// The chips in display order: the groups of the memory manager, the process
// manager and the monitor, each only when it is not `currentApp` and is
// installed. Empty when no group qualifies: the strip then draws nothing.
std::vector<QuickActionChip>
quickActionChips(TarnSuiteApp currentApp, const std::optional<TarnVirtualMemorySummary>& vmSummary,
                 const std::optional<TavlorLiveStatus>& tavlorStatus, TarnLanguage language,
                 bool compact, const std::function<bool(TarnSuiteApp)>& isInstalled);

// The measures of one chip.
struct QuickActionChipLook {
    double fillOpacity;
    double borderOpacity;
    bool whiteForeground; // symbol and title in white, else in the tint
    double symbolPointSize;
    double titlePointSize;
    double horizontalPadding;
    double verticalPadding;

    friend bool operator==(const QuickActionChipLook&, const QuickActionChipLook&) = default;
};
QuickActionChipLook quickActionChipLook(bool emphasized, bool compact);

// What a tap reports: the chip's confirmation after a successful send, else
// "<target> is not installed". Nothing for a kind no chip sends.
std::optional<std::string> quickActionFeedback(TarnSuiteCommandKind kind, bool sent,
                                               TarnLanguage language);

// One tap: sends the chip's command (starting an installed target that is
// not running) and answers the text for the host's feedback. A start that
// fails at once reports the failure text, not the confirmation. Main thread.
std::optional<std::string> triggerQuickAction(const SuiteActionPorts& ports,
                                              TarnSuiteCommandKind kind, TarnSuiteApp currentApp,
                                              TarnLanguage language);

} // namespace tarn::suitewidgets
