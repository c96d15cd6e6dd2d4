// The event-stream consoles: Server-Sent Events and the WebSocket.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::toggleSSEStream() {}

void QuillerViewModel::toggleWebSocket() {}

void QuillerViewModel::sendWebSocketMessage() {}

} // namespace quiller
