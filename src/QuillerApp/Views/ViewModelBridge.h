#pragma once

// The views' one observer of QuillerViewModel. It gathers what changed during
// an event-loop turn - the set of fields and the change records in the order
// they were announced - and emits them once, from the event loop, so a burst
// of model changes (a keystroke's edit and save, a batch of stream events)
// costs each view one refresh.
//
// Threads: the GUI thread, which is the view model's main thread. The view
// model must outlive the bridge.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

#include <QObject>
#include <bitset>
#include <initializer_list>
#include <vector>

namespace quiller {

// What one event-loop turn changed.
struct ViewModelChanges {
    using Fields = std::bitset<viewModelFields::fieldCount>;

    Fields fields{};
    // Every record, in the order announced: a list model applies them in turn.
    std::vector<ViewModelChange> records{};

    bool contains(QuillerViewModelField field) const {
        return fields.test(viewModelFields::fieldIndex(field));
    }
    bool containsAny(std::initializer_list<QuillerViewModelField> any) const {
        for (const QuillerViewModelField field : any)
            if (contains(field))
                return true;
        return false;
    }
};

class ViewModelBridge final : public QObject {
    Q_OBJECT
public:
    explicit ViewModelBridge(QuillerViewModel& model, QObject* parent = nullptr);
    ~ViewModelBridge() override;

    QuillerViewModel& model() const { return m_model; }

signals:
    // Once per event-loop turn in which the model announced anything; never
    // inside the model's own notification.
    void changed(const quiller::ViewModelChanges& changes);

private:
    void gather(const ViewModelChange& change);
    void deliver();

    QuillerViewModel& m_model;
    QuillerViewModel::ObserverToken m_observer = 0;
    ViewModelChanges m_pending{};
    bool m_deliveryPosted = false;
};

} // namespace quiller
