#pragma once

// The history tab: the request history kept by the view model (already
// redacted), narrowed by a search text, a method and a status bucket, listed
// as a timeline beside an inspector of one entry. Rows and the inspector load
// an entry back into the workbench, copy its sanitized URL or delete it; the
// header clears the whole history.
//
// The filter and the selection live as long as the screen and are never
// saved. The filtered list, the selection and the counts are computed once
// per refresh - when the history, the language or the filter changes - and
// every row reads them from there.
//
// Threads: the GUI thread.

#include "QuillerCore/Models/RequestHistoryEntry.h"

#include <QColor>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QSplitter;

namespace tarn {
class TarnGlassButton;
class TarnGlassCard;
} // namespace tarn

namespace quiller {

class CapsuleLabel;
class HistoryEntryInspector;
class HistoryTimelineDelegate;
class HistoryTimelineModel;
class QuillerViewModel;
class SymbolTitle;
class ViewModelBridge;
struct ViewModelChanges;

class RequestHistoryTimelineView final : public QWidget {
    Q_OBJECT
public:
    RequestHistoryTimelineView(QuillerViewModel& model, ViewModelBridge& bridge,
                               QWidget* parent = nullptr);
    ~RequestHistoryTimelineView() override;

    // What the last refresh derived.
    const std::vector<RequestHistoryEntry>& filteredEntries() const;
    std::optional<RequestHistoryEntry> selectedEntry() const;
    // The entry the user last picked, kept while it is filtered out.
    const std::optional<tarn::UUID>& pickedEntryID() const;
    // The row menu while it is open.
    QMenu* rowMenu() const { return m_rowMenu; }

private:
    struct UIState;

    QWidget* buildFilterHeader();
    QWidget* buildEmptyState();
    QWidget* buildSplit();
    void onModelChanged(const ViewModelChanges& changes);
    void refresh(bool texts);
    void refreshTexts();
    void showRowMenu(const QPoint& position);

    QuillerViewModel& m_model;
    std::unique_ptr<UIState> m_ui;
    QColor m_accent;

    SymbolTitle* m_title = nullptr;
    CapsuleLabel* m_count = nullptr;
    tarn::TarnGlassButton* m_clear = nullptr;
    QLineEdit* m_search = nullptr;
    QComboBox* m_methodPicker = nullptr;
    std::array<tarn::TarnGlassButton*, 4> m_buckets{};

    tarn::TarnGlassCard* m_emptyState = nullptr;
    QLabel* m_emptyMessage = nullptr;
    QSplitter* m_split = nullptr;
    QListView* m_list = nullptr;
    HistoryTimelineModel* m_listModel = nullptr;
    HistoryTimelineDelegate* m_delegate = nullptr;
    HistoryEntryInspector* m_inspector = nullptr;
    QMenu* m_rowMenu = nullptr;
};

} // namespace quiller
