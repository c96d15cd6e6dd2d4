#pragma once

// Small pieces the screens share: a title with its symbol, a text on a
// capsule, a rounded fill behind content, and the screens' text lookup.
//
// Threads: the GUI thread.

#include "TarnKit/Localization/TarnLanguage.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <string_view>

class QAbstractButton;
class QScrollArea;
class QLabel;

namespace tarn {
class TarnProgressIndicator;
}

namespace quiller {

// tarnText as a QString.
QString viewText(std::string_view en, std::string_view tr, tarn::TarnLanguage language);

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

// A rounded rectangle filled with one colour behind its layout's widgets
// (rows, tiles, the URL and payload boxes).
class RoundedFill final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
public:
    RoundedFill(const QColor& fill, double cornerRadius, QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& fill);
    QColor borderColor() const { return m_border; }
    // A 1-wide border inside the shape; transparent for none.
    void setBorderColor(const QColor& border);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QColor m_border = Qt::transparent;
    double m_cornerRadius;
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

// A frameless scroll view around `content` whose backdrop shows through.
QScrollArea* makeClearScrollArea(QWidget* content, QWidget* parent = nullptr);

// A plain-text label in one font and colour.
QLabel* makeLabel(const QFont& font, const QColor& colour, QWidget* parent = nullptr);
void setLabelColour(QLabel* label, const QColor& colour);

} // namespace quiller
