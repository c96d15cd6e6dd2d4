// Sending the active request, and the request history.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::sendActiveRequest() {}

void QuillerViewModel::recordHistorySuccess(const APIRequestSpec&, const HTTPResponseSnapshot&,
                                            const VariableMap&) {}

void QuillerViewModel::loadHistoryEntry(const RequestHistoryEntry&) {}

void QuillerViewModel::deleteHistoryEntry(const tarn::UUID&) {}

void QuillerViewModel::clearExecutionHistory() {}

} // namespace quiller
