#pragma once

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Suite/SuiteQuickActionsContent.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace tarn {

// A row of capsule chips that send suite commands to the memory manager, the
// process manager and the monitor: a studio bar with a title, or a compact
// row. Built whole from its inputs (the host rebuilds it to refresh); a tap
// sends through `ports` and hands the confirmation or failure text to
// `onFeedback`. Draws nothing at all, and stays hidden, when no sibling
// qualifies. Main thread.
class TarnSuiteQuickActionsStrip : public QWidget {
    Q_OBJECT
public:
    using Feedback = std::function<void(const QString&)>;

    TarnSuiteQuickActionsStrip(TarnSuiteApp currentApp,
                               std::optional<TarnVirtualMemorySummary> vmSummary,
                               std::optional<TavlorLiveStatus> tavlorStatus, TarnLanguage language,
                               bool compact, Feedback onFeedback,
                               suitewidgets::SuiteActionPorts ports, QWidget* parent = nullptr);

    bool isEmpty() const { return m_chips.empty(); }
    const std::vector<suitewidgets::QuickActionChip>& chips() const { return m_chips; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void trigger(TarnSuiteCommandKind kind);

    TarnSuiteApp m_currentApp;
    TarnLanguage m_language;
    bool m_compact;
    Feedback m_onFeedback;
    suitewidgets::SuiteActionPorts m_ports;
    std::vector<suitewidgets::QuickActionChip> m_chips;
};

} // namespace tarn
