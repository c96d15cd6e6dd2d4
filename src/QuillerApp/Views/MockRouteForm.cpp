#include "QuillerApp/Views/MockRouteForm.h"

#include <charconv>
#include <system_error>

namespace quiller {

namespace {

constexpr int fallbackStatus = 200;

} // namespace

int mockStatusFromText(std::string_view text) {
    // from_chars takes a "-" but no "+"; a "+" in front of a "-" stays wrong.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return fallbackStatus;
    }
    if (text.empty())
        return fallbackStatus;
    int status = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, status);
    if (error != std::errc{} || stop != end)
        return fallbackStatus;
    return status;
}

MockRouteRule routeFromForm(const MockRouteFormState& form) {
    MockRouteRule rule;
    rule.id = tarn::UUID::random();
    rule.method = form.method;
    rule.path = form.path.starts_with('/') ? form.path : "/" + form.path;
    rule.statusCode = mockStatusFromText(form.statusText);
    rule.contentType = "application/json";
    rule.responseBody = form.body;
    rule.isEnabled = true;
    return rule;
}

} // namespace quiller
