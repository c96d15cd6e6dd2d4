#pragma once

// Small pieces the screens share: the text lookup, plain labels and the
// colour of a widget's text, columns, the clear scroll column, glass card
// columns and pane splits, form pieces, a title with its symbol, a text on a
// capsule, the status dot, a button that turns busy and a fitted text box.
//
// Threads: the GUI thread.

#include "TarnKit/Localization/TarnLanguage.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <string_view>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSplitter;
class QToolButton;
class QVBoxLayout;

namespace tarn {
class TarnGlassCard;
class TarnProgressIndicator;
} // namespace tarn

namespace quiller {

enum class QuillerViewModelField;
struct ViewModelChanges;

// The text for `language` from its English and Turkish literals.
QString viewText(std::string_view en, std::string_view tr, tarn::TarnLanguage language);

// A plain-text label in `font` and `colour`.
QLabel* makeLabel(const QFont& font, const QColor& colour, QWidget* parent = nullptr);
// Sets the colour a widget draws its text in (labels, fields, toggles, buttons).
void setTextColour(QWidget* widget, const QColor& colour);

// A column layout on `owner` without margins.
QVBoxLayout* columnLayout(QWidget* owner, int spacing);

// A check-box toggle with its text in `colour`.
QCheckBox* makeToggle(const QColor& colour, QWidget* parent = nullptr);
// A one-line glass field with a fixed placeholder.
QLineEdit* makeField(const QString& placeholder, QWidget* parent = nullptr);
// The plain button with the "trash" symbol in the danger colour.
QToolButton* makeTrashButton(QWidget* parent = nullptr);

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

// A frameless vertical scroll view around `content`, which resizes with it and
// whose backdrop shows through.
QScrollArea* makeClearScrollArea(QWidget* content, QWidget* parent = nullptr);

// A clear scroll view over a column of rows `spacing` apart; rows go before
// the column's closing stretch.
struct ScrollColumn {
    QScrollArea* area = nullptr;
    QVBoxLayout* column = nullptr;
};
ScrollColumn makeScrollColumn(int spacing, QWidget* parent = nullptr);

// A symbol followed by a one-line text, both in one colour (a title, a
// caption).
class SymbolTitle final : public QWidget {
    Q_OBJECT
public:
    // `symbol` is a name of the symbol registry (write it with tarn::symbolNamed).
    SymbolTitle(std::string_view symbol, const QFont& font, const QColor& colour,
                QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    QLabel* textLabel() const { return m_text; }

private:
    QLabel* m_text;
};

// A one-line text on a capsule: the status badges and the count capsule.
class CapsuleLabel final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text)
    Q_PROPERTY(QColor fillColor READ fillColor)
    Q_PROPERTY(QColor textColor READ textColor)
public:
    CapsuleLabel(const QFont& font, int horizontalPadding, int verticalPadding,
                 QWidget* parent = nullptr);

    // Repaints only when something changed.
    void setCapsule(const QString& text, const QColor& textColour, const QColor& fill);

    QString text() const { return m_text; }
    QColor fillColor() const { return m_fill; }
    QColor textColor() const { return m_textColour; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_textColour;
    QColor m_fill;
    int m_horizontal;
    int m_vertical;
};

// A filled circle, 10 by 10: success while lit, muted otherwise.
class StatusDot final : public QWidget {
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

// A button whose label gives way to a small spinner while its work runs.
class BusyButton final {
public:
    // Adds the spinner, hidden, in `colour` to `button`, which keeps
    // ownership of it.
    BusyButton(QAbstractButton* button, const QColor& colour);

    // The label shown while not busy.
    void setLabel(const QString& text, const QIcon& icon);
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    QAbstractButton* button() const { return m_button; }
    tarn::TarnProgressIndicator* spinner() const { return m_spinner; }

private:
    void refresh();

    QAbstractButton* m_button;
    tarn::TarnProgressIndicator* m_spinner;
    QString m_text;
    QIcon m_icon;
    bool m_busy = false;
};

// A read-only, selectable text box as tall as its wrapped text (it sits in a
// scrolling page), for texts that can be long: bodies, snippets, errors.
class FittedTextBox final : public QPlainTextEdit {
    Q_OBJECT
public:
    FittedTextBox(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    // Replaces the text only when it differs.
    void setText(const QString& text);
    void setTextColour(const QColor& colour);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();
    int m_fittedHeight = 0;
};

} // namespace quiller
