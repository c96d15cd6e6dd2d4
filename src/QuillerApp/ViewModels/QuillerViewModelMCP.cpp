// MCP server inspection: listing a server's tools and calling one.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/Numbers.h"

#include <optional>
#include <string>

namespace quiller {

void QuillerViewModel::discoverMCPTools() {
    beginBusy(BusyKind::inspectingMCP);
    runJob(
        [service = m_ports.mcpInspector, commandLine = m_mcpCommandLine](std::stop_token stop) {
            return service->inspectStdioServer(commandLine, std::nullopt, "{}", stop);
        },
        [this](MCPInspectorPort::Inspection inspection) {
            const std::size_t count = inspection.tools.size();
            std::optional<std::string> first;
            if (!inspection.tools.empty())
                first = inspection.tools.front().name;
            setMcpTools(std::move(inspection.tools));
            // A selection the user made stays, even when this server lacks it.
            if (m_selectedMCPToolName.empty() && first)
                setSelectedMCPToolName(std::move(*first));
            setMcpRawLog(std::move(inspection.rawOutput));
            endBusy(BusyKind::inspectingMCP);
            const std::string n = tarn::numbers::formatInteger(static_cast<long long>(count));
            showToast(text("Found " + n + " MCP tools.", n + " MCP aracı keşfedildi."), false);
        },
        [this](const JobFailure& failure) {
            endBusy(BusyKind::inspectingMCP);
            setMcpRawLog(failure.description);
            showToast(failure.description, true);
        });
}

void QuillerViewModel::invokeSelectedMCPTool() {
    if (m_selectedMCPToolName.empty())
        return;
    beginBusy(BusyKind::inspectingMCP);
    runJob(
        [service = m_ports.mcpInspector, commandLine = m_mcpCommandLine,
         name = m_selectedMCPToolName, arguments = m_mcpArgumentsJSON](std::stop_token stop) {
            return service->inspectStdioServer(commandLine, name, arguments, stop);
        },
        [this, name = m_selectedMCPToolName](MCPInspectorPort::Inspection inspection) {
            // Only the call's output matters: the tools stay as discovered.
            setMcpRawLog(std::move(inspection.rawOutput));
            endBusy(BusyKind::inspectingMCP);
            showToast(
                text("Executed MCP tool '" + name + "'.", "'" + name + "' MCP aracı çalıştırıldı."),
                false);
        },
        [this](const JobFailure& failure) {
            endBusy(BusyKind::inspectingMCP);
            setMcpRawLog(failure.description);
            showToast(failure.description, true);
        });
}

} // namespace quiller
