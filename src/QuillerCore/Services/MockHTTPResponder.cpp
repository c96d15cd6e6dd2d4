#include "QuillerCore/Services/MockHTTPResponder.h"

#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "QuillerCore/Services/HTTPReasonPhrases.h"
#include "TarnKit/Platform/ASCII.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <chrono>
#include <exception>

namespace quiller::MockHTTPResponder {
namespace {

constexpr std::string_view kEchoFallback = R"({"ok":true})";

bool isASCII(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Methods are nearly always ASCII; the Unicode mapping is only needed for the
// rest and gives the same result on ASCII.
std::string uppercasedMethod(std::string_view method) {
    if (!isASCII(method))
        return tarn::text::uppercased(method);
    return tarn::ascii::uppercased(std::string(method));
}

bool pathMatches(std::string_view rulePath, std::string_view requestPath) {
    if (requestPath.size() < rulePath.size() || requestPath.substr(0, rulePath.size()) != rulePath)
        return false;
    return requestPath.size() == rulePath.size() || requestPath[rulePath.size()] == '?';
}

// Header values may hold tabs but no other control character: CR and LF would
// end the line and let a rule write headers of its own.
std::string headerSafe(std::string_view value) {
    std::string safe;
    safe.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F)
            continue;
        safe.push_back(c);
    }
    return safe;
}

} // namespace

const MockRouteRule* firstMatchingRoute(const std::vector<MockRouteRule>& routes,
                                        std::string_view method, std::string_view path) {
    const std::string requestMethod = uppercasedMethod(method);
    for (const MockRouteRule& rule : routes) {
        if (!rule.isEnabled || !pathMatches(rule.path, path))
            continue;
        const std::string ruleMethod = uppercasedMethod(rule.method);
        if (ruleMethod == "*" || ruleMethod == requestMethod)
            return &rule;
    }
    return nullptr;
}

std::string echoBody(const MockHTTPRequest& request) {
    try {
        tarn::json::Writer writer(tarn::json::Style::pretty);
        writer.reserve(request.body.size() + request.path.size() + 128);
        writer.beginObject();
        writer.key("capturedBy");
        writer.string("Quiller Local Inspector");
        writer.key("echoBody");
        writer.string(request.body);
        writer.key("headersCount");
        writer.unsignedInteger(request.headers.size());
        writer.key("method");
        writer.string(request.method);
        writer.key("path");
        writer.string(request.path);
        writer.endObject();
        std::string text = writer.finish();
        if (tarn::text::isValidUTF8(text))
            return text;
    } catch (const std::exception&) {
        // Falls through to the fixed answer.
    }
    return std::string(kEchoFallback);
}

Answer answer(const MockHTTPRequest& request, const std::vector<MockRouteRule>& routes) {
    if (const MockRouteRule* rule = firstMatchingRoute(routes, request.method, request.path)) {
        const bool printable = rule->statusCode >= 100 && rule->statusCode <= 999;
        return Answer{printable ? rule->statusCode : 500, rule->contentType,
                      tarn::text::repairUTF8(rule->responseBody), rule->method + " " + rule->path};
    }
    return Answer{200, "application/json", echoBody(request), std::nullopt};
}

std::string message(const Answer& answer) {
    const std::string reason = HTTPReasonPhrases::reasonText(answer.statusCode);
    const std::string contentType = headerSafe(answer.contentType);
    std::string bytes;
    bytes.reserve(160 + reason.size() + contentType.size() + answer.body.size());
    bytes += "HTTP/1.1 ";
    bytes += tarn::numbers::formatInteger(answer.statusCode);
    bytes += ' ';
    bytes += reason;
    bytes += "\r\nContent-Type: ";
    bytes += contentType;
    bytes += "; charset=utf-8\r\nContent-Length: ";
    bytes += tarn::numbers::formatInteger(static_cast<long long>(answer.body.size()));
    bytes += "\r\nX-Powered-By: Quiller\r\nConnection: close\r\n\r\n";
    bytes += answer.body;
    return bytes;
}

CapturedProxyExchange capture(const MockHTTPRequest& request, const Answer& answer) {
    CapturedProxyExchange exchange;
    exchange.timestamp = std::chrono::system_clock::now();
    exchange.method = request.method;
    exchange.path = request.path;
    exchange.requestHeaders = request.headers;
    exchange.requestBody = request.body;
    exchange.statusCode = answer.statusCode;
    exchange.responseBody = answer.body;
    exchange.matchedMockRoute = answer.routeLabel;
    return exchange;
}

std::string logMessage(const MockHTTPRequest& request, const Answer& answer) {
    std::string line = "Captured ";
    line += request.method;
    line += ' ';
    line += RequestHistoryEngine::sanitizeURL(request.path);
    line += " -> HTTP ";
    line += tarn::numbers::formatInteger(answer.statusCode);
    line += " [";
    line += answer.routeLabel ? *answer.routeLabel : std::string("echo");
    line += ']';
    return line;
}

} // namespace quiller::MockHTTPResponder
