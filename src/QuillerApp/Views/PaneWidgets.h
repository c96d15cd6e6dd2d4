#pragma once

// Small pieces the mock-server, environments and MCP screens are built from:
// filled rounded rows and panels, the status dot, the plain trash button,
// labels and toggles in the glass colours, and the screens' accent.
//
// Threads: the GUI thread.

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Utilities/TarnColor.h"

#include <QColor>
#include <QWidget>
#include <initializer_list>
#include <string_view>

class QCheckBox;
class QFont;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSplitter;
class QToolButton;
class QVBoxLayout;

namespace tarn {
class TarnGlassCard;
}

namespace quiller {

enum class QuillerViewModelField;
struct ViewModelChanges;

// The application palette's accent, which the studio gives its feature screens.
QColor screenAccent();

// The text for `language` from its English and Turkish literals.
QString screenText(std::string_view en, std::string_view tr, tarn::TarnLanguage language);

// A label in `font` and `colour`.
QLabel* makeLabel(const QFont& font, const tarn::TarnColor& colour, QWidget* parent = nullptr);
// A check-box toggle with its text in `colour`.
QCheckBox* makeToggle(const tarn::TarnColor& colour, QWidget* parent = nullptr);
// A one-line glass field with a fixed placeholder.
QLineEdit* makeField(const QString& placeholder, QWidget* parent = nullptr);
// The plain button with the "trash" symbol in the danger colour.
QToolButton* makeTrashButton(QWidget* parent = nullptr);
// Sets the colour a widget draws its text in.
void setTextColour(QWidget* widget, const QColor& colour);

// Whether a refresh has to look at the fields: always on the first refresh
// (no changes), else when the turn changed one of them.
bool needsRefresh(const ViewModelChanges* changes,
                  std::initializer_list<QuillerViewModelField> fields);

// A glass card around a column of widgets `spacing` apart.
struct CardColumn {
    tarn::TarnGlassCard* card = nullptr;
    QWidget* content = nullptr;
    QVBoxLayout* column = nullptr;
};
CardColumn makeCardColumn(const char* name, double padding, double cornerRadius, int spacing);

// The two panes side by side with a movable divider, sharing the width
// leftShare : rightShare at first.
QSplitter* makePaneSplit(const char* name, QWidget* left, QWidget* right, int leftShare,
                         int rightShare, QWidget* parent);

// A vertical scroll area with indicators over a transparent column of rows
// `spacing` apart; rows go before the column's closing stretch.
struct ScrollColumn {
    QScrollArea* area = nullptr;
    QVBoxLayout* column = nullptr;
};
ScrollColumn makeScrollColumn(int spacing, QWidget* parent = nullptr);

// A rounded rectangle filled with one colour (no border) around a content
// area inset by `padding`; the caller lays out its children through layout().
// A press and release inside it is a click.
class RoundedPane : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
public:
    RoundedPane(const QColor& fill, double cornerRadius, int padding, QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& fill);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor m_fill;
    double m_cornerRadius;
    bool m_pressed = false;
};

// A filled circle, 10 by 10: success while lit, muted otherwise.
class StatusDot : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool lit READ isLit WRITE setLit)
    Q_PROPERTY(QColor colour READ colour)
public:
    explicit StatusDot(QWidget* parent = nullptr);

    bool isLit() const { return m_lit; }
    void setLit(bool lit);
    QColor colour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_lit = false;
};

} // namespace quiller
