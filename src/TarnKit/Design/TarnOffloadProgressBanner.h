#pragma once

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Suite/OffloadProgressContent.h"

#include <QColor>
#include <QWidget>
#include <functional>

namespace tarn {

// A rounded banner showing a memory offload: status symbol, step badge, phase
// title, amounts, percentage, Cancel or close, a progress bar, a detail line
// and, in the full layout, four step pills. Built whole from the record; the
// host rebuilds it to refresh. Cancel is offered only with `onCancel` while
// running, close only with `onDismiss` once stopped. Main thread.
class TarnOffloadProgressBanner : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor accentColor READ accentColor)
public:
    TarnOffloadProgressBanner(const HeddleOffloadLiveProgress& progress, TarnLanguage language,
                              bool compact, std::function<void()> onCancel,
                              std::function<void()> onDismiss, QWidget* parent = nullptr);

    const suitewidgets::OffloadBannerContent& content() const { return m_content; }
    QColor accentColor() const;
    bool isCompact() const { return m_compact; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    suitewidgets::OffloadBannerContent m_content;
    bool m_compact;
};

} // namespace tarn
