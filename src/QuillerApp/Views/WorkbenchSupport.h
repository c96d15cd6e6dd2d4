#pragma once

// Small pieces the panes of the request workbench share: the texts of the
// send shortcut, the write-through edit of the active request, button rows,
// the busy indicator and the look of the fields, pickers and text panes.
//
// Threads: the GUI thread.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/PlatformQt/QtConversions.h"

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

class QAbstractButton;
class QComboBox;
class QFrame;
class QIcon;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QHBoxLayout;

namespace tarn {
class TarnGlassButton;
}

namespace quiller::workbench {

// The whole phrases that name the send shortcut. Ctrl stands for the other
// system's command key, in both languages.
inline constexpr std::string_view sendLabelEn = "Send (Ctrl+\u21A9)";
inline constexpr std::string_view sendLabelTr = "G\u00F6nder (Ctrl+\u21A9)";
inline constexpr std::string_view placeholderEn =
    "Press Send (Ctrl+\u21A9) to inspect status, timing waterfall & JSON.";
inline constexpr std::string_view placeholderTr =
    "Durum kodu, zaman \u015Felalesi ve JSON incelemek i\u00E7in G\u00F6nder\u2019e (Ctrl+\u21A9) "
    "bas\u0131n.";

using tarn::qt::toQString;

// The text for the view model's interface language.
QString text(const QuillerViewModel& model, std::string_view en, std::string_view tr);

// The write-through edit: applies `edit` to the request that is active now
// (looked up at the moment of the write), announces it and saves the
// workspace. Without an active request the edit is dropped and nothing is
// saved; returns whether it was applied.
bool editActiveRequest(QuillerViewModel& model, const std::function<void(APIRequestSpec&)>& edit);

// A row of glass buttons `spacing` apart and closed by a stretch: the tab
// rows and the segmented pickers. Button i shows titles[i], is named
// names[i], lands in buttons[i] and calls onPress(i).
QHBoxLayout* glassButtonRow(QWidget* owner, const std::vector<QString>& titles,
                            const std::vector<QString>& names, int spacing,
                            const std::function<void(std::size_t)>& onPress,
                            std::span<tarn::TarnGlassButton*> buttons);
// Draws buttons[active] as the active one, the others at rest.
void setActiveButton(std::span<tarn::TarnGlassButton* const> buttons, std::size_t active);

// A one-point line in the subtle border colour, horizontal or vertical.
QFrame* divider(Qt::Orientation orientation, QWidget* parent = nullptr);
// A plain-text label in the system font of `pixelSize` and `colour`.
QLabel* label(const QString& text, qreal pixelSize, int weight, bool monospaced,
              const QColor& colour, QWidget* parent = nullptr);
// The rounded-border field of the workbench's forms.
void styleField(QLineEdit* field, bool monospaced = false, qreal pixelSize = 13);
// The dark glass look of the workbench's pickers.
void styleComboBox(QComboBox* box);
// A text pane on black at 0.28 in a rounded rectangle of radius 8, with
// `padding` around the text; `monospacedSize` picks its font.
void styleTextPane(QPlainTextEdit* pane, int padding, qreal monospacedSize);

} // namespace quiller::workbench

namespace quiller::workbench {

// The small turning arc shown in a button while its work runs. It turns only
// while visible.
class BusyIndicator final : public QWidget {
public:
    BusyIndicator(const QColor& colour, int diameter, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QColor m_colour;
    int m_angle = 0;
    int m_timer = 0;
};

// A hidden indicator centred in the button, in `colour`.
BusyIndicator* attachBusyIndicator(QAbstractButton* button, const QColor& colour);
// Shows `indicator` in place of the button's label while `busy`: the button
// keeps its size and cannot be pressed. `label` and `icon` are what it shows
// otherwise.
void showBusy(QAbstractButton* button, BusyIndicator* indicator, bool busy, const QString& label,
              const QIcon& icon);

} // namespace quiller::workbench
