#pragma once

// The painted pieces the suite widgets (quick-actions strip, memory pill and
// gauge card, offload banner) are built from: a capsule with an optional dot,
// symbol and text; a progress bar; a text line that elides (or first shrinks);
// and a small spinning activity indicator. Main thread.

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <string>
#include <string_view>

class QTimer;

namespace tarn {

struct TarnCapsuleLook {
    QColor fill = Qt::transparent;
    QColor border = Qt::transparent;
    double borderWidth = 0; // drawn inside the edge
    QColor foreground;      // dot, symbol and text
    QFont font;
    double symbolSize = 0; // 0: no symbol
    double horizontalPadding = 6;
    double verticalPadding = 2;
    double spacing = 5;
    double dotDiameter = 0;   // 0: no dot
    double cornerRadius = -1; // below 0: a capsule
    bool stretches = false;   // takes the width it is given, content centred
};

// A capsule of content: [dot] [symbol] [text]. Clickable when its clicked()
// signal is used; badges simply leave it unconnected.
class TarnCapsule : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor)
    Q_PROPERTY(QColor borderColor READ borderColor)
    Q_PROPERTY(QColor foregroundColor READ foregroundColor)
    Q_PROPERTY(QString symbolName READ symbolName)
public:
    TarnCapsule(const QString& text, std::string_view symbol, const TarnCapsuleLook& look,
                QWidget* parent = nullptr);

    QColor fillColor() const { return m_look.fill; }
    QColor borderColor() const { return m_look.border; }
    QColor foregroundColor() const { return m_look.foreground; }
    QString symbolName() const { return QString::fromStdString(m_symbol); }
    const TarnCapsuleLook& look() const { return m_look; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override {
        return m_look.stretches ? QSize(0, sizeHint().height()) : sizeHint();
    }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    double contentWidth() const;

    std::string m_symbol;
    TarnCapsuleLook m_look;
};

// A symbol alone, `size` logical pixels square, that lets clicks through.
TarnCapsule* symbolGlyph(std::string_view symbol, double size, const QColor& colour);

// Which minimum a fill keeps: the gauge's 4 points or the banner's 6.
enum class TarnFillRule { gauge, banner };

// A capsule track under a capsule fill with a left-to-right gradient. The fill
// never leaves the bar, whatever the fraction.
class TarnFillBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double fraction READ fraction)
    Q_PROPERTY(double fillWidth READ fillWidth)
public:
    TarnFillBar(double fraction, double height, TarnFillRule rule, const QColor& track,
                const QColor& fillStart, const QColor& fillEnd, QWidget* parent = nullptr);

    double fraction() const { return m_fraction; }
    // The fill's width at the bar's current width.
    double fillWidth() const;

    QSize sizeHint() const override { return {40, m_height}; }
    QSize minimumSizeHint() const override { return {0, m_height}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_fraction;
    int m_height;
    TarnFillRule m_rule;
    QColor m_track;
    QColor m_fillStart;
    QColor m_fillEnd;
};

// Text in one font and colour on at most `maximumLines` lines (wrapping at
// words), cut with an ellipsis where it does not fit. With a minimum scale
// below 1, a single line first shrinks down to that share of its size.
class TarnTextLine : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text)
    Q_PROPERTY(QColor color READ color)
public:
    TarnTextLine(const QString& text, const QFont& font, const QColor& colour,
                 QWidget* parent = nullptr);

    void setElideMode(Qt::TextElideMode mode);
    void setMaximumLines(int lines);
    void setMinimumScale(double scale);

    QString text() const { return m_text; }
    QColor color() const { return m_colour; }
    int maximumLines() const { return m_maximumLines; }
    // The font the text is drawn in at the current width (after shrinking).
    QFont shownFont() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return m_maximumLines > 1; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_colour;
    Qt::TextElideMode m_elide = Qt::ElideRight;
    int m_maximumLines = 1;
    double m_minimumScale = 1;
};

// A small indeterminate spinner: twelve ticks turning.
class TarnActivityIndicator : public QWidget {
    Q_OBJECT
public:
    TarnActivityIndicator(int side, const QColor& colour, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {m_side, m_side}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_side;
    QColor m_colour;
    int m_step = 0;
    QTimer* m_timer;
};

} // namespace tarn
