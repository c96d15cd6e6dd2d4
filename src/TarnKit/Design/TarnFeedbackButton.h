#pragma once

#include "TarnKit/Cloud/TarnFeedbackService.h"

#include <QAbstractButton>
#include <memory>
#include <optional>
#include <string>

namespace tarn {

class URLOpenerPort;

enum class TarnFeedbackButtonStyle { compactIcon, labeledPill };

// The small button that opens the maker's web feedback page for this
// application, version, kind and language in the default browser. Two looks:
// a compact icon capsule and a labelled glass pill. Main thread.
class TarnFeedbackButton : public QAbstractButton {
    Q_OBJECT
public:
    // Without an opener the page opens in the desktop's browser.
    TarnFeedbackButton(std::string appName, TarnAppVersion version, TarnFeedbackKind kind,
                       TarnLanguage language, TarnFeedbackButtonStyle style,
                       std::optional<std::string> baseURL,
                       std::shared_ptr<URLOpenerPort> opener = nullptr, QWidget* parent = nullptr);

    TarnFeedbackButtonStyle style() const { return m_style; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr const char* symbol = "bubble.left.and.exclamationmark.bubble.right";

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_appName;
    TarnAppVersion m_version;
    TarnFeedbackKind m_kind;
    TarnLanguage m_language;
    TarnFeedbackButtonStyle m_style;
    std::optional<std::string> m_baseURL;
    std::shared_ptr<URLOpenerPort> m_opener;
};

} // namespace tarn
