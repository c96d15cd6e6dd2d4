#pragma once

// The timeline's detail pane: one history entry's status, timing, size and
// date, its sanitized URL, and below them the sanitized request headers, the
// request payload and the response preview or the error. It shows what it is
// given and reports its two buttons; the timeline owns the entry.
//
// Threads: the GUI thread.

#include "QuillerCore/Models/RequestHistoryEntry.h"
#include "TarnKit/Localization/TarnLanguage.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QVBoxLayout;

namespace tarn {
class TarnGlassButton;
class TarnPrimaryButton;
} // namespace tarn

namespace quiller {

class CapsuleLabel;
class FittedTextBox;

class HistoryEntryInspector final : public QWidget {
    Q_OBJECT
public:
    HistoryEntryInspector(const QColor& accent, QWidget* parent = nullptr);

    // Rebuilds only what differs from the entry and language shown.
    void showEntry(const RequestHistoryEntry& entry, tarn::TarnLanguage language);
    const std::optional<RequestHistoryEntry>& entry() const { return m_entry; }

signals:
    void copyURLRequested();
    void loadRequested();

private:
    void rebuildHeaders(const RequestHistoryEntry& entry);

    QColor m_accent;
    std::optional<RequestHistoryEntry> m_entry;
    std::optional<tarn::TarnLanguage> m_language;

    CapsuleLabel* m_badge;
    QLabel* m_name;
    tarn::TarnGlassButton* m_copy;
    tarn::TarnPrimaryButton* m_load;
    QLabel* m_method;
    QLabel* m_duration;
    QLabel* m_bytes;
    QLabel* m_date;
    QLabel* m_url;
    QWidget* m_headersSection;
    QLabel* m_headersCaption;
    QVBoxLayout* m_headerRows;
    QWidget* m_payloadSection;
    QLabel* m_payloadCaption;
    FittedTextBox* m_payload;
    QLabel* m_resultCaption;
    FittedTextBox* m_result;
};

} // namespace quiller
