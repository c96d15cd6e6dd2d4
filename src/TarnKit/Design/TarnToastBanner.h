#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

namespace tarn {

// The capsule that shows a transient success or error message. It shows the
// message verbatim, whatever its length; when and how long it shows belongs
// to its owner. Main thread.
class TarnToastBanner : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString message READ message)
    Q_PROPERTY(bool isError READ isError)
    Q_PROPERTY(QString symbolName READ symbolName)
    Q_PROPERTY(QColor symbolColor READ symbolColor)
public:
    TarnToastBanner(const QString& message, bool isError, QWidget* parent = nullptr);

    QString message() const { return m_message; }
    bool isError() const { return m_isError; }
    // "exclamationmark.triangle.fill" in the warning colour for an error,
    // else "checkmark.circle.fill" in the success colour.
    QString symbolName() const;
    QColor symbolColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_message;
    bool m_isError;
};

} // namespace tarn
