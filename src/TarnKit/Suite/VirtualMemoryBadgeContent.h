#pragma once

// The content of the virtual-memory header pill and gauge card: colours,
// symbols, texts, gauge fractions and the card's command buttons, all from
// one summary. The widgets only lay these out. Pure functions apart from
// pressGaugeCardButton and openHeddle, which belong to the main thread.

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Suite/SuiteWidgetContent.h"
#include "TarnKit/Suite/TarnVirtualMemorySummary.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::suitewidgets {

struct HeaderPillContent {
    TarnColor colour;
    std::string_view symbol;
    std::string title;
    std::string helpText;

    friend bool operator==(const HeaderPillContent&, const HeaderPillContent&) = default;
};
HeaderPillContent headerPillContent(const TarnVirtualMemorySummary& summary, TarnLanguage language);

// The pill's click without a host action: brings Heddle forward or starts
// the installed one; nothing when it is neither running nor installed.
void openHeddle(const SuiteActionPorts& ports);

// One capsule badge of the card's title row.
struct GaugeCardBadge {
    std::string text;
    TarnColor foreground;
    TarnColor background;
    bool bold = false; // else semibold
    bool monospaced = false;
    double horizontalPadding = 6;

    friend bool operator==(const GaugeCardBadge&, const GaugeCardBadge&) = default;
};

struct GaugeContent {
    std::string title;
    std::string valueText;
    double fraction = 0;
    // The physical gauge takes the host's accent; the virtual one this tint.
    bool usesHostAccent = false;
    TarnColor tint;

    friend bool operator==(const GaugeContent&, const GaugeContent&) = default;
};

struct StatPillContent {
    std::string label;
    std::string value;
    std::string detail; // empty: no detail line
    TarnColor valueTint;

    friend bool operator==(const StatPillContent&, const StatPillContent&) = default;
};

struct GaugeCardButton {
    TarnSuiteCommandKind kind;
    std::string label;
    std::string_view symbol;
    bool isActive = false;
    // Reported after a successful press; Disk Lab reports nothing.
    std::optional<std::string> confirmation;

    friend bool operator==(const GaugeCardButton&, const GaugeCardButton&) = default;
};

struct GaugeCardContent {
    TarnColor statusColour;
    std::string title;
    // State, then "Heddle Live" and the effective capacity when they apply.
    std::vector<GaugeCardBadge> badges;
    std::array<GaugeContent, 2> gauges; // physical, virtual
    std::array<StatPillContent, 4>
        stats; // swap, disk pools, virtual disks, RAM disks and frozen apps
    // Empty unless Heddle is installed.
    std::vector<GaugeCardButton> buttons;

    friend bool operator==(const GaugeCardContent&, const GaugeCardContent&) = default;
};
GaugeCardContent gaugeCardContent(const TarnVirtualMemorySummary& summary, TarnLanguage language,
                                  bool heddleInstalled);

// A press: sends the button's command to Heddle and answers its confirmation
// when the command was handed over and the button has one. Main thread.
std::optional<std::string> pressGaugeCardButton(const SuiteActionPorts& ports,
                                                const GaugeCardButton& button,
                                                TarnSuiteApp sourceApp);

} // namespace tarn::suitewidgets
