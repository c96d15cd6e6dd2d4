#pragma once

#include <QWidget>

class QLabel;

namespace tarn {

class TarnGlassButton;

// A whole number moved in fixed steps within a closed range: a label (a
// prefix followed by the value) and a "−" and a "+" glass button, each
// disabled at its bound. Nothing can be typed, so the value is always one the
// steps reach. Main thread.
class TarnStepper : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int value READ value)
public:
    // `value` is brought into [minimum, maximum].
    TarnStepper(const QString& prefix, int minimum, int maximum, int step, int value,
                QWidget* parent = nullptr);

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int step() const { return m_step; }

    // Shows `value`, held within the range, without emitting stepped().
    void setValue(int value);
    void setPrefix(const QString& prefix);
    void setForeground(const QColor& colour);

    QLabel* label() const { return m_label; }
    TarnGlassButton* decrementButton() const { return m_decrement; }
    TarnGlassButton* incrementButton() const { return m_increment; }

signals:
    // The user moved the value by one step.
    void stepped(int value);

private:
    void stepBy(int direction);
    void refresh();

    QString m_prefix;
    int m_minimum;
    int m_maximum;
    int m_step;
    int m_value;
    QLabel* m_label;
    TarnGlassButton* m_decrement;
    TarnGlassButton* m_increment;
};

} // namespace tarn
