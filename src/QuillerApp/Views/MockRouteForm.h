#pragma once

// The route being typed on the mock-server screen, and the rule it makes.
// Qt-free; the screen keeps one form for as long as it lives and never
// clears it, so the next route starts from what the user left.
//
// Threads: any (plain values and a pure function).

#include "QuillerCore/Models/RuntimeRecords.h"

#include <string>
#include <string_view>

namespace quiller {

struct MockRouteFormState {
    std::string method = "GET";
    std::string path = "/v1/custom";
    std::string statusText = "200";
    std::string body = R"({"ok": true, "source": "Quiller"})";
};

// The status a typed text stands for: a whole decimal number with an optional
// leading "+" or "-"; 200 for anything else, including a number too large for
// a status field. Blanks count as "anything else".
int mockStatusFromText(std::string_view text);

// The rule the form describes, with a fresh identifier: the method and body as
// typed, the path with a leading "/" (an empty path is "/"), the status from
// mockStatusFromText, content type "application/json", enabled.
MockRouteRule routeFromForm(const MockRouteFormState& form);

} // namespace quiller
