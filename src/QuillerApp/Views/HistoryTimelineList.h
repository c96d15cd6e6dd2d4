#pragma once

// The timeline's list: a model over the filtered entries (newest first) with
// the selected entry's identity, and the delegate that paints each row with
// its Load Request button, so a full history costs no widgets per row. Rows
// are replaced only when the listed identities change; otherwise updated in
// place.
//
// Threads: the GUI thread.

#include "QuillerCore/Models/RequestHistoryEntry.h"
#include "TarnKit/Platform/UUID.h"

#include <QAbstractListModel>
#include <QColor>
#include <QFont>
#include <QStyledItemDelegate>
#include <chrono>
#include <optional>
#include <vector>

namespace quiller {

// The row's time of day, "HH:mm:ss", and the inspector's date: the locale's
// short date and its time with seconds. In the user's locale and time zone;
// the patterns are read once.
QString historyTimeText(std::chrono::system_clock::time_point timestamp);
QString historyFullDateText(std::chrono::system_clock::time_point timestamp);

class HistoryTimelineModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { selectedRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    void setEntries(std::vector<RequestHistoryEntry> entries, std::optional<tarn::UUID> selectedID);
    const std::vector<RequestHistoryEntry>& entries() const { return m_entries; }
    const RequestHistoryEntry& entry(int row) const {
        return m_entries[static_cast<std::size_t>(row)];
    }
    const std::optional<tarn::UUID>& selectedID() const { return m_selectedID; }
    // How often the rows were replaced rather than updated (for tests).
    int resets() const { return m_resets; }

    int rowCount(const QModelIndex& parent = {}) const override;
    // Display: the request name; selectedRole: whether the row is the
    // inspector's entry.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<RequestHistoryEntry> m_entries;
    std::optional<tarn::UUID> m_selectedID;
    int m_resets = 0;
};

class HistoryTimelineDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    HistoryTimelineDelegate(const QColor& accent, QObject* parent = nullptr);

    void setLoadButtonText(const QString& text);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Where a row drawn in `rowRect` has its Load Request button.
    QRect loadButtonRect(const QRect& rowRect) const;
    // The painted row within the item's rectangle (the rest is the gap).
    static QRect rowBox(const QRect& itemRect);

signals:
    void rowPicked(int row);
    void loadRequested(int row);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    int rowHeight() const;

    QColor m_accent;
    QString m_loadText;
    QFont m_methodFont;
    QFont m_badgeFont;
    QFont m_nameFont;
    QFont m_urlFont;
    QFont m_durationFont;
    QFont m_timeFont;
    QFont m_buttonFont;
    // The row whose button the pointer holds down.
    int m_pressedButtonRow = -1;
};

} // namespace quiller
