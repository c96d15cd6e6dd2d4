#pragma once

// One button of the studio header's tab strip: the tab's symbol and title in a
// rounded capsule, filled with the accent while its tab is shown.
//
// Threads: the GUI thread.

#include <QAbstractButton>
#include <QColor>
#include <QString>
#include <string>

namespace quiller {

class QuillerStudioTabButton final : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool selected READ isSelected WRITE setSelected)
    Q_PROPERTY(QColor fillColor READ fillColor)
    Q_PROPERTY(QColor borderColor READ borderColor)
    Q_PROPERTY(QColor foregroundColor READ foregroundColor)
    Q_PROPERTY(QString symbolName READ symbolName)
public:
    QuillerStudioTabButton(std::string symbolName, QColor accent, QWidget* parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // Changes the shown title; the button takes its new natural width.
    void setTitle(const QString& title);

    QColor fillColor() const;
    QColor borderColor() const;
    QColor foregroundColor() const;
    QString symbolName() const { return QString::fromStdString(m_symbolName); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont titleFont() const;

    std::string m_symbolName;
    QColor m_accent;
    bool m_selected = false;
};

} // namespace quiller
