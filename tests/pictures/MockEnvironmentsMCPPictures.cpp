// Pictures of the mock-server, environments and MCP inspector tabs, each over
// the application's ground as the studio shows them, with content and empty.

#include "PictureRegistry.h"
#include "QuillerApp/Views/EnvironmentsAndSettingsView.h"
#include "QuillerApp/Views/LocalProxyAndMockView.h"
#include "QuillerApp/Views/MCPInspectorView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnGroundBackground.h"

#include <QVBoxLayout>
#include <chrono>
#include <memory>

namespace quiller::pictures {
namespace {

// The screen on the ground, at the size of the studio's tab area; the bridge
// lives with the picture.
template <class Screen> std::unique_ptr<QWidget> screen(PictureContext& context) {
    auto ground =
        std::make_unique<tarn::TarnGroundBackground>(tarn::TarnProductPalette::deepIndigo);
    auto* bridge = new ViewModelBridge(context.viewModel(), ground.get());
    auto* layout = new QVBoxLayout(ground.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new Screen(context.viewModel(), *bridge));
    ground->resize(1280, 720);
    return ground;
}

CapturedProxyExchange exchange(std::string method, std::string path, int status, int secondsAgo) {
    return CapturedProxyExchange{.timestamp = std::chrono::system_clock::time_point(
                                     std::chrono::seconds(1'700'000'000 - secondsAgo)),
                                 .method = std::move(method),
                                 .path = std::move(path),
                                 .statusCode = status};
}

std::unique_ptr<QWidget> mockServer(PictureContext& context) {
    QuillerViewModel& vm = context.viewModel();
    vm.setMockRoutes({
        MockRouteRule{.method = "post", .path = "/v1/orders", .statusCode = 201},
        MockRouteRule{.method = "GET", .path = "/v1/custom", .statusCode = 200},
        MockRouteRule{.method = "*", .path = "/v1/health", .statusCode = 204},
        MockRouteRule{.method = "DELETE", .path = "/v1/items/42", .statusCode = 404},
    });
    vm.toggleProxyServer();
    vm.setCapturedExchanges({exchange("GET", "/v1/custom?page=2", 200, 3),
                             exchange("POST", "/v1/orders", 201, 9),
                             exchange("GET", "/quiller/inspect", 200, 30)});
    return screen<LocalProxyAndMockView>(context);
}

std::unique_ptr<QWidget> mockServerEmpty(PictureContext& context) {
    context.viewModel().setMockRoutes({});
    return screen<LocalProxyAndMockView>(context);
}

std::unique_ptr<QWidget> environments(PictureContext& context) {
    QuillerViewModel& vm = context.viewModel();
    std::vector<APIEnvironmentProfile> list = vm.environments();
    if (!list.empty()) {
        list[0].variables.push_back(
            KeyValueRow{.key = "clientSecret", .value = "cs-123", .isSecret = true});
        list[0].variables.push_back(KeyValueRow{.key = "region", .value = "eu-central-1"});
        vm.setEnvironments(list);
        vm.setActiveEnvironmentID(list[0].id);
    }
    return screen<EnvironmentsAndSettingsView>(context);
}

std::unique_ptr<QWidget> environmentsEmpty(PictureContext& context) {
    context.viewModel().setActiveEnvironmentID(std::nullopt);
    return screen<EnvironmentsAndSettingsView>(context);
}

std::unique_ptr<QWidget> mcpInspector(PictureContext& context) {
    QuillerViewModel& vm = context.viewModel();
    vm.setMcpTools({
        {"echo", "Echoes back the input message.",
         R"({"type":"object","properties":{"message":{"type":"string"}}})"},
        {"add", "Adds two numbers and returns the sum.",
         R"({"type":"object","properties":{"a":{"type":"number"},"b":{"type":"number"}}})"},
        {"longRunningOperation", "Demonstrates a long running operation with progress updates.",
         "{}"},
        {"printEnv",
         "Prints all environment variables, helpful for debugging MCP server configuration.", "{}"},
    });
    vm.setSelectedMCPToolName("add");
    vm.setMcpArgumentsJSON("{\n  \"a\" : 0,\n  \"b\" : 0\n}");
    vm.setMcpRawLog(
        R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2024-11-05"}})"
        "\n"
        R"({"jsonrpc":"2.0","id":2,"result":{"content":[{"type":"text","text":"The sum of 0 and 0 is 0."}]}})");
    return screen<MCPInspectorView>(context);
}

} // namespace

QUILLER_PICTURE("screens/mock-server", mockServer);
QUILLER_PICTURE("screens/mock-server-empty", mockServerEmpty);
QUILLER_PICTURE("screens/environments", environments);
QUILLER_PICTURE("screens/environments-empty", environmentsEmpty);
QUILLER_PICTURE("screens/mcp-inspector", mcpInspector);
QUILLER_PICTURE("screens/mcp-inspector-empty",
                [](PictureContext& context) { return screen<MCPInspectorView>(context); });

} // namespace quiller::pictures
