#pragma once

// A request ready to send, independent of any transport: what composition
// produces and what the HTTP client turns into a transfer.
//
// Plain values with no locks: copy them freely between threads; a const
// object may be read from any thread.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quiller {

struct HTTPHeaderField {
    std::string name;
    std::string value;

    friend bool operator==(const HTTPHeaderField&, const HTTPHeaderField&) = default;
};

// Header fields in the order they were first set, one per name compared
// without regard to ASCII case. Every name is an HTTP token and no value holds
// CR, LF or NUL, so nothing stored here can split a header line or smuggle in
// another header, whatever a template filled in.
class HTTPHeaderFields {
public:
    // Sets `name` to `value`, replacing the value of a field whose name
    // differs at most in case (the field keeps its place and takes the new
    // spelling of the name). CR, LF and NUL in the value become blanks. A name
    // that is not an HTTP token (RFC 9110: one or more of letters, digits and
    // "!#$%&'*+-.^_`|~") sets nothing and gives false.
    bool set(std::string_view name, std::string_view value);

    // The value of the field named `name` in any letter case.
    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const;

    const std::vector<HTTPHeaderField>& fields() const { return m_fields; }
    std::size_t size() const { return m_fields.size(); }
    bool empty() const { return m_fields.empty(); }

    friend bool operator==(const HTTPHeaderFields&, const HTTPHeaderFields&) = default;

private:
    // The index of the field named `name` in any case; size() when none is.
    std::size_t indexOf(std::string_view name) const;

    std::vector<HTTPHeaderField> m_fields;
};

// Whether `name` is an HTTP token (RFC 9110 section 5.6.2).
bool isHTTPToken(std::string_view name);

struct ComposedRequest {
    // The absolute text of the URL, query included.
    std::string url{};
    // The method as sent ("GET", "POST", ...).
    std::string method = "GET";
    HTTPHeaderFields headers{};
    // Absent when the request carries no body at all.
    std::optional<std::string> body{};
    // The longest wait for the next data to arrive, not a limit on the whole
    // transfer: a slow but steady download is never cut off.
    std::chrono::seconds idleTimeout{30};

    friend bool operator==(const ComposedRequest&, const ComposedRequest&) = default;
};

} // namespace quiller
