// The fast encoder must produce exactly what the suite's pretty writer makes
// of the payload's JSON form, also as the workspace changes between saves and
// its cached request texts go stale.

#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "QuillerCore/Services/WorkspaceFileEncoder.h"
#include "TarnKit/Platform/JSON.h"
#include "WorkspaceTestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using quiller::QuillerWorkspacePayload;
using workspacetest::samplePayload;

std::string reference(const QuillerWorkspacePayload& payload) {
    return tarn::json::pretty(nlohmann::json(payload));
}

TEST(WorkspaceFileEncoder, MatchesThePrettyWriterAcrossASequenceOfEdits) {
    struct Step {
        const char* name;
        std::function<void(QuillerWorkspacePayload&)> edit;
    };
    const Step steps[] = {
        {"the sample", [](auto&) {}},
        {"the built-in workspace", [](auto& p) { p = QuillerWorkspacePayload::defaults(); }},
        {"unchanged", [](auto&) {}},
        {"one request renamed",
         [](auto& p) { p.collections[0].requests[1].name = "Renamed \"quoted\"\nnew line"; }},
        {"a header added deep inside",
         [](auto& p) {
             p.collections[0].requests[0].headers.push_back(
                 quiller::KeyValueRow{.key = "X-Trace", .value = "a/b"});
         }},
        {"requests reordered",
         [](auto& p) {
             auto& requests = p.collections[0].requests;
             std::swap(requests.front(), requests.back());
         }},
        {"a request removed", [](auto& p) { p.collections[0].requests.pop_back(); }},
        {"two requests sharing an id, different content",
         [](auto& p) {
             auto copy = p.collections[0].requests[0];
             copy.url = "https://other.example/ünï";
             p.collections[0].requests.push_back(copy);
         }},
        {"two requests sharing an id, same content",
         [](auto& p) { p.collections[0].requests.push_back(p.collections[0].requests[0]); }},
        {"a collection without requests",
         [](auto& p) {
             p.collections.push_back(quiller::APIRequestCollection{.name = "Empty / none"});
         }},
        {"no active environment, no routes, no environments",
         [](auto& p) {
             p.activeEnvironmentID.reset();
             p.mockRoutes.clear();
             p.environments.clear();
         }},
        {"no collections, port 0",
         [](auto& p) {
             p.collections.clear();
             p.proxyPort = 0;
         }},
        {"port 65535 and the sample back", [](auto& p) {
             p = samplePayload();
             p.proxyPort = 65535;
         }}};

    quiller::detail::WorkspaceFileEncoder encoder;
    QuillerWorkspacePayload payload = samplePayload();
    // One buffer throughout, as the store passes it: each text replaces the
    // last, longer or shorter.
    std::string out = "left over from before";
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.edit(payload);
        encoder.encode(payload, payload.environments, out);
        EXPECT_EQ(out, reference(payload));
    }
}

TEST(WorkspaceFileEncoder, WritesTheEnvironmentsItIsGivenInsteadOfThePayloads) {
    const QuillerWorkspacePayload payload = samplePayload();
    QuillerWorkspacePayload blanked = payload;
    blanked.environments[0].variables[1].value.clear();
    quiller::detail::WorkspaceFileEncoder encoder;
    std::string out;
    encoder.encode(payload, blanked.environments, out);
    EXPECT_EQ(out, reference(blanked));
}

} // namespace
