// Editing collections and requests, and the mock-server switch.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::addRequestToActiveCollection() {}

void QuillerViewModel::deleteRequest(const tarn::UUID&, const tarn::UUID&) {}

void QuillerViewModel::toggleProxyServer() {}

} // namespace quiller
