#include "QuillerApp/Views/ClientUIState.h"

namespace quiller {
namespace {

std::string capitalised(std::string_view raw) {
    std::string title(raw);
    // The raw values are lower-case ASCII.
    if (!title.empty() && title.front() >= 'a' && title.front() <= 'z')
        title.front() = static_cast<char>(title.front() - 'a' + 'A');
    return title;
}

} // namespace

std::string_view rawValue(RequestEditorTab tab) {
    switch (tab) {
    case RequestEditorTab::headers:
        return "headers";
    case RequestEditorTab::params:
        return "params";
    case RequestEditorTab::auth:
        return "auth";
    case RequestEditorTab::body:
        return "body";
    case RequestEditorTab::assertions:
        return "assertions";
    }
    return "body";
}

std::string_view rawValue(ResponseViewerTab tab) {
    switch (tab) {
    case ResponseViewerTab::pretty:
        return "pretty";
    case ResponseViewerTab::headers:
        return "headers";
    case ResponseViewerTab::assertions:
        return "assertions";
    case ResponseViewerTab::diff:
        return "diff";
    case ResponseViewerTab::code:
        return "code";
    }
    return "pretty";
}

std::string tabTitle(RequestEditorTab tab) {
    return capitalised(rawValue(tab));
}
std::string tabTitle(ResponseViewerTab tab) {
    return capitalised(rawValue(tab));
}

} // namespace quiller
