// Pictures of the streaming tab and of the GraphQL explorer drawer, each with
// content and empty, over the application's ground backdrop as the studio
// shows them.

#include "PictureRegistry.h"
#include "QuillerApp/Views/GraphQLSchemaExplorerDrawer.h"
#include "QuillerApp/Views/StreamAndWebSocketView.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QVBoxLayout>
#include <deque>
#include <memory>
#include <string>

namespace quiller::pictures {
namespace {

using tarn::TarnGroundBackground;
using tarn::TarnProductPalette;

// The ground backdrop at `size` holding `makeView(model, bridge)`; the bridge
// lives as long as the picture.
template <class MakeView>
std::unique_ptr<QWidget> onGround(PictureContext& context, QSize size, int margin,
                                  MakeView makeView) {
    auto ground = std::make_unique<TarnGroundBackground>(TarnProductPalette::deepIndigo);
    auto* bridge = new ViewModelBridge(context.viewModel(), ground.get());
    auto* column = new QVBoxLayout(ground.get());
    column->setContentsMargins(margin, margin, margin, margin);
    column->addWidget(makeView(context.viewModel(), *bridge));
    ground->resize(size);
    return ground;
}

std::unique_ptr<QWidget> console(PictureContext& context) {
    return onGround(context, {1180, 560}, 0, [](QuillerViewModel& model, ViewModelBridge& bridge) {
        return new StreamAndWebSocketView(model, bridge);
    });
}

void fillConsoles(QuillerViewModel& model) {
    std::deque<SSEStreamEvent> events;
    for (int i = 0; i < 6; ++i)
        events.push_front(SSEStreamEvent{.eventType = i == 3 ? "ping" : "message",
                                         .data = R"({"token":")" +
                                                 std::string(i % 2 == 0 ? "Hello" : " world") +
                                                 R"(","index":)" + std::to_string(i) + "}"});
    events.push_front(SSEStreamEvent{
        .eventType = "message",
        .data = "A long line of streamed text that runs past the width of the console so the "
                "row shows where it is cut with an ellipsis at its end"});
    model.setSseEvents(std::move(events));
    model.setIsSSEStreaming(true);
    model.setIsWSConnected(true);
    model.setWsFrames({
        WebSocketFrameItem{.isOutgoing = false, .payload = R"({"pong":"quiller"})"},
        WebSocketFrameItem{.isOutgoing = true, .payload = R"({"ping":"quiller"})"},
        WebSocketFrameItem{.isOutgoing = false, .payload = "<12 bytes>"},
        WebSocketFrameItem{.isOutgoing = false, .payload = "Request served by 4d896d95"},
    });
}

GraphQLOperationField operation(GraphQLRootKind kind, std::string name, std::string returns,
                                std::vector<GraphQLFieldArg> args, std::optional<std::string> about,
                                bool deprecated = false) {
    GraphQLOperationField field;
    field.rootKind = kind;
    field.name = std::move(name);
    field.returnTypeName = returns;
    field.returnTypeSignature = std::move(returns);
    field.args = std::move(args);
    field.description = std::move(about);
    field.isDeprecated = deprecated;
    return field;
}

GraphQLFieldArg argument(std::string name, std::string signature) {
    GraphQLFieldArg arg;
    arg.name = std::move(name);
    arg.typeSignature = std::move(signature);
    return arg;
}

GraphQLSchemaSummary pictureSchema() {
    using enum GraphQLRootKind;
    GraphQLSchemaSummary schema;
    schema.operations = {
        operation(query, "users", "[User!]!",
                  {argument("first", "Int"), argument("after", "String")},
                  "Lists the users of the workspace, newest first, a page at a time."),
        operation(query, "user", "User", {argument("id", "ID!")}, std::nullopt),
        operation(query, "viewer", "User!", {}, "The signed-in user."),
        operation(query, "legacyProfile", "Profile", {argument("userId", "ID!")},
                  "Replaced by user.profile.", true),
        operation(mutation, "createUser", "User!", {argument("input", "CreateUserInput!")},
                  std::nullopt),
        operation(subscription, "userAdded", "User!", {}, std::nullopt),
    };
    for (const char* type : {"User", "Profile", "CreateUserInput", "Role", "Query", "Mutation"})
        schema.typesByName[type] = GraphQLObjectTypeSummary{};
    return schema;
}

std::unique_ptr<QWidget> drawer(PictureContext& context) {
    return onGround(context, {342, 640}, 16, [](QuillerViewModel& model, ViewModelBridge& bridge) {
        return new GraphQLSchemaExplorerDrawer(model, bridge);
    });
}

} // namespace

QUILLER_PICTURE("streams/console-empty", console);
QUILLER_PICTURE("streams/console-content", [](PictureContext& context) {
    fillConsoles(context.viewModel());
    return console(context);
});
QUILLER_PICTURE("graphql/drawer-empty", drawer);
QUILLER_PICTURE("graphql/drawer-content", [](PictureContext& context) {
    context.viewModel().setGraphQLSchema(pictureSchema());
    return drawer(context);
});
QUILLER_PICTURE("graphql/drawer-error-reloading", [](PictureContext& context) {
    context.viewModel().setGraphQLSchema(pictureSchema());
    context.viewModel().setIsIntrospectingGraphQL(true);
    context.viewModel().setGraphQLIntrospectionError(
        "Could not connect to the server (connection refused).");
    return drawer(context);
});

} // namespace quiller::pictures
