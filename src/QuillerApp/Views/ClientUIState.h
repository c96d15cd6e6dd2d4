#pragma once

// The request workbench's own presentation state: which editor and inspector
// tab is shown, the cURL import sheet and its draft, and the drafts of new
// header, parameter and assertion rows. It starts from these values whenever
// the workbench is built and is never saved; changing the selected request
// keeps all of it.
//
// Threads: the GUI thread.

#include "QuillerCore/Models/RequestModel.h"

#include <array>
#include <string>
#include <string_view>

namespace quiller {

enum class RequestEditorTab { headers, params, auth, body, assertions };
enum class ResponseViewerTab { pretty, headers, assertions, diff, code };

inline constexpr std::array requestEditorTabs = {
    RequestEditorTab::headers, RequestEditorTab::params, RequestEditorTab::auth,
    RequestEditorTab::body, RequestEditorTab::assertions};
inline constexpr std::array responseViewerTabs = {
    ResponseViewerTab::pretty, ResponseViewerTab::headers, ResponseViewerTab::assertions,
    ResponseViewerTab::diff, ResponseViewerTab::code};

// The case name ("headers").
std::string_view rawValue(RequestEditorTab tab);
std::string_view rawValue(ResponseViewerTab tab);
// The tab button's title: the raw value with a capital first letter
// ("Headers"), the same in every interface language.
std::string tabTitle(RequestEditorTab tab);
std::string tabTitle(ResponseViewerTab tab);

struct ClientUIState {
    // A working example for the import sheet: a JSON POST to an echo service.
    static constexpr std::string_view sampleCurl =
        R"(curl -X POST 'https://httpbin.org/post' -H 'Content-Type: application/json' )"
        R"(-d '{"hello":"quiller"}')";

    RequestEditorTab editorTab = RequestEditorTab::body;
    ResponseViewerTab responseTab = ResponseViewerTab::pretty;
    bool showCurlImporter = false;
    std::string curlDraft{sampleCurl};
    std::string newHeaderKey{};
    std::string newHeaderVal{};
    std::string newParamKey{};
    std::string newParamVal{};
    AssertionKind newAssertKind = AssertionKind::statusEquals;
    std::string newAssertPath{};
    std::string newAssertExpected = "200";
};

} // namespace quiller
