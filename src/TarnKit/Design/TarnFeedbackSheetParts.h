#pragma once

// Controls of the feedback composer: the kind chip, the accent-filled button
// (Send and Done) and the screenshot tile.
//
// Threads: the GUI thread.

#include "TarnKit/Cloud/TarnFeedbackService.h"

#include <QAbstractButton>
#include <QColor>
#include <QWidget>
#include <functional>

namespace tarn {

class TarnProgressIndicator;

namespace feedbacksheet {

// One feedback kind: its symbol and title in a rounded chip that fills its
// column; the selected chip takes the accent on its symbol and outline.
class KindChip : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool selected READ isSelected)
    Q_PROPERTY(QColor fillColor READ fillColor)
    Q_PROPERTY(QColor borderColor READ borderColor)
public:
    KindChip(TarnFeedbackKind kind, TarnLanguage language, QColor accent,
             QWidget* parent = nullptr);

    TarnFeedbackKind kind() const { return m_kind; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    QColor fillColor() const;
    QColor borderColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont titleFont() const;

    TarnFeedbackKind m_kind;
    QColor m_accent;
    bool m_selected = false;
};

// The bordered, accent-tinted button of a sheet's main action: white
// callout-semibold text, padded 14 by 7. While busy it shows a small spinner
// before its text and cannot be pressed.
class SendButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool busy READ isBusy)
public:
    explicit SendButton(QColor accent, QWidget* parent = nullptr);

    void setLabel(const QString& text);
    QString label() const { return text(); }
    bool isBusy() const { return m_busy; }
    // Busy: the spinner shows and the button is disabled.
    void setBusy(bool busy);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Where the spinner and the text go, leading to trailing.
    void placeSpinner();
    double contentWidth() const;

    QColor m_accent;
    bool m_busy = false;
    TarnProgressIndicator* m_spinner;
};

// One attachment: its thumbnail (when the bytes decode as an image), its
// size and a remove button, 124 points wide.
class ScreenshotTile : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool hasThumbnail READ hasThumbnail)
public:
    ScreenshotTile(const TarnFeedbackScreenshot& screenshot, std::function<void()> onRemove,
                   QWidget* parent = nullptr);

    bool hasThumbnail() const { return m_hasThumbnail; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_hasThumbnail = false;
};

} // namespace feedbacksheet
} // namespace tarn
