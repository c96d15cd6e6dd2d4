#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/PlatformError.h"
#include "support/ViewModelFakes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quiller::testing {
namespace {

using Inspection = MCPInspectorPort::Inspection;

MCPToolDescriptor tool(std::string name) {
    return MCPToolDescriptor{.name = std::move(name), .description = "", .inputSchemaJSON = "{}"};
}

class MCPTest : public ViewModelTest {
protected:
    void serverLists(std::vector<MCPToolDescriptor> tools, std::string output = "raw") {
        mcp->onInspect = [tools, output](const auto&, std::stop_token) {
            return Inspection{.tools = tools, .rawOutput = output};
        };
    }
    void serverFails(std::string message) {
        mcp->onInspect = [message](const auto&, std::stop_token) -> Inspection {
            throw tarn::PlatformError("Quiller", 1, message);
        };
    }
};

TEST_F(MCPTest, DiscoverySelectsTheFirstToolOnlyWhenNothingIsSelected) {
    struct Case {
        std::string label;
        std::vector<MCPToolDescriptor> tools;
        std::string selectedBefore;
        std::string selectedAfter;
        tarn::TarnLanguage language;
        std::string toast;
    };
    const std::vector<Case> cases = {
        {"two tools, none selected",
         {tool("echo"), tool("add")},
         "",
         "echo",
         tarn::TarnLanguage::en,
         "Found 2 MCP tools."},
        {"Turkish",
         {tool("echo"), tool("add")},
         "",
         "echo",
         tarn::TarnLanguage::tr,
         "2 MCP aracı keşfedildi."},
        {"selection kept though missing",
         {tool("echo")},
         "gone",
         "gone",
         tarn::TarnLanguage::en,
         "Found 1 MCP tools."},
        {"no tools", {}, "", "", tarn::TarnLanguage::en, "Found 0 MCP tools."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        language = c.language;
        serverLists(c.tools, "out");
        makeViewModel();
        vm().setMcpCommandLine("server --stdio");
        vm().setSelectedMCPToolName(c.selectedBefore);
        mcp->calls.clear();

        vm().discoverMCPTools();
        EXPECT_TRUE(vm().isInspectingMCP());
        settle();

        ASSERT_EQ(mcp->calls.size(), 1u);
        EXPECT_EQ(mcp->calls[0].commandLine, "server --stdio");
        EXPECT_EQ(mcp->calls[0].toolName, std::nullopt);
        EXPECT_EQ(mcp->calls[0].argumentsJSON, "{}");
        EXPECT_EQ(vm().mcpTools(), c.tools);
        EXPECT_EQ(vm().selectedMCPToolName(), c.selectedAfter);
        EXPECT_EQ(vm().mcpRawLog(), "out");
        EXPECT_FALSE(vm().isInspectingMCP());
        EXPECT_EQ(vm().toastMessage(), c.toast);
        EXPECT_FALSE(vm().toastIsError());
    }
}

TEST_F(MCPTest, FailedDiscoveryKeepsEarlierToolsAndLogsTheError) {
    serverLists({tool("echo")});
    makeViewModel();
    vm().discoverMCPTools();
    settle();

    serverFails("Empty MCP server command.");
    vm().discoverMCPTools();
    settle();
    EXPECT_EQ(vm().mcpTools(), (std::vector<MCPToolDescriptor>{tool("echo")}));
    EXPECT_EQ(vm().selectedMCPToolName(), "echo");
    EXPECT_EQ(vm().mcpRawLog(), "Empty MCP server command.");
    EXPECT_EQ(vm().toastMessage(), "Empty MCP server command.");
    EXPECT_TRUE(vm().toastIsError());
    EXPECT_FALSE(vm().isInspectingMCP());
}

TEST_F(MCPTest, CallingAToolLogsItsOutputAndKeepsTheDiscoveredTools) {
    serverLists({tool("echo"), tool("add")});
    language = tarn::TarnLanguage::tr;
    makeViewModel();
    vm().discoverMCPTools();
    settle();

    serverLists({tool("other")}, "called");
    vm().setSelectedMCPToolName("add");
    vm().setMcpArgumentsJSON("{not json");
    vm().invokeSelectedMCPTool();
    // What the call uses is taken when it starts.
    vm().setSelectedMCPToolName("echo");
    settle();

    ASSERT_EQ(mcp->calls.size(), 2u);
    EXPECT_EQ(mcp->calls[1].toolName, "add");
    EXPECT_EQ(mcp->calls[1].argumentsJSON, "{not json");
    EXPECT_EQ(vm().mcpRawLog(), "called");
    EXPECT_EQ(vm().mcpTools(), (std::vector<MCPToolDescriptor>{tool("echo"), tool("add")}));
    EXPECT_EQ(vm().toastMessage(), "'add' MCP aracı çalıştırıldı.");
    EXPECT_FALSE(vm().isInspectingMCP());

    serverFails("spawn failed");
    vm().invokeSelectedMCPTool();
    settle();
    EXPECT_EQ(vm().mcpRawLog(), "spawn failed");
    EXPECT_EQ(vm().toastMessage(), "spawn failed");
    EXPECT_TRUE(vm().toastIsError());
}

TEST_F(MCPTest, CallWithoutSelectionDoesNothing) {
    makeViewModel();
    vm().setMcpRawLog("before");
    notifications.clear();
    vm().invokeSelectedMCPTool();
    settle();
    EXPECT_TRUE(mcp->calls.empty());
    EXPECT_TRUE(notifications.empty());
    EXPECT_EQ(vm().toastMessage(), std::nullopt);
}

TEST_F(MCPTest, BusyFlagStaysUpUntilTheLastRunEnds) {
    serverLists({tool("echo")});
    makeViewModel();
    vm().discoverMCPTools();
    vm().invokeSelectedMCPTool(); // nothing selected yet: silent
    vm().setSelectedMCPToolName("echo");
    vm().invokeSelectedMCPTool();
    ASSERT_EQ(background->size(), 2u);

    background->run(0);
    main->runUntilIdle();
    EXPECT_TRUE(vm().isInspectingMCP());
    background->run(1);
    main->runUntilIdle();
    EXPECT_FALSE(vm().isInspectingMCP());
}

} // namespace
} // namespace quiller::testing
