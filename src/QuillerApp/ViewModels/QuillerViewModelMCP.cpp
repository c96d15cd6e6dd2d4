// MCP server inspection: listing a server's tools and calling one.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::discoverMCPTools() {}

void QuillerViewModel::invokeSelectedMCPTool() {}

} // namespace quiller
