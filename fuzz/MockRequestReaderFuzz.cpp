// Every byte a client sends reaches the mock server's request reader and
// parser. Whatever arrives, in whatever pieces, reading must stay within its
// cap, and the answer must be one well-formed head: exactly five header lines
// whose Content-Length is the body's, however the request or a rule's content
// type is made.
//
// Input: one byte choosing the piece size, one choosing the cap and whether a
// rule answers (with the request body as its content type), then the bytes.
#include "QuillerCore/Services/MockHTTPRequestReader.h"
#include "QuillerCore/Services/MockHTTPResponder.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

std::size_t count(std::string_view text, std::string_view needle) {
    std::size_t found = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size()))
        ++found;
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quiller;
    if (size < 2)
        return 0;
    const std::size_t pieceSize = std::size_t{data[0]} + 1;
    const std::size_t cap = 16 + static_cast<std::size_t>(data[1] >> 1) * 64;
    const bool answerByRule = (data[1] & 1) != 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);

    MockHTTPRequestReader reader(cap);
    bool wasComplete = false;
    for (std::size_t at = 0; at < input.size(); at += pieceSize) {
        const bool complete = reader.append(input.substr(at, pieceSize));
        check(complete || !wasComplete);
        check(complete == reader.isComplete());
        check(reader.remainingCapacity() <= cap);
        if (reader.expectsContinue()) {
            check(!complete);
            reader.markContinueSent();
            check(!reader.expectsContinue());
        }
        wasComplete = complete;
    }
    const std::string raw = reader.request();
    check(raw.size() <= cap && raw.size() <= input.size());
    check(reader.hasData() == !input.empty());

    const MockHTTPRequest request = parseMockHTTPRequest(raw);
    check(!request.method.empty() && !request.path.empty());
    check(tarn::text::isValidUTF8(request.method) && tarn::text::isValidUTF8(request.body));

    std::vector<MockRouteRule> routes;
    if (answerByRule) {
        MockRouteRule rule;
        rule.method = "*";
        rule.path = request.path.substr(0, request.path.find('?'));
        rule.statusCode = static_cast<int>(request.body.size()) - 100;
        rule.contentType = request.body;
        rule.responseBody = request.method;
        routes.push_back(rule);
    }
    const MockHTTPResponder::Answer answer = MockHTTPResponder::answer(request, routes);
    check(answer.statusCode >= 100 && answer.statusCode <= 999);
    check(answer.routeLabel.has_value() == answerByRule);
    if (!answerByRule) {
        const auto echo = tarn::json::parse(answer.body);
        check(echo && echo->is_object() && echo->size() == 5 &&
              (*echo)["echoBody"].get<std::string>() == request.body);
    }

    const std::string message = MockHTTPResponder::message(answer);
    const std::size_t headEnd = message.find("\r\n\r\n");
    check(headEnd != std::string::npos);
    const std::string_view head = std::string_view(message).substr(0, headEnd + 2);
    check(count(head, "\r\n") == 5 && count(head, "\n") == 5 && count(head, "\r") == 5);
    check(message.substr(headEnd + 4) == answer.body);
    check(head.find("\r\nContent-Length: " + std::to_string(answer.body.size()) + "\r\n") !=
          std::string_view::npos);

    (void)MockHTTPResponder::logMessage(request, answer);
    (void)MockHTTPResponder::capture(request, answer);
    return 0;
}
