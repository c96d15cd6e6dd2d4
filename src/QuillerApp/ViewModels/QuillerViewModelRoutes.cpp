// Mock routes, replaying captured exchanges, the active environment's variables
// and launch at login.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::removeMockRoute(const MockRouteRule&) {}

void QuillerViewModel::replayExchangeInClient(const CapturedProxyExchange&) {}

void QuillerViewModel::addVariableToActiveEnvironment(const std::string&, const std::string&,
                                                      bool) {}

void QuillerViewModel::removeVariable(const tarn::UUID&) {}

void QuillerViewModel::toggleLaunchAtLogin(bool) {}

} // namespace quiller
