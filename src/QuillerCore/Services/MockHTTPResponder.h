#pragma once

#include "QuillerCore/Models/RuntimeRecords.h"
#include "QuillerCore/Services/MockHTTPRequestReader.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the mock server answers to one request, and how it reports it. Pure
// functions over values; any thread.
namespace quiller::MockHTTPResponder {

struct Answer {
    int statusCode = 200;
    std::string contentType{};
    std::string body{};
    // "<rule method> <rule path>" of the rule that answered; absent for the echo.
    std::optional<std::string> routeLabel{};

    friend bool operator==(const Answer&, const Answer&) = default;
};

// The first enabled rule, in list order, whose method (compared upper-cased)
// is "*" or the request's, and whose path is the request path exactly or the
// request path up to a "?". Null when none matches.
const MockRouteRule* firstMatchingRoute(const std::vector<MockRouteRule>& routes,
                                        std::string_view method, std::string_view path);

// The echo answer's body: pretty JSON with sorted keys holding "capturedBy",
// "echoBody", "headersCount", "method" and "path".
std::string echoBody(const MockHTTPRequest& request);

// The matching rule's answer, or the JSON echo with status 200. A rule status
// outside 100 to 999 cannot make a valid status line and is answered 500.
Answer answer(const MockHTTPRequest& request, const std::vector<MockRouteRule>& routes);

// The bytes sent: status line, Content-Type (the rule's type with control
// characters removed, so it can never start another header line, then
// "; charset=utf-8"), Content-Length, "X-Powered-By: Quiller",
// "Connection: close", an empty line and the body.
std::string message(const Answer& answer);

// The record for the owner: a fresh id, the current time, the request and what
// was sent.
CapturedProxyExchange capture(const MockHTTPRequest& request, const Answer& answer);

// "Captured GET /health -> HTTP 200 [GET /health]", the path cleaned of
// secrets; "[echo]" without a rule.
std::string logMessage(const MockHTTPRequest& request, const Answer& answer);

} // namespace quiller::MockHTTPResponder
