#include "QuillerApp/Views/ViewModelBridge.h"

#include <QMetaObject>
#include <utility>

namespace quiller {

ViewModelBridge::ViewModelBridge(QuillerViewModel& model, QObject* parent)
    : QObject(parent), m_model(model) {
    m_observer = m_model.addObserver([this](const ViewModelChange& change) { gather(change); });
}

ViewModelBridge::~ViewModelBridge() {
    m_model.removeObserver(m_observer);
}

void ViewModelBridge::gather(const ViewModelChange& change) {
    m_pending.fields.set(viewModelFields::fieldIndex(change.field));
    m_pending.records.push_back(change);
    if (m_deliveryPosted)
        return;
    m_deliveryPosted = true;
    // Queued on this object: a delivery still queued when the bridge goes is
    // dropped with it.
    QMetaObject::invokeMethod(this, &ViewModelBridge::deliver, Qt::QueuedConnection);
}

void ViewModelBridge::deliver() {
    m_deliveryPosted = false;
    // An edit's save starts before the views refresh, so that the disk works
    // while they do.
    m_model.startDueSave();
    // Taken out first: a view that changes the model while it refreshes starts
    // the next turn's set, and one that destroys the bridge is safe.
    const ViewModelChanges changes = std::exchange(m_pending, ViewModelChanges{});
    emit changed(changes);
}

} // namespace quiller
