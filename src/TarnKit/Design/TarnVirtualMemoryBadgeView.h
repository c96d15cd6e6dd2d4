#pragma once

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Suite/VirtualMemoryBadgeContent.h"

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>

namespace tarn {

class TarnCapsule;

// A capsule for a window header saying whether virtual memory is in use and
// how much. A click runs `onTap`, or without one brings Heddle forward (or
// starts it). Built whole from the summary; the host rebuilds it to refresh.
// Main thread.
class TarnVirtualMemoryHeaderPill : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor colour READ colour)
public:
    TarnVirtualMemoryHeaderPill(const TarnVirtualMemorySummary& summary, TarnLanguage language,
                                std::function<void()> onTap, suitewidgets::SuiteActionPorts ports,
                                QWidget* parent = nullptr);

    const suitewidgets::HeaderPillContent& content() const { return m_content; }
    QColor colour() const;
    TarnCapsule* capsule() const { return m_capsule; }

private:
    suitewidgets::HeaderPillContent m_content;
    TarnCapsule* m_capsule;
};

// A glass card with the memory gauges, four stat pills and, when Heddle is
// installed, buttons that send it memory commands; `onFeedback` receives the
// confirmation of a command handed over. Built whole from the summary; the
// host rebuilds it to refresh. Main thread.
class TarnVirtualMemoryGaugeCard : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor statusColour READ statusColour)
    Q_PROPERTY(bool headerInOneRow READ headerInOneRow)
public:
    using Feedback = std::function<void(const QString&)>;

    TarnVirtualMemoryGaugeCard(const TarnVirtualMemorySummary& summary, TarnLanguage language,
                               const QColor& accentColor, TarnSuiteApp sourceApp,
                               Feedback onFeedback, suitewidgets::SuiteActionPorts ports,
                               QWidget* parent = nullptr);

    const suitewidgets::GaugeCardContent& content() const { return m_content; }
    QColor statusColour() const;
    // Whether the title badges and the buttons share one row (else the
    // buttons sit below the badges).
    bool headerInOneRow() const;

private:
    void press(const suitewidgets::GaugeCardButton& button);

    suitewidgets::GaugeCardContent m_content;
    TarnSuiteApp m_sourceApp;
    Feedback m_onFeedback;
    suitewidgets::SuiteActionPorts m_ports;
    QWidget* m_header = nullptr;
};

} // namespace tarn
